#include "library/NozzleLibrary.h"

#include <cmath>

#include "library/LibraryRows.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"

namespace smt::library {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

NozzleGeometry CurrentNozzleGeometry() {
  auto& store = smt::settings::SettingsStores::Instance().machine;
  NozzleGeometry g;
  const auto p = store.Pulse();
  const auto b = store.Basic();
  g.xPulse = p->m_X_Pulse;
  g.yPulse = p->m_Y_Pulse;
  g.zPulse = p->m_Z_Pulse;
  g.zNozzleToFeed = {b->m_Z_Nozzle1ToFeed, b->m_Z_Nozzle2ToFeed, b->m_Z_Nozzle3ToFeed, b->m_Z_Nozzle4ToFeed,
                     b->m_Z_Nozzle5ToFeed, b->m_Z_Nozzle6ToFeed, b->m_Z_Nozzle7ToFeed, b->m_Z_Nozzle8ToFeed};
  return g;
}

std::vector<std::string> NozzleLibrary::LoadRows(const std::vector<std::string>& rowStrings) {
  m_NozzleRows.clear();
  for (const auto& s : rowStrings) m_NozzleRows.push_back(SplitRow<kNozzleCells>(s));
  return CheckNumbers();
}

std::vector<std::string> NozzleLibrary::CheckNumbers() const {
  // The millimetre cells: a number that is not finite, or one no machine
  // reaches, is refused here rather than turned into steps.
  static constexpr const char* kFields[] = {"", "X", "Y", "pick height", "entrance X", "entrance Y", "entrance Z"};
  std::vector<std::string> problems;
  for (size_t i = 0; i < m_NozzleRows.size(); ++i) {
    for (size_t c = 1; c <= 6; ++c) {
      const std::string& cell = m_NozzleRows[i][c];
      const double v = CellDouble(cell);
      if (std::isfinite(v) && std::fabs(v) <= kMaxNozzleMillimetres) continue;
      problems.push_back("config_nozzle.fig, nozzle row " + std::to_string(i + 1) + ", field " + kFields[c] +
                         ": \"" + cell + "\" is not a usable number");
    }
  }
  return problems;
}

bool NozzleLibrary::RowNumbersUsable(int i) const {
  if (i < 0 || i >= Count()) return false;
  for (size_t c = 1; c <= 6; ++c) {
    const double v = CellDouble(m_NozzleRows[static_cast<size_t>(i)][c]);
    if (!std::isfinite(v) || std::fabs(v) > kMaxNozzleMillimetres) return false;
  }
  return true;
}

std::vector<std::string> NozzleLibrary::BuildRowStrings() const {
  std::vector<std::string> out;
  for (const auto& r : m_NozzleRows) out.push_back(JoinRow(r));
  return out;
}

void NozzleLibrary::ComputeNozzlePositions(const NozzleGeometry& g) const {
  const int n = std::min(Count(), kSeatCount);
  for (int i = 0; i < n; ++i) {
    const NozzleRow& row = m_NozzleRows[i];
    NozzleSeatRecord r = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(i);  // keeps the has-nozzle flag
    // A seat whose numbers were refused keeps its old steps.
    if (!RowNumbersUsable(i)) continue;
    r.nX = ToSteps(CellDouble(row[1]), g.xPulse);
    r.nY = ToSteps(CellDouble(row[2]), g.yPulse);
    r.dPickHeight = CellDouble(row[3]);
    r.nEntranceX = ToSteps(CellDouble(row[4]), g.xPulse);
    r.nEntranceY = ToSteps(CellDouble(row[5]), g.yPulse);
    r.nEntranceZ = ToSteps(CellDouble(row[6]), g.zPulse);
    r.nVacuum = CellInt(row[7]);
    r.nEntranceZHead[0] = r.nEntranceZ;
    for (int k = 1; k < kHeadCount; ++k)
      r.nEntranceZHead[k] = ToSteps(g.zNozzleToFeed[k] - g.zNozzleToFeed[0], g.zPulse) + r.nEntranceZ;
    smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Set(i, r);
  }
  ComputeSameNotes();
}

void NozzleLibrary::ComputeSameNotes() const {
  const int n = std::min(Count(), kSeatCount);
  for (int i = 0; i < n; ++i) {
    NozzleSeatRecord r = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(i);
    r.bSameNote.fill(false);
    for (int j = 0; j < n; ++j) r.bSameNote[j] = m_NozzleRows[i][8] == m_NozzleRows[j][8];
    smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Set(i, r);
  }
}

void NozzleLibrary::ShiftNozzlePositions(double dx, double dy) {
  for (auto& row : m_NozzleRows) {
    row[1] = FormatDouble(CellDouble(row[1]) + dx);
    row[4] = FormatDouble(CellDouble(row[4]) + dx);
    row[2] = FormatDouble(CellDouble(row[2]) + dy);
    row[5] = FormatDouble(CellDouble(row[5]) + dy);
  }
}

NozzleListSettings NozzleLibrary::Settings() const {
  std::lock_guard lk(settingsM_);
  return settings_;
}

void NozzleLibrary::SetSettings(const NozzleListSettings& s) {
  std::lock_guard lk(settingsM_);
  settings_ = s;
}

void NozzleLibrary::LoadConfig(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "NozzleListConfig");
  NozzleListSettings settings;
  settings.m_InAndOutExtern = s.ReadInt("m_InAndOutExtern");
  settings.m_Distance = s.ReadDouble("m_Distance");
  if (settings.m_Distance == 0) settings.m_Distance = 100.0;
  settings.m_Delay = s.ReadInt("m_Delay");
  SetSettings(settings);
}

void NozzleLibrary::SaveConfig(const std::string& appDir) const {
  const NozzleListSettings settings = Settings();
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "NozzleListConfig");
  s.WriteInt("m_InAndOutExtern", settings.m_InAndOutExtern);
  s.WriteDouble("m_Distance", settings.m_Distance);
  s.WriteInt("m_Delay", settings.m_Delay);
}

NozzleRow NozzleLibrary::MakeRow(int number, double x, double y, double pickHeight, double entranceX,
                                 double entranceY, double entranceZ, int vacuum, const std::string& note) {
  return {FormatInt(number),       FormatDouble(x),         FormatDouble(y),
          FormatDouble(pickHeight), FormatDouble(entranceX), FormatDouble(entranceY),
          FormatDouble(entranceZ), FormatInt(vacuum),       note};
}

NozzleLibrary& TheNozzleLibrary() {
  static NozzleLibrary lib;
  return lib;
}

}  // namespace smt::library
