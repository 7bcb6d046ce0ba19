#include "job/JobRows.h"

#include <cstdio>

namespace smt::job {

std::vector<std::string> SplitTabCells(std::string_view text, int maxCells) {
  std::vector<std::string> cells(static_cast<size_t>(maxCells > 0 ? maxCells : 0));
  size_t start = 0;
  for (int k = 0; k < maxCells; ++k) {
    size_t tab = text.find('\t', start);
    if (tab == std::string_view::npos) break;
    cells[static_cast<size_t>(k)] = std::string(text.substr(start, tab - start));
    start = tab + 1;
  }
  return cells;
}

int CountTabs(std::string_view text) {
  int n = 0;
  for (char c : text) n += (c == '\t');
  return n;
}

std::string JoinTabCells(const std::vector<std::string>& cells) {
  size_t total = 0;
  for (const auto& c : cells) total += c.size() + 1;
  std::string out;
  out.reserve(total);
  for (const auto& c : cells) {
    out += c;
    out += '\t';
  }
  return out;
}

PrefixedCell SplitPrefix(std::string_view cell) {
  PrefixedCell p;
  size_t slash = cell.find('/');
  if (slash == std::string_view::npos) {
    p.text = std::string(cell);
    return p;
  }
  p.hasSlash = true;
  p.prefix = std::string(cell.substr(0, slash));
  p.text = std::string(cell.substr(slash + 1));
  return p;
}

const std::string& ListRow::Cell(int k) const {
  static const std::string empty;
  return (k >= 0 && static_cast<size_t>(k) < cells.size()) ? cells[static_cast<size_t>(k)] : empty;
}

int CellCount(RowKind kind) { return kind == RowKind::Placement ? kPlacementCells : kDispenseCells; }

std::vector<std::string> PlacementRowToStored(const ListRow& row) {
  std::vector<std::string> out(kPlacementCells);
  for (int k = 0; k < kPlacementCells; ++k) out[static_cast<size_t>(k)] = row.Cell(k);
  out[kSmtPlace] = (row.Image(kSmtPlace) == kImgYes ? "1/" : "0/") + row.Cell(kSmtPlace);
  out[kSmtVision] = (row.Image(kSmtVision) == kImgVisionYes ? "1/" : "0/") + row.Cell(kSmtVision);
  return out;
}

ListRow PlacementRowFromStored(const std::vector<std::string>& stored) {
  ListRow row(kPlacementCells);
  for (int k = 0; k < kPlacementCells && static_cast<size_t>(k) < stored.size(); ++k)
    row.cells[static_cast<size_t>(k)] = stored[static_cast<size_t>(k)];
  auto place = SplitPrefix(row.cells[kSmtPlace]);
  row.cells[kSmtPlace] = place.text;
  row.SetImage(kSmtPlace, place.hasSlash && place.prefix == "1" ? kImgYes : kImgNo);
  auto vision = SplitPrefix(row.cells[kSmtVision]);
  row.cells[kSmtVision] = vision.text;
  row.SetImage(kSmtVision, vision.hasSlash && vision.prefix == "1" ? kImgVisionYes : kImgVisionNo);
  return row;
}

ListRow DispenseRowFromText(std::string_view text) {
  ListRow row;
  row.cells = SplitTabCells(text, kDispenseCells);
  row.SetImage(0, kImgDispenseMark);
  row.SetImage(kDisEnable, row.cells[kDisEnable] == "Yes" ? kImgYes : kImgNo);
  return row;
}

ListRow DrillRowFromText(std::string_view text) {
  ListRow row;
  row.cells = SplitTabCells(text, kDrillCells);
  return row;
}

std::string RowToText(const ListRow& row, int cellCount) {
  std::string out;
  for (int k = 0; k < cellCount; ++k) {
    out += row.Cell(k);
    out += '\t';
  }
  return out;
}

const std::vector<std::string>& BuiltinTitles(RowKind kind) {
  static const std::vector<std::string> placement = {
      "序号", "X坐标", "Y坐标", "元件角度", "元件名称", "元件类型", "元件封装", "是否贴装",
      "元件数值", "料架编号", "是否视觉", "料架数值", "贴装头", "添  加  时  间", "二次Mark", "---"};
  static const std::vector<std::string> dispense = {"序号", "X坐标", "Y坐标", "Z坐标", "是否点胶",
                                                    "阀打开时机", "阀关闭时机", "阀关闭延时", "底部延时",
                                                    "回吸时间", "备注", "-", "-", "-", "-"};
  static const std::vector<std::string> drill = {"序号", "名称", "直径", "X坐标", "Y坐标",
                                                 "Z坐标", "钻孔深", "进给量", "抬刀高", "抬至顶",
                                                 "进启速", "进运速", "抬启速", "抬运速", "-"};
  switch (kind) {
    case RowKind::Placement: return placement;
    case RowKind::Dispense: return dispense;
    default: return drill;
  }
}

const std::vector<int>& ColumnWidths(RowKind kind) {
  static const std::vector<int> placement = {50, 60, 60, 60, 60, 60, 60, 60, 60, 100, 60, 60, 60, 120, 80, 60};
  static const std::vector<int> dispense = {50, 60, 60, 60, 60, 80, 80, 80, 60, 60, 60, 60, 60, 60, 60};
  static const std::vector<int> drill = {50, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60};
  switch (kind) {
    case RowKind::Placement: return placement;
    case RowKind::Dispense: return dispense;
    default: return drill;
  }
}

std::string FormatG(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace smt::job
