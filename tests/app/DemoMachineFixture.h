#pragma once
// The newcomer's working directory: the real shell on a working directory
// prepared as scripts/run prepares it (shipped default files, language files,
// the demo set-up), the board simulator on the serial link (COM1) with the
// demo's world, its cameras served on the socket the program's simulated
// cameras read (as scripts/run has them), and the operator's clicks on the
// real widgets.
#include <QAbstractButton>
#include <QLineEdit>
#include <QApplication>
#include <QMouseEvent>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "core/LogFile.h"
#include "job/CSMTDoc.h"
#include "job/CDialogPartList.h"
#include "job/CToolBarPartControl.h"
#include "link/JogPanelLayout.h"
#include "link/MotionSettings.h"
#include "link/LinkRuntime.h"
#include "settings/SettingsStores.h"
#include "vision/VisionGlobals.h"
#include "sim/CameraServer.h"
#include "sim/SimBoard.h"
#include "sim/WorldFile.h"
#include "support/SimRecordDump.h"

namespace demo_machine {

namespace cmd = smt::app::cmd;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using smt::link::jogid::kReset;

// Keeps the window thread's queue moving until `cond` holds or `limit` passes.
inline bool PumpUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

inline void Press(QWidget* w) {
  ASSERT_NE(w, nullptr);
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
inline void Release(QWidget* w) {
  ASSERT_NE(w, nullptr);
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QMouseEvent e(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
inline void Click(QWidget* w) {
  Press(w);
  Release(w);
}

}  // namespace demo_machine

using namespace demo_machine;

class DemoMachine : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    // A new machine: its heads' turns start at 0, whatever an earlier test left.
    for (auto& a : smt::CurrentMachine().curA) a = 0;
    // What scripts/run does for a new working directory.
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    smt::sim::SimConfig c;
    c.udp = false;
    c.discovery = false;
    c.headMask = 0x03;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    // The simulated machine's world, as scripts/run's simulator reads it, and
    // its cameras served on the socket the program's cameras take frames from.
    std::string why;
    const auto described = smt::sim::ReadWorldFile((dir / smt::app::kDemoWorldName).string(), why);
    ASSERT_TRUE(described.has_value()) << why;
    world = std::make_shared<smt::sim::SimWorld>();
    smt::sim::ApplyWorld(*world, *described);
    sim->SetWorld(world.get());
    smt::sim::WorldCameraLook look;
    look.cols = described->picture.cols;
    look.rows = described->picture.rows;
    look.pixelsPerMm = described->picture.pixelsPerMm;
    look.effects->Set(described->effects);
    cameraEffects = look.effects;
    cameraServer = std::make_unique<smt::sim::CameraSocketServer>(world, look);
    ASSERT_TRUE(cameraServer->Start((dir / "sim-cameras.sock").string())) << cameraServer->LastError();
    setenv("SMT_SIM_CAMERA_SOCKET", (dir / "sim-cameras.sock").c_str(), 1);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    std::ofstream(dir / "config.ini", std::ios::app) << "\n[SerialPortConfig]\nCOM1=" << sim->SerialPath() << "\n";
    setenv("SMT_SIMULATED_CAMERAS", "3", 1);
    smt::platform::ClearProfileCache();
  }
  void TearDown() override {
    if (app) {
      if (auto* v = app->frame()->view(); v && v->m_pSetView) v->m_pSetView->CloseCameras();
    }
    ShellTest::TearDown();
    unsetenv("SMT_SIMULATED_CAMERAS");
    unsetenv("SMT_SIM_CAMERA_SOCKET");
    if (cameraServer) cameraServer->Stop();
    if (sim) testsupport::DumpSimRecord(*sim, world.get());
    if (sim) sim->Stop();
    if (sim) sim->SetWorld(nullptr);
    smt::CurrentMachine().connected = false;
  }
  CDialogManualControl& Jog() { return *app->frame()->view()->m_pManualControl; }
  QWidget* Control(int id) { return Jog().Control(id); }
  QAbstractButton* ConnectButton() {
    return Jog().findChild<QAbstractButton*>("ManualControl.c_Online");
  }

  // The operator's press of the connect button.
  virtual void PressConnect() { Click(ConnectButton()); }
  void ConnectAndHome() {
    PressConnect();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().connected.load(); })) << Jog().ButtonText();
    Home();
  }
  // The operator homes the machine from the jog panel.
  void Home() {
    ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }));
    smt::CurrentMachine().resetDone = false;
    Click(Control(kReset));
    ASSERT_TRUE(PumpUntil([&] {
      return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load() && Control(smt::link::jogid::kXPlus)->isEnabled();
    }, 20s));
  }
  void ClickToolbar(int command) {
    auto& bar = app->frame()->view()->m_pPartList->ToolBar();
    QAction* a = bar.Button(command);
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(a->isEnabled()) << command;
    Click(bar.widgetForAction(a));
  }
  // The daily log the program writes.
  std::string Log() {
    std::ifstream in(CLogFile::Instance().FilePath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string Messages() {
    std::string t;
    for (const auto& m : messages.service.Texts()) t += m + " | ";
    return t;
  }

  std::shared_ptr<smt::sim::SimWorld> world;
  std::unique_ptr<smt::sim::CameraSocketServer> cameraServer;
  std::shared_ptr<smt::sim::CameraEffectsSwitch> cameraEffects;  // what the served frames add
  std::unique_ptr<smt::sim::SimBoard> sim;
};

// The operator's paths in each of the three languages, chosen from the Help
// menu right after the start.
struct OperatorLanguage {
  int command;
  const char* name;
};
class DemoMachineInLanguage : public DemoMachine, public ::testing::WithParamInterface<OperatorLanguage> {
 protected:
  CMainFrame& StartInLanguage() {
    CMainFrame& f = Start();
    f.show();
    EXPECT_NE(f.Action(GetParam().command), nullptr);
    if (QAction* a = f.Action(GetParam().command)) a->trigger();
    QApplication::processEvents();
    EXPECT_EQ(f.m_strLanguage, GetParam().name);
    return f;
  }
};
#define SMT_OPERATOR_LANGUAGES(Suite)                                                                           \
  INSTANTIATE_TEST_SUITE_P(Languages, Suite,                                                                    \
                           ::testing::Values(OperatorLanguage{cmd::kLanguageChinese, "Chinese"},               \
                                             OperatorLanguage{cmd::kLanguageEnglish, "English"},               \
                                             OperatorLanguage{cmd::kLanguageGerman, "German"}),                \
                           [](const auto& info) { return std::string(info.param.name); })
