#include "settings/SpeedStore.h"

#include "core/LogFile.h"
#include "platform/FileIo.h"
#include "platform/FileSet.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "platform/ReadRefusals.h"

namespace smt::settings {

std::string SpeedStore::BuildTemplateArrays(const std::string& useLine, const std::vector<std::string>& rows,
                                            const SpeedNameTable& names, int language, int* refusedCells) {
  auto built = settings::BuildTemplateArrays(rows, names, language);
  auto uses = ParseUseLine(useLine, names, language);
  state_.Update([&](SpeedState& s) {
    s.tiers = std::move(built.tiers);
    s.uses = uses;
  });
  if (!built.warning.empty()) CLogFile::Instance().Write(true, "%s", built.warning.c_str());
  if (refusedCells) *refusedCells = static_cast<int>(built.problems.size());
  for (const auto& p : built.problems)
    platform::ReportReadRefusal({"config_speed.fig", "line " + std::to_string(p.line) + ", field \"" + p.field + "\"",
                                 p.text,
                                 "a cell \"start / normal\" of whole numbers in " + std::to_string(kSpeedMin) + ".." +
                                     std::to_string(kStoredSpeedMax),
                                 "no speeds of this template"});
  return built.warning;
}

std::filesystem::path SpeedSaveJournal(const std::string& appDir) {
  return std::filesystem::path(appDir) / "config_speed.journal";
}

void FinishSpeedSave(const std::string& appDir) {
  const std::filesystem::path dir(appDir);
  platform::FinishFileSet(SpeedSaveJournal(appDir), {dir / "config_speed.fig", platform::ConfigPath(appDir)});
}

void SpeedStore::LoadConfig(const std::string& appDir) {
  auto loaded = LoadSpeedSettings(appDir);
  state_.Update([&](SpeedState& s) { s.settings = loaded; });
}

void SpeedStore::LoadAllUsageSpeeds(const std::string& appDir) {
  SpeedRecords recs{};
  for (int u = 0; u < kSpeedUseCount; ++u) recs[u] = LoadUsageSpeeds(appDir, SpeedUsePrefixes()[u]);
  state_.Update([&](SpeedState& s) { s.records = recs; });
  listeners_.Notify();
}

std::string SpeedStore::StoredUseLine() const { return BuildUseLine(Get()->uses); }
std::vector<std::string> SpeedStore::StoredRows() const { return WriteTemplateRows(Get()->tiers); }

std::optional<SpeedRecord> SpeedStore::LookupActive(const std::string& name) const {
  auto s = Get();
  return FindTemplateSpeeds(s->tiers, s->settings.m_SpeedMenuCheck, name);
}

SpeedCommitResult SpeedStore::CommitOk(const std::string& appDir, int page, const SpeedTiers& tiers,
                                       const SpeedUseNames& uses, const SpeedSettings& settings) {
  SpeedCommitResult result;
  if (page < 1 || page > 3) {
    // No tier chosen: refused before anything is saved, so the active tier
    // and every speed stay as they were.
    result.messageKeys.push_back("SpeedTemplate.c_Message_01");
    return result;
  }
  if (FirstSpeedSettingOutOfRange(settings)) {
    result.error = "range";
    return result;
  }
  platform::ListFileContent content;
  content.leading = BuildUseLine(uses);
  content.rows = WriteTemplateRows(tiers);

  SpeedState next = *Get();
  next.tiers = tiers;
  next.uses = uses;
  next.settings = settings;
  next.settings.m_SpeedMenuCheck = page;
  std::vector<std::pair<int, SpeedRecord>> usesToSave;
  const auto& rows = tiers.Of(static_cast<Tier>(page));
  for (int u = 0; u < kSpeedUseCount; ++u) {
    int found = -1;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].Name() == uses[u]) {
        found = static_cast<int>(i);
        break;
      }
    if (found < 0) {
      result.messageKeys.push_back("SpeedTemplate.c_Message_07");
      continue;
    }
    // An axis without speeds gives 1 / 1: never a zero speed to the machine.
    SpeedRecord rec{};
    const auto& speeds = rows[found].Value().speeds;
    for (int a = 0; a < kSpeedAxisCount; ++a) rec[a] = speeds[a].value_or(SpeedPair{1, 1});
    usesToSave.emplace_back(u, rec);
    next.records[u] = rec;
  }

  // "config_speed.fig" and the settings file change as one set: the
  // sections are gathered in the settings file's text, and both files are
  // put in place by one journal. A failure leaves every file and the store
  // as they were.
  const std::string ini = platform::ConfigPath(appDir);
  try {
    platform::BeginProfileBatch(ini);
    SaveSpeedSettings(appDir, next.settings);
    for (const auto& [u, rec] : usesToSave) SaveUsageSpeeds(appDir, SpeedUsePrefixes()[u], rec);
    platform::EndProfileBatchInto(ini, [&](const std::string* iniText) {
      std::vector<platform::FileSetItem> files;
      files.push_back({std::filesystem::path(appDir) / "config_speed.fig", platform::EncodeListFile(content)});
      if (iniText) files.push_back({ini, std::vector<uint8_t>(iniText->begin(), iniText->end())});
      platform::WriteFileSet(SpeedSaveJournal(appDir), files);
    });
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }
  state_.Set(std::move(next));
  listeners_.Notify();
  result.closed = true;
  result.activeTier = page;
  return result;
}

}  // namespace smt::settings
