// The jog panel without a machine: its layout per machine type, the head
// bank switch, the enabling table, its settings section, its texts, the
// information boxes, the position boxes, the menus and the manual Mark
// offsets.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLayout>
#include <QMenu>
#include <QPushButton>

#include "../support/TempDir.h"
#include "core/MachineState.h"
#include "link/CDialogManualControl.h"
#include "link/JogPad.h"
#include "link/JogPanelLayout.h"
#include "link/JogPanelTexts.h"
#include "link/LinkRuntime.h"
#include "link/ManualMarkOffsets.h"
#include "link/MotionSettings.h"
#include "link/PumpButtons.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"

using namespace smt::link;

namespace {

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

class JogPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().machineBusy = false;
    SetMotionSettings(smt::CurrentMachine(), {});
  }
  void TearDown() override {
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = false;
    SetMotionSettings(smt::CurrentMachine(), {});
    RuntimeOf(smt::CurrentMachine()).hooks = nullptr;
  }
  bool Shown(CDialogManualControl& p, int id) { return !p.Control(id)->isHidden(); }

  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace

// Visibility by machine type, written out as the machine models need it.
TEST_F(JogPanel, LayoutShowsTheControlsOfEachMachineType) {
  struct Row {
    std::vector<int> ids;
    const char* types;  // 'S' shown for types 0..10
  };
  const Row rows[] = {
      {{1227, 1228, 1229, 1230, 1231, 1232, 1233, 1145, 1149, 1022, 1151, 1225, 1005, 1016, 1017}, "SSSSSSSSSSS"},
      {{1146, 1150}, "SSSSSSSSSHS"},
      {{1152, 1153}, "HHSSSSSSSHS"},
      {{1037, 1006}, "HSSSSSSSSSS"},
      {{1154, 1155, 1157, 1158, 1023, 1156, 1024, 1159, 1038, 1039, 1007, 1008}, "HHHSSHSSSHH"},
      {{1160, 1161}, "HHHHHHSHHHH"},
      {{1040, 1009}, "HHHHSHSSSHH"},
      {{1041, 1010}, "HHHHSHHSSHH"},
      {{1042, 1043, 1011, 1012}, "HHHHHHHSSHH"},
      {{1234}, "HHHHSHHSSHH"},
      {{1162, 1163, 1164, 1166, 1165, 1167, 1025, 1168, 1026, 1169, 1027, 1171, 1028, 1170}, "HHHHHHHHHHH"},
  };
  CDialogManualControl panel{smt::CurrentMachine()};
  for (int type = 0; type <= 10; ++type) {
    smt::CurrentMachine().machineType = type;
    panel.LayoutForMachineModel(-1, false);  // the first argument is not read
    for (const Row& r : rows)
      for (int id : r.ids)
        EXPECT_EQ(Shown(panel, id), r.types[type] == 'S') << "type " << type << " control " << id;
    EXPECT_EQ(Shown(panel, 1235), type == 7 || type == 8) << "type " << type;
    EXPECT_TRUE(Shown(panel, 1135));
  }
  smt::CurrentMachine().machineType = 2;
  panel.LayoutForMachineModel(2, true);
  EXPECT_TRUE(Shown(panel, 1235));  // the conveyor's information box
}

// The problems of one container: a shown control outside it, or two shown
// controls of it on top of each other; containers inside it in turn.
void CollectPlacementFaults(QWidget* box, const std::string& where, std::vector<std::string>& faults) {
  std::vector<QWidget*> kids;
  for (QObject* o : box->children())
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden()) kids.push_back(w);
  for (QWidget* w : kids) {
    if (!box->rect().contains(w->geometry()))
      faults.push_back(where + w->objectName().toStdString() + " lies outside " + box->objectName().toStdString());
    if (qobject_cast<QGroupBox*>(w) || w->objectName() == "JogPad")
      CollectPlacementFaults(w, where + w->objectName().toStdString() + "/", faults);
  }
  for (size_t i = 0; i < kids.size(); ++i)
    for (size_t j = i + 1; j < kids.size(); ++j)
      if (kids[i]->geometry().intersects(kids[j]->geometry()))
        faults.push_back(where + kids[i]->objectName().toStdString() + " and " + kids[j]->objectName().toStdString() +
                         " overlap");
}

// On every machine type, with and without the conveyor, and on both banks of
// the eight-head machines: the panel keeps to the main window's 520 px wide
// column, every shown control lies inside its parent, and no two overlap.
TEST_F(JogPanel, EveryMachineTypeFitsItsControlsInsideAndApart) {
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.ApplyLanguageTexts();
  for (int type = 0; type <= 10; ++type)
    for (bool conveyor : {false, true})
      for (int bank : {1, 2}) {
        if (bank == 2 && type != 7 && type != 8) continue;
        smt::CurrentMachine().machineType = type;
        panel.LayoutForMachineModel(type, conveyor);
        if (bank == 2) panel.OnHeadGroup();
        const std::string where =
            "type " + std::to_string(type) + (conveyor ? " conveyor" : "") + " bank " + std::to_string(bank) + ": ";
        EXPECT_LE(panel.minimumSizeHint().width(), 520) << where;
        panel.resize(520, panel.minimumSizeHint().height());
        panel.layout()->activate();
        std::vector<std::string> faults;
        CollectPlacementFaults(&panel, where, faults);
        for (const auto& f : faults) ADD_FAILURE() << f;
      }
}

// The second bank of the eight-head machines takes the places of the first;
// the heads of the four-head machines stand left to right.
TEST_F(JogPanel, HeadBanksAndColumnsByMachineType) {
  CDialogManualControl panel{smt::CurrentMachine()};
  for (int type : {3, 4, 6, 7, 8}) {
    smt::CurrentMachine().machineType = type;
    panel.LayoutForMachineModel(type, false);
    for (int i = 0; i < 3; ++i)
      EXPECT_LT(panel.Control(jogid::kZPlus[i])->x(), panel.Control(jogid::kZPlus[i + 1])->x()) << type;
  }
  smt::CurrentMachine().machineType = 8;
  panel.LayoutForMachineModel(8, false);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(panel.Control(jogid::kZPlus[i + 4])->geometry(), panel.Control(jogid::kZPlus[i])->geometry());
    EXPECT_EQ(panel.Control(jogid::kAMinus[i + 4])->geometry(), panel.Control(jogid::kAMinus[i])->geometry());
  }
}

// The bank switch exchanges the head banks on the eight-head machines,
// picks the platform on the lamp machine and does nothing elsewhere.
TEST_F(JogPanel, HeadGroupSwitchByMachineType) {
  CDialogManualControl panel{smt::CurrentMachine()};
  auto* sw = static_cast<QPushButton*>(panel.Control(1234));
  smt::CurrentMachine().machineType = 7;
  panel.LayoutForMachineModel(7, false);
  panel.OnHeadGroup();
  EXPECT_EQ(sw->text(), "5-8");
  for (int id : HeadBankControls(2)) EXPECT_TRUE(Shown(panel, id)) << id;
  for (int id : HeadBankControls(1)) EXPECT_FALSE(Shown(panel, id)) << id;
  panel.OnHeadGroup();
  EXPECT_EQ(sw->text(), "1-4");
  for (int id : HeadBankControls(1)) EXPECT_TRUE(Shown(panel, id)) << id;

  smt::CurrentMachine().machineType = 4;
  panel.LayoutForMachineModel(4, false);
  panel.OnHeadGroup();
  EXPECT_EQ(panel.JogPad().m_nHeadGroup.load(), 2);
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).headGroup.load(), 2);
  int axis = -1;
  bool positive = false;
  ASSERT_TRUE(AxisButtonJog(1148, 4, 2, axis, positive));  // Y- drives the second platform
  EXPECT_EQ(axis, 12);
  EXPECT_FALSE(positive);

  smt::CurrentMachine().machineType = 3;
  panel.LayoutForMachineModel(3, false);
  panel.OnHeadGroup();
  EXPECT_EQ(panel.JogPad().m_nHeadGroup.load(), 1);
  EXPECT_EQ(sw->text(), "1-4");
}

TEST_F(JogPanel, EnableTableFollowsMachineTypeAndConveyor) {
  struct Case {
    int type;
    bool autoTransport;
    std::vector<int> on, off;
  };
  const Case cases[] = {
      {3, false, {1058, 1139, 1037, 1039, 1154, 1159, 1227, 1231}, {1234, 1232, 1233}},
      {4, false, {1041, 1162, 1163, 1234}, {1227, 1231, 1233}},
      {7, false, {1043, 1165, 1170, 1234}, {1227, 1231, 1232}},
      {9, false, {1037, 1145}, {1227, 1231, 1234, 1233}},
      {2, true, {1037, 1152}, {1227, 1228, 1231, 1232, 1233, 1234}},
      {0, false, {1058, 1145, 1146}, {1227, 1231, 1234, 1232}},
  };
  for (const Case& c : cases) {
    const auto s = JogEnableStates(c.type, true, c.autoTransport);
    for (int id : c.on) EXPECT_TRUE(s.at(id)) << "type " << c.type << " control " << id;
    for (int id : c.off) EXPECT_FALSE(s.at(id)) << "type " << c.type << " control " << id;
    for (const auto& [id, v] : JogEnableStates(c.type, false, c.autoTransport))
      EXPECT_FALSE(v) << "type " << c.type << " control " << id;
  }

  // Applied to the panel's controls on the window thread.
  CDialogManualControl panel{smt::CurrentMachine()};
  smt::CurrentMachine().machineType = 1;
  panel.LayoutForMachineModel(1, false);
  panel.EnableJogControls(true);
  Settle();
  EXPECT_TRUE(panel.Control(1139)->isEnabled());
  EXPECT_TRUE(panel.Control(1037)->isEnabled());
  EXPECT_FALSE(panel.Control(1233)->isEnabled());
  panel.EnableJogControls(false);
  Settle();
  EXPECT_FALSE(panel.Control(1139)->isEnabled());
}

// The nine keys of ManualControlConfig: read as integers (missing = 0),
// written back with the information switch as the box shows it.
TEST_F(JogPanel, SettingsSectionRoundTrip) {
  smt::test::TempDir dir;
  dir.Write("config.ini",
            "[ManualControlConfig]\nm_SpeedGears=2\nm_XY_RunSteps=10\nm_Z_RunSteps=5\nm_A_RunSteps=7\n"
            "m_Feed_RunSteps=9\nm_Feed_Direction=3\nm_ComNumber=4\nm_bShowInformation=1\n");
  {
    CDialogManualControl panel{smt::CurrentMachine()};
    panel.LoadConfig(dir.str());
    EXPECT_EQ(panel.JogPad().Steps(), (JogSteps{2, 10, 5, 7, 9, 0}));  // m_S_RunSteps missing: 0
    EXPECT_EQ(panel.JogPad().m_Feed_Direction.load(), 3);
    EXPECT_EQ(panel.m_ComNumber, 4);
    EXPECT_EQ(panel.StepDisplay(), "XY10,  Z5,  A7,  F9,  S0");
    EXPECT_EQ(panel.Control(1231)->property("sideIcon").toInt(), 385);

    static_cast<QAbstractButton*>(panel.Control(1044))->click();  // switch off
    EXPECT_EQ(panel.m_bShowInformation.load(), 0);
    panel.OnMenuCommand(33114);  // S fine
    panel.OnMenuCommand(32970);  // east
    panel.SaveConfig(dir.str());
  }
  smt::platform::SettingsSection s(smt::platform::ConfigPath(dir.str()), "ManualControlConfig");
  EXPECT_EQ(s.ReadInt("m_bShowInformation"), 0);
  EXPECT_EQ(s.ReadInt("m_S_RunSteps"), 1);
  EXPECT_EQ(s.ReadInt("m_Feed_Direction"), 0);
  EXPECT_EQ(s.ReadInt("m_SpeedGears"), 2);
  EXPECT_EQ(s.ReadInt("m_ComNumber"), 4);

  // A side outside 0..3 leaves the direction button without its icon.
  dir.Write("config.ini", "[ManualControlConfig]\nm_Feed_Direction=7\n");
  smt::platform::ClearProfileCache();
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadConfig(dir.str());
  EXPECT_EQ(panel.Control(1231)->property("sideIcon").toInt(), 0);
}

TEST_F(JogPanel, StepMenusAndGearsSetTheirFamilies) {
  smt::settings::SpeedSettings t;  // 1000/100/10/1, Z 500/50/5/1
  struct Case {
    int command;
    JogSteps expected;
  };
  const Case cases[] = {
      {32956, {2, 10, 0, 0, 0, 0}}, {32957, {3, 1, 0, 0, 0, 0}}, {32964, {0, 0, 50, 0, 0, 0}},
      {32959, {0, 0, 0, 1, 0, 0}},  {32969, {0, 0, 0, 0, 1000, 0}}, {33112, {0, 0, 0, 0, 0, 100}},
  };
  for (const Case& c : cases) {
    JogSteps s;
    EXPECT_TRUE(ApplyStepMenuCommand(s, c.command, t)) << c.command;
    EXPECT_EQ(s, c.expected) << c.command;
  }
  JogSteps s;
  EXPECT_FALSE(ApplyStepMenuCommand(s, 32970, t));
  ApplyGear(s, 4, t);
  EXPECT_EQ(s, JogSteps{});
  EXPECT_EQ(FollowingGear(3), 0);
}

TEST_F(JogPanel, InformationSwitchGatesOnlyTheFirstBox) {
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.m_bShowInformation = 0;
  panel.AppendInfoLine("61->Start", true);
  panel.AppendInfoLine2("62->Start", true);
  EXPECT_EQ(panel.InfoText(), "");
  EXPECT_EQ(panel.InfoText2(), "62->Start\r\n");
  panel.m_bShowInformation = 1;
  panel.AppendInfoLine("61->End", false);
  EXPECT_EQ(panel.InfoText(), "61->End");
}

TEST_F(JogPanel, PositionBoxesInPulsesOrMillimetres) {
  CDialogManualControl panel{smt::CurrentMachine()};
  MotionSettings m;
  m.showPulse = false;
  m.xPulse = 100;
  m.aPulse = 10;
  SetMotionSettings(smt::CurrentMachine(), m);
  panel.ShowPositions(true, 1000, false, 5, false, 0, true, -25);
  EXPECT_EQ(panel.PositionText(0), "10.00");
  EXPECT_EQ(panel.PositionText(1), "");
  EXPECT_EQ(panel.PositionText(3), "-2.50");
  m.showPulse = true;
  SetMotionSettings(smt::CurrentMachine(), m);
  panel.ShowPositions(true, 1000, true, -5, false, 0, false, 0);
  EXPECT_EQ(panel.PositionText(0), "1000");
  EXPECT_EQ(panel.PositionText(1), "-5");
}

TEST_F(JogPanel, PumpButtonChecksFromCommands) {
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.SetPumpButtonCheck(0, true);
  Settle();
  for (int p = 1; p <= 8; ++p) EXPECT_TRUE(panel.PumpChecked(p));
  panel.SetPumpButtonCheck(9, false);
  panel.SetPumpButtonCheck(3, false);
  Settle();
  EXPECT_TRUE(panel.PumpChecked(2));
  EXPECT_FALSE(panel.PumpChecked(3));
}

TEST_F(JogPanel, PumpOutputTable) {
  using V = std::vector<PumpOutput>;
  EXPECT_EQ(PumpOutputs(1, 0, 0, 30), (V{{1, 5}}));
  EXPECT_EQ(PumpOutputs(2, 3, 1, 30), (V{{8, 5}, {2, 5}}));
  EXPECT_EQ(PumpOutputs(4, 3, 2, 30), (V{{8, 5}, {4, 5}}));
  EXPECT_EQ(PumpOutputs(3, 3, 1, 30), (V{{3, 5}}));
  EXPECT_EQ(PumpOutputs(7, 6, 0, 30), V{});
  EXPECT_EQ(PumpOutputs(8, 2, 1, 30), V{});
  EXPECT_EQ(PumpOutputs(8, 7, 0, 30), (V{{39, 30}}));
  EXPECT_EQ(PumpOutputs(8, 8, 2, 30), (V{{47, 30}}));
  EXPECT_EQ(PumpOutputs(2, 7, 1, 30), (V{{33, 30}}));
}

TEST_F(JogPanel, RoomTableOfTheJogAxes) {
  JogContext c;
  c.xLimit = 10000;
  c.yLimit = -8000;
  c.zLimit = -3000;
  c.eastLimit = 5000;
  JogPositions p;
  p.x = 2500;
  p.y = -1000;
  p.z = {-100, 0, 0, 0, -400, 0, 0, -1000};
  struct Case {
    int axis, steps, type, group;
    bool liftOnce;
    int expected;
  };
  const Case cases[] = {
      {0, 1000, 0, 1, false, 7},   {0, -1000, 0, 1, false, 2},  {1, 1000, 0, 1, false, 1},
      {1, -1000, 0, 1, false, 7},  {2, 500, 0, 1, false, 5},    {2, -500, 0, 1, false, 6},
      {10, 100, 6, 1, false, 4},   {10, 100, 0, 1, false, 0},   {10, -1000, 0, 1, false, -5},
      {11, 100, 0, 1, true, 1},    {13, 100, 0, 1, false, 1000}, {12, 100, 4, 2, false, 0},
      {9, 100, 4, 1, false, 0},    {39, 500, 7, 1, false, 2},   {39, -500, 7, 1, false, 4},
      {5, 10, 9, 1, false, 1},     {14, 10, 2, 1, false, 1000}, {0, 0, 0, 1, false, 0},
  };
  for (const Case& k : cases)
    EXPECT_EQ(JogRepetitions(k.axis, k.steps, k.type, k.group, k.liftOnce, c, p), k.expected)
        << "axis " << k.axis << " steps " << k.steps << " type " << k.type;
}

TEST_F(JogPanel, FeederPadTable) {
  JogContext c;
  c.openLength = 3;
  c.closeLength = 2;
  c.eastLiftPulse = 12.9;
  c.northLiftPulse = 10;
  const FeederPadAction east = FeederPadJog(1227, 0, false, c);
  EXPECT_TRUE(east.any);
  EXPECT_EQ(east.axis, 13);
  EXPECT_TRUE(east.positive);
  EXPECT_EQ(east.steps, 25);  // 2 mm x 12.9, truncated
  EXPECT_FALSE(east.repeat);
  const FeederPadAction north = FeederPadJog(1228, 3, false, c);
  EXPECT_EQ(north.outputOff, 6);
  EXPECT_EQ(north.axis, 9);
  EXPECT_FALSE(north.positive);
  EXPECT_TRUE(north.repeat);
  const FeederPadAction release = FeederPadJog(1231, 3, true, c);
  EXPECT_EQ(release.outputOff, 6);
  EXPECT_EQ(release.axis, 12);
  EXPECT_TRUE(release.positive);
  EXPECT_EQ(release.steps, 20);
  for (int id : {1227, 1228, 1229, 1230, 1231}) EXPECT_FALSE(FeederPadJog(id, 1, false, c).any);
}

TEST_F(JogPanel, MenusCarryTheirTextsAndStates) {
  CDialogManualControl panel{smt::CurrentMachine()};
  auto findAction = [](QMenu* m, int command) -> QAction* {
    for (QAction* a : m->findChildren<QAction*>())
      if (a->data().toInt() == command) return a;
    return nullptr;
  };
  smt::CurrentMachine().machineType = 2;
  std::unique_ptr<QMenu> menu(panel.BuildPanelMenu(nullptr));
  ASSERT_NE(findAction(menu.get(), 32971), nullptr);
  EXPECT_FALSE(findAction(menu.get(), 32971)->isEnabled());  // south is always greyed
  EXPECT_EQ(findAction(menu.get(), 32954)->text().toStdString(), "XY 快速定位");
  EXPECT_EQ(findAction(menu.get(), 33329)->text().toStdString(), "识别Mark1到Mark2");
  const auto tops = menu->actions();
  EXPECT_TRUE(tops.at(3)->isEnabled());

  smt::CurrentMachine().machineType = 7;
  menu.reset(panel.BuildPanelMenu(nullptr));
  int greyed = 0;
  for (QAction* a : menu->actions())
    if (a->menu() && !a->isEnabled()) ++greyed;
  EXPECT_EQ(greyed, 3);  // feeder steps, S steps and the feeder side

  smt::CurrentMachine().machineType = 4;
  std::unique_ptr<QMenu> reset(panel.BuildResetMenu(nullptr));
  EXPECT_EQ(findAction(reset.get(), 32988)->text().toStdString(), "X2轴复位");
  EXPECT_EQ(findAction(reset.get(), 32986)->text().toStdString(), "Y2轴复位");
  EXPECT_EQ(findAction(reset.get(), 32989)->text().toStdString(), "点胶复位");
  EXPECT_TRUE(findAction(reset.get(), 32989)->isEnabled());
  EXPECT_FALSE(findAction(reset.get(), 32987)->isEnabled());

  smt::CurrentMachine().machineType = 7;
  reset.reset(panel.BuildResetMenu(nullptr));
  EXPECT_EQ(findAction(reset.get(), 32988)->text().toStdString(), "东面送料复位");
  EXPECT_FALSE(findAction(reset.get(), 32988)->isEnabled());
}

TEST_F(JogPanel, TextsComeFromTheLanguageFileWithChineseDefaults) {
  EXPECT_EQ(JogPanelTexts::Defaults().size(), 93u);
  smt::test::TempDir dir;
  dir.Write("English.ini", "[ManualControlConfig]\nManualControl.c_SolenoidSalve3=Vacuum 3\n"
                           "ManualControl.c_CoordinatesShow=Absolute      Relative\n");
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.str(), "English");
  panel.ApplyLanguageTexts();
  EXPECT_EQ(panel.Texts()["c_SolenoidSalve3"], "Vacuum 3");
  EXPECT_EQ(panel.Texts()["c_SolenoidSalve4"], "真空泵 4");
  EXPECT_EQ(static_cast<QPushButton*>(panel.Control(1038))->text().toStdString(), "Vacuum 3");
  EXPECT_EQ(panel.Texts()["c_Message_19"], "手动获得MARK点值不在-3到3mm以内，此操作无效 !");
}

// --- manual Mark offsets -------------------------------------------------

class MarkOffsets : public JogPanel {
 protected:
  // The offsets' owners as the test plays them.
  class Owners : public ManualMarkOwners {
   public:
    explicit Owners(MarkOffsets& t) : t_(t) {}
    bool CurrentBoard(MarkBoard& b) override {
      b = t_.board;
      return true;
    }
    MarkOffsetValues Offsets() override { return t_.values; }
    void StoreOffsets(const MarkOffsetValues& v) override { t_.values = v; }
    void ConvertPointToSteps(double a, double b, double c, double d) override { t_.converted.push_back({a, b, c, d}); }
    int PartRowCount() override { return t_.rows; }
    std::string EmptyListText() override { return "请先导入贴片文件 !"; }
    bool SmtThreadBusy() override { return false; }
    bool FeedThreadBusy() override { return t_.feedBusy; }
    bool ConveyorThreadBusy() override { return false; }
    void OpenMarkCamera() override {}
    void SetAlignmentBase(const MarkBoard&) override {}
    void AlignBoardMarks() override { ++t_.aligned; }

   private:
    MarkOffsets& t_;
  };

  void SetUp() override {
    JogPanel::SetUp();
    ManualMarkPortOf(smt::CurrentMachine()).Connect(&owners);
    board = {10, 20, 5, 6, 50, 40};
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().curY = 0;
  }
  void TearDown() override {
    ManualMarkPortOf(smt::CurrentMachine()).Disconnect();
    smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
    JogPanel::TearDown();
  }
  // Puts the camera at (x, y) mm from the origin with 100 pulses per mm and
  // no camera offset.
  void CameraAt(double x, double y) {
    smt::CurrentMachine().curX = static_cast<int32_t>(std::lround((x + board.originX) * 100));
    smt::CurrentMachine().curY = static_cast<int32_t>(std::lround((y + board.originY) * 100));
  }
  MarkCameraGeometry geometry{100, 100, 0, 0};
  const std::string refusal = "手动获得MARK点值不在-3到3mm以内，此操作无效 !";
  MarkBoard board;
  MarkOffsetValues values;
  std::vector<std::array<double, 4>> converted;
  int rows = 3;
  bool feedBusy = false;
  std::atomic<int> aligned{0};
  Owners owners{*this};
};

TEST_F(MarkOffsets, CameraOverMark1GivesZeroOffsets) {
  values.m_dMark2OffsetX = 1.5;
  CameraAt(5, 6);
  EXPECT_TRUE(TakeMarkOffset(smt::CurrentMachine(), 1, refusal, geometry));
  EXPECT_EQ(values.m_bManualMarkOffset, 1);
  EXPECT_EQ(values.m_dMark1OffsetX, 0.0);
  EXPECT_EQ(values.m_dMark1OffsetY, 0.0);
  EXPECT_EQ(values.m_dMark2OffsetX, 0.0);
  ASSERT_EQ(converted.size(), 1u);
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(MarkOffsets, LimitsAreInclusiveAndARefusalKeepsWhatWasTaken) {
  CameraAt(5 + 3.0, 6 - 1.23456);
  EXPECT_TRUE(TakeMarkOffset(smt::CurrentMachine(), 1, refusal, geometry));
  EXPECT_NEAR(values.m_dMark1OffsetX, 3.0, 1e-9);
  EXPECT_NEAR(values.m_dMark1OffsetY, -1.23, 1e-12);  // kept to four decimals
  EXPECT_EQ(RoundTo4(-1.23456), -1.2346);

  // Mark 2 refused in X: Mark 1 and the flag stay.
  smt::CurrentMachine().curX = static_cast<int32_t>((50 + 10) * 100) + 301;  // 3.01 mm off
  smt::CurrentMachine().curY = (40 + 20) * 100;
  EXPECT_FALSE(TakeMarkOffset(smt::CurrentMachine(), 2, refusal, geometry));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{refusal});
  EXPECT_EQ(values.m_bManualMarkOffset, 1);
  EXPECT_NEAR(values.m_dMark1OffsetX, 3.0, 1e-9);
  EXPECT_EQ(converted.size(), 1u);

  // The offset just past the limit is refused as well.
  EXPECT_NEAR(CameraPositionMm(100000, 0, 0, 300001), 3.00001, 1e-12);
  EXPECT_FALSE(OffsetInRange(3.00001));
  EXPECT_TRUE(OffsetInRange(-3.0));

  ResetMarkOffsets(smt::CurrentMachine());
  EXPECT_EQ(values.m_bManualMarkOffset, 0);
  EXPECT_EQ(values.m_dMark1OffsetX, 0.0);
}

TEST_F(MarkOffsets, MarkToMarkRefusesAnEmptyListAndBusyThreads) {
  CDialogManualControl panel{smt::CurrentMachine()};
  rows = 0;
  panel.OnMenuCommand(33329);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"请先导入贴片文件 !"});
  rows = 2;
  feedBusy = true;
  messages.service.Clear();
  panel.OnMenuCommand(33329);
  EXPECT_EQ(panel.InfoText(), "Feed thread is busy !");
  EXPECT_TRUE(messages.service.Texts().empty());
  feedBusy = false;
  panel.OnMenuCommand(33329);  // offline
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
  EXPECT_EQ(aligned.load(), 0);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}
