// A newcomer's first hour on the simulated machine, as scripts/run prepares
// the working directory: the real shell on a working directory with the
// shipped default files, the language files and the demo set-up, the board
// simulator on the serial link (COM1), and the operator's clicks and keys on
// the real widgets.
#include <QMenuBar>

#include "DemoMachineFixture.h"

namespace {

// The prepared directory holds the simulated machine: what the program
// loaded from it, without any dialog opened.
TEST_F(DemoMachine, PreparedDirectoryHoldsTheSimulatedMachineAndTheDemoJob) {
  CMainFrame& f = Start();
  auto& stores = smt::settings::SettingsStores::Of(smt::CurrentMachine());
  EXPECT_EQ(smt::CurrentMachine().machineType.load(), 2);
  EXPECT_EQ(stores.machine.Basic()->m_X_Limit, 400);
  EXPECT_EQ(stores.machine.Basic()->m_Y_Limit, -400);
  EXPECT_EQ(stores.machine.Pulse()->m_X_Pulse, 100);
  EXPECT_EQ(stores.machine.Pulse()->m_Y_Pulse, 100);
  // A speed template in every tier, the high tier chosen, every use on it.
  auto speed = stores.speed.Get();
  EXPECT_EQ(speed->settings.m_SpeedMenuCheck, 1);
  ASSERT_EQ(speed->tiers.Count(), 1);
  for (const auto& use : speed->uses) EXPECT_EQ(use, "Demo");
  for (const auto& record : speed->records) EXPECT_GT(record[0].normal, 1);
  // Jog steps that move, the simulated cameras and their rows, the nozzles.
  EXPECT_EQ(Jog().StepDisplay().rfind("XY100", 0), 0u) << Jog().StepDisplay();
  EXPECT_EQ(smt::CurrentMachine().camera.highSpeedCamera.load(), 1);
  EXPECT_EQ(f.Lists().cameraRows.size(), 2u);
  EXPECT_EQ(f.Lists().nozzleRows.size(), 6u);
  // The feeder list shows the demo's feeders, and the demo job names them.
  EXPECT_EQ(f.view()->m_pFeedList->RowCount(), 2);
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  auto& pl = *f.view()->m_pPartList;
  EXPECT_EQ(pl.Job().placementRows.size(), 4u);
  EXPECT_TRUE(pl.Logic().CheckFeedersExist());
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

}  // namespace

namespace {

class OperatorJog : public DemoMachineInLanguage {};
SMT_OPERATOR_LANGUAGES(OperatorJog);

TEST_P(OperatorJog, ConnectHomeAndJogEachAxis) {
  StartInLanguage();
  Click(ConnectButton());
  ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().connected.load(); })) << Jog().InfoText();
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }));
  Click(Control(kReset));
  ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); }, 20s)) << Jog().InfoText();
  ASSERT_TRUE(PumpUntil([&] { return Control(smt::link::jogid::kXPlus)->isEnabled(); }));
  // Each axis button moves its axis on the board by the jog step.
  struct Case { int button; int axis; };
  for (Case k : {Case{smt::link::jogid::kXPlus, 0}, Case{smt::link::jogid::kYMinus, 1},
                 Case{smt::link::jogid::kZMinus[0], 2}, Case{smt::link::jogid::kAPlus[0], 40}}) {
    const int64_t before = sim->Position(k.axis);
    ASSERT_TRUE(Control(k.button)->isEnabled()) << k.button;
    Press(Control(k.button));
    ASSERT_TRUE(PumpUntil([&] { return sim->Position(k.axis) != before; }, 3s))
        << k.button << " steps " << Jog().StepDisplay() << " xlimit " << smt::link::GetMotionSettings(smt::CurrentMachine()).xLimit
        << " busy " << smt::CurrentMachine().machineBusy.load() << " pos " << smt::CurrentMachine().curX.load() << " info " << Jog().InfoText() << [&] {
             std::string t;
             for (auto [a, v] : sim->Positions()) t += " " + std::to_string(a) + ":" + std::to_string(v);
             return t;
           }();
    Release(Control(k.button));
    ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); })) << k.button;
  }
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

// The demo job, in each language chosen from the menu: it runs to its end
// from the part list's Start button, and a second run is paused, resumed and
// stopped from the toolbar.
TEST_F(DemoMachine, DemoJobRunsToItsEndAndPausesResumesAndStopsInEachLanguage) {
  CMainFrame& f = Start();
  f.show();
  ConnectAndHome();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  auto& pl = *f.view()->m_pPartList;
  size_t logAt = Log().size();
  struct Case { int command; const char* language; };
  for (Case c : {Case{cmd::kLanguageEnglish, "English"}, Case{cmd::kLanguageGerman, "German"},
                 Case{cmd::kLanguageChinese, "Chinese"}}) {
    ASSERT_NE(f.Action(c.command), nullptr);
    f.Action(c.command)->trigger();
    EXPECT_EQ(f.m_strLanguage, c.language);
    messages.service.Clear();
    ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(106)->isEnabled(); })) << c.language;
    ClickToolbar(106);
    ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 1", logAt) != std::string::npos; }, 60s))
        << c.language << Messages();
    // The run's end step (outputs off) is over and the machine is idle.
    ASSERT_TRUE(PumpUntil([&] {
      return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 && !smt::CurrentMachine().machineBusy.load();
    }, 10s));
    logAt = Log().size();

    // Pause as soon as the toolbar offers it, resume, stop: the run ends
    // unfinished and lets go of the machine. A slow board leaves the time.
    ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(106)->isEnabled(); })) << c.language;
    sim->SetReplyDelay(std::chrono::milliseconds(200));
    ClickToolbar(106);
    // The first run's end step may still be switching outputs off: the Start
    // then waits for its threads to leave, which takes long on a loaded
    // machine (the wait is bounded all the same).
    ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(107)->isEnabled(); }, 60s))
        << c.language << Messages() << " smt " << int(pl.Run().m_bSmtThreadBusy) << " feed " << int(pl.Run().m_bFeedThreadBusy)
        << " busy " << smt::CurrentMachine().machineBusy.load();
    ClickToolbar(107);
    EXPECT_TRUE(smt::CurrentMachine().paused.load()) << c.language;
    ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(108)->isEnabled(); })) << c.language;
    ClickToolbar(108);
    EXPECT_FALSE(smt::CurrentMachine().paused.load()) << c.language;
    // Stop stays enabled from Start to the run's end: pressed right after
    // Resume, before a loaded machine lets the resumed run finish the job.
    ClickToolbar(109);
    ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 0", logAt) != std::string::npos; }, 30s))
        << c.language << Messages();
    sim->SetReplyDelay(std::chrono::milliseconds(0));
    // The stopped run's threads leave before the next Start is taken.
    ASSERT_TRUE(PumpUntil([&] { return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0; }, 10s))
        << c.language;
    ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
    // A move whose reply the slow board had not given within the Stop's
    // grace leaves the machine not homed (its end is unknown): the operator
    // homes it again before the next run.
    if (!smt::CurrentMachine().resetDone.load()) Home();
    ASSERT_FALSE(HasFatalFailure());
    logAt = Log().size();
  }
}

// The desktop's habits: Ctrl+N/O/S on New, Open and Save, the job's name in
// the title bar after opening it and gone after New, and no menu items that
// do nothing.
TEST_F(DemoMachine, FileShortcutsTitleAndNoDeadMenuItems) {
  CMainFrame& f = Start();
  f.show();
  EXPECT_EQ(f.Action(cmd::kFileNew)->shortcut(), QKeySequence(QKeySequence::New));
  EXPECT_EQ(f.Action(cmd::kFileOpen)->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(f.Action(cmd::kFileSave)->shortcut(), QKeySequence(QKeySequence::Save));
  for (int id : {cmd::kFilePrint, cmd::kFilePrintPreview, cmd::kFilePrintSetup, cmd::kEditUndo, cmd::kEditCut,
                 cmd::kEditCopy, cmd::kEditPaste, cmd::kAppAbout})
    EXPECT_FALSE(f.Action(id)->isVisible()) << id;
  // No menu opens empty: the Edit menu, all of whose entries are hidden, is
  // not offered; every menu that is has something to choose.
  EXPECT_FALSE(f.TopMenu(1)->menuAction()->isVisible());
  for (QAction* top : f.menuBar()->actions()) {
    if (!top->menu() || !top->isVisible()) continue;
    bool any = false;
    for (QAction* a : top->menu()->actions()) any = any || (a->isVisible() && !a->isSeparator());
    EXPECT_TRUE(any) << top->text().toStdString() << " opens empty";
  }
  const std::string demo = (dir / smt::app::kDemoJobName).string();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(demo));
  EXPECT_EQ(f.view()->m_pPartList->Job().placementRows.size(), 4u);
  EXPECT_TRUE(f.windowTitle().startsWith("demo.smt - ")) << f.windowTitle().toStdString();
  f.Action(cmd::kFileNew)->trigger();
  EXPECT_FALSE(f.windowTitle().contains("demo.smt")) << f.windowTitle().toStdString();
}

// No save question right after a save (nor after an open), still one after
// a change; New empties the part list's board and count labels.
TEST_F(DemoMachine, SaveQuestionOnlyForChangesAndNewEmptiesTheHeader) {
  CMainFrame& f = Start();
  auto& doc = *f.view()->document();
  auto& pl = *f.view()->m_pPartList;
  ASSERT_TRUE(doc.OnOpenDocument(dir / smt::app::kDemoJobName));
  pl.SetBoardLabels("Demo", "4");
  messages.service.Clear();
  EXPECT_TRUE(doc.CanCloseFrame());
  ASSERT_TRUE(f.view()->OnFileSave());
  EXPECT_TRUE(doc.CanCloseFrame());
  EXPECT_TRUE(messages.service.Texts().empty()) << Messages();
  pl.Job().placementRows.pop_back();
  EXPECT_TRUE(doc.CanCloseFrame());
  EXPECT_EQ(messages.service.Texts().size(), 1u) << Messages();
  f.view()->OnCommand(cmd::kFileNew);
  EXPECT_EQ(pl.BoardLabel(), "");
  EXPECT_EQ(pl.CountLabel(), "");
}

// A jog that is taken but cannot move says why, in a message: X- at X = 0
// after homing has no room towards the limit.
TEST_F(DemoMachine, AJogAtTheTravelLimitSaysWhy) {
  CMainFrame& f = Start();
  f.show();
  Click(ConnectButton());
  ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().connected.load(); })) << Jog().ButtonText();
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }));
  Click(Control(kReset));
  ASSERT_TRUE(PumpUntil([&] { return Control(smt::link::jogid::kXMinus)->isEnabled(); }, 20s));
  messages.service.Clear();
  Click(Control(smt::link::jogid::kXMinus));
  ASSERT_TRUE(PumpUntil([&] { return !messages.service.Texts().empty(); }, 3s));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{Jog().JogNothingToMoveText(false)});
  EXPECT_EQ(messages.service.Texts().front().rfind("轴没有移动", 0), 0u);
  EXPECT_EQ(sim->Position(0), 0);
}

// A jog click made while the slow machine still works on the last move is
// not sent and says so in the jog panel's information box in sight, in the
// window's language; the simulated machine moved once.
class OperatorJogBusy : public DemoMachineInLanguage {};
SMT_OPERATOR_LANGUAGES(OperatorJogBusy);

TEST_P(OperatorJogBusy, AClickWhileTheMachineIsBusySaysItWasNotSent) {
  StartInLanguage();
  ConnectAndHome();
  ASSERT_EQ(Jog().StepDisplay().rfind("XY", 0), 0u) << Jog().StepDisplay();
  const int64_t before = sim->Position(0);
  sim->SetReplyDelay(std::chrono::milliseconds(400));
  QWidget* plus = Control(smt::link::jogid::kXPlus);
  Click(plus);
  ASSERT_TRUE(smt::CurrentMachine().machineBusy.load()) << "the first click's move is under way";
  Click(plus);
  // The demo's two-head machine without a conveyor hides the second box:
  // the word goes to the box the operator sees.
  const bool second = !Control(smt::link::jogid::kInfo2)->isHidden();
  const std::string said = second ? Jog().InfoText2() : Jog().InfoText();
  QWidget* box = Control(second ? smt::link::jogid::kInfo2 : smt::link::jogid::kInfo);
  EXPECT_TRUE(box->isVisibleTo(Control(smt::link::jogid::kConnect)->window())) << "the word goes to a hidden box";
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 5s));
  const std::map<std::string, std::string> expected = {
      {"Chinese", "机器忙"}, {"English", "Machine busy"}, {"German", "Maschine beschäftigt"}};
  EXPECT_NE(said.find(expected.at(GetParam().name)), std::string::npos) << said;
  EXPECT_TRUE(messages.service.Texts().empty()) << "no box to close at every click: " << Messages();
  // One jog step ("XY<steps>, ..." on the panel): one move, not two.
  const int step = std::stoi(Jog().StepDisplay().substr(2));
  EXPECT_EQ(sim->Position(0) - before, step) << Jog().StepDisplay();
}

// Six fast clicks while the slow machine works on the first: one move, and
// each of the five refused clicks gets its word in the box in sight.
TEST_P(OperatorJogBusy, SixFastClicksOneMoveAndAWordForEachRefused) {
  StartInLanguage();
  ConnectAndHome();
  const int64_t before = sim->Position(0);
  sim->SetReplyDelay(std::chrono::milliseconds(1500));
  QWidget* plus = Control(smt::link::jogid::kXPlus);
  const std::string infoBefore = Jog().InfoText(), info2Before = Jog().InfoText2();
  for (int k = 0; k < 6; ++k) {
    Click(plus);
    ASSERT_TRUE(smt::CurrentMachine().machineBusy.load()) << "click " << k + 1 << " came after the move ended";
  }
  const bool second = !Control(smt::link::jogid::kInfo2)->isHidden();
  QWidget* box = Control(second ? smt::link::jogid::kInfo2 : smt::link::jogid::kInfo);
  EXPECT_TRUE(box->isVisibleTo(Control(smt::link::jogid::kConnect)->window())) << "the word goes to a hidden box";
  const std::string said = (second ? Jog().InfoText2() : Jog().InfoText()).substr((second ? info2Before : infoBefore).size());
  sim->SetReplyDelay(std::chrono::milliseconds(0));
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 8s));
  const std::map<std::string, std::string> expected = {
      {"Chinese", "机器忙"}, {"English", "Machine busy"}, {"German", "Maschine beschäftigt"}};
  const std::string& word = expected.at(GetParam().name);
  int words = 0;
  for (size_t at = said.find(word); at != std::string::npos; at = said.find(word, at + word.size())) ++words;
  EXPECT_EQ(words, 5) << said;
  EXPECT_TRUE(messages.service.Texts().empty()) << "no box to close at every click: " << Messages();
  const int step = std::stoi(Jog().StepDisplay().substr(2));
  EXPECT_EQ(sim->Position(0) - before, step) << "six clicks while busy: one move";
}

}  // namespace
