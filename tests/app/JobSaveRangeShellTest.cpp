// A job is never written in a form the program then refuses to open: a
// placement whose X lies beyond what the job file takes (here after merging
// a wide panel into one board) is refused at File > Save and Save As with a
// message naming the field and the range, the files on disk stay as they
// were, and the job stays open with its rows. Once the operator brings the
// rows back into range the save goes through and the job opens again.
#include <QApplication>
#include <filesystem>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/JobFile.h"

namespace {

namespace fs = std::filesystem;
using smt::platform::MsgAnswer;

constexpr int kMergePanels = 33098;  // the part list's "merge panels" menu command

class JobSaveRange : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }
};

TEST_F(JobSaveRange, AValueTheOpenWouldRefuseIsRefusedAtSaveAndNothingIsWritten) {
  CMainFrame& f = Start();
  CSMTDoc& doc = *f.view()->document();
  CDialogPartList& list = *f.view()->m_pPartList;
  const fs::path job = dir / smt::app::kDemoJobName;
  ASSERT_TRUE(doc.OnOpenDocument(job));
  const std::string before = dir.Read(smt::app::kDemoJobName);

  // A panel of ten boards 4000 mm apart, merged into one board: its last
  // copies lie at X 36,000 mm and more.
  auto* board = list.Job().pcbs.Current();
  ASSERT_NE(board, nullptr);
  board->m_nRows = 1;
  board->m_nCols = 10;
  board->m_dColSpace = 4000;
  board->m_PanelGrid = smt::job::FullPanelGrid(1, 10);
  messages.service.QueueAnswer(MsgAnswer::Yes);
  list.OnMenuCommand(kMergePanels);
  ASSERT_EQ(list.Job().placementRows.size(), 40u);
  const auto rows = list.Job().placementRows;

  struct Case {
    const char* what;
    std::function<void()> save;
    fs::path written;
  } cases[] = {
      {"File > Save", [&] { f.Action(smt::app::cmd::kFileSave)->trigger(); }, job},
      {"File > Save As",
       [&] {
         files.chooser.QueueAnswer((dir / "wide.smt").string());
         f.Action(smt::app::cmd::kFileSaveAs)->trigger();
       },
       dir / "wide.smt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    messages.service.Clear();
    c.save();
    QApplication::processEvents();
    const auto said = messages.service.Texts();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("\"X\""), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("-10000..10000"), std::string::npos) << said[0];
    EXPECT_EQ(dir.Read(smt::app::kDemoJobName), before) << "the job file on disk is not touched";
    EXPECT_FALSE(fs::exists(dir / "wide.smt"));
    EXPECT_EQ(doc.PathName(), job);
    EXPECT_EQ(list.Job().placementRows, rows) << "the job keeps its rows";
  }

  // Brought back within range, the save goes through and opens again.
  for (auto& r : list.Job().placementRows) r.cells[smt::job::kSmtX] = "100.0000";
  messages.service.Clear();
  f.Action(smt::app::cmd::kFileSave)->trigger();
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().size();
  EXPECT_NE(dir.Read(smt::app::kDemoJobName), before);
  ASSERT_TRUE(doc.OnOpenDocument(job)) << (messages.service.Texts().empty() ? "" : messages.service.Texts()[0]);
  EXPECT_EQ(list.Job().placementRows.size(), 40u);
}

}  // namespace
