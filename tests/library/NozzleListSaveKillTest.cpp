// The nozzle list's OK changes "config_nozzle.fig" and [NozzleListConfig]
// as one save: a process killed at any moment of the OK leaves both from
// one save, never the list of one and the settings of another; the next
// start completes or undoes what the killed save left.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "library/LibraryRows.h"
#include "library/NozzleLibrary.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "support/SaveKiller.h"
#include "support/TempDir.h"

using namespace smt::library;
namespace fs = std::filesystem;

namespace {

constexpr int kSeats = 19;

// Every seat's X and the settings' delay name the generation.
void Save(const std::string& dir, int gen) {
  const int g = 1 + gen % 9999;
  std::vector<std::string> rows;
  for (int n = 1; n <= kSeats; ++n)
    rows.push_back(JoinRow(NozzleLibrary::MakeRow(n, g, -380, -5, g, -360, -8, 40, "")));
  NozzleListSettings s;
  s.m_Delay = g;
  s.m_Distance = 50;
  NozzleLibrary lib;
  lib.SaveListAndConfig(dir, rows, s);
}

// The generations the files hold, read as the program reads them at start.
std::set<int> GenerationsOnDisk(const std::string& dir) {
  FinishNozzleListSave(dir);
  smt::platform::ClearProfileCache();
  std::set<int> gens;
  NozzleLibrary lib;
  lib.LoadRows(smt::platform::ReadListFile(fs::path(dir) / kNozzleFileName, false).rows);
  for (int i = 0; i < lib.Count(); ++i) gens.insert(static_cast<int>(lib.Record(i)->x));
  lib.LoadConfig(dir);
  gens.insert(lib.Settings().m_Delay);
  return gens;
}

}  // namespace

TEST(NozzleListSaveKill, AKilledOkLeavesTheListAndItsSettingsOfOneSave) {
  smt::test::TempDir dir;
  // Settings of other dialogs the OK must keep.
  dir.Write("config.ini", "[LanguageSetConfig]\r\nLanguageSet=German\r\n[SetBasicConfig]\r\nm_X_Limit=450.0000\r\n");
  smt::platform::ClearProfileCache();
  Save(dir.str(), 0);
  smt::test::SaveKiller killer([&] { Save(dir.str(), 1); }, 41);
  int gen = 1, oldSeen = 0, newSeen = 0, mixed = 0;
  constexpr int kKills = 300;
  for (int kill = 0; kill < kKills; ++kill) {
    ASSERT_TRUE(killer.KillWhileSaving([&](int g) { Save(dir.str(), g); }, gen + 1,
                                       [] { smt::platform::ClearProfileCache(); }))
        << "the saving child failed at kill " << kill;
    const std::set<int> now = GenerationsOnDisk(dir.str());
    if (now.size() != 1) {
      ++mixed;
      ADD_FAILURE() << "kill " << kill << ": the OK left values of " << now.size() << " saves";
      gen = *now.rbegin() - 1;
      continue;
    }
    const int found = *now.begin() - 1;
    ASSERT_GE(found, gen) << "an older save came back after kill " << kill;
    killer.Left(found == gen);
    (found == gen ? oldSeen : newSeen)++;
    gen = found;
    smt::platform::SettingsSection lang(smt::platform::ConfigPath(dir.str()), "LanguageSetConfig");
    ASSERT_EQ(lang.ReadText("LanguageSet"), "German") << "kill " << kill;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      ASSERT_TRUE(name == "config.ini" || name == kNozzleFileName) << name << " left after kill " << kill;
    }
  }
  std::printf("[ figures  ] nozzle list OK: %d kills, %d left the old save, %d the new one, %d a mix\n", kKills,
              oldSeen, newSeen, mixed);
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(newSeen, 0);
  EXPECT_GT(oldSeen, 0);
}
