// File > Save As with the names an operator types: the job's extension is
// matched in any case ("CAP.SMT" saves CAP.SMT with CAP.dis beside it, not
// CAP.SMT.smt), a name without it gets ".smt", and a name that is no file
// name is refused naming the field, with nothing written.
#include <QApplication>
#include <filesystem>
#include <set>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/JobRows.h"

namespace {

namespace fs = std::filesystem;

class SaveAsNames : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }
};

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) names.insert(e.path().filename().string());
  return names;
}

TEST_F(SaveAsNames, TheTypedExtensionMatchesInAnyCaseAndANameThatIsNoFileNameIsRefused) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  // A dispensing row, so the job has a side file.
  f.view()->m_pPartList->Job().dispenseRows.push_back(
      smt::job::DispenseRowFromText("1\t2\t3\t-1\tNo\t0\t0\t0\t0\t0\tn\t"));
  struct Case {
    const char* typed;
    std::set<std::string> made;  // new files in the job folder; empty: refused
  };
  const Case cases[] = {
      {"CAP.SMT", {"CAP.SMT", "CAP.dis"}},
      {"Board.Smt", {"Board.Smt", "Board.dis"}},
      {"plain", {"plain.smt", "plain.dis"}},
      {"a:b", {}},
      {"..", {}},
  };
  const fs::path jobs = dir / "jobs";
  fs::create_directories(jobs);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const auto before = FilesIn(jobs);
    messages.service.Clear();
    files.chooser.Clear();
    files.chooser.QueueAnswer((jobs / c.typed).string());
    f.Action(smt::app::cmd::kFileSaveAs)->trigger();
    QApplication::processEvents();
    std::set<std::string> made;
    for (const auto& n : FilesIn(jobs))
      if (!before.count(n)) made.insert(n);
    EXPECT_EQ(made, c.made);
    if (c.made.empty()) {
      ASSERT_FALSE(messages.service.Texts().empty());
      EXPECT_NE(messages.service.Texts().front().find("File name"), std::string::npos) << messages.service.Texts().front();
    }
  }
}

}  // namespace
