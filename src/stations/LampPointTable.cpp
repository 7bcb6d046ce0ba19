#include "stations/LampPointTable.h"

#include <atomic>
#include <cmath>
#include <cstdio>

#include "link/MotionGlobals.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"

namespace smt::stations {

namespace {
constexpr const char* kPlatform1 = "平台1";
constexpr const char* kPlatform2 = "平台2";

std::string F4(double v) {
  return smt::platform::FormatDouble(v, 4);  // never cut short
}
std::string D(int v) { return std::to_string(v); }
double R(const std::string& s) { return smt::platform::TextToDouble(s); }
int I(const std::string& s) { return smt::platform::TextToInt(s); }
int32_t T(double v, double s) {
  const double p = std::trunc(v * s);
  if (!std::isfinite(p) || p > 2147483647.0 || p < -2147483648.0) return 0;
  return static_cast<int32_t>(p);
}
}  // namespace

void LampPointValues::WriteCells(std::array<std::string, kLampCols>& r) const {
  r[2] = D(check);
  r[3] = F4(markX);
  r[4] = F4(markY);
  r[5] = D(offsetX);
  r[6] = D(offsetY);
  r[7] = F4(ledX);
  r[8] = F4(ledY);
  r[9] = F4(cameraX);
  r[10] = F4(cameraY);
  r[11] = F4(placeZ);
  r[12] = D(startSpeed);
  r[13] = D(runSpeed);
  for (int g = 0; g < 3; ++g) {
    const int b = 14 + 7 * g;
    const Dot& d = dots[g];
    r[b] = F4(d.x);
    r[b + 1] = F4(d.y);
    r[b + 2] = F4(d.height);
    r[b + 3] = F4(d.valveOpen);
    r[b + 4] = D(d.bottomDelay);
    r[b + 5] = F4(d.valveClose);
    r[b + 6] = D(d.closeDelay);
  }
}

LampPointValues LampPointValues::FromCells(const std::array<std::string, kLampCols>& r) {
  LampPointValues v;
  v.check = I(r[2]);
  v.markX = R(r[3]);
  v.markY = R(r[4]);
  v.offsetX = I(r[5]);
  v.offsetY = I(r[6]);
  v.ledX = R(r[7]);
  v.ledY = R(r[8]);
  v.cameraX = R(r[9]);
  v.cameraY = R(r[10]);
  v.placeZ = R(r[11]);
  v.startSpeed = I(r[12]);
  v.runSpeed = I(r[13]);
  for (int g = 0; g < 3; ++g) {
    const int b = 14 + 7 * g;
    Dot& d = v.dots[g];
    d.x = R(r[b]);
    d.y = R(r[b + 1]);
    d.height = R(r[b + 2]);
    d.valveOpen = R(r[b + 3]);
    d.bottomDelay = I(r[b + 4]);
    d.valveClose = R(r[b + 5]);
    d.closeDelay = I(r[b + 6]);
  }
  return v;
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

LampScales LampScales::FromSettingsStore() {
  LampScales s;
  auto& store = smt::settings::SettingsStores::Instance().machine;
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

LampPointTable& LampPointTable::Instance() {
  static LampPointTable t;
  return t;
}

LampPointTable::LampPointTable() : grid_(kLampRows) {}

void LampPointTable::Clear() {
  std::lock_guard lk(m_);
  grid_.assign(kLampRows, {});
  count_ = 0;
}

std::string LampPointTable::Cell(int row, int col) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows || col < 0 || col >= kLampCols) return {};
  return grid_[row][col];
}

void LampPointTable::SetCell(int row, int col, const std::string& text) {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows || col < 0 || col >= kLampCols) return;
  grid_[row][col] = text;
}

void LampPointTable::SetMarkOffsets(int row, std::optional<std::pair<int32_t, int32_t>> offsets) {
  SetCell(row, 5, offsets ? std::to_string(offsets->first) : std::string());
  SetCell(row, 6, offsets ? std::to_string(offsets->second) : std::string());
}

std::array<std::string, kLampCols> LampPointTable::Row(int row) const {
  std::lock_guard lk(m_);
  if (row < 0 || row >= kLampRows) return {};
  return grid_[row];
}

void LampPointTable::SetRow(int row, const std::array<std::string, kLampCols>& cells) {
  std::lock_guard lk(m_);
  if (row >= 0 && row < kLampRows) grid_[row] = cells;
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
    for (const auto& c : row) t += c + "\t";
    out.push_back(t + "\r\n");
  }
  return out;
}

void LampPointTable::SetRowTexts(const std::vector<std::string>& texts) {
  std::lock_guard lk(m_);
  int count = 0;
  for (size_t i = 0; i < texts.size() && i < static_cast<size_t>(kLampRows); ++i) {
    const std::string& t = texts[i];
    if (t.find('\t') == std::string::npos) continue;
    std::array<std::string, kLampCols> row{};
    size_t pos = 0;
    int col = 0;
    for (;;) {
      const size_t tab = t.find('\t', pos);
      if (tab == std::string::npos) break;
      if (col < kLampCols) row[col] = t.substr(pos, tab - pos);
      if (col < kLampCols && row[col] == kPlatform1) ++count;
      ++col;
      pos = tab + 1;
    }
    // Cells beyond the 40 are dropped; missing ones stay empty.
    grid_[i] = row;
  }
  count_ = count;
}

bool LampPointTable::FillPointRows(int point, const LampPointValues& v) {
  if (point < 0 || point >= kLampMaxPoints) return false;
  std::lock_guard lk(m_);
  for (int k = 0; k < 2; ++k) {
    auto& row = grid_[2 * point + k];
    row = {};
    row[0] = D(point + 1);
    row[1] = k == 0 ? kPlatform1 : kPlatform2;
    v.WriteCells(row);
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
  if (row < 0 || row >= kLampRows || grid_[row][1].empty()) return false;
  v.WriteCells(grid_[row]);
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
    grid_[2 * p] = grid_[2 * p + 2];
    grid_[2 * p + 1] = grid_[2 * p + 3];
  }
  grid_[18] = {};
  grid_[19] = {};
  if (count_ > 0) --count_;
  return true;
}

LampTargets LampPointTable::ParsePointRow(int kind, int platform, int point, const LampScales& s) const {
  LampTargets t;
  if (kind < 1 || kind > 4 || point < 0 || point >= kLampMaxPoints) return t;
  const auto row = Row(platform == 1 ? 2 * point : 2 * point + 1);
  const int offX = I(row[5]), offY = I(row[6]);
  const double c3 = R(row[3]), c4 = R(row[4]), c7 = R(row[7]), c8 = R(row[8]);
  if (kind == 1) {
    t.x = T(c3, s.px) + T(c7 + R(row[9]), s.px) + offX;
    t.y = T(c4, s.py) + T(c8 + R(row[10]), s.py) + offY;
  } else {
    const int cx = kind == 2 ? 14 : kind == 3 ? 21 : 28;
    const double hx = kind == 2 ? s.nozzle5X : s.nozzle6X;
    const double hy = kind == 2 ? s.nozzle5Y : s.nozzle6Y;
    t.glue = true;
    t.x = T(c3, s.px) + T(c7 + R(row[cx]), s.px) - T(hx, s.px) + offX;
    t.y = T(c4, s.py) + T(c8 + R(row[cx + 1]), s.py) - T(hy, s.py) + offY;
  }
  t.setX = true;
  t.setY = platform == 1 || platform == 2;
  return t;
}

LampDispense LampPointTable::ParseSettings(int group, int platform, int point, const LampScales& s) const {
  LampDispense d;
  if (point < 0 || point >= kLampMaxPoints) return d;
  const auto row = Row(platform == 1 ? 2 * point : 2 * point + 1);
  d.startSpeed = I(row[12]);
  d.runSpeed = I(row[13]);
  if (group >= 0 && group <= 2) {
    const int b = 16 + 7 * group;
    d.height = T(R(row[b]), s.pz);
    d.valveOpen = T(R(row[b + 1]), s.pz);
    d.bottomDelay = I(row[b + 2]);
    d.valveClose = T(R(row[b + 3]), s.pz);
    d.closeDelay = I(row[b + 4]);
  }
  return d;
}

LampTargets ApplyLampTargets(int kind, int platform, int point) {
  const LampTargets t = LampPointTable::Instance().ParsePointRow(kind, platform, point, LampScales::FromSettingsStore());
  if (!t.setX) return t;
  if (t.glue) smt::CurrentMachine().motion.glueTargetX = t.x;
  else smt::CurrentMachine().motion.targetX = t.x;
  if (platform == 1) smt::CurrentMachine().motion.targetY = t.y;
  else if (platform == 2) smt::CurrentMachine().motion.targetY2 = t.y;
  return t;
}

LampDispense ApplyLampDispense(int group, int platform, int point) {
  return LampPointTable::Instance().ParseSettings(group, platform, point, LampScales::FromSettingsStore());
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
