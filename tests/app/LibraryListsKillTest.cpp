// The eight library lists and their backups change as one set: a saving
// process killed at any moment leaves all sixteen files of one save, never
// lists of two saves; an interrupted save is completed or undone when the
// lists are next read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <thread>

#include "library/LibraryLists.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "support/SaveKiller.h"
#include "support/TempDir.h"

using namespace smt::library;
namespace fs = std::filesystem;

namespace {

// A row of a list that the list's row reader takes, naming its generation
// in a text cell (the angle line of the drop-down lists holds angles only).
std::string Row(ListFileId id, const std::string& tag, int r) {
  const std::string name = tag + " " + std::to_string(r);
  switch (id) {
    case ListFileId::Pack:
      return name + "\t1.0000\t0.5000\t0.3000\t60\t80\t50\t25\tcam\tYes\tNo\t1\tNo\t\t00:x\tmode\t1\t200\t4\t4\t"
                    "-1\t-1\t-1\t-1.0000\t30.0000\t0.0000\t\t\t";
    case ListFileId::Mark:
      return name + "\t1.0000\t2.0000\t0.0000\t0.0000\t20\t3.0000\t1.0000\t50\t100\t90\t100\t2\tNo\t0.0000\t0.0000\t";
    case ListFileId::Nozzle: return "1\t10.0000\t-20.0000\t-1.0000\t10.0000\t-20.0000\t-3.0000\t40\t" + name + "\t";
    case ListFileId::DropDown:
      if (r == 3) return "0\t90\t180\t270\t";
      return name + "\t";
    default: return tag + "\t" + name + "\t";
  }
}

// Every row of every list names its generation.
LibraryLists Generation(int gen, int rows) {
  LibraryLists l;
  const std::string tag = "gen " + std::to_string(gen);
  l.speedUsageLine = tag + "\t";
  for (const ListFileInfo& info : ListFiles()) {
    std::vector<std::string> texts;
    for (int r = 0; r < rows; ++r) texts.push_back(Row(info.id, tag + " " + info.name, r));
    l.SetRowTexts(info.id, std::move(texts));
  }
  return l;
}

// -1: a row that names no generation (the angle line).
int GenOf(const std::string& row) {
  const size_t at = row.find("gen ");
  return at == std::string::npos ? -1 : std::atoi(row.c_str() + at + 4);
}

// The generations the sixteen files hold, read as the program reads them at start.
std::set<int> GenerationsOnDisk(const fs::path& dir, std::string& problems) {
  std::set<int> gens;
  LibraryLists l;
  for (const auto& p : LoadLibraryLists(dir, l)) problems += p.file + ": " + p.reason + "\n";
  auto take = [&gens](const std::string& row) {
    if (const int g = GenOf(row); g >= 0) gens.insert(g);
  };
  take(l.speedUsageLine);
  for (const ListFileInfo& info : ListFiles())
    for (const auto& row : l.RowTexts(info.id)) take(row);
  for (const ListFileInfo& info : ListFiles()) {
    const auto backup = smt::platform::ReadListFile(dir / "ConfigBackup" / info.name, info.hasLeading);
    for (const auto& row : backup.rows) take(row);
  }
  return gens;
}

}  // namespace

TEST(LibraryListsKill, AKilledSaveLeavesEveryListOfOneSaveNeverAMix) {
  smt::test::TempDir dir;
  constexpr int kRows = 200;
  SaveLibraryLists(dir.path(), Generation(0, kRows));
  smt::test::SaveKiller killer([&] { SaveLibraryLists(dir.path(), Generation(1, kRows)); }, 30);
  const auto save = [&](int g) { SaveLibraryLists(dir.path(), Generation(g, kRows)); };
  int gen = 1, oldSeen = 0, newSeen = 0, mixed = 0;
  constexpr int kKills = 300;
  for (int kill = 0; kill < kKills; ++kill) {
    ASSERT_TRUE(killer.KillWhileSaving(save, gen + 1)) << "the saving child failed at kill " << kill;
    std::string problems;
    const std::set<int> now = GenerationsOnDisk(dir.path(), problems);
    ASSERT_EQ(problems, "") << "kill " << kill;
    if (now.size() != 1) {
      ++mixed;
      ADD_FAILURE() << "kill " << kill << ": lists of " << now.size() << " saves";
      break;
    }
    ASSERT_GE(*now.begin(), gen) << "an older set came back after kill " << kill;
    killer.Left(*now.begin() == gen);
    (*now.begin() == gen ? oldSeen : newSeen)++;
    gen = *now.begin();
    // Nothing of the interrupted save stays behind once the lists were read.
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "ConfigBackup" || (name.rfind("config_", 0) == 0 && name.size() > 4 &&
                                             name.compare(name.size() - 4, 4, ".fig") == 0))
          << name << " left after kill " << kill;
    }
  }
  std::printf("[ figures  ] library lists save: %d kills, %d left the old set, %d the new one, %d a mix\n", kKills,
              oldSeen, newSeen, mixed);
  EXPECT_GT(newSeen, 0);
  EXPECT_GT(oldSeen, 0);
}

// A journal written whole is followed at the next read; one that is not
// whole was never committed and its temporaries go.
TEST(LibraryListsKill, ACommittedSaveIsCompletedAndAnUncommittedOneUndone) {
  smt::test::TempDir dir;
  SaveLibraryLists(dir.path(), Generation(1, 3));
  const auto& feed = ListFiles()[0];
  const auto bytes2 = smt::platform::EncodeListFile({std::nullopt, Generation(2, 3).feedLines});
  smt::platform::WriteFileAtomically(dir / (std::string(feed.name) + ".tmp999999990"), bytes2);
  smt::platform::WriteFileAtomically(dir.path() / "ConfigBackup" / (std::string(feed.name) + ".tmp999999990"), bytes2);
  const std::string journal = "SMT file set journal 1\nput\t" + std::string(feed.name) + "\t" + feed.name +
                              ".tmp999999990\nput\tConfigBackup/" + feed.name + "\tConfigBackup/" + feed.name +
                              ".tmp999999990\nend\n";
  dir.Write("config_lists.journal", journal);
  LibraryLists l;
  EXPECT_TRUE(LoadLibraryLists(dir.path(), l).empty());
  ASSERT_FALSE(l.feedLines.empty());
  EXPECT_EQ(GenOf(l.feedLines[0]), 2);
  EXPECT_EQ(GenOf(smt::platform::ReadListFile(dir.path() / "ConfigBackup" / feed.name, false).rows[0]), 2);
  EXPECT_FALSE(fs::exists(dir / "config_lists.journal"));

  // Not whole (no end): the old files stay, the temporaries go.
  const auto bytes3 = smt::platform::EncodeListFile({std::nullopt, Generation(3, 3).feedLines});
  smt::platform::WriteFileAtomically(dir / (std::string(feed.name) + ".tmp999999991"), bytes3);
  dir.Write("config_lists.journal", "SMT file set journal 1\nput\t" + std::string(feed.name) + "\t" + feed.name +
                                        ".tmp999999991\n");
  EXPECT_TRUE(LoadLibraryLists(dir.path(), l).empty());
  EXPECT_EQ(GenOf(l.feedLines[0]), 2);
  EXPECT_FALSE(fs::exists(dir / (std::string(feed.name) + ".tmp999999991")));
  EXPECT_FALSE(fs::exists(dir / "config_lists.journal"));

  // A journal naming a file outside the folder is not followed.
  smt::platform::WriteFileAtomically(dir / (std::string(feed.name) + ".tmp999999992"), bytes3);
  dir.Write("config_lists.journal", "SMT file set journal 1\nput\t../outside.fig\t" + std::string(feed.name) +
                                        ".tmp999999992\nend\n");
  EXPECT_TRUE(LoadLibraryLists(dir.path(), l).empty());
  EXPECT_FALSE(fs::exists(dir.path().parent_path() / "outside.fig"));
  EXPECT_EQ(GenOf(l.feedLines[0]), 2);
}
