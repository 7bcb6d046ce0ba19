#include "settings/SpeedStore.h"

#include "core/LogFile.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
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
  try {
    platform::WriteListFile(std::filesystem::path(appDir) / "config_speed.fig", content);
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }

  SpeedState next = *Get();
  next.tiers = tiers;
  next.uses = uses;
  next.settings = settings;
  next.settings.m_SpeedMenuCheck = page;
  SaveSpeedSettings(appDir, next.settings);
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
    SaveUsageSpeeds(appDir, SpeedUsePrefixes()[u], rec);
    next.records[u] = rec;
  }
  state_.Set(std::move(next));
  listeners_.Notify();
  result.closed = true;
  result.activeTier = page;
  return result;
}

}  // namespace smt::settings
