#pragma once
// Whole-board changes of a placement list: rotate by 90 degrees, mirror,
// and merge a panel of identical boards into one board. They change the
// row texts (X, Y, angle, name); the PCB record takes them over when the
// list is next stored into it.
#include <string>
#include <vector>

#include "job/JobRows.h"

namespace smt::job {

enum class BoardTransform { RotateClockwise, RotateCounterclockwise, MirrorLeftRight, MirrorUpDown };

struct TransformedPoint {
  double x;
  double y;
  int angle;
};
TransformedPoint TransformPoint(BoardTransform t, double x, double y, int angle);

// Transforms every row in place, or (withCopy) keeps every row and appends
// a transformed copy after the last one; then the original's name becomes
// firstTag + "-" + name and the copy's secondTag + "-" + name.
void TransformRows(std::vector<ListRow>& rows, BoardTransform t, bool withCopy, const std::string& firstTag,
                   const std::string& secondTag);

// Each row becomes rows x cols neighbouring rows placed at
// (X0 + c * colPitch, Y0 + r * rowPitch), r outer, c inner.
void MergePanelRows(std::vector<ListRow>& rows, int panelRows, int panelCols, double rowPitch, double colPitch);

}  // namespace smt::job
