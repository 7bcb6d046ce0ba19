#include "vision/CameraTable.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/SettingsSection.h"

namespace smt::vision {

int32_t MmToSteps(double mm, double pulsesPerMm) {
  const double v = std::trunc(mm * pulsesPerMm);
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double CellDouble(const std::string& cell) { return smt::platform::TextToDouble(cell); }
int CellInt(const std::string& cell) { return smt::platform::TextToInt(cell); }

CameraRecord RecordFromRow(const CameraRow& row, int cameraNumber, double xPulse, double yPulse) {
  CameraRecord r;
  r.CameraNumber = cameraNumber;
  r.CameraPulse_X = MmToSteps(CellDouble(row[1]), xPulse);
  r.CameraPulse_Y = MmToSteps(CellDouble(row[2]), yPulse);
  for (int k = 0; k < 8; ++k) {
    r.CorrectionPulse_X[k] = MmToSteps(CellDouble(row[3 + 2 * k]), xPulse);
    r.CorrectionPulse_Y[k] = MmToSteps(CellDouble(row[4 + 2 * k]), yPulse);
  }
  r.Correction_A = CellDouble(row[19]);
  r.VisualZoom = CellDouble(row[20]);
  r.VisualSize = CellDouble(row[21]);
  r.Light_Contrast = CellInt(row[22]);
  r.Light_Brightness = CellInt(row[23]);
  r.CorrectionTimes = CellInt(row[24]);
  r.Precision_XY = CellInt(row[25]);
  r.Precision_A = CellInt(row[26]);
  r.CollectTime = CellInt(row[27]);
  return r;
}

std::vector<std::string> SplitRowText(const std::string& text) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    const size_t tab = text.find('\t', start);
    if (tab == std::string::npos) break;
    cells.push_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  return cells;
}

std::string JoinRow(const CameraRow& row) {
  std::string s;
  for (const auto& c : row) {
    s += c;
    s += '\t';
  }
  return s;
}

namespace {

// Older layouts: one head (15 cells) and four heads (21 cells). The cells
// after the corrections move to angle, scale, box and the six integers; the
// old layout's second box cell replaces the first.
CameraRow PlaceCells(const std::vector<std::string>& cells, int layoutTabs) {
  CameraRow row;
  auto cell = [&](size_t i) -> std::string { return i < cells.size() ? cells[i] : std::string(); };
  if (layoutTabs == 15 || layoutTabs == 21) {
    const size_t heads = layoutTabs == 15 ? 1 : 4;
    const size_t lead = 3 + 2 * heads;  // name, X, Y and the corrections
    for (size_t i = 0; i < lead; ++i) row[i] = cell(i);
    row[19] = cell(lead);
    row[20] = cell(lead + 1);
    row[21] = cell(lead + 2);
    if (lead + 3 < cells.size()) row[21] = cell(lead + 3);
    for (size_t i = 0; i < 6; ++i) row[22 + i] = cell(lead + 4 + i);
    return row;
  }
  for (size_t i = 0; i < static_cast<size_t>(kCameraCellCount) && i < cells.size(); ++i) row[i] = cells[i];
  return row;
}

int CountTabs(const std::string& s) {
  int n = 0;
  for (char c : s)
    if (c == '\t') ++n;
  return n;
}

}  // namespace

void CameraTable::LoadTable(const std::vector<std::string>& texts) {
  m_CameraRows.clear();
  if (texts.empty()) return;
  const int layout = CountTabs(texts.front());
  for (const auto& t : texts) m_CameraRows.push_back(PlaceCells(SplitRowText(t), layout));
}

std::vector<std::string> CameraTable::SaveTable() const {
  std::vector<std::string> out;
  out.reserve(m_CameraRows.size());
  for (const auto& r : m_CameraRows) out.push_back(JoinRow(r));
  return out;
}

std::vector<std::string> CameraTable::Names() const {
  std::vector<std::string> names;
  for (const auto& r : m_CameraRows) names.push_back(r[0]);
  return names;
}

std::string CameraTable::NewCameraName() const {
  if (m_CameraRows.empty()) return kCameraName1;
  if (m_CameraRows.size() == 1) return m_CameraRows[0][0] == kCameraName1 ? kCameraName2 : kCameraName1;
  return {};
}

bool CameraTable::DeleteRow(int index) {
  if (index < 0 || index >= Count()) return false;
  m_CameraRows.erase(m_CameraRows.begin() + index);
  return true;
}

bool CameraTable::ModifyRow(int index, const CameraRow& row, double xPulse, double yPulse) {
  if (index < 0 || index >= Count()) return false;
  m_CameraRows[index] = row;
  if (index == 0) m_Camera_first = RecordFromRow(row, 1, xPulse, yPulse);
  if (index == 1) m_Camera_second = RecordFromRow(row, 2, xPulse, yPulse);
  return true;
}

void CameraTable::RebuildRecords(double xPulse, double yPulse) {
  m_Camera_first = {};
  m_Camera_second = {};
  if (Count() == 2) {
    m_Camera_first = RecordFromRow(m_CameraRows[0], 1, xPulse, yPulse);
    m_Camera_second = RecordFromRow(m_CameraRows[1], 2, xPulse, yPulse);
  } else if (Count() == 1) {
    if (m_CameraRows[0][0] == kCameraName1)
      m_Camera_first = RecordFromRow(m_CameraRows[0], 1, xPulse, yPulse);
    else
      m_Camera_second = RecordFromRow(m_CameraRows[0], 2, xPulse, yPulse);
  }
}

void CameraTable::ShiftPositions(double dxMm, double dyMm, double xPulse, double yPulse) {
  for (auto& r : m_CameraRows) {
    r[1] = smt::platform::FormatDouble(CellDouble(r[1]) + dxMm, 4);
    r[2] = smt::platform::FormatDouble(CellDouble(r[2]) + dyMm, 4);
  }
  auto steps = [&](CameraRecord& rec, const CameraRow& row) {
    rec.CameraPulse_X = MmToSteps(CellDouble(row[1]), xPulse);
    rec.CameraPulse_Y = MmToSteps(CellDouble(row[2]), yPulse);
  };
  if (Count() == 2) {
    steps(m_Camera_first, m_CameraRows[0]);
    steps(m_Camera_second, m_CameraRows[1]);
  } else if (Count() == 1) {
    steps(m_CameraRows[0][0] == kCameraName1 ? m_Camera_first : m_Camera_second, m_CameraRows[0]);
  }
}

std::vector<int> FeedersWithoutVisionCamera(const std::vector<std::string>& cameraNames,
                                            const std::vector<std::string>& feederCameraColumn) {
  std::vector<int> out;
  if (cameraNames.size() >= 2) return out;
  for (int i = 0; i < static_cast<int>(feederCameraColumn.size()); ++i)
    if (cameraNames.empty() || feederCameraColumn[i] != cameraNames[0]) out.push_back(i);
  return out;
}

}  // namespace smt::vision
