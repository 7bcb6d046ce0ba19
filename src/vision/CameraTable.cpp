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

const std::array<CameraCellField, kCameraCellCount - 1>& CameraCellFields() {
  constexpr double any = smt::platform::kAnyNumber;
  static const std::array<CameraCellField, kCameraCellCount - 1> k = {{
      {1, "X", -any, any, false, 4},
      {2, "Y", -any, any, false, 4},
      {3, "Correction X1", -any, any, false, 4}, {4, "Correction Y1", -any, any, false, 4},
      {5, "Correction X2", -any, any, false, 4}, {6, "Correction Y2", -any, any, false, 4},
      {7, "Correction X3", -any, any, false, 4}, {8, "Correction Y3", -any, any, false, 4},
      {9, "Correction X4", -any, any, false, 4}, {10, "Correction Y4", -any, any, false, 4},
      {11, "Correction X5", -any, any, false, 4}, {12, "Correction Y5", -any, any, false, 4},
      {13, "Correction X6", -any, any, false, 4}, {14, "Correction Y6", -any, any, false, 4},
      {15, "Correction X7", -any, any, false, 4}, {16, "Correction Y7", -any, any, false, 4},
      {17, "Correction X8", -any, any, false, 4}, {18, "Correction Y8", -any, any, false, 4},
      {19, "Correction A", -any, any, false, 4},
      {20, "VisualZoom", kVisualZoomRange.lo, kVisualZoomRange.hi, false, 2},
      {21, "VisualSize", kVisualSizeRange.lo, kVisualSizeRange.hi, false, 2},
      {22, "Light_Contrast", kLightRange.lo, kLightRange.hi, true, 0},
      {23, "Light_Brightness", kLightRange.lo, kLightRange.hi, true, 0},
      {24, "CorrectionTimes", kCorrectionTimesRange.lo, kCorrectionTimesRange.hi, true, 0},
      {25, "Precision_XY", kPrecisionXYRange.lo, kPrecisionXYRange.hi, true, 0},
      {26, "Precision_A", kPrecisionARange.lo, kPrecisionARange.hi, true, 0},
      {27, "CollectTime", kCollectTimeRange.lo, kCollectTimeRange.hi, true, 0},
  }};
  return k;
}

namespace {

// The value of number cell `cell` (1..27) in the values, and back.
double FieldValue(const CameraValues& v, int cell) {
  if (cell == 1) return v.x;
  if (cell == 2) return v.y;
  if (cell <= 18) return v.corrections[static_cast<size_t>(cell - 3)];
  switch (cell) {
    case 19: return v.angle;
    case 20: return v.visualZoom;
    case 21: return v.visualSize;
    case 22: return v.contrast;
    case 23: return v.brightness;
    case 24: return v.correctionTimes;
    case 25: return v.precisionXY;
    case 26: return v.precisionA;
    default: return v.collectTime;
  }
}

void SetFieldValue(CameraValues& v, int cell, double x) {
  const int n = static_cast<int>(x);  // integer fields hold whole numbers in their range
  if (cell == 1) v.x = x;
  else if (cell == 2) v.y = x;
  else if (cell <= 18) v.corrections[static_cast<size_t>(cell - 3)] = x;
  else switch (cell) {
    case 19: v.angle = x; break;
    case 20: v.visualZoom = x; break;
    case 21: v.visualSize = x; break;
    case 22: v.contrast = n; break;
    case 23: v.brightness = n; break;
    case 24: v.correctionTimes = n; break;
    case 25: v.precisionXY = n; break;
    case 26: v.precisionA = n; break;
    default: v.collectTime = n; break;
  }
}

bool Blank(std::string_view t) { return t.find_first_not_of(' ') == std::string_view::npos; }

// The number a cell holds (an empty cell, as older layouts leave them, is
// 0); nullopt with what the field needs when the text is no number in its
// range.
std::optional<double> ReadCell(const CameraCellField& f, std::string_view text, std::string* need) {
  if (Blank(text)) return 0.0;
  const auto v = smt::platform::ParseCellNumber(text, f.lo, f.hi);
  if (v && (!f.integer || std::trunc(*v) == *v)) return v;
  const bool any = f.lo <= -smt::platform::kAnyNumber;
  *need = std::string(f.integer ? "a whole number" : "a number") +
          (any ? std::string() : " in " + smt::platform::RangeText(f.lo, f.hi));
  return std::nullopt;
}

std::string FormatField(const CameraCellField& f, double v) {
  return f.integer ? smt::platform::FormatInt(static_cast<long long>(v)) : smt::platform::FormatDouble(v, f.decimals);
}

bool Fits(const CameraCellField& f, double v) {
  return std::isfinite(v) && v >= f.lo && v <= f.hi && (!f.integer || std::trunc(v) == v);
}

}  // namespace

CameraRow::CameraRow(const CameraValues& values) {
  cells_[0] = values.name;
  for (const auto& f : CameraCellFields()) cells_[static_cast<size_t>(f.cell)] = FormatField(f, FieldValue(values, f.cell));
  Read();
}

CameraRow::CameraRow(CameraCells cells, std::string_view file, int line, std::optional<std::string> asRead)
    : cells_(std::move(cells)), asRead_(std::move(asRead)), file_(file), line_(line) {
  Read();
}

void CameraRow::Read() {
  values_ = CameraValues{};
  problems_.clear();
  needs_.clear();
  refused_ = {};
  values_.name = cells_[0];
  for (const auto& f : CameraCellFields()) {
    const std::string& text = cells_[static_cast<size_t>(f.cell)];
    std::string need;
    if (const auto v = ReadCell(f, text, &need)) {
      SetFieldValue(values_, f.cell, *v + 0.0);  // "-0" reads as 0
    } else {
      // A refused cell counts as 0 in the values the editor is offered.
      refused_[static_cast<size_t>(f.cell)] = true;
      problems_.emplace_back(file_, line_, f.name, text, need);
      needs_.push_back(need);
    }
  }
}

bool CameraRow::Set(const CameraValues& values) {
  for (const auto& f : CameraCellFields())
    if (!Fits(f, FieldValue(values, f.cell))) return false;
  const CameraCells before = cells_;
  cells_[0] = values.name;
  for (const auto& f : CameraCellFields()) {
    const size_t c = static_cast<size_t>(f.cell);
    const double v = FieldValue(values, f.cell);
    if (refused_[c] || v != FieldValue(values_, f.cell)) cells_[c] = FormatField(f, v);
  }
  // A changed row is written in the current layout from then on.
  if (cells_ != before) asRead_.reset();
  Read();
  return true;
}

bool CameraRow::SetPosition(double x, double y) {
  if (!Readable()) return false;
  CameraValues v = values_;
  v.x = x;
  v.y = y;
  return Set(v);
}

bool CameraRow::SetVisualZoom(double zoom) {
  if (!Readable()) return false;
  CameraValues v = values_;
  v.visualZoom = zoom;
  return Set(v);
}

std::string CameraRow::Text() const { return asRead_ ? *asRead_ : CellsText(); }

std::string CameraRow::CellsText() const {
  std::string s;
  for (const auto& c : cells_) {
    s += c;
    s += '\t';
  }
  return s;
}

std::vector<std::string> CameraRow::ShownTexts() const {
  std::vector<std::string> out(kCameraCellCount);
  out[0] = values_.name;
  for (const auto& f : CameraCellFields()) {
    const size_t c = static_cast<size_t>(f.cell);
    out[c] = refused_[c] ? cells_[c] : FormatField(f, FieldValue(values_, f.cell));
  }
  return out;
}

CameraRecord RecordFromValues(const CameraValues& v, int cameraNumber, double xPulse, double yPulse) {
  CameraRecord r;
  r.CameraNumber = cameraNumber;
  r.CameraPulse_X = MmToSteps(v.x, xPulse);
  r.CameraPulse_Y = MmToSteps(v.y, yPulse);
  for (size_t k = 0; k < 8; ++k) {
    r.CorrectionPulse_X[k] = MmToSteps(v.corrections[2 * k], xPulse);
    r.CorrectionPulse_Y[k] = MmToSteps(v.corrections[2 * k + 1], yPulse);
  }
  r.Correction_A = v.angle;
  r.VisualZoom = v.visualZoom;
  r.VisualSize = v.visualSize;
  r.Light_Contrast = v.contrast;
  r.Light_Brightness = v.brightness;
  r.CorrectionTimes = v.correctionTimes;
  r.Precision_XY = v.precisionXY;
  r.Precision_A = v.precisionA;
  r.CollectTime = v.collectTime;
  return r;
}

namespace {

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

// Older layouts: one head (15 cells) and four heads (21 cells). The cells
// after the corrections move to angle, scale, box and the six integers; the
// old layout's second box cell replaces the first.
CameraCells PlaceCells(const std::vector<std::string>& cells, int layoutTabs) {
  CameraCells row;
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

std::vector<CameraRow> ReadCameraRows(const std::vector<std::string>& texts, std::string_view file) {
  std::vector<CameraRow> rows;
  if (texts.empty()) return rows;
  const int layout = CountTabs(texts.front());
  rows.reserve(texts.size());
  for (size_t i = 0; i < texts.size(); ++i)
    rows.emplace_back(PlaceCells(SplitRowText(texts[i]), layout), file, static_cast<int>(i) + 1, texts[i]);
  return rows;
}

std::vector<std::string> CameraRowTexts(const std::vector<CameraRow>& rows) {
  std::vector<std::string> texts;
  texts.reserve(rows.size());
  bool asRead = false;
  for (const CameraRow& r : rows) {
    texts.push_back(r.Text());
    asRead = asRead || r.AsRead();
  }
  if (!asRead) return texts;
  // Rows kept as read must read back as they are beside the others.
  const std::vector<CameraRow> again = ReadCameraRows(texts, "");
  bool same = again.size() == rows.size();
  for (size_t i = 0; same && i < rows.size(); ++i) same = again[i].Cells() == rows[i].Cells();
  if (same) return texts;
  for (size_t i = 0; i < rows.size(); ++i) texts[i] = rows[i].CellsText();
  return texts;
}

std::vector<std::string> CameraNamesOf(const std::vector<CameraRow>& rows) {
  std::vector<std::string> names;
  names.reserve(rows.size());
  for (const CameraRow& r : rows) names.push_back(r.Name());
  return names;
}

int ReportCameraRowProblems(const std::vector<CameraRow>& rows) {
  int refused = 0;
  for (const CameraRow& r : rows) {
    for (size_t i = 0; i < r.Problems().size(); ++i) {
      const auto& p = r.Problems()[i];
      ++refused;
      smt::platform::ReportReadRefusal(
          {p.file(), "line " + std::to_string(p.line()) + ", field \"" + p.field() + "\"", p.text(), r.Needs()[i], ""});
    }
  }
  return refused;
}

int CameraTable::LoadTable(const std::vector<std::string>& texts, std::string_view file) {
  // Every number cell is read here, where the table is read; a row with a
  // refused cell keeps its text (it is saved back as it came).
  return LoadRows(ReadCameraRows(texts, file));
}

int CameraTable::LoadRows(std::vector<CameraRow> rows) {
  m_CameraRows = std::move(rows);
  return ReportCameraRowProblems(m_CameraRows);
}

std::vector<std::string> CameraTable::SaveTable() const { return CameraRowTexts(m_CameraRows); }

std::vector<std::string> CameraTable::Names() const {
  std::vector<std::string> names;
  for (const auto& r : m_CameraRows) names.push_back(r.Name());
  return names;
}

std::string CameraTable::NewCameraName() const {
  if (m_CameraRows.empty()) return kCameraName1;
  if (m_CameraRows.size() == 1) return m_CameraRows[0].Name() == kCameraName1 ? kCameraName2 : kCameraName1;
  return {};
}

bool CameraTable::DeleteRow(int index) {
  if (index < 0 || index >= Count()) return false;
  m_CameraRows.erase(m_CameraRows.begin() + index);
  return true;
}

namespace {

// The record of a row: none (cleared) when the row cannot be read.
CameraRecord RecordOf(const CameraRow& row, int cameraNumber, double xPulse, double yPulse) {
  return row.Readable() ? RecordFromValues(row.Values(), cameraNumber, xPulse, yPulse) : CameraRecord{};
}

}  // namespace

bool CameraTable::ModifyRow(int index, const CameraValues& values, double xPulse, double yPulse) {
  if (index < 0 || index >= Count()) return false;
  CameraRow& row = m_CameraRows[static_cast<size_t>(index)];
  if (!row.Set(values)) return false;
  if (index == 0) m_Camera_first = RecordOf(row, 1, xPulse, yPulse);
  if (index == 1) m_Camera_second = RecordOf(row, 2, xPulse, yPulse);
  return true;
}

bool CameraTable::SetPosition(int index, double x, double y) {
  return index >= 0 && index < Count() && m_CameraRows[static_cast<size_t>(index)].SetPosition(x, y);
}

bool CameraTable::SetVisualZoom(int index, double zoom) {
  return index >= 0 && index < Count() && m_CameraRows[static_cast<size_t>(index)].SetVisualZoom(zoom);
}

void CameraTable::RebuildRecords(double xPulse, double yPulse) {
  m_Camera_first = {};
  m_Camera_second = {};
  if (Count() == 2) {
    m_Camera_first = RecordOf(m_CameraRows[0], 1, xPulse, yPulse);
    m_Camera_second = RecordOf(m_CameraRows[1], 2, xPulse, yPulse);
  } else if (Count() == 1) {
    if (m_CameraRows[0].Name() == kCameraName1)
      m_Camera_first = RecordOf(m_CameraRows[0], 1, xPulse, yPulse);
    else
      m_Camera_second = RecordOf(m_CameraRows[0], 2, xPulse, yPulse);
  }
}

void CameraTable::ShiftPositions(double dxMm, double dyMm, double xPulse, double yPulse) {
  // A row that cannot be read keeps its text and its record.
  for (auto& r : m_CameraRows)
    if (r.Readable()) r.SetPosition(r.Values().x + dxMm, r.Values().y + dyMm);
  auto steps = [&](CameraRecord& rec, const CameraRow& row) {
    if (!row.Readable()) return;
    rec.CameraPulse_X = MmToSteps(row.Values().x, xPulse);
    rec.CameraPulse_Y = MmToSteps(row.Values().y, yPulse);
  };
  if (Count() == 2) {
    steps(m_Camera_first, m_CameraRows[0]);
    steps(m_Camera_second, m_CameraRows[1]);
  } else if (Count() == 1) {
    steps(m_CameraRows[0].Name() == kCameraName1 ? m_Camera_first : m_Camera_second, m_CameraRows[0]);
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
