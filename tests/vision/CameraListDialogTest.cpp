// The camera list dialog and the camera editor under the offscreen
// platform: add, modify and delete through the editor, OK writing the list
// file and the section, and the row menu's refusals.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include "core/MachineState.h"
#include "platform/ListFile.h"
#include "platform/ProfileFile.h"
#include "platform/RefusalTexts.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "support/TempDir.h"
#include "vision/CDialogCameraEdit.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/VisionGlobals.h"

using namespace smt::vision;

namespace {

class CameraListDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::settings::PulseSettings p;
    p.m_X_Pulse = p.m_Y_Pulse = 1000;
    p.m_A_Pulse = 10;
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
    smt::CurrentMachine().machineBusy = false;
    smt::CurrentMachine().camera.highSpeedCamera = 0;
    smt::CurrentMachine().camera.visionMode = 0;
    dialog.m_strAppPath = dir.str();
    dialog.neighbours.Connect(&neighbours);
    // The editor "opens": the test types into it and presses OK or Cancel.
    dialog.runEditor = [this](CDialogCameraEdit& e) {
      if (typeInto) typeInto(e);
      if (!pressOk) return int(QDialog::Rejected);
      e.OnOK();
      return e.result();
    };
  }
  void TearDown() override { smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse({}); }

  smt::test::TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
  // The dialog's neighbours: no feeders, no board; the committed rows kept.
  struct Neighbours : CDialogCameraList::Neighbours {
    std::vector<std::string> committed;
    void RowsCommitted(const std::vector<CameraRow>& rows) override { committed = CameraRowTexts(rows); }
    std::vector<std::string> FeederCameraColumn() override { return {}; }
    void MarkFeedersWithoutVision(const std::vector<int>&) override {}
    BoardMarkView BoardMark() override { return {}; }
    void LayoutHeads() override {}
  } neighbours;
  CDialogCameraList dialog{smt::CurrentMachine()};
  std::function<void(CDialogCameraEdit&)> typeInto;
  bool pressOk = true;
};

void Type(CDialogCameraEdit& e, double x, double zoom, double size, int contrast) {
  e.editX->setText(QString::number(x));
  e.editZoom->setText(QString::number(zoom));
  e.editSize->setText(QString::number(size));
  e.editContrast->setText(QString::number(contrast));
  e.editBrightness->setText("30");
  e.editCollect->setText("100");
}

}  // namespace

TEST_F(CameraListDialog, AddModifyDeleteAndOkWriteTheTableAndSection) {
  dialog.OnInitDialog();
  typeInto = [](CDialogCameraEdit& e) { Type(e, 12.3456, 10, 4, 90); };
  dialog.OnAddCamera();
  ASSERT_EQ(dialog.list->rowCount(), 1);
  EXPECT_EQ(dialog.list->item(0, 0)->text(), "Camera 1");
  EXPECT_EQ(dialog.list->item(0, 1)->text(), "12.3456");
  EXPECT_EQ(dialog.list->item(0, 22)->text(), "90");
  EXPECT_EQ(dialog.list->item(0, 27)->text(), "100");
  // The second camera starts from the values last edited.
  typeInto = nullptr;
  dialog.OnAddCamera();
  ASSERT_EQ(dialog.list->rowCount(), 2);
  EXPECT_EQ(dialog.list->item(1, 0)->text(), "Camera 2");
  EXPECT_EQ(dialog.list->item(1, 1)->text(), "12.3456");
  dialog.OnAddCamera();
  EXPECT_EQ(messages.service.Texts().back(), "目前只支持 2 个摄相机 !");
  // Modify row 1 changes the second record at once; Cancel keeps it.
  dialog.OnListClick(1);
  typeInto = [](CDialogCameraEdit& e) { Type(e, -1.5, 10, 4, 90); };
  dialog.OnModifyCamera();
  EXPECT_EQ(dialog.m_Camera_second.CameraPulse_X, -1500);
  EXPECT_EQ(dialog.m_Camera_second.CameraNumber, 2);
  dialog.OnOK();
  const std::vector<std::string> stored = neighbours.committed;
  ASSERT_EQ(stored.size(), 2u);
  const auto file = smt::platform::ReadListFile(dir / "config_camera.fig", false);
  EXPECT_EQ(file.rows, stored);
  EXPECT_EQ(dialog.m_Camera_first.CameraPulse_X, 12345);
  smt::platform::SettingsSection s(smt::platform::ConfigPath(dir.str()), "CameraListConfig");
  EXPECT_EQ(s.ReadInt("m_Camera_second.CameraPulse_X"), -1500);
  // Delete twice at the remembered row 0.
  dialog.OnListClick(0);
  dialog.OnDeleteCamera();
  dialog.OnDeleteCamera();
  EXPECT_EQ(dialog.list->rowCount(), 0);
  dialog.OnDeleteCamera();
  EXPECT_EQ(dialog.list->rowCount(), 0);
}

TEST_F(CameraListDialog, EditorRefusesAnOversizedBoxAndATakenName) {
  dialog.OnInitDialog();
  typeInto = [](CDialogCameraEdit& e) { Type(e, 1, 10, 48.1, 90); };
  dialog.OnAddCamera();
  EXPECT_EQ(dialog.list->rowCount(), 0);
  EXPECT_EQ(messages.service.Texts().back(), "视觉宽度太大 !");
  typeInto = [](CDialogCameraEdit& e) { Type(e, 1, 10, 48, 90); };
  dialog.OnAddCamera();
  EXPECT_EQ(dialog.list->rowCount(), 1);
  typeInto = [](CDialogCameraEdit& e) { Type(e, 1, 10, 4, 300); };
  dialog.OnAddCamera();
  EXPECT_EQ(dialog.list->rowCount(), 1) << "contrast 300 fails the range check";
}

TEST_F(CameraListDialog, MenuAndButtonsRefuseAsTheMachineStateSays) {
  dialog.OnInitDialog();
  EXPECT_EQ(dialog.OnListRClick(-1), nullptr);
  EXPECT_EQ(messages.service.Texts().back(), "请选择一行 !");
  typeInto = [](CDialogCameraEdit& e) { Type(e, 1, 10, 4, 90); };
  dialog.OnAddCamera();
  QMenu* menu = dialog.OnListRClick(0);
  ASSERT_NE(menu, nullptr);
  int items = 0;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) ++items;
  EXPECT_EQ(items, 11);
  delete menu;
  smt::CurrentMachine().connected = false;
  dialog.OnCalibrationMenu(1);
  EXPECT_EQ(messages.service.Texts().back(), "Machine is not connection !");
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = false;
  dialog.OnListClick(-1);
  dialog.m_nSelectedRow = 1;
  dialog.OnCalibrationMenu(9);
  EXPECT_EQ(messages.service.Texts().back(), "没有飞行相机 !");
  dialog.m_nSelectedRow = 0;
  dialog.OnCalibrationMenu(9);
  EXPECT_EQ(messages.service.Texts().back(), "相机配置错误 !");
  const size_t before = messages.service.Texts().size();
  dialog.OnCalibrationMenu(8);
  EXPECT_EQ(messages.service.Texts().size(), before) << "the fly test stops without a message";
  smt::CurrentMachine().connected = false;
  // High-speed box: unchecking it clears the fly camera box.
  dialog.OnActivate();
  dialog.checks["m_HighSpeedCamera"]->setChecked(false);
  dialog.checks["m_FlyCamera"]->setChecked(true);
  dialog.OnFlyCameraClicked();
  EXPECT_FALSE(dialog.checks["m_FlyCamera"]->isChecked());
  smt::CurrentMachine().machineBusy = true;
  dialog.OnOK();
  EXPECT_EQ(messages.service.Texts().back(), "机器正在运行 !");
  smt::CurrentMachine().machineBusy = false;
}

// The editor's first defaults pass its own checks, every field has its
// label, and a value out of range is refused naming the field and the range
// in the window's language.
TEST_F(CameraListDialog, EditorDefaultsPassAndARefusalNamesTheField) {
  dialog.OnInitDialog();
  typeInto = nullptr;
  dialog.OnAddCamera();
  EXPECT_EQ(dialog.list->rowCount(), 1);
  EXPECT_TRUE(messages.service.Texts().empty());
  for (QLabel* l : dialog.m_pEditor->findChildren<QLabel*>())
    if (l->objectName().startsWith("label.")) {
      EXPECT_FALSE(l->text().isEmpty()) << l->objectName().toStdString();
    }
  struct Case { const char* language; const char* file; std::string expected; };
  const Case cases[] = {
      {"Chinese", "", "“对比度”：请输入一个介于 0 和 255 之间的数。"},
      {"English", "[CameraEditConfig]\nCameraEdit.c_Contrast=Contrast\n[CommonConfig]\n"
                  "Common.c_RangeRefusal=%1: please enter a number between %2 and %3.\n",
       "Contrast: please enter a number between 0 and 255."},
  };
  for (const Case& c : cases) {
    dir.Write(std::string(c.language) + ".ini", c.file);
    smt::platform::ClearProfileCache();
    dialog.m_strLanguage = c.language;
    messages.service.Clear();
    typeInto = [](CDialogCameraEdit& e) { Type(e, 1, 10, 4, 300); };
    dialog.OnListClick(0);
    dialog.OnModifyCamera();
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.expected}) << c.language;
    EXPECT_EQ(dialog.m_pEditor->findChild<QLabel*>("label.CameraEdit.c_Contrast")->text().toStdString(),
              std::string(c.language) == "English" ? "Contrast" : "对比度");
  }
}

// The setting fields are labelled with texts of the language file, never
// with member names.
TEST_F(CameraListDialog, SettingFieldsHaveTextLabels) {
  dir.Write("English.ini", "[CameraListConfig]\nCameraList.c_BaseSet=Reference part\n"
                           "CameraList.c_TriggerInAdvance=Trigger ahead\n");
  smt::platform::ClearProfileCache();
  dialog.m_strLanguage = "English";
  dialog.OnInitDialog();
  int labels = 0;
  for (QLabel* l : dialog.findChildren<QLabel*>()) {
    if (!l->objectName().startsWith("label.m_")) continue;
    ++labels;
    EXPECT_FALSE(l->text().isEmpty()) << l->objectName().toStdString();
    EXPECT_FALSE(l->text().contains("m_")) << l->text().toStdString();
  }
  EXPECT_EQ(labels, 27);
  EXPECT_EQ(dialog.findChild<QLabel*>("label.m_BaseDiameter")->text().toStdString(), "Reference part Ø (mm)");
  EXPECT_EQ(dialog.findChild<QLabel*>("label.m_iTriggerPulse3")->text().toStdString(), "Trigger ahead A3");
}

// Every setting box is read whole in its field's range: a word, trailing
// letters, "nan", a fraction in a whole-number field or one past either end
// is refused naming the field and its range, and no setting is taken; the
// ends themselves are taken as typed.
TEST_F(CameraListDialog, SettingBoxesAreReadWholeInTheirRanges) {
  dialog.OnInitDialog();
  const CameraListSettings before = dialog.m_Settings;
  struct C {
    const char* key;
    double lo, hi;
    bool whole;
  } cases[] = {
      {"m_iTriggerPulse1", 0, 10000, true}, {"m_iTriggerPulse8", 0, 10000, true},
      {"m_iChangeCameraDelay", 0, 10000, true}, {"m_iFlyStartSpeed", 1, 255, true},
      {"m_Correct_X", -10, 10, false},    {"m_Correct_A", -360, 360, false},
      {"m_dFlyCorrect_Y3", -1, 1, false}, {"m_BaseDiameter", 5, 20, false},
  };
  for (const C& c : cases) {
    QLineEdit* box = dialog.findChild<QLineEdit*>(c.key);
    ASSERT_NE(box, nullptr) << c.key;
    const QString kept = box->text();
    std::vector<std::string> bad = {"ten", "12abc", "nan", "inf", "1e400",
                                    smt::platform::FormatDouble(c.lo - 1, 0),
                                    smt::platform::FormatDouble(c.hi + 1, 0)};
    if (c.whole) bad.push_back("2.5");
    for (const std::string& text : bad) {
      SCOPED_TRACE(std::string(c.key) + " \"" + text + "\"");
      box->setText(QString::fromStdString(text));
      messages.service.Clear();
      EXPECT_FALSE(dialog.TakeSettings());
      ASSERT_EQ(messages.service.Texts().size(), 1u);
      EXPECT_NE(messages.service.Texts()[0].find(smt::platform::RangeBoundText(c.lo) + " 和 " +
                                                 smt::platform::RangeBoundText(c.hi)),
                std::string::npos)
          << messages.service.Texts()[0];
      EXPECT_EQ(dialog.m_Settings, before);
    }
    for (double end : {c.lo, c.hi}) {
      box->setText(QString::fromStdString(smt::platform::FormatDouble(end, c.whole ? 0 : 4)));
      ASSERT_TRUE(dialog.TakeSettings()) << c.key << " " << end;
    }
    box->setText(kept);
    ASSERT_TRUE(dialog.TakeSettings());
  }
  EXPECT_EQ(dialog.m_Settings, before);
}
