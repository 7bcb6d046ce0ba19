#include "vision/CameraTable.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/FileCell.h"
#include "platform/OperatorNumber.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"

namespace smt::vision {

int32_t MmToSteps(double mm, double pulsesPerMm) {
  const double v = std::trunc(mm * pulsesPerMm);
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double CellDouble(const std::string& cell) {
  return smt::platform::ParseCellNumber(cell, -smt::platform::kAnyNumber, smt::platform::kAnyNumber).value_or(0.0);
}
int CellInt(const std::string& cell) {
  const auto v = smt::platform::ParseCellNumber(cell, INT32_MIN, INT32_MAX);
  return v && std::trunc(*v) == *v ? static_cast<int>(*v) : 0;
}

const std::array<CameraCellField, kCameraCellCount - 1>& CameraCellFields() {
  constexpr double any = smt::platform::kAnyNumber;
  static const std::array<CameraCellField, kCameraCellCount - 1> k = {{
      {1, "X", -any, any, false},
      {2, "Y", -any, any, false},
      {3, "Correction X1", -any, any, false}, {4, "Correction Y1", -any, any, false},
      {5, "Correction X2", -any, any, false}, {6, "Correction Y2", -any, any, false},
      {7, "Correction X3", -any, any, false}, {8, "Correction Y3", -any, any, false},
      {9, "Correction X4", -any, any, false}, {10, "Correction Y4", -any, any, false},
      {11, "Correction X5", -any, any, false}, {12, "Correction Y5", -any, any, false},
      {13, "Correction X6", -any, any, false}, {14, "Correction Y6", -any, any, false},
      {15, "Correction X7", -any, any, false}, {16, "Correction Y7", -any, any, false},
      {17, "Correction X8", -any, any, false}, {18, "Correction Y8", -any, any, false},
      {19, "Correction A", -any, any, false},
      {20, "VisualZoom", 0, 200, false},
      {21, "VisualSize", 0, 640, false},
      {22, "Light_Contrast", 0, 255, true},
      {23, "Light_Brightness", 0, 255, true},
      {24, "CorrectionTimes", 0, 20, true},
      {25, "Precision_XY", 0, 10, true},
      {26, "Precision_A", 0, 30, true},
      {27, "CollectTime", 0, 10000, true},
  }};
  return k;
}

std::optional<std::string> CameraCellProblem(const CameraCellField& f, std::string_view text) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.empty()) return std::nullopt;  // older layouts leave cells empty: 0
  const auto v = smt::platform::ParseCellNumber(t, f.lo, f.hi);
  if (v && (!f.integer || std::trunc(*v) == *v)) return std::nullopt;
  const bool any = f.lo <= -smt::platform::kAnyNumber;
  return std::string(f.integer ? "a whole number" : "a number") +
         (any ? std::string() : " in " + smt::platform::RangeText(f.lo, f.hi));
}

std::optional<double> CameraCellNumber(const CameraCellField& f, std::string_view text) {
  if (CameraCellProblem(f, text)) return std::nullopt;
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.empty()) return 0.0;
  return smt::platform::ParseCellNumber(t, f.lo, f.hi);
}

int ReportCameraRowProblems(const std::vector<CameraRow>& rows, const std::string& file) {
  int refused = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    for (const auto& f : CameraCellFields()) {
      const std::string& text = rows[i][static_cast<size_t>(f.cell)];
      if (auto need = CameraCellProblem(f, text)) {
        ++refused;
        smt::platform::ReportReadRefusal({file, "line " + std::to_string(i + 1) + ", field \"" + f.name + "\"",
                                          text, *need, "0"});
      }
    }
  }
  return refused;
}

CameraRecord RecordFromRow(const CameraRow& row, int cameraNumber, double xPulse, double yPulse) {
  CameraRecord r;
  r.CameraNumber = cameraNumber;
  // A cell the table refused (told at loading) counts as empty: 0.
  auto cellD = [&row](int c) { return CameraCellProblem(CameraCellFields()[c - 1], row[c]) ? 0.0 : CellDouble(row[c]); };
  auto cellI = [&row](int c) { return CameraCellProblem(CameraCellFields()[c - 1], row[c]) ? 0 : CellInt(row[c]); };
  r.CameraPulse_X = MmToSteps(cellD(1), xPulse);
  r.CameraPulse_Y = MmToSteps(cellD(2), yPulse);
  for (int k = 0; k < 8; ++k) {
    r.CorrectionPulse_X[k] = MmToSteps(cellD(3 + 2 * k), xPulse);
    r.CorrectionPulse_Y[k] = MmToSteps(cellD(4 + 2 * k), yPulse);
  }
  r.Correction_A = cellD(19);
  r.VisualZoom = cellD(20);
  r.VisualSize = cellD(21);
  r.Light_Contrast = cellI(22);
  r.Light_Brightness = cellI(23);
  r.CorrectionTimes = cellI(24);
  r.Precision_XY = cellI(25);
  r.Precision_A = cellI(26);
  r.CollectTime = cellI(27);
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

int CameraTable::LoadTable(const std::vector<std::string>& texts) {
  m_CameraRows.clear();
  if (texts.empty()) return 0;
  const int layout = CountTabs(texts.front());
  for (const auto& t : texts) m_CameraRows.push_back(PlaceCells(SplitRowText(t), layout));
  // Every number cell is checked here, where the table is read; a refused
  // cell keeps its text (the row is saved back as it came) and counts as 0.
  return ReportCameraRowProblems(m_CameraRows, "config_camera.fig");
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
    // A position the table could not read keeps its text.
    for (int c : {1, 2})
      if (!CameraCellProblem(CameraCellFields()[c - 1], r[c]))
        r[c] = smt::platform::FormatDouble(CellDouble(r[c]) + (c == 1 ? dxMm : dyMm), 4);
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
