// A save of the settings file changes it whole: a saving process killed at
// any moment leaves the values of one save, never some keys of one save and
// some of another; what the killed save left behind goes at the next save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "support/SaveKiller.h"
#include "support/TempDir.h"

using namespace smt::platform;
namespace fs = std::filesystem;

namespace {

constexpr int kSections = 4, kKeysPerSection = 50;

std::string SectionName(int s) { return "Section" + std::to_string(s) + "Config"; }
std::string KeyName(int k) { return "m_Value" + std::to_string(k); }

// One dialog's save: its section object writes every key.
void SaveOneSection(const std::string& path, int gen) {
  SettingsSection sec(path, SectionName(0));
  for (int k = 0; k < kSections * kKeysPerSection; ++k) sec.WriteInt(KeyName(k), gen);
}

// The close's save: several dialogs' sections within one batch.
void SaveAtClose(const std::string& path, int gen) {
  ProfileBatch batch(path);
  for (int s = 0; s < kSections; ++s) {
    SettingsSection sec(path, SectionName(s));
    for (int k = 0; k < kKeysPerSection; ++k) sec.WriteDouble(KeyName(k), gen);
  }
}

// The generations the file holds now (one for a whole save).
std::set<int> GenerationsOnDisk(const std::string& path, bool oneSection) {
  ClearProfileCache();
  std::set<int> gens;
  for (int s = 0; s < (oneSection ? 1 : kSections); ++s)
    for (int k = 0; k < (oneSection ? kSections * kKeysPerSection : kKeysPerSection); ++k)
      gens.insert(static_cast<int>(TextToDouble(GetProfileString(path, SectionName(s), KeyName(k), "-1"))));
  return gens;
}

struct Case {
  const char* name;
  std::function<void(const std::string&, int)> save;
  bool oneSection;
};

}  // namespace

TEST(SettingsSaveKill, AKilledSaveLeavesOneSavesValuesNeverAMix) {
  const Case cases[] = {{"one dialog's section", SaveOneSection, true},
                        {"the close's sections", SaveAtClose, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    smt::test::TempDir dir;
    const std::string path = ConfigPath(dir.str());
    // Other settings the saves must keep.
    dir.Write("config.ini", "[LanguageSetConfig]\r\nLanguageSet=German\r\n");
    ClearProfileCache();
    c.save(path, 0);
    smt::test::SaveKiller killer([&] { c.save(path, 1); }, 30);
    const auto save = [&](int g) { c.save(path, g); };
    int gen = 1, oldSeen = 0, newSeen = 0, mixed = 0;
    constexpr int kKills = 300;
    for (int kill = 0; kill < kKills; ++kill) {
      ASSERT_TRUE(killer.KillWhileSaving(save, gen + 1, [] { ClearProfileCache(); }))
          << "the saving child failed at kill " << kill;
      const std::set<int> now = GenerationsOnDisk(path, c.oneSection);
      if (now.size() != 1) {
        ++mixed;
        ADD_FAILURE() << "kill " << kill << ": values of " << now.size() << " saves";
        break;
      }
      ASSERT_GE(*now.begin(), gen) << "an older save came back after kill " << kill;
      killer.Left(*now.begin() == gen);
      (*now.begin() == gen ? oldSeen : newSeen)++;
      gen = *now.begin();
      ASSERT_EQ(GetProfileString(path, "LanguageSetConfig", "LanguageSet", ""), "German") << "kill " << kill;
    }
    std::printf("[ figures  ] settings save, %s: %d kills, %d left the old save, %d the new one, %d a mix\n", c.name,
                kKills, oldSeen, newSeen, mixed);
    // Kills fell both before and after saves were committed.
    EXPECT_GT(newSeen, 0);
    EXPECT_GT(oldSeen, 0);
    // The next save takes away what the killed ones left.
    c.save(path, gen + 1);
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string(), "config.ini") << "left behind";
  }
}
