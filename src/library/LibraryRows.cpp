#include "library/LibraryRows.h"

#include <deque>
#include <unordered_map>

#include <cmath>
#include <cstdint>

#include "platform/DecimalRounding.h"
#include "platform/ListFile.h"
#include "platform/SettingsSection.h"
#include "platform/TextCodec.h"

namespace smt::library {

std::vector<std::string> SplitTabCells(const std::string& row) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i] == '\t') {
      cells.push_back(row.substr(start, i - start));
      start = i + 1;
    }
  }
  return cells;
}

bool Utf16Less(const std::string& a, const std::string& b) {
  const std::u16string ua = smt::platform::Utf8ToUtf16(a);
  const std::u16string ub = smt::platform::Utf8ToUtf16(b);
  return ua < ub;
}

std::vector<std::string> KeepLinesAsRead(std::vector<std::string> built, const std::vector<std::string>& readLines,
                                         const std::vector<std::string>& readAsBuilt) {
  std::unordered_map<std::string, std::deque<size_t>> read;
  for (size_t i = 0; i < readLines.size() && i < readAsBuilt.size(); ++i)
    if (readLines[i] != readAsBuilt[i]) read[readAsBuilt[i]].push_back(i);
  if (read.empty()) return built;
  for (std::string& row : built) {
    const auto it = read.find(row);
    if (it == read.end() || it->second.empty()) continue;
    row = readLines[it->second.front()];
    it->second.pop_front();
  }
  return built;
}

void WriteLibraryFile(const std::filesystem::path& appDir, const std::string& fileName,
                      const std::vector<std::string>& rows) {
  smt::platform::ListFileContent content;
  content.rows = rows;
  smt::platform::WriteListFile(appDir / fileName, content);
}

double CaptureMillimetres(double steps, double pulsesPerUnit) {
  if (pulsesPerUnit == 0) return 0;
  // To four decimals as the field shows it.
  double v = smt::platform::RoundDecimals(steps / pulsesPerUnit, 4);
  if (v > 0) v += 0.0001;
  else if (v < 0) v -= 0.0001;
  return v;
}

int32_t ToSteps(double mm, double pulsesPerMm) {
  const double v = std::trunc(mm * pulsesPerMm);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace smt::library
