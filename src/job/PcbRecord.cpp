#include "job/PcbRecord.h"

#include <cstdio>

#include "job/JobRows.h"
#include "platform/FileCell.h"
#include "platform/SettingsSection.h"
#include "job/WorkRecords.h"

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

int ParsePcbHeaderLine(std::string_view line, PcbRecord& r, std::string_view file, int lineNo) {
  std::vector<std::string_view> f;
  smt::platform::SplitTabCellViews(line, f);
  const int tabs = static_cast<int>(f.size());
  const smt::platform::CellReader in(file, lineNo, f);
  auto flag = [&](size_t i, const char* name) { return in.Integer(i, name, 0, 1) != 0; };
  r.m_strName = std::string(in.Text(0));
  r.m_strNote = std::string(in.Text(1));
  r.m_nRows = static_cast<int>(in.Integer(2, "rows", 0, kMaxPanelRowsOrCols));
  r.m_nCols = static_cast<int>(in.Integer(3, "columns", 0, kMaxPanelRowsOrCols));
  r.m_dRowSpace = in.Number(4, "row pitch", -kMaxBoardMm, kMaxBoardMm);
  r.m_dColSpace = in.Number(5, "column pitch", -kMaxBoardMm, kMaxBoardMm);
  r.m_dThickness = in.Number(6, "thickness", -1000, 1000);
  r.m_dOriginX = in.Number(7, "origin X", -kMaxBoardMm, kMaxBoardMm);
  r.m_dOriginY = in.Number(8, "origin Y", -kMaxBoardMm, kMaxBoardMm);
  r.m_bMarkEnable = flag(9, "marks on");
  r.m_dMark1X = in.Number(10, "Mark 1 X", -kMaxBoardMm, kMaxBoardMm);
  r.m_dMark1Y = in.Number(11, "Mark 1 Y", -kMaxBoardMm, kMaxBoardMm);
  r.m_dMark2X = in.Number(12, "Mark 2 X", -kMaxBoardMm, kMaxBoardMm);
  r.m_dMark2Y = in.Number(13, "Mark 2 Y", -kMaxBoardMm, kMaxBoardMm);
  size_t countFrom = 14;
  if (tabs >= kHeaderTabsOld) {
    r.m_dVisualZoom = in.Number(14, "Mark camera zoom", 0, 1000);
    r.m_bImageColorReversal = flag(15, "image reversal");
    r.m_dVisualBox = in.Number(16, "Mark search box", 0, kMaxBoardMm);
    r.m_dMarkDiameter = in.Number(17, "Mark diameter", 0, kMaxBoardMm);
    r.m_nLightContrast = static_cast<int>(in.Integer(18, "light contrast", 0, 255));
    r.m_nLightBrightness = static_cast<int>(in.Integer(19, "light brightness", 0, 255));
    r.m_nVisualTimes = static_cast<int>(in.Integer(20, "Mark repetitions", 0, 10));
    r.m_nMarkCollectTime = static_cast<int>(in.Integer(21, "Mark take time", 0, 10000));
    r.m_bSpecialMark2 = flag(22, "Mark 2 own light");
    r.m_nMark2LightContrast = static_cast<int>(in.Integer(23, "Mark 2 light contrast", 0, 255));
    r.m_nMark2LightBrightness = static_cast<int>(in.Integer(24, "Mark 2 light brightness", 0, 255));
    countFrom = 25;
    if (tabs > kHeaderTabsOld) {
      r.m_bEachMark = flag(25, "marks per board");
      countFrom = 29;  // three placeholders skipped unread
    }
  }
  // The part count is the last TAB-terminated field of what is left.
  if (f.size() <= countFrom) return 0;
  return static_cast<int>(in.Integer(f.size() - 1, "part count", 0, kMaxPartsPerBoard));
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
