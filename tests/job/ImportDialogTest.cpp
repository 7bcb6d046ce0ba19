// The import dialog without a screen: opening files, refusals, deleting and
// sorting rows, the import into the current board and the two options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "job/CDialogImportFile.h"
#include "platform/MessageService.h"
#include "support/EdaSamples.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

class ImportDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("smt_import_dlg_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    PcbRecord rec;
    rec.m_strName = "主板";
    job_.pcbs.m_Records.push_back(rec);
    job_.pcbs.m_strCurPcbName = "主板";
    dlg_ = std::make_unique<CDialogImportFile>(job_);
    dlg_->SetAppDir(dir_.string());
    dlg_->Now = [] {
      std::tm t{};
      t.tm_year = 124;
      t.tm_mon = 0;
      t.tm_mday = 2;
      t.tm_hour = 3;
      t.tm_min = 4;
      t.tm_sec = 5;
      return t;
    };
    dlg_->OnInitDialog();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  // A PADS.318 file (format 16): designator, package, X, Y, rotation.
  std::string Pads318(const std::string& name = "a.318") {
    return File(name, "R1 0603 9 1 90\r\nR2 0805 -1.5 2 -90\r\nC1 0603 10 3 0\r\n");
  }
  void UseFormat(int index) {
    dlg_->FormatBox()->setCurrentIndex(index);
    ASSERT_EQ(dlg_->FormatIndex(), index);
  }
  void Select(std::initializer_list<int> rows) {
    dlg_->ListView()->clearSelection();
    for (int r : rows)
      dlg_->ListView()->selectionModel()->select(dlg_->ListView()->model()->index(r, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  fs::path dir_;
  JobModel job_;
  std::unique_ptr<CDialogImportFile> dlg_;
  smt::platform::ScopedRecordingMessages messages_;
};

TEST_F(ImportDialog, OpenedFilesAddUpAndTheCountFollows) {
  UseFormat(16);
  const std::string f = Pads318();
  ASSERT_TRUE(dlg_->OpenFiles({f}));
  EXPECT_EQ(dlg_->ListView()->rowCount(), 3);
  EXPECT_EQ(dlg_->CountLabel()->text().toStdString(), "元件数量：3");
  EXPECT_EQ(dlg_->ListView()->item(1, kImpX)->text().toStdString(), "-1.5");
  ASSERT_TRUE(dlg_->OpenFiles({f}));
  EXPECT_EQ(dlg_->List().Count(), 6);
  EXPECT_EQ(dlg_->CountLabel()->text().toStdString(), "元件数量：6");
}

TEST_F(ImportDialog, AFileThatDoesNotReadIsRefusedWithItsLineAndNothingIsAdded) {
  UseFormat(16);
  const std::string good = Pads318();
  const std::string bad = File("bad.318", "R1 0603 1 2 90\r\nR2 0603 1 two 90\r\n");
  EXPECT_FALSE(dlg_->OpenFiles({good, bad}));
  EXPECT_EQ(dlg_->List().Count(), 0);
  EXPECT_EQ(dlg_->ListView()->rowCount(), 0);
  const auto texts = messages_.service.Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(bad), std::string::npos);
  EXPECT_NE(texts[0].find("第 2 行"), std::string::npos);
  EXPECT_NE(texts[0].find("line 2"), std::string::npos);

  messages_.service.Clear();
  EXPECT_FALSE(dlg_->OpenFiles({(dir_ / "missing.318").string()}));
  ASSERT_EQ(messages_.service.Texts().size(), 1u);
  EXPECT_NE(messages_.service.Texts()[0].find("missing.318"), std::string::npos);
}

// A number the reader refuses (no number, or outside its field's range) is
// named with its file, line and field; the rows the list already holds stay
// as they were, and nothing of the refused file is added.
TEST_F(ImportDialog, ANumberThatDoesNotFitNamesItsCellAndTheListKeepsItsRows) {
  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  struct C {
    const char* line2;  // the bad part, on line 2
    const char* says;   // the English reason names the field (and its range)
  } cases[] = {
      {"R2 0603 nan 2 90", "X is not a number: \"nan\""},
      {"R2 0603 1 inf 90", "Y is not a number: \"inf\""},
      {"R2 0603 1 2 1e400", "rotation is not a number: \"1e400\""},
      {"R2 0603 10000.5 2 90", "X is outside -10000..10000 mm: \"10000.5\""},
      {"R2 0603 1 -10001 90", "Y is outside -10000..10000 mm: \"-10001\""},
      {"R2 0603 1 2 3601", "rotation is outside -3600..3600 degrees: \"3601\""},
  };
  for (const C& c : cases) {
    SCOPED_TRACE(c.line2);
    const std::string bad = File("bad.318", std::string("R1 0603 1 2 90\r\n") + c.line2 + "\r\n");
    messages_.service.Clear();
    EXPECT_FALSE(dlg_->OpenFiles({bad}));
    const auto texts = messages_.service.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(bad), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("line 2"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find(c.says), std::string::npos) << texts[0];
    ASSERT_EQ(dlg_->List().Count(), 3);
    EXPECT_EQ(dlg_->ListView()->rowCount(), 3);
    EXPECT_EQ(dlg_->List().Row(1).Cell(kImpX), "-1.5");
  }
}

TEST_F(ImportDialog, RightClickDeletesSelectedRowsOnlyOnYes) {
  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  Select({0, 2});
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::No);
  dlg_->OnRClickList();
  EXPECT_EQ(dlg_->List().Count(), 3);
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::Cancel);
  dlg_->OnRClickList();
  EXPECT_EQ(dlg_->List().Count(), 3);
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  dlg_->OnRClickList();
  ASSERT_EQ(dlg_->List().Count(), 1);
  EXPECT_EQ(dlg_->List().Row(0).Cell(kImpDesignator), "R2");
  EXPECT_EQ(dlg_->CountLabel()->text().toStdString(), "元件数量：1");
  EXPECT_EQ(messages_.service.Texts().back(), "是否删除选择的行 ?");

  dlg_->ListView()->clearSelection();
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  dlg_->OnRClickList();
  EXPECT_EQ(dlg_->List().Count(), 1);
}

TEST_F(ImportDialog, ColumnClickSortsAsText) {
  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  dlg_->OnColumnClickList(kImpX);
  EXPECT_EQ(dlg_->ListView()->item(0, kImpX)->text().toStdString(), "-1.5");
  EXPECT_EQ(dlg_->ListView()->item(1, kImpX)->text().toStdString(), "10");
  EXPECT_EQ(dlg_->ListView()->item(2, kImpX)->text().toStdString(), "9");
}

TEST_F(ImportDialog, ImportFillsTheCurrentBoardAndShowsProgress) {
  messages_.service.Clear();
  dlg_->OnImportAllToProject();
  ASSERT_EQ(messages_.service.Texts().size(), 1u);
  EXPECT_EQ(messages_.service.Texts()[0], "没有发现要导入的文件 !");
  EXPECT_EQ(dlg_->LastImportedRows(), -1);

  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  dlg_->FeederRows = [] { return std::vector<ImportFeederRow>{{"W1", "0603", "", "2", true}}; };
  dlg_->SetOptions({1, 0});
  dlg_->OnImportAllToProject();
  EXPECT_EQ(dlg_->LastImportedRows(), 3);
  const PcbRecord& rec = job_.pcbs.m_Records[0];
  ASSERT_EQ(rec.PartCount(), 3);
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[0], kSmtFeeder), "W1");
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[1], kSmtAngle), "270");
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[1], kSmtPlace), "0/No");
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[2], kSmtTime), "2024-1-2  3:4:5");
  EXPECT_EQ(dlg_->PercentLabel()->text().toStdString(), "100%");
  EXPECT_EQ(dlg_->Progress()->value(), 3);
  EXPECT_TRUE(dlg_->Progress()->isVisibleTo(dlg_.get()));

  job_.pcbs.m_strCurPcbName = "gone";
  messages_.service.Clear();
  dlg_->OnImportAllToProject();
  ASSERT_EQ(messages_.service.Texts().size(), 1u);
  EXPECT_NE(messages_.service.Texts()[0].find("PCB"), std::string::npos);
  EXPECT_EQ(job_.pcbs.m_Records[0].PartCount(), 3);
}

// Each row keeps the unit rule of the format that read it.
TEST_F(ImportDialog, RowsKeepTheUnitOfTheFormatThatReadThem) {
  UseFormat(11);  // Proteus: thousandths of an inch
  std::string proteus;
  for (int i = 0; i < 12; ++i) proteus += "header\r\n";
  proteus += "U1,LM358,SOIC8,TOP,0,1000,2000\r\n";
  ASSERT_TRUE(dlg_->OpenFiles({File("p.pkp", proteus)}));
  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  dlg_->OnImportAllToProject();
  const PcbRecord& rec = job_.pcbs.m_Records[0];
  ASSERT_EQ(rec.PartCount(), 4);
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[0], kSmtX), "25.4000");
  EXPECT_EQ(StoredPlacementCell(rec.m_Parts[1], kSmtX), "9");
}

TEST_F(ImportDialog, OptionsChangeOnlyWithOkAndAreStored) {
  dlg_->SetOptions({0, 0});
  dlg_->OnInitDialog();
  dlg_->FitPackingBox()->setChecked(true);
  UseFormat(16);
  ASSERT_TRUE(dlg_->OpenFiles({Pads318()}));
  dlg_->FeederRows = [] { return std::vector<ImportFeederRow>{{"W1", "0603", "", "2", false}}; };
  dlg_->OnImportAllToProject();
  EXPECT_EQ(StoredPlacementCell(job_.pcbs.m_Records[0].m_Parts[0], kSmtPlace), "0/No");  // the tick is not yet confirmed

  dlg_->OnOK();
  EXPECT_EQ(dlg_->Options(), (ImportFitOptions{1, 0}));
  EXPECT_EQ(LoadImportFitOptions(dir_.string()), (ImportFitOptions{1, 0}));

  // Cancel keeps the options; the next opening shows them, an empty list,
  // and the format used last, in the box and in use.
  dlg_->FitValueBox()->setChecked(true);
  dlg_->reject();
  EXPECT_EQ(dlg_->Options(), (ImportFitOptions{1, 0}));
  dlg_->OnInitDialog();
  EXPECT_TRUE(dlg_->FitPackingBox()->isChecked());
  EXPECT_FALSE(dlg_->FitValueBox()->isChecked());
  EXPECT_EQ(dlg_->List().Count(), 0);
  EXPECT_EQ(dlg_->FormatBox()->currentIndex(), 16);
  EXPECT_EQ(dlg_->FormatBox()->count(), kEdaFormatCount);
  EXPECT_EQ(dlg_->FormatIndex(), 16);
}

TEST_F(ImportDialog, TextsComeFromTheLanguageFile) {
  std::ofstream(dir_ / "English.ini") << "[ImportFileConfig]\nImportFile.c_ImportFile=Import file\n"
                                         "ImportFile.c_PartNumber=Parts: 0\nImportFile.c_ImportFileList_03=X\n";
  dlg_->LoadLanguage(dir_.string(), "English");
  EXPECT_EQ(dlg_->Text("ImportFile.c_ImportFile"), "Import file");
  EXPECT_EQ(dlg_->Text("ImportFile.c_ImportFormat"), "导入文件格式");  // missing key: built-in text
  UseFormat(16);
  // OnInitDialog reloads the texts of the dialog's own language.
  dlg_->OpenFiles({Pads318()});
  EXPECT_EQ(dlg_->CountLabel()->text().toStdString(), "Parts: 3");
}

TEST_F(ImportDialog, OpenFileButtonUsesTheChosenFormatsFileKind) {
  std::vector<std::string> kinds;
  const std::string f = Pads318();
  dlg_->ChooseFiles = [&](const EdaFormat& fmt) {
    kinds.push_back(fmt.fileKind);
    return kinds.size() == 1 ? std::vector<std::string>{} : std::vector<std::string>{f};
  };
  dlg_->FormatBox()->setCurrentIndex(16);
  dlg_->OnOpenPcbFile();  // cancelled
  EXPECT_EQ(dlg_->List().Count(), 0);
  dlg_->OnOpenPcbFile();
  EXPECT_EQ(dlg_->List().Count(), 3);
  EXPECT_EQ(kinds, (std::vector<std::string>{"318", "318"}));
}

}  // namespace

namespace {

// Every text of the dialog is translated in the shipped language files.
TEST(ImportDialogTexts, ShippedLanguagesCarryEveryKey) {
  const std::string dir = std::string(SMT_SOURCE_DIR) + "/resources/lang/import";
  JobModel job;
  CDialogImportFile chinese(job);
  chinese.LoadLanguage("/nonexistent", "Chinese");  // built-in texts only
  std::vector<std::string> keys = {"ImportFile.c_ImportFile", "ImportFile.c_ImportFormat",
                                   "ImportFile.c_OpenPCBFile", "ImportFile.c_ImportAllToProject",
                                   "ImportFile.c_FitPartPacking", "ImportFile.c_FitPartValue",
                                   "ImportFile.c_PartNumber", "ImportFile.c_Message_05",
                                   "ImportFile.c_Message_06", "ImportFile.c_Message_07",
                                   "ImportFile.c_Message_08", "ImportFile.c_Message_09"};
  for (int i = 1; i <= 7; ++i) keys.push_back("ImportFile.c_ImportFileList_0" + std::to_string(i));
  for (const char* language : {"English", "German"}) {
    CDialogImportFile dlg(job);
    dlg.LoadLanguage(dir, language);
    for (const auto& k : keys) EXPECT_NE(dlg.Text(k), chinese.Text(k)) << language << " " << k;
    // Message templates keep their places for file, line and reason.
    EXPECT_NE(dlg.Text("ImportFile.c_Message_07").find("%3"), std::string::npos) << language;
  }
  CDialogImportFile zh(job);
  zh.LoadLanguage(dir, "Chinese");
  EXPECT_EQ(zh.Text("ImportFile.c_ImportAllToProject"), "导入全部到工程");
  EXPECT_NE(zh.Text("ImportFile.c_Message_07").find("%2"), std::string::npos);
}

}  // namespace

namespace {

// From a real EasyEDA export (UTF-16, TAB separated, "mm" on every value)
// through the dialog into the board's placement rows.
TEST(ImportDialogSamples, EasyEdaExportBecomesPlacementRows) {
  const char* sample = "easyeda/pdtrigger-PickAndPlace-utf16-tab.csv";
  const auto file = smt::test::EdaSample(sample);
  if (file.empty()) GTEST_SKIP() << smt::test::EdaSampleMissing(sample);
  smt::platform::ScopedRecordingMessages messages;
  JobModel job;
  PcbRecord rec;
  rec.m_strName = "PD";
  job.pcbs.m_Records.push_back(rec);
  job.pcbs.m_strCurPcbName = "PD";
  CDialogImportFile dlg(job);
  // A working directory of its own: the dialog keeps the chosen format there.
  const auto work = std::filesystem::temp_directory_path() / ("smt_import_sample_" + std::to_string(::getpid()));
  std::filesystem::create_directories(work);
  dlg.SetAppDir(work.string());
  dlg.OnInitDialog();
  dlg.FormatBox()->setCurrentIndex(22);
  ASSERT_TRUE(dlg.OpenFiles({file.string()}));
  dlg.SetOptions({1, 1});
  dlg.FeederRows = [] { return std::vector<ImportFeederRow>{{"W7", "C0603", "1u", "1", true}}; };
  dlg.OnImportAllToProject();
  EXPECT_TRUE(messages.service.Texts().empty());
  const auto& parts = job.pcbs.m_Records[0].m_Parts;
  ASSERT_EQ(parts.size(), 16u);
  const std::vector<std::string> c7 = {"2", "-0.8900", "4.0600", "180", "C7", "", "C0603", "1/Yes", "1u", "W7",
                                       "1/Yes", "1u", "1"};
  std::vector<std::string> stored;
  for (int k = 0; k < 13; ++k) stored.push_back(StoredPlacementCell(parts[1], k));
  EXPECT_EQ(stored, c7);
  std::filesystem::remove_all(work);
}

}  // namespace
