// The saved settings reach every consumer when the program starts, without
// any dialog being opened, and again after each settings dialog's OK.
#include "SettingsFlowFixture.h"

using namespace smt::app;
using settingsflow::ConfirmDialog;

TEST_F(SettingsFlow, EveryConsumerHasTheSavedSettingsRightAfterStartUp) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 3);

  // Run geometry, camera offset and head layout (steps).
  EXPECT_DOUBLE_EQ(smt::CurrentMachine().steps.xPulsePerMm, 200.0);
  EXPECT_EQ(smt::CurrentMachine().steps.cameraOffsetX, 6000);
  EXPECT_EQ(smt::CurrentMachine().steps.cameraOffsetY, -2000);
  EXPECT_EQ(smt::CurrentMachine().steps.nozzleOffsetX[0], 4000);
  EXPECT_EQ(smt::CurrentMachine().steps.throwPositionX, 20000);
  EXPECT_EQ(smt::CurrentMachine().fly.headCount, 4);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[1], 8000);
  // Nozzle seats.
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 2000);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nY, -3200);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nEntranceZHead[1], 300 - 50);

  // The link: limits, switches, vacuum, speed options, homing speeds, run
  // mode (pump buttons and after-home outputs), conveyor width.
  const auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
  EXPECT_EQ(m.xLimit, 100000);
  EXPECT_EQ(m.yLimit, -64000);
  EXPECT_EQ(m.zLimit, -1000);
  EXPECT_EQ(m.yLimitAbs, 64000);
  EXPECT_DOUBLE_EQ(m.xPulse, 200.0);
  EXPECT_EQ(m.exhaust, 30);
  EXPECT_TRUE(m.onlineToReset);
  EXPECT_TRUE(m.resetToVisualOrigin);
  EXPECT_TRUE(m.suctionNozzleOffset);
  EXPECT_EQ(m.suctionNozzleValue[0], 7);
  EXPECT_TRUE(m.optimizeFarSpeed);
  EXPECT_EQ(m.accelSpeed, 60);
  EXPECT_TRUE(m.maxSpeedLimit);
  EXPECT_EQ(m.maxSpeedLimitValue, 20);
  EXPECT_EQ(m.aRevolution, 3600);
  EXPECT_EQ(m.resetSpeed[0].start, 11);
  EXPECT_EQ(m.resetSpeed[0].normal, 22);
  EXPECT_EQ(m.resetSpeed[1].normal, 24);
  EXPECT_EQ(m.runSelect, 1);
  EXPECT_EQ(smt::link::PumpOutputs(2, 3, m.runSelect, m.exhaust).front().output, 8);
  EXPECT_TRUE(m.autoTransport);
  EXPECT_EQ(m.conveyorWidthTarget, 4820);

  // The jog panel: limits, feeder limits, manual speeds, gear steps, boxes.
  CDialogManualControl& panel = *v.m_pManualControl;
  const auto jog = panel.JogPad().Context();
  EXPECT_EQ(jog.xLimit, 100000);
  EXPECT_EQ(jog.yLimit, -64000);
  EXPECT_EQ(jog.westLimit, -1100);
  EXPECT_EQ(jog.northLimit, 1170);
  EXPECT_EQ(jog.handleSpeed[0][0], 31);
  EXPECT_EQ(jog.handleSpeed[0][1], 42);
  EXPECT_EQ(jog.templates.m_XY_RunFast, 2000);
  panel.ShowPositions(true, 2000, true, -1600, true, 100, true, 50);
  EXPECT_EQ(panel.PositionText(0), "10.00");
  EXPECT_EQ(panel.PositionText(1), "-10.00");
  EXPECT_EQ(panel.PositionText(2), "2.00");
  EXPECT_EQ(panel.PositionText(3), "5.00");
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(SettingsFlow, EveryConsumerFollowsEachDialogsOk) {
  CMainFrame& f = Start();
  f.show();
  CSMTView& v = *f.view();
  CDialogManualControl& panel = *v.m_pManualControl;

  // Basic settings.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetBasic>(v, cmd::kSetBasic, [](auto& d) {
    d.Edit("m_X_Limit")->setText("600");
    d.Edit("m_Exhaust")->setText("40");
    d.Edit("m_X_Nozzle2ToNozzle1")->setText("25");
    d.Edit("m_WestFeed_Limit")->setText("-50");
  }));
  auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
  EXPECT_EQ(m.xLimit, 120000);
  EXPECT_EQ(m.exhaust, 40);
  EXPECT_EQ(panel.JogPad().Context().xLimit, 120000);
  EXPECT_EQ(panel.JogPad().Context().westLimit, -550);
  EXPECT_EQ(smt::CurrentMachine().steps.nozzleOffsetX[0], 5000);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[1], 10000);

  // Pulse settings.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetPulse>(v, cmd::kSetPulse, [](auto& d) {
    d.Edit("m_X_Pulse")->setText("250");
    d.Edit("m_AutoWalk1_Pulse")->setText("50");
  }));
  m = smt::link::GetMotionSettings(smt::CurrentMachine());
  EXPECT_EQ(m.xLimit, 150000);
  EXPECT_DOUBLE_EQ(m.xPulse, 250.0);
  EXPECT_EQ(m.conveyorWidthTarget, 6025);
  EXPECT_EQ(panel.JogPad().Context().xLimit, 150000);
  EXPECT_DOUBLE_EQ(smt::CurrentMachine().steps.xPulsePerMm, 250.0);
  EXPECT_EQ(smt::CurrentMachine().steps.cameraOffsetX, 7500);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 2500);
  panel.ShowPositions(true, 2500, false, 0, false, 0, false, 0);
  EXPECT_EQ(panel.PositionText(0), "10.00");

  // Speed templates: OK on the medium page reaches the homing speeds, the
  // manual speeds and the speed options.
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSpeedTemplate>(v, cmd::kMediumSpeedTemplate, [](auto& d) {
    d.Tabs()->setCurrentIndex(2);
    d.SettingEdit("m_AccelSpeed")->setText("70");
    d.SettingEdit("m_MaxSpeedLimitValue")->setText("25");
    d.SettingEdit("m_XY_RunFast")->setText("3000");
  }));
  m = smt::link::GetMotionSettings(smt::CurrentMachine());
  EXPECT_EQ(m.resetSpeed[0].start, 710);
  EXPECT_EQ(m.resetSpeed[0].normal, 715);
  EXPECT_EQ(m.resetSpeed[15].start, 710);
  EXPECT_EQ(m.accelSpeed, 70);
  EXPECT_EQ(m.maxSpeedLimitValue, 25);
  EXPECT_EQ(panel.JogPad().Context().handleSpeed[0][0], 510);
  EXPECT_EQ(panel.JogPad().Context().templates.m_XY_RunFast, 3000);

  // Strategy: the run mode reaches the pump buttons.
  bool strategyShown = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CDialogSMTStrategy*>(QApplication::activeModalWidget())) {
      strategyShown = true;
      d->Button(smt::run::RunModeIds()[0])->setChecked(true);
      d->accept();
    }
  });
  v.m_pPartList->OnStrategy();
  ASSERT_TRUE(strategyShown);
  EXPECT_EQ(smt::run::Strategy(smt::CurrentMachine()).m_RunSelect, 0);
  m = smt::link::GetMotionSettings(smt::CurrentMachine());
  EXPECT_EQ(m.runSelect, 0);
  EXPECT_EQ(smt::link::PumpOutputs(2, 3, m.runSelect, m.exhaust).front().output, 2);
}

TEST_F(SettingsFlow, PulseOkRecomputesTheShownBoardInSteps) {
  CMainFrame& f = Start();
  f.show();
  CSMTView& v = *f.view();
  auto& job = v.m_pPartList->Job();
  job.pcbs.Add("Shown");
  job.shownPcbName = "Shown";
  smt::CurrentMachine().board.originX = 10;
  smt::CurrentMachine().board.mark1X = 4;
  smt::CurrentMachine().board.mark2Y = -8;
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetPulse>(v, cmd::kSetPulse, [](auto& d) {
    d.Edit("m_X_Pulse")->setText("250");
    d.Edit("m_Y_Pulse")->setText("100");
  }));
  EXPECT_EQ(smt::CurrentMachine().board.originStepsX, 2500);
  EXPECT_EQ(smt::CurrentMachine().board.mark1StepsX, 1000);
  EXPECT_EQ(smt::CurrentMachine().board.mark2StepsY, -800);
  // A board that is not in the table keeps its steps.
  job.shownPcbName = "Gone";
  ASSERT_TRUE(ConfirmDialog<smt::settings::CDialogSetPulse>(
      v, cmd::kSetPulse, [](auto& d) { d.Edit("m_X_Pulse")->setText("300"); }));
  EXPECT_EQ(smt::CurrentMachine().board.originStepsX, 2500);
  smt::CurrentMachine().board.originX = smt::CurrentMachine().board.mark1X = smt::CurrentMachine().board.mark2Y = 0;
}

TEST_F(SettingsFlow, TypeFourTakeButtonsMeasureOnTheSecondPlatform) {
  CMainFrame& f = Start();
  f.show();
  smt::CurrentMachine().machineType = 4;
  smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = 2;
  smt::CurrentMachine().motion.curPlatform[0] = -3000;
  smt::CurrentMachine().motion.curPlatform[1] = 1600;
  std::map<std::string, std::string> shown;
  using smt::settings::TeachButton;
  ConfirmDialog<smt::settings::CDialogSetBasic>(
      *f.view(), cmd::kSetBasic,
      [&](auto& d) {
        for (TeachButton b : {TeachButton::CameraX, TeachButton::CameraY, TeachButton::Y2ToY1X}) {
          d.TakePosition(b);
          shown[smt::settings::TeachButtonKey(b)] = d.Edit(smt::settings::TeachButtonKey(b))->text().toStdString();
        }
      },
      false);
  // zero X - X2, zero Y - Y2 on platform 2, X2 - zero X2 (zero point 0).
  EXPECT_EQ(shown["m_X_CameraToNozzle1"], "15.0001");
  EXPECT_EQ(shown["m_Y_CameraToNozzle1"], "-10.0001");
  EXPECT_EQ(shown["m_X_Y2ToY1"], "-15.0001");
  smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = 1;
  smt::CurrentMachine().motion.curPlatform[0] = smt::CurrentMachine().motion.curPlatform[1] = 0;
}

TEST_F(SettingsFlow, GoToMarkBelongsToOneCommandOrToTheOpenMenu) {
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  // Closed without a choice: the mark goes.
  f.OnToolbarDropDown(cmd::kToolGoTo);
  ASSERT_TRUE(v.m_bGoToFromMenu.load());
  QMenu* menu = f.BuildGoToDropDown();
  emit menu->aboutToHide();
  QCoreApplication::processEvents();
  EXPECT_FALSE(v.m_bGoToFromMenu.load());
  // A command from the menu takes it, even when it is refused.
  f.OnToolbarDropDown(cmd::kToolGoTo);
  smt::CurrentMachine().connected = false;
  v.OnCommand(cmd::kGoCameraToMark1);
  EXPECT_FALSE(v.m_bGoToFromMenu.load());
  EXPECT_EQ(messages.service.Texts().back(), "Machine is not connection !");
}
