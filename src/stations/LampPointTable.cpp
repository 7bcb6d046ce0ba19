#include "stations/LampPointTable.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "link/MotionGlobals.h"
#include "platform/DecimalRounding.h"
#include "platform/FileCell.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::stations {

namespace {
constexpr const char* kPlatform1 = "平台1";
constexpr const char* kPlatform2 = "平台2";
constexpr const char* kSideFile = "lamp points";

std::string F4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}
std::string D(int v) { return std::to_string(v); }
int32_t T(double v, double s) {
  const double p = std::trunc(v * s);
  if (!std::isfinite(p) || p > 2147483647.0 || p < -2147483648.0) return 0;
  return static_cast<int32_t>(p);
}

// The fields of cells 2..34 as the side file's refusals name them.
std::string FieldName(int c) {
  static const char* const kNames[] = {"check", "mark X", "mark Y", "offset X", "offset Y", "LED X", "LED Y",
                                       "camera offset X", "camera offset Y", "Z", "start speed", "run speed"};
  static const char* const kDot[] = {"X", "Y", "height", "valve open", "bottom delay", "valve close", "close delay"};
  static const char* const kGroup[] = {"red ", "silver 1 ", "silver 2 "};
  if (c >= 2 && c <= 13) return kNames[c - 2];
  if (c >= 14 && c <= 34) return std::string(kGroup[(c - 14) / 7]) + kDot[(c - 14) % 7];
  return "cell";
}

// Reads cells 2..34 of a used row; an empty cell is 0.
LampPointValues ReadValues(const smt::platform::CellReader& in) {
  LampPointValues v = LampPointValues::Zero();
  for (int c = 2; c <= 34; ++c) {
    const size_t cell = static_cast<size_t>(c);
    if (LampPointValues::IntegerColumn(c))
      v.SetNumber(c, static_cast<double>(in.IntegerOr(cell, FieldName(c), -2147483648LL, 2147483647LL, 0)));
    else
      v.SetNumber(c, in.NumberOr(cell, FieldName(c), -1e9, 1e9, 0));
  }
  return v;
}

int PlatformOf(const std::string& cell) { return cell == kPlatform1 ? 1 : cell == kPlatform2 ? 2 : 0; }
}  // namespace

LampPointValues LampPointValues::Zero() {
  LampPointValues v;
  v.startSpeed = v.runSpeed = 0;
  return v;
}

bool LampPointValues::IntegerColumn(int c) {
  return c == 2 || c == 5 || c == 6 || c == 12 || c == 13 || (c >= 14 && c <= 34 && ((c - 14) % 7 == 4 || (c - 14) % 7 == 6));
}

double LampPointValues::Number(int c) const {
  switch (c) {
    case 2: return check;
    case 3: return markX;
    case 4: return markY;
    case 5: return offsetX;
    case 6: return offsetY;
    case 7: return ledX;
    case 8: return ledY;
    case 9: return cameraX;
    case 10: return cameraY;
    case 11: return placeZ;
    case 12: return startSpeed;
    case 13: return runSpeed;
    default: break;
  }
  if (c < 14 || c > 34) return 0;
  const Dot& d = dots[static_cast<size_t>((c - 14) / 7)];
  switch ((c - 14) % 7) {
    case 0: return d.x;
    case 1: return d.y;
    case 2: return d.height;
    case 3: return d.valveOpen;
    case 4: return d.bottomDelay;
    case 5: return d.valveClose;
    default: return d.closeDelay;
  }
}

void LampPointValues::SetNumber(int c, double v) {
  // Whole-number cells: cut to a whole number inside the 32-bit range (no
  // NaN reaches the conversion).
  const auto whole = [v] {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    return static_cast<int>(std::trunc(v));
  };
  switch (c) {
    case 2: check = whole(); return;
    case 3: markX = v; return;
    case 4: markY = v; return;
    case 5: offsetX = whole(); return;
    case 6: offsetY = whole(); return;
    case 7: ledX = v; return;
    case 8: ledY = v; return;
    case 9: cameraX = v; return;
    case 10: cameraY = v; return;
    case 11: placeZ = v; return;
    case 12: startSpeed = whole(); return;
    case 13: runSpeed = whole(); return;
    default: break;
  }
  if (c < 14 || c > 34) return;
  Dot& d = dots[static_cast<size_t>((c - 14) / 7)];
  switch ((c - 14) % 7) {
    case 0: d.x = v; return;
    case 1: d.y = v; return;
    case 2: d.height = v; return;
    case 3: d.valveOpen = v; return;
    case 4: d.bottomDelay = whole(); return;
    case 5: d.valveClose = v; return;
    default: d.closeDelay = whole(); return;
  }
}

LampPointValues LampPointValues::Stored() const {
  LampPointValues v = *this;
  for (int c = 2; c <= 34; ++c)
    if (!IntegerColumn(c)) v.SetNumber(c, smt::platform::RoundDecimals(Number(c), 4));
  return v;
}

void LampPointValues::WriteCells(std::array<std::string, kLampCols>& r) const {
  for (int c = 2; c <= 34; ++c)
    r[static_cast<size_t>(c)] = IntegerColumn(c) ? D(static_cast<int>(Number(c))) : F4(Number(c));
}

LampPointValues LampPointValues::FromCells(const std::array<std::string, kLampCols>& r, int line) {
  const std::vector<std::string_view> cells(r.begin(), r.end());
  return ReadValues(smt::platform::CellReader(kSideFile, line, cells));
}

std::string LampPointValues::CheckRanges() const {
  if (placeZ < -3.0 || placeZ > 3.0) return "Z";
  if (startSpeed < 1 || startSpeed > 255) return "start speed";
  if (runSpeed < 1 || runSpeed > 255) return "run speed";
  for (const Dot& d : dots) {
    if (d.height < -100 || d.height > 0) return "height";
    if (d.valveOpen < -100 || d.valveOpen > 0) return "valve open";
    if (d.bottomDelay < 0 || d.bottomDelay > 10000) return "bottom delay";
    if (d.valveClose < 0 || d.valveClose > 100) return "valve close";
    if (d.closeDelay < 0 || d.closeDelay > 10000) return "close delay";
  }
  return {};
}

LampScales LampScales::FromSettingsStore(smt::Machine& machine) {
  LampScales s;
  auto& store = smt::settings::SettingsStores::Of(machine).machine;
  if (auto p = store.Pulse()) {
    s.px = p->m_X_Pulse;
    s.py = p->m_Y_Pulse;
    s.pz = p->m_Z_Pulse;
  }
  if (auto b = store.Basic()) {
    s.nozzle5X = b->m_X_Nozzle5ToNozzle1;
    s.nozzle5Y = b->m_Y_Nozzle5ToNozzle1;
    s.nozzle6X = b->m_X_Nozzle6ToNozzle1;
    s.nozzle6Y = b->m_Y_Nozzle6ToNozzle1;
  }
  return s;
}

LampPointTable& LampPointTable::Of(smt::Machine& machine) { return machine.Part<LampPointTable>(); }

LampPointTable::LampPointTable() : grid_(kLampRows) {}

void LampPointTable::Clear() {
  std::lock_guard lk(m_);
  grid_.assign(kLampRows, Row_{});
  count_ = 0;
}

void LampPointTable::SetValuesLocked(Row_& r, const LampPointValues& v) {
  r.values = v.Stored();
  v.WriteCells(r.text);
}

LampPointValues LampPointTable::Values(int row) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows) return LampPointValues::Zero();
  return grid_[static_cast<size_t>(row)].values;
}

int LampPointTable::Platform(int row) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows) return 0;
  return grid_[static_cast<size_t>(row)].platform;
}

bool LampPointTable::RowUsed(int row) const {
  std::lock_guard lk(m_);
  return row >= 0 && row < kLampRows && !grid_[static_cast<size_t>(row)].text[1].empty();
}

std::string LampPointTable::Cell(int row, int col) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows || col < 0 || col >= kLampCols) return {};
  return grid_[static_cast<size_t>(row)].text[static_cast<size_t>(col)];
}

std::string LampPointTable::SetCell(int row, int col, const std::string& text) {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows || col < 0 || col >= kLampCols) return {};
  Row_& r = grid_[static_cast<size_t>(row)];
  r.text[static_cast<size_t>(col)] = text;
  if (col == 1) r.platform = PlatformOf(text);
  if (col < 2 || col > 34) return {};
  // Read as the side file's reader reads the row: a cell that is no number
  // in its field keeps the row's text, gives no values and is named.
  try {
    r.values = LampPointValues::FromCells(r.text, row + 1);
  } catch (const smt::platform::FileCellError& e) {
    r.values = LampPointValues::Zero();
    return e.what();
  }
  return {};
}

void LampPointTable::SetMarkOffsets(int row, std::optional<std::pair<int32_t, int32_t>> offsets) {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows) return;
  Row_& r = grid_[static_cast<size_t>(row)];
  r.values.offsetX = offsets ? offsets->first : 0;
  r.values.offsetY = offsets ? offsets->second : 0;
  r.text[5] = offsets ? D(offsets->first) : std::string();
  r.text[6] = offsets ? D(offsets->second) : std::string();
}

std::array<std::string, kLampCols> LampPointTable::Row(int row) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows) return {};
  return grid_[static_cast<size_t>(row)].text;
}

int LampPointTable::PointCount() const {
  std::lock_guard lk(m_);
  return count_;
}

std::vector<std::string> LampPointTable::RowTexts() const {
  std::lock_guard lk(m_);
  std::vector<std::string> out;
  for (const auto& row : grid_) {
    std::string t;
    for (const auto& c : row.text) t += c + "\t";
    t += row.end;
    // A row as the file held it goes back as it came (a row of fewer cells
    // than the grid's included).
    if (row.asRead && *row.asRead != t) {
      std::vector<std::string_view> cells;
      smt::platform::SplitTabCellViews(*row.asRead, cells);
      cells.resize(std::min(cells.size(), static_cast<size_t>(kLampCols)));
      bool same = true;
      for (size_t c = 0; c < row.text.size() && same; ++c) same = (c < cells.size() ? cells[c] : std::string_view()) == row.text[c];
      if (same) t = *row.asRead;
    }
    out.push_back(std::move(t));
  }
  return out;
}

std::vector<std::string> LampPointTable::SetRowTexts(const std::vector<std::string>& texts) {
  std::vector<std::string> refused;
  std::vector<std::string_view> cells;
  std::lock_guard lk(m_);
  int count = 0;
  for (size_t i = 0; i < texts.size() && i < static_cast<size_t>(kLampRows); ++i) {
    const std::string& t = texts[i];
    if (t.find('\t') == std::string::npos) continue;
    smt::platform::SplitTabCellViews(t, cells);
    // Cells beyond the 40 are dropped; missing ones stay empty.
    if (cells.size() > static_cast<size_t>(kLampCols)) cells.resize(kLampCols);
    Row_ row;
    for (size_t c = 0; c < cells.size(); ++c) row.text[c] = std::string(cells[c]);
    // What follows the last cell (the line end, or none) stays the row's.
    const size_t lastCellEnd = static_cast<size_t>(cells.back().data() - t.data()) + cells.back().size();
    row.end = t.substr(lastCellEnd + 1);
    row.asRead = t;
    if (row.text[1] == kPlatform1) ++count;
    row.platform = PlatformOf(row.text[1]);
    if (!row.text[1].empty()) {
      try {
        row.values = ReadValues(smt::platform::CellReader(kSideFile, static_cast<int>(i) + 1, cells));
      } catch (const smt::platform::FileCellError& e) {
        row.values = LampPointValues::Zero();
        refused.push_back(e.what());
      }
    }
    grid_[i] = std::move(row);
  }
  count_ = count;
  return refused;
}

bool LampPointTable::FillPointRows(int point, const LampPointValues& v) {
  if (point < 0 || point >= kLampMaxPoints) return false;
  std::lock_guard lk(m_);
  for (int k = 0; k < 2; ++k) {
    Row_& row = grid_[static_cast<size_t>(2 * point + k)];
    row = Row_{};
    row.text[0] = D(point + 1);
    row.text[1] = k == 0 ? kPlatform1 : kPlatform2;
    row.platform = k + 1;
    SetValuesLocked(row, v);
  }
  ++count_;
  return true;
}

bool LampPointTable::AddPoint(const LampPointValues& v) {
  const int n = PointCount();
  if (n >= kLampMaxPoints) return false;
  return FillPointRows(n, v);
}

bool LampPointTable::ModifyRow(int row, const LampPointValues& v) {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows || grid_[static_cast<size_t>(row)].text[1].empty()) return false;
  SetValuesLocked(grid_[static_cast<size_t>(row)], v);
  return true;
}

bool LampPointTable::DeleteRowPoint(int row) {
  if (row < 0 || row >= kLampRows || !RowUsed(row)) return false;
  return DeletePoint(row / 2);
}

bool LampPointTable::DeletePoint(int point) {
  std::lock_guard lk(m_);
  if (point < 0 || point >= kLampMaxPoints) return false;
  for (int p = point; p + 1 < kLampMaxPoints; ++p) {
    grid_[static_cast<size_t>(2 * p)] = grid_[static_cast<size_t>(2 * p + 2)];
    grid_[static_cast<size_t>(2 * p + 1)] = grid_[static_cast<size_t>(2 * p + 3)];
  }
  grid_[18] = Row_{};
  grid_[19] = Row_{};
  if (count_ > 0) --count_;
  return true;
}

LampTargets LampPointTable::ParsePointRow(int kind, int platform, int point, const LampScales& s) const {
  LampTargets t;
  if (kind < 1 || kind > 4 || point < 0 || point >= kLampMaxPoints) return t;
  const LampPointValues v = Values(platform == 1 ? 2 * point : 2 * point + 1);
  if (kind == 1) {
    t.x = T(v.markX, s.px) + T(v.ledX + v.cameraX, s.px) + v.offsetX;
    t.y = T(v.markY, s.py) + T(v.ledY + v.cameraY, s.py) + v.offsetY;
  } else {
    const LampPointValues::Dot& d = v.dots[static_cast<size_t>(kind - 2)];
    const double hx = kind == 2 ? s.nozzle5X : s.nozzle6X;
    const double hy = kind == 2 ? s.nozzle5Y : s.nozzle6Y;
    t.glue = true;
    t.x = T(v.markX, s.px) + T(v.ledX + d.x, s.px) - T(hx, s.px) + v.offsetX;
    t.y = T(v.markY, s.py) + T(v.ledY + d.y, s.py) - T(hy, s.py) + v.offsetY;
  }
  t.setX = true;
  t.setY = platform == 1 || platform == 2;
  return t;
}

LampDispense LampPointTable::ParseSettings(int group, int platform, int point, const LampScales& s) const {
  LampDispense d;
  if (point < 0 || point >= kLampMaxPoints) return d;
  const LampPointValues v = Values(platform == 1 ? 2 * point : 2 * point + 1);
  d.startSpeed = v.startSpeed;
  d.runSpeed = v.runSpeed;
  if (group >= 0 && group <= 2) {
    const LampPointValues::Dot& dot = v.dots[static_cast<size_t>(group)];
    d.height = T(dot.height, s.pz);
    d.valveOpen = T(dot.valveOpen, s.pz);
    d.bottomDelay = dot.bottomDelay;
    d.valveClose = T(dot.valveClose, s.pz);
    d.closeDelay = dot.closeDelay;
  }
  return d;
}

LampTargets ApplyLampTargets(smt::Machine& machine, int kind, int platform, int point) {
  const LampTargets t =
      LampPointTable::Of(machine).ParsePointRow(kind, platform, point, LampScales::FromSettingsStore(machine));
  if (!t.setX) return t;
  if (t.glue) machine.motion.glueTargetX = t.x;
  else machine.motion.targetX = t.x;
  if (platform == 1) machine.motion.targetY = t.y;
  else if (platform == 2) machine.motion.targetY2 = t.y;
  return t;
}

LampDispense ApplyLampDispense(smt::Machine& machine, int group, int platform, int point) {
  return LampPointTable::Of(machine).ParseSettings(group, platform, point, LampScales::FromSettingsStore(machine));
}

LampCounters LampCounters::Load(const std::string& appDir) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "LampMachineListConfig");
  LampCounters c;
  c.m_CountSet = smt::settings::ReadConfigInt(s, "m_CountSet");
  if (c.m_CountSet == 0) c.m_CountSet = 1;
  c.m_CountFinish = smt::settings::ReadConfigInt(s, "m_CountFinish");
  c.m_CountUnfinish = smt::settings::ReadConfigInt(s, "m_CountUnfinish");
  return c;
}

bool LampCounters::Save(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "LampMachineListConfig");
  bool ok = s.WriteInt("m_CountSet", m_CountSet);
  ok &= s.WriteInt("m_CountFinish", m_CountFinish);
  ok &= s.WriteInt("m_CountUnfinish", m_CountUnfinish);
  return ok;
}

int LampCounters::Confirm(int newSet, int inc) {
  if (static_cast<long long>(newSet) - 3 < m_CountFinish) return 1;
  m_CountUnfinish += newSet - m_CountSet;
  m_CountSet = newSet;
  if (static_cast<long long>(m_CountSet) - 3 + inc < m_CountFinish) return 2;
  m_CountUnfinish += inc;
  m_CountSet += inc;
  return 0;
}

}  // namespace smt::stations
