// The import dialog opens with the format and in the folder the operator
// used last: on the next opening and after a restart of the program.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "ShellFixture.h"
#include "job/CDialogImportFile.h"
#include "job/CDialogPCBEdit.h"
#include "job/EdaFormats.h"

namespace {

namespace fs = std::filesystem;

class ImportMemory : public ShellTest {
 protected:
  // Opens the import dialog from the PCB editor as its import button does,
  // and runs `inside` on the open dialog; false when it did not open.
  bool WithImportDialog(const std::function<void(CDialogImportFile&)>& inside) {
    auto& job = app->frame()->view()->m_pPartList->Job();
    if (!job.pcbs.Find("B1")) job.pcbs.Add("B1");
    job.pcbs.m_strCurPcbName = "B1";
    bool opened = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CDialogImportFile*>(QApplication::activeModalWidget());
      if (!d) {
        if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        return;
      }
      opened = true;
      inside(*d);
      d->reject();
    });
    app->frame()->view()->m_pPartList->PcbEditor().openImportDialog();
    return opened;
  }
};

TEST_F(ImportMemory, LastFormatAndFolderSurviveReopeningAndARestart) {
  fs::create_directories(dir / "exports");
  dir.Write("exports/a.318", "R1 0603 9 1 90\r\n");
  const std::string file = (dir / "exports" / "a.318").string();
  Start();
  std::string firstStart;
  ASSERT_TRUE(WithImportDialog([&](CDialogImportFile& d) {
    EXPECT_EQ(d.FormatBox()->currentIndex(), 0);
    firstStart = d.StartFolder();
    // The operator picks PADS (.318) and opens a file from the exports folder.
    d.FormatBox()->setCurrentIndex(16);
    d.ChooseFiles = [&](const smt::job::EdaFormat&) { return std::vector<std::string>{file}; };
    d.OpenButton()->click();
    EXPECT_EQ(d.List().Count(), 1);
    d.ChooseFiles = nullptr;
  }));
  EXPECT_EQ(firstStart, dir.str()) << "a new working directory starts in itself";
  auto expectRemembered = [&](const char* when) {
    ASSERT_TRUE(WithImportDialog([&](CDialogImportFile& d) {
      EXPECT_EQ(d.FormatBox()->currentIndex(), 16) << when;
      EXPECT_EQ(d.FormatIndex(), 16) << when;
      EXPECT_EQ(d.StartFolder(), (dir / "exports").string()) << when;
      EXPECT_EQ(d.List().Count(), 0) << when;
    })) << when;
  };
  expectRemembered("opened again");
  app->ExitInstance();
  app.reset();
  smt::platform::ClearProfileCache();
  Start();
  expectRemembered("after a restart");
  // A folder that no longer exists falls back to the working directory; the format stays.
  fs::remove_all(dir / "exports");
  ASSERT_TRUE(WithImportDialog([&](CDialogImportFile& d) {
    EXPECT_EQ(d.FormatBox()->currentIndex(), 16);
    EXPECT_EQ(d.StartFolder(), dir.str());
  }));
}

}  // namespace
