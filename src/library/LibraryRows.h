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

// The lines to write for `built`, the rows of a table as it now holds them:
// a built row equal to a row as the table read it (`readAsBuilt[i]`, the
// table's form of `readLines[i]`) is written as that line, in the file's own
// spelling with any cells past the table's and any text after its last TAB;
// each line read stands for one row at most. Other rows are written as built.
std::vector<std::string> KeepLinesAsRead(std::vector<std::string> built, const std::vector<std::string>& readLines,
                                         const std::vector<std::string>& readAsBuilt);

// The same for a table whose rows are the first N cells of each line.
template <size_t N>
std::vector<std::string> KeepLinesAsRead(std::vector<std::string> built, const std::vector<std::string>& readLines) {
  std::vector<std::string> asBuilt;
  asBuilt.reserve(readLines.size());
  for (const auto& l : readLines) asBuilt.push_back(JoinRow(SplitRow<N>(l)));
  return KeepLinesAsRead(std::move(built), readLines, asBuilt);
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
