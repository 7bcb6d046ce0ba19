// Library files with lines the program cannot read, on the running shell:
// the operator is told which file and line were skipped, what could be read
// is loaded, the file as it was is kept beside it, a save writes every line
// the operator has, and the backup copy in ConfigBackup is never replaced by
// a list that came from a damaged file.
#include <filesystem>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "library/LibraryLists.h"
#include "library/MarkLibrary.h"
#include "library/PackLibrary.h"
#include "support/FeederFileFixture.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FeedLines(const fs::path& file) { return smt::platform::ReadListFile(file, false).rows; }

bool HasDamagedCopy(const fs::path& dir, const std::string& name) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(name + ".damaged-", 0) == 0) return true;
  return false;
}

}  // namespace

class DamagedListShellTest : public ShellTest {};

TEST_F(DamagedListShellTest, BadTrayAtLineFiveIsNamedAndASaveKeepsAll29LinesAndTheBackup) {
  const std::vector<std::string> original = smt::test::ThreeGroups("nan");
  ASSERT_EQ(original.size(), 29u);
  smt::platform::WriteListFile(dir / "config_feed.fig", {std::nullopt, original});
  // The backup of an earlier save: one group only.
  fs::create_directories(dir / "ConfigBackup");
  const std::vector<std::string> backup = {"1\tA\t", "A\t\t0\t"};
  smt::platform::WriteListFile(dir / "ConfigBackup" / "config_feed.fig", {std::nullopt, backup});

  CMainFrame& f = Start();
  // The operator was told the file and the line.
  bool told = false;
  for (const auto& t : messages.service.Texts())
    told = told || (t.find("config_feed.fig") != std::string::npos && t.find("line 5:") != std::string::npos);
  EXPECT_TRUE(told) << ::testing::PrintToString(messages.service.Texts());
  // Groups B and C were loaded after the bad line.
  auto& table = f.view()->m_pFeedList->Table();
  ASSERT_EQ(table.GroupCount(), 3);
  EXPECT_EQ(table.Groups()[2].name, "C");
  EXPECT_TRUE(HasDamagedCopy(dir.path(), "config_feed.fig"));

  ASSERT_TRUE(f.view()->OnFileSave());
  const std::vector<std::string> saved = FeedLines(dir / "config_feed.fig");
  EXPECT_EQ(saved.size(), 29u);
  EXPECT_EQ(saved, original);
  EXPECT_EQ(FeedLines(dir / "ConfigBackup" / "config_feed.fig"), backup);
}

// A package list with a length that is no number, at start on the real
// shell: the operator is told the file, the line and the field; the other
// packages and the other lists load; the package list keeps the line as it
// was, the file is copied aside, a save writes all three lines back and the
// backup copy stays the good one.
TEST_F(DamagedListShellTest, DamagedPackageLineAtStartIsNamedAndTheRestLoads) {
  const std::vector<std::string> packs = {
      "0603\t1.6000\t0.8000\t0.4500\t60\t80\t50\t25\t\tNo\tNo\t1\tNo\t\t\tGridBox\t0\t0\t0\t0\t-1\t-1\t-1\t-1.0000\t30.0000\t0.0000\t\t\t",
      "0805\tnan\t1.2500\t0.6000\t60\t80\t50\t25\t\tNo\tNo\t1\tNo\t\t\tGridBox\t0\t0\t0\t0\t-1\t-1\t-1\t-1.0000\t30.0000\t0.0000\t\t\t",
      "SOT-23\t3.0000\t1.4000\t1.1000\t70\t90\t40\t30\t\tNo\tNo\t2\tNo\t\t\tGridBox\t0\t0\t0\t0\t-1\t-1\t-1\t-2.5000\t40.0000\t0.0000\t\t\t"};
  smt::platform::WriteListFile(dir / "config_pack.fig", {std::nullopt, packs});
  const std::vector<std::string> marks = {
      "Fid\t1.5000\t-2.0000\t40.0000\t-20.0000\t20\t3.0000\t1.0000\t50\t100\t90\t100\t2\tNo\t0.0000\t0.0000\t"};
  smt::platform::WriteListFile(dir / "config_mark.fig", {std::nullopt, marks});
  fs::create_directories(dir / "ConfigBackup");
  const std::vector<std::string> backup = {packs[0]};
  smt::platform::WriteListFile(dir / "ConfigBackup" / "config_pack.fig", {std::nullopt, backup});

  CMainFrame& f = Start();
  bool told = false;
  for (const auto& t : messages.service.Texts())
    told = told || t.find("File \"config_pack.fig\", line 2, field \"length\": \"nan\"") != std::string::npos;
  EXPECT_TRUE(told) << ::testing::PrintToString(messages.service.Texts());
  // The rest loads: every package line (the damaged one kept as it was) and the marks.
  const auto& table = smt::library::ThePackLibrary(smt::CurrentMachine()).m_PackRows;
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(smt::library::ReadPackFields(table[2].cells, 0).length, 3.0);
  EXPECT_THROW(smt::library::ReadPackFields(table[1].cells, 0, 2), smt::platform::FileCellError);
  ASSERT_TRUE(smt::library::TheMarkLibrary(smt::CurrentMachine()).FindRecord("Fid").has_value());
  EXPECT_EQ(smt::library::TheMarkLibrary(smt::CurrentMachine()).FindRecord("Fid")->mark2X, 40.0);
  EXPECT_TRUE(HasDamagedCopy(dir.path(), "config_pack.fig"));

  ASSERT_TRUE(f.view()->OnFileSave());
  EXPECT_EQ(smt::platform::ReadListFile(dir / "config_pack.fig", false).rows, packs);
  EXPECT_EQ(smt::platform::ReadListFile(dir / "ConfigBackup" / "config_pack.fig", false).rows, backup);
  EXPECT_EQ(smt::platform::ReadListFile(dir / "ConfigBackup" / "config_mark.fig", false).rows, marks);
}

// A list file too short for its count is loaded empty and moved aside; the
// next save writes the empty list but leaves the backup copy as it was.
TEST(DamagedListBackup, AListFromADamagedFileNeverReplacesItsBackup) {
  smt::test::TempDir dir;
  // One row in each list, as its reader takes it.
  const std::string markRow = "M\t1.0000\t2.0000\t0.0000\t0.0000\t20\t3.0000\t1.0000\t50\t100\t90\t100\t2\tNo\t0.0000\t0.0000\t";
  for (const auto& f : smt::library::ListFiles()) {
    smt::platform::ListFileContent c;
    if (f.hasLeading) c.leading = "";
    c.rows = {"row\t"};
    if (f.id == smt::library::ListFileId::Mark) c.rows = {markRow};
    if (f.id == smt::library::ListFileId::Nozzle) c.rows = {"1\t10.0000\t-20.0000\t-1.0000\t10.0000\t-20.0000\t-3.0000\t40\tA\t"};
    smt::platform::WriteListFile(dir / f.name, c);
  }
  // config_pack.fig names 5 rows and holds one.
  dir.Write("config_pack.fig", std::string("\x05\0\0\0", 4) + "\x03" + "ab\t");
  fs::create_directories(dir / "ConfigBackup");
  const std::vector<std::string> goodPacks = {"0603\t1.6\t0.8\t"};
  smt::platform::WriteListFile(dir / "ConfigBackup" / "config_pack.fig", {std::nullopt, goodPacks});

  smt::library::LibraryLists lists;
  const auto problems = smt::library::LoadLibraryLists(dir.path(), lists);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].file, "config_pack.fig");
  EXPECT_FALSE(problems[0].keptAsidePath.empty());
  EXPECT_TRUE(lists.packRows.empty());
  EXPECT_TRUE(lists.FromDamagedFile(smt::library::ListFileId::Pack));

  smt::library::SaveLibraryLists(dir.path(), lists);
  EXPECT_EQ(smt::platform::ReadListFile(dir / "ConfigBackup" / "config_pack.fig", false).rows, goodPacks);
  // The other lists' backups are written as before.
  EXPECT_EQ(smt::platform::ReadListFile(dir / "ConfigBackup" / "config_mark.fig", false).rows,
            std::vector<std::string>{markRow});
}
