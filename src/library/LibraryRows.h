#pragma once
// The text-row form shared by the library files: every cell of a row is
// followed by one TAB. Reading cuts a row at each TAB; text after the last
// TAB is not a cell.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace smt::library {

// The cells of one row string (text after the last TAB ignored).
std::vector<std::string> SplitTabCells(const std::string& row);

// The first N cells of a row string; missing cells stay empty, cells beyond
// the N-th are dropped.
template <size_t N>
std::array<std::string, N> SplitRow(const std::string& row) {
  std::array<std::string, N> cells;
  const std::vector<std::string> parts = SplitTabCells(row);
  for (size_t i = 0; i < N && i < parts.size(); ++i) cells[i] = parts[i];
  return cells;
}

// Each cell followed by a TAB.
template <size_t N>
std::string JoinRow(const std::array<std::string, N>& cells) {
  std::string s;
  for (const auto& c : cells) {
    s += c;
    s += '\t';
  }
  return s;
}

// Ascending order of two texts by their UTF-16 code units (the list sort).
bool Utf16Less(const std::string& a, const std::string& b);

// Writes a library file "<appDir>/<fileName>" atomically: a 32-bit count and
// the rows as archive strings. Throws platform::FileError.
void WriteLibraryFile(const std::filesystem::path& appDir, const std::string& fileName,
                      const std::vector<std::string>& rows);

// Machine-position capture: steps / scale taken to four decimals, then moved
// 0.0001 away from zero (0 stays 0).
double CaptureMillimetres(double steps, double pulsesPerUnit);

// Millimetres to steps: multiply and truncate toward zero.
int32_t ToSteps(double mm, double pulsesPerMm);

}  // namespace smt::library
