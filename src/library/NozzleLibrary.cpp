#include "library/NozzleLibrary.h"

#include <cmath>
#include <optional>

#include "library/LibraryRows.h"
#include "platform/FileSet.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::library {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

NozzleGeometry NozzleGeometryOf(smt::Machine& machine) {
  auto& store = smt::settings::SettingsStores::Of(machine).machine;
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

std::vector<platform::FileCellError> NozzleLibrary::LoadRows(const std::vector<std::string>& rowStrings) {
  std::vector<platform::FileCellError> refusals;
  rows_.clear();
  for (size_t i = 0; i < rowStrings.size(); ++i)
    rows_.push_back(NozzleListRow::Read(SplitRow<kNozzleCells>(rowStrings[i]), static_cast<int>(i + 1), &refusals));
  return refusals;
}

void NozzleLibrary::ReadRows(const std::vector<NozzleRow>& cells) {
  rows_.clear();
  for (size_t i = 0; i < cells.size(); ++i) rows_.push_back(NozzleListRow::Read(cells[i], static_cast<int>(i + 1)));
}

std::optional<NozzleRecord> NozzleLibrary::Record(int i) const {
  if (i < 0 || i >= Count()) return std::nullopt;
  return rows_[static_cast<size_t>(i)].record;
}

std::string NozzleLibrary::Note(int i) const {
  if (i < 0 || i >= Count()) return {};
  return rows_[static_cast<size_t>(i)].Note();
}

std::vector<std::string> NozzleLibrary::BuildRowStrings() const {
  std::vector<std::string> out;
  for (const auto& r : rows_) out.push_back(JoinRow(r.cells));
  return out;
}

void NozzleLibrary::ComputeNozzlePositions(smt::Machine& machine, const NozzleGeometry& g) const {
  const int n = std::min(Count(), kSeatCount);
  for (int i = 0; i < n; ++i) {
    NozzleSeatRecord r = machine.Part<smt::library::NozzleState>().seats.Get(i);  // keeps the has-nozzle flag
    // A seat whose numbers were refused keeps its old steps.
    const std::optional<NozzleRecord> row = Record(i);
    if (!row) continue;
    r.nX = ToSteps(row->x, g.xPulse);
    r.nY = ToSteps(row->y, g.yPulse);
    r.dPickHeight = row->pickHeight;
    r.nEntranceX = ToSteps(row->entranceX, g.xPulse);
    r.nEntranceY = ToSteps(row->entranceY, g.yPulse);
    r.nEntranceZ = ToSteps(row->entranceZ, g.zPulse);
    r.nVacuum = row->vacuum;
    r.nEntranceZHead[0] = r.nEntranceZ;
    for (int k = 1; k < kHeadCount; ++k)
      r.nEntranceZHead[k] = ToSteps(g.zNozzleToFeed[k] - g.zNozzleToFeed[0], g.zPulse) + r.nEntranceZ;
    machine.Part<smt::library::NozzleState>().seats.Set(i, r);
  }
  ComputeSameNotes(machine);
}

void NozzleLibrary::ComputeSameNotes(smt::Machine& machine) const {
  const int n = std::min(Count(), kSeatCount);
  for (int i = 0; i < n; ++i) {
    NozzleSeatRecord r = machine.Part<smt::library::NozzleState>().seats.Get(i);
    r.bSameNote.fill(false);
    for (int j = 0; j < n; ++j) r.bSameNote[j] = Row(i).Note() == Row(j).Note();
    machine.Part<smt::library::NozzleState>().seats.Set(i, r);
  }
}

void NozzleLibrary::ShiftNozzlePositions(double dx, double dy) {
  // A row whose numbers cannot be read stays as the file held it.
  for (int i = 0; i < Count(); ++i) {
    const std::optional<NozzleRecord> rec = Record(i);
    if (!rec) continue;
    NozzleRecord moved = *rec;
    moved.x += dx;
    moved.entranceX += dx;
    moved.y += dy;
    moved.entranceY += dy;
    // The other cells keep their text as read; the record is read back from
    // the written cells.
    NozzleRow cells = rows_[static_cast<size_t>(i)].cells;
    const NozzleRow written = MakeNozzleRow(moved);
    for (size_t c : {1, 2, 4, 5}) cells[c] = written[c];
    rows_[static_cast<size_t>(i)] = NozzleListRow::Read(cells, i + 1);
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
  settings.m_InAndOutExtern = smt::settings::ReadConfigInt(s, "m_InAndOutExtern");
  settings.m_Distance = smt::settings::ReadConfigNumber(s, "m_Distance");
  if (settings.m_Distance == 0) settings.m_Distance = 100.0;
  settings.m_Delay = smt::settings::ReadConfigInt(s, "m_Delay");
  SetSettings(settings);
}

void NozzleLibrary::SaveConfig(const std::string& appDir) const {
  const NozzleListSettings settings = Settings();
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "NozzleListConfig");
  s.WriteInt("m_InAndOutExtern", settings.m_InAndOutExtern);
  s.WriteDouble("m_Distance", settings.m_Distance);
  s.WriteInt("m_Delay", settings.m_Delay);
}

void NozzleLibrary::SaveListAndConfig(const std::string& appDir, const std::vector<std::string>& rows,
                                      const NozzleListSettings& settings) {
  const std::string ini = smt::platform::ConfigPath(appDir);
  const NozzleListSettings before = Settings();
  SetSettings(settings);
  try {
    smt::platform::BeginProfileBatch(ini);
    SaveConfig(appDir);
    smt::platform::ListFileContent content;
    content.rows = rows;
    smt::platform::EndProfileBatchInto(ini, [&](const std::string* iniText) {
      std::vector<smt::platform::FileSetItem> files;
      files.push_back({std::filesystem::path(appDir) / kNozzleFileName, smt::platform::EncodeListFile(content)});
      if (iniText) files.push_back({ini, std::vector<uint8_t>(iniText->begin(), iniText->end())});
      smt::platform::WriteFileSet(NozzleListSaveJournal(appDir), files);
    });
  } catch (...) {
    SetSettings(before);
    throw;
  }
}

std::filesystem::path NozzleListSaveJournal(const std::string& appDir) {
  return std::filesystem::path(appDir) / "config_nozzle.journal";
}

void FinishNozzleListSave(const std::string& appDir) {
  smt::platform::FinishFileSet(NozzleListSaveJournal(appDir),
                               {std::filesystem::path(appDir) / kNozzleFileName, smt::platform::ConfigPath(appDir)});
}

NozzleRow NozzleLibrary::MakeRow(int number, double x, double y, double pickHeight, double entranceX,
                                 double entranceY, double entranceZ, int vacuum, const std::string& note) {
  NozzleRecord r;
  r.number = number;
  r.x = x;
  r.y = y;
  r.pickHeight = pickHeight;
  r.entranceX = entranceX;
  r.entranceY = entranceY;
  r.entranceZ = entranceZ;
  r.vacuum = vacuum;
  r.note = note;
  return MakeNozzleRow(r);
}

NozzleLibrary& TheNozzleLibrary(smt::Machine& machine) {
  return machine.Part<NozzleLibrary>();
}

}  // namespace smt::library
