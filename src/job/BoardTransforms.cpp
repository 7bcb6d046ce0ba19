#include "job/BoardTransforms.h"

#include <cmath>

#include "job/WorkRecords.h"

namespace smt::job {

namespace {

// A row's whole-degree angle as the transforms turn it: an angle beyond the
// field's range (or no number at all) counts as 0.
int WholeDegrees(double angle) { return std::fabs(angle) <= kMaxAngle ? static_cast<int>(std::trunc(angle)) : 0; }

}  // namespace

TransformedPoint TransformPoint(BoardTransform t, double x, double y, int a) {
  switch (t) {
    case BoardTransform::RotateClockwise:
      return {y, -x, a >= 90 ? a - 90 : a + 270};
    case BoardTransform::RotateCounterclockwise:
      return {-y, x, a + 90 > 360 ? a + 90 - 360 : a + 90};
    case BoardTransform::MirrorLeftRight: {
      int na = a < 0 ? 0 : a <= 180 ? 180 - a : a <= 360 ? 540 - a : 0;
      return {-x, y, na};
    }
    case BoardTransform::MirrorUpDown:
    default: {
      int na = 360 - a;
      if (na >= 360) na = 0;
      return {x, -y, na};
    }
  }
}

static void TransformRow(ListRow& row, BoardTransform t) {
  if (row.cells.size() < kPlacementCells) row.cells.resize(kPlacementCells);
  const PlacementRecord r = PlacementFromListRow(row);
  auto p = TransformPoint(t, r.x, r.y, WholeDegrees(r.angle));
  row.cells[kSmtX] = FormatG(p.x);
  row.cells[kSmtY] = FormatG(p.y);
  row.cells[kSmtAngle] = std::to_string(p.angle);
}

void TransformRows(std::vector<ListRow>& rows, BoardTransform t, bool withCopy, const std::string& firstTag,
                   const std::string& secondTag) {
  if (!withCopy) {
    for (auto& r : rows) TransformRow(r, t);
    return;
  }
  const size_t n = rows.size();
  rows.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    ListRow copy = rows[i];
    if (rows[i].cells.size() < kPlacementCells) rows[i].cells.resize(kPlacementCells);
    const std::string name = rows[i].cells[kSmtName];
    rows[i].cells[kSmtName] = firstTag + "-" + name;
    TransformRow(copy, t);
    copy.cells[kSmtName] = secondTag + "-" + name;
    rows.push_back(std::move(copy));
  }
}

void MergePanelRows(std::vector<ListRow>& rows, int panelRows, int panelCols, double rowPitch, double colPitch) {
  const int R = panelRows < 1 ? 1 : panelRows;
  const int C = panelCols < 1 ? 1 : panelCols;
  std::vector<ListRow> out;
  out.reserve(rows.size() * static_cast<size_t>(R) * static_cast<size_t>(C));
  for (auto& row : rows) {
    if (row.cells.size() < kPlacementCells) row.cells.resize(kPlacementCells);
    const PlacementRecord p = PlacementFromListRow(row);
    const double x0 = p.x, y0 = p.y;
    for (int r = 0; r < R; ++r)
      for (int c = 0; c < C; ++c) {
        ListRow copy = row;
        copy.cells[kSmtX] = FormatG(c * colPitch + x0);
        copy.cells[kSmtY] = FormatG(r * rowPitch + y0);
        out.push_back(std::move(copy));
      }
  }
  rows = std::move(out);
}

}  // namespace smt::job
