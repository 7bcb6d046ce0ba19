#include "job/PcbRecord.h"

#include <cstdio>

#include "job/JobRows.h"
#include "platform/SettingsSection.h"

namespace smt::job {

namespace {

std::string F4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}
std::string I(long long v) { return std::to_string(v); }

}  // namespace

std::string PcbHeaderLine(const PcbRecord& r) {
  std::vector<std::string> f = {
      r.m_strName,          r.m_strNote,           I(r.m_nRows),
      I(r.m_nCols),         F4(r.m_dRowSpace),     F4(r.m_dColSpace),
      F4(r.m_dThickness),   F4(r.m_dOriginX),      F4(r.m_dOriginY),
      I(r.m_bMarkEnable),   F4(r.m_dMark1X),       F4(r.m_dMark1Y),
      F4(r.m_dMark2X),      F4(r.m_dMark2Y),       F4(r.m_dVisualZoom),
      I(r.m_bImageColorReversal), F4(r.m_dVisualBox), F4(r.m_dMarkDiameter),
      I(r.m_nLightContrast), I(r.m_nLightBrightness), I(r.m_nVisualTimes),
      I(r.m_nMarkCollectTime), I(r.m_bSpecialMark2), I(r.m_nMark2LightContrast),
      I(r.m_nMark2LightBrightness), I(r.m_bEachMark), "-", "-", "-", I(r.PartCount())};
  return JoinTabCells(f);
}

int ParsePcbHeaderLine(std::string_view line, PcbRecord& r) {
  using smt::platform::TextToDouble;
  using smt::platform::TextToInt;
  const int tabs = CountTabs(line);
  const std::vector<std::string> f = SplitTabCells(line, tabs);
  auto at = [&](size_t i) -> const std::string& {
    static const std::string empty;
    return i < f.size() ? f[i] : empty;
  };
  r.m_strName = at(0);
  r.m_strNote = at(1);
  r.m_nRows = TextToInt(at(2));
  r.m_nCols = TextToInt(at(3));
  r.m_dRowSpace = TextToDouble(at(4));
  r.m_dColSpace = TextToDouble(at(5));
  r.m_dThickness = TextToDouble(at(6));
  r.m_dOriginX = TextToDouble(at(7));
  r.m_dOriginY = TextToDouble(at(8));
  r.m_bMarkEnable = TextToInt(at(9)) != 0;
  r.m_dMark1X = TextToDouble(at(10));
  r.m_dMark1Y = TextToDouble(at(11));
  r.m_dMark2X = TextToDouble(at(12));
  r.m_dMark2Y = TextToDouble(at(13));
  size_t countFrom = 14;
  if (tabs >= kHeaderTabsOld) {
    r.m_dVisualZoom = TextToDouble(at(14));
    r.m_bImageColorReversal = TextToInt(at(15)) != 0;
    r.m_dVisualBox = TextToDouble(at(16));
    r.m_dMarkDiameter = TextToDouble(at(17));
    r.m_nLightContrast = TextToInt(at(18));
    r.m_nLightBrightness = TextToInt(at(19));
    r.m_nVisualTimes = TextToInt(at(20));
    r.m_nMarkCollectTime = TextToInt(at(21));
    r.m_bSpecialMark2 = TextToInt(at(22)) != 0;
    r.m_nMark2LightContrast = TextToInt(at(23));
    r.m_nMark2LightBrightness = TextToInt(at(24));
    countFrom = 25;
    if (tabs > kHeaderTabsOld) {
      r.m_bEachMark = TextToInt(at(25)) != 0;
      countFrom = 29;  // three placeholders skipped unread
    }
  }
  // The part count is the last TAB-terminated field of what is left.
  int count = 0;
  for (size_t i = countFrom; i < f.size(); ++i) count = TextToInt(f[i]);
  return count;
}

std::vector<std::vector<std::string>> FullPanelGrid(int rows, int cols) {
  std::vector<std::vector<std::string>> grid;
  if (rows <= 0 || cols < 0) return grid;
  grid.resize(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    auto& row = grid[static_cast<size_t>(r)];
    row.resize(static_cast<size_t>(cols) + 1);
    row[0] = "0/" + std::to_string(r + 1);  // the row label
    for (int c = 1; c <= cols; ++c) row[static_cast<size_t>(c)] = "1/" + std::to_string(r * cols + c);
  }
  return grid;
}

int CountEnabledBoards(const std::vector<std::vector<std::string>>& grid, int cols) {
  int n = 0;
  for (const auto& row : grid)
    for (int c = 1; c <= cols && static_cast<size_t>(c) < row.size(); ++c) {
      auto p = SplitPrefix(row[static_cast<size_t>(c)]);
      n += (p.hasSlash && p.prefix == "1");
    }
  return n;
}

}  // namespace smt::job
