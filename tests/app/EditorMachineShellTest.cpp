// The editors' machine buttons move the simulated machine through the
// program as the shell builds it.
#include <QComboBox>
#include <QPushButton>

#include "ShellSimFixture.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederTable.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "vision/CDialogCameraList.h"

namespace {

std::vector<std::string> FeederW1() {
  std::vector<std::string> c(30, "0");
  c[smt::feeder::kCellNumber] = "W1";
  c[smt::feeder::kCellPackage] = "0603";
  c[smt::feeder::kCellX] = "10";
  c[smt::feeder::kCellY] = "-20";
  c[smt::feeder::kCellLength] = "1.6";
  c[smt::feeder::kCellWidth] = "0.8";
  c[smt::feeder::kCellHead] = "1";
  c[smt::feeder::kCellCamera] = "Yes/Camera 1";
  c[smt::feeder::kCellFly] = "No/60/80";
  c[smt::feeder::kCellFeedMode] = "集中飞达";
  c[smt::feeder::kCellFeedCount] = "1";
  c[smt::feeder::kCellPickHeight] = "-5";
  c[smt::feeder::kCellSpeed] = "No/";
  std::string line;
  for (const auto& x : c) line += x + "\t";
  return {"1\tG\t", "G\t\t1\t", line, "0\t0\t0\t0\t0\t0\t"};
}

class EditorMachine : public ShellSimTest {
 protected:
  bool Idle() {
    return Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
  }
};

}  // namespace

TEST_F(EditorMachine, PickToCameraCarriesThePartOverTheVisionCamera) {
  CMainFrame& f = StartConnected();
  CSMTView& v = *f.view();
  f.Lists().cameraRows = smt::vision::ReadCameraRows({"Camera 1\t", "Camera 2\t"}, "config_camera.fig");
  v.m_pCameraList->m_Camera_first.CameraNumber = 1;
  v.m_pCameraList->m_Camera_first.CameraPulse_X = 20000;
  v.m_pCameraList->m_Camera_first.CameraPulse_Y = -15000;
  auto lines = FeederW1();
  ASSERT_TRUE(v.m_pFeedList->LoadFromLines(lines));
  CDialogFeedList* list = v.m_pFeedList;
  list->m_nSelectedRow = 0;
  list->LoadEditFromRow(0);
  CDialogFeedEdit* e = list->Editor();
  e->OnInitDialog();
  e->Combo("camera")->setCurrentIndex(0);
  e->Button("PickToCamera")->click();
  ASSERT_TRUE(Idle());
  EXPECT_EQ(sim->Position(0), 20000) << "X over vision camera 1";
  EXPECT_EQ(sim->Position(1), -15000) << "Y over vision camera 1";
}

TEST_F(EditorMachine, PartEditorJogPadMovesTheMachine) {
  CMainFrame& f = StartConnected();
  CDialogPartEditSmt& editor = f.view()->m_pPartList->SmtEditor();
  auto* xPlus = editor.findChild<QPushButton*>("c_1139");
  ASSERT_NE(xPlus, nullptr);
  const int64_t before = sim->Position(0);
  emit xPlus->pressed();
  Pump([&] { return sim->Position(0) != before; }, std::chrono::seconds(3));
  emit xPlus->released();
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
  EXPECT_GT(sim->Position(0), before) << "the editor's X+ jogs the machine's X";
}

TEST_F(EditorMachine, FeederEditorHomeButtonHomesTheZAxes) {
  CMainFrame& f = StartConnected();
  CSMTView& v = *f.view();
  auto lines = FeederW1();
  ASSERT_TRUE(v.m_pFeedList->LoadFromLines(lines));
  v.m_pFeedList->m_nSelectedRow = 0;
  v.m_pFeedList->LoadEditFromRow(0);
  CDialogFeedEdit* e = v.m_pFeedList->Editor();
  e->OnInitDialog();
  sim->ClearReceived();
  emit e->Button("Home")->pressed();
  emit e->Button("Home")->released();
  ASSERT_TRUE(Pump([&] { return Count(0x02) > 0 && !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)))
      << "the ↓↑ button sends the homing command";
}
