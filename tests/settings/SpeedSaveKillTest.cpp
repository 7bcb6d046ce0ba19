// The speed dialog's OK changes "config_speed.fig", [SpeedTemplateConfig]
// and the seven use sections as one save: a process killed at any moment of
// the OK leaves every one of them from one save, never some old and some
// new; the next start completes or undoes what the killed save left.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "settings/SpeedStore.h"
#include "support/SaveKiller.h"
#include "support/TempDir.h"

using namespace smt::settings;
namespace fs = std::filesystem;

namespace {

constexpr int kTemplates = 12;

// Every template of every tier, every use speed and the fast speeds of the
// settings name the generation.
struct Generation {
  SpeedTiers tiers;
  SpeedUseNames uses;
  SpeedSettings settings;
};

Generation Make(int gen) {
  const int g = 1 + gen % 9999;
  std::vector<std::string> rows;
  for (int tier = 0; tier < 3; ++tier)
    for (int i = 0; i < kTemplates; ++i) {
      std::string row = "T" + std::to_string(i) + "\t";
      for (int a = 0; a < 16; ++a) row += SpeedCell(g, g) + "\t";
      rows.push_back(row);
    }
  Generation out;
  out.tiers = BuildTemplateArrays(rows, DefaultSpeedNames(), 0).tiers;
  for (int u = 0; u < kSpeedUseCount; ++u) out.uses[u] = "T" + std::to_string(u);
  out.settings = LoadSpeedSettings((fs::temp_directory_path() / "no such folder").string());
  out.settings.m_XY_RunFast = out.settings.m_Z_RunFast = out.settings.m_A_RunFast = g;
  return out;
}

void Save(SpeedStore& store, const std::string& dir, int gen) {
  const Generation next = Make(gen);
  const auto r = store.CommitOk(dir, 1, next.tiers, next.uses, next.settings);
  if (!r.closed) throw std::runtime_error("the OK was refused: " + r.error);
}

// The generations the files hold, read as the program reads them at start.
std::set<int> GenerationsOnDisk(const std::string& dir) {
  FinishSpeedSave(dir);
  smt::platform::ClearProfileCache();
  std::set<int> gens;
  const auto fig = smt::platform::ReadListFile(fs::path(dir) / "config_speed.fig", true);
  SpeedStore store;
  store.BuildTemplateArrays(fig.leading.value_or(""), fig.rows, DefaultSpeedNames(), 0);
  store.LoadConfig(dir);
  store.LoadAllUsageSpeeds(dir);
  const auto s = store.Get();
  for (Tier t : {Tier::High, Tier::Medium, Tier::Low})
    for (const auto& row : s->tiers.Of(t))
      for (const auto& cell : row.Value().speeds)
        if (cell) gens.insert(cell->start);
  gens.insert(s->settings.m_XY_RunFast);
  gens.insert(s->settings.m_A_RunFast);
  for (const auto& rec : s->records)
    for (const auto& pair : rec) gens.insert(pair.normal);
  return gens;
}

}  // namespace

TEST(SpeedSaveKill, AKilledOkLeavesTheFileAndEverySectionOfOneSave) {
  smt::test::TempDir dir;
  // Settings of other dialogs the OK must keep.
  dir.Write("config.ini", "[LanguageSetConfig]\r\nLanguageSet=German\r\n[SetBasicConfig]\r\nm_X_Limit=450.0000\r\n");
  smt::platform::ClearProfileCache();
  SpeedStore store;
  Save(store, dir.str(), 0);
  smt::test::SaveKiller killer([&] { Save(store, dir.str(), 1); }, 40);
  const auto save = [&](int g) {
    SpeedStore child;
    Save(child, dir.str(), g);
  };
  int gen = 1, oldSeen = 0, newSeen = 0, mixed = 0;
  constexpr int kKills = 300;
  for (int kill = 0; kill < kKills; ++kill) {
    ASSERT_TRUE(killer.KillWhileSaving(save, gen + 1, [] { smt::platform::ClearProfileCache(); }))
        << "the saving child failed at kill " << kill;
    const std::set<int> now = GenerationsOnDisk(dir.str());
    if (now.size() != 1) {
      ++mixed;
      ADD_FAILURE() << "kill " << kill << ": the OK left values of " << now.size() << " saves";
      continue;
    }
    const int found = *now.begin() - 1;
    ASSERT_GE(found, gen) << "an older save came back after kill " << kill;
    killer.Left(found == gen);
    (found == gen ? oldSeen : newSeen)++;
    gen = found;
    // What the other dialogs saved stays, and nothing of the killed save is left.
    smt::platform::SettingsSection lang(smt::platform::ConfigPath(dir.str()), "LanguageSetConfig");
    ASSERT_EQ(lang.ReadText("LanguageSet"), "German") << "kill " << kill;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      ASSERT_TRUE(name == "config.ini" || name == "config_speed.fig") << name << " left after kill " << kill;
    }
  }
  std::printf("[ figures  ] speed dialog OK: %d kills, %d left the old save, %d the new one, %d a mix\n", kKills,
              oldSeen, newSeen, mixed);
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(newSeen, 0);
  EXPECT_GT(oldSeen, 0);
}

// A failed OK (the file cannot be written) leaves every file and the
// settings read afterwards as they were.
TEST(SpeedSaveKill, AFailedOkChangesNothing) {
  smt::test::TempDir dir;
  smt::platform::ClearProfileCache();
  SpeedStore store;
  Save(store, dir.str(), 4);
  const std::string figBefore = dir.Read("config_speed.fig"), iniBefore = dir.Read("config.ini");
  fs::create_directory(dir / ("config_speed.fig.tmp" + std::to_string(::getpid())));  // blocks the temporary
  const Generation next = Make(5);
  const auto r = store.CommitOk(dir.str(), 1, next.tiers, next.uses, next.settings);
  EXPECT_FALSE(r.closed);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(dir.Read("config_speed.fig"), figBefore);
  EXPECT_EQ(dir.Read("config.ini"), iniBefore);
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.str()), "SpeedTemplateConfig");
  EXPECT_EQ(sec.ReadText("m_XY_RunFast"), "5");
  EXPECT_EQ(store.Get()->settings.m_XY_RunFast, 5);
}
