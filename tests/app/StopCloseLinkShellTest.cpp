// Stopping, closing and losing the machine, through the program as main()
// builds it on the demo working directory, with the simulated board on the
// serial line (a pseudo-terminal) and its world recording every part held,
// placed and let go.
#include <cstdio>

#include "RunningDemoFixture.h"
#include "link/JogPanelLayout.h"
#include "link/LinkTestSupport.h"
#include "link/LinkGlobals.h"
#include "link/LinkTexts.h"
#include "link/MachineCommands.h"
#include "link/MotionGlobals.h"
#include "link/ReplyEvent.h"
#include "platform/WorkerThreads.h"

namespace {

// What the board does while the run goes on.
enum class Board { Answering, Slowed, Silent, Gone };

const char* NameOf(Board b) {
  switch (b) {
    case Board::Answering: return "Answering";
    case Board::Slowed: return "Slowed";
    case Board::Silent: return "Silent";
    case Board::Gone: return "Gone";
  }
  return "?";
}

}  // namespace

// Closing the window in the middle of a run, whatever the board does: the
// run's waits end at once, the window is gone within 2 s (it used to freeze
// for 30 s to 2.5 min joining threads that waited for replies), every
// worker has left, and nothing is shown afterwards.
class CloseDuringARun : public RunningDemo, public ::testing::WithParamInterface<Board> {
 protected:
  void Apply(Board b) {
    switch (b) {
      case Board::Answering: break;
      case Board::Slowed: sim->SetReplyDelay(std::chrono::milliseconds(1500)); break;
      case Board::Silent: sim->DropReplies(1 << 30); break;
      case Board::Gone: sim->Stop(); break;
    }
  }
};

TEST_P(CloseDuringARun, EndsWithinTwoSecondsAndShowsNothingAfter) {
  CMainFrame& f = StartRunAndWaitForAHeldPart();
  Apply(GetParam());
  // The run is inside a wait for the board now (or for its next reply).
  PumpUntil([] { return false; }, 300ms);
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);  // the save question: No
  const auto t0 = std::chrono::steady_clock::now();
  f.close();
  const long long closeMs = MsSince(t0);
  std::printf("[figure] close during a run, board %s: %lld ms\n", NameOf(GetParam()), closeMs);
  EXPECT_LT(closeMs, 2000) << NameOf(GetParam());
  EXPECT_EQ(smt::platform::WorkerThreads::Instance().RunningCount(), 0u);
  const size_t shown = messages.service.Texts().size();
  PumpUntil([] { return false; }, 700ms);
  EXPECT_EQ(messages.service.Texts().size(), shown) << Messages();
}

INSTANTIATE_TEST_SUITE_P(Boards, CloseDuringARun,
                         ::testing::Values(Board::Answering, Board::Slowed, Board::Silent, Board::Gone),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

// Closing the idle program, connected and homed, its cameras open (the
// vision cameras paused, each grab thread inside its frame wait): the grab
// threads' waits end with the shut-down, so the window is gone well within
// a second (it took about 1 s, the paused cameras' frame wait), and every
// worker has left.
TEST_F(RunningDemo, ClosingWhenIdleEndsWithinHalfASecond) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "connected and homed" : "not connected");
    CMainFrame& f = Start();
    f.show();
    if (connected) ConnectAndHome();
    // The camera panel's grab threads are in their waits now.
    PumpUntil([] { return false; }, 300ms);
    messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);  // the save question: No
    const auto t0 = std::chrono::steady_clock::now();
    f.close();
    const long long closeMs = MsSince(t0);
    std::printf("[figure] close when idle (%s): %lld ms\n", connected ? "connected" : "not connected", closeMs);
    EXPECT_LT(closeMs, 500);
    EXPECT_EQ(smt::platform::WorkerThreads::Instance().RunningCount(), 0u);
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    linktest::ResetLinkState();
  }
}

// Stop between pick and place: the run ends at once, the part is carried to
// the throw position and let go there, as the board's world records it (it
// used to be dropped where the head stood, onto vision camera 1), no vacuum
// stays on, and the window says how many parts were thrown.
TEST_F(RunningDemo, StopBetweenPickAndPlaceThrowsThePartAtTheThrowPosition) {
  StartRunAndWaitForAHeldPart();
  const size_t placedBefore = world->Placements().size();
  const size_t logAt = Log().size();
  const auto t0 = std::chrono::steady_clock::now();
  ClickToolbar(109);
  ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end 0", logAt) != std::string::npos; }, 10s)) << Messages();
  const long long stopMs = MsSince(t0);
  std::printf("[figure] stop between pick and place, run ended after %lld ms\n", stopMs);
  EXPECT_LT(stopMs, 1000);
  ASSERT_TRUE(PumpUntil([&] { return RunOver(); }, 20s));
  for (int k = 1; k <= 2; ++k) EXPECT_FALSE(world->Held(k).has_value()) << "nozzle " << k;
  int thrown = 0;
  for (const auto& r : world->Releases()) {
    if (r.placed) continue;
    ++thrown;
    // Nozzle k over the throw position of the demo machine (300, -250 mm).
    EXPECT_NEAR(r.part.x, 300.0, 1.5) << "nozzle " << r.head;
    EXPECT_NEAR(r.part.y, -250.0, 1.5) << "nozzle " << r.head;
  }
  EXPECT_GE(thrown, 1);
  EXPECT_EQ(world->Placements().size(), placedBefore);  // nothing more placed after the Stop
  for (int out : {1, 2, 3, 4}) EXPECT_FALSE(sim->Output(out)) << "output " << out;
  // The message is handed to the window thread: shown once it has run.
  // In the window's language (Chinese here).
  PumpUntil([&] { return !TextsWith("个元件已抛到抛料位置").empty(); }, 5s);
  const auto told = TextsWith("个元件已抛到抛料位置");
  ASSERT_EQ(told.size(), 1u) << Messages();
  EXPECT_NE(told[0].find(std::to_string(thrown) + " 个元件已抛到抛料位置"), std::string::npos) << told[0];
}

// A run whose board goes silent when stopped: the move's reply never comes,
// so where the head stands is unknown. The part is not dropped there: it
// stays held until the operator, asked, says it is off the nozzle; then the
// vacuum goes off.
namespace {
class LookingService : public smt::platform::RecordingMessageService {
 public:
  std::function<void(const smt::platform::MessageRequest&)> onShow;
  smt::platform::MsgAnswer Show(const smt::platform::MessageRequest& r) override {
    if (onShow) onShow(r);
    return RecordingMessageService::Show(r);
  }
};
}  // namespace

TEST_F(RunningDemo, StopWithTheBoardSilentHoldsThePartUntilTheOperatorSaysItIsOff) {
  StartRunAndWaitForAHeldPart();
  LookingService looking;
  std::atomic<bool> asked{false}, heldWhenAsked{false}, droppedBeforeAsked{false};
  looking.onShow = [&](const smt::platform::MessageRequest& r) {
    // The question (in Chinese), or, when the silent board counted as a lost
    // link, the one loss message naming the nozzles that still hold parts.
    if (r.text.find("真空仍吸着它们") == std::string::npos &&
        r.text.find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostWithVacuumOn) == std::string::npos)
      return;
    heldWhenAsked = world->Held(1).has_value();
    for (const auto& rel : world->Releases()) droppedBeforeAsked = droppedBeforeAsked || !rel.placed;
    asked = true;
  };
  smt::platform::MessageService::Install(&looking);
  // The Stop comes while the run waits for a reply the board withholds:
  // pressed as soon as the first one is withheld, well within that
  // command's own time-out (which, run out first, would count the link as
  // lost instead).
  constexpr int kSilent = 1 << 30;
  sim->DropReplies(kSilent);
  ASSERT_TRUE(PumpUntil([&] { return sim->RepliesLeftToDrop() < kSilent; }, 10s)) << Messages();
  const auto t0 = std::chrono::steady_clock::now();
  ClickToolbar(109);
  const bool wasAsked = PumpUntil([&] { return asked.load(); }, 20s);
  std::printf("[figure] stop with a silent board, question after %lld ms\n", MsSince(t0));
  EXPECT_TRUE(PumpUntil([&] { return RunOver(); }, 20s));
  smt::platform::MessageService::Install(&messages.service);
  ASSERT_TRUE(wasAsked);
  EXPECT_TRUE(heldWhenAsked.load());
  EXPECT_FALSE(droppedBeforeAsked.load());
  // Answered: the vacuum of nozzle 1 is off now, unless the silent board's
  // time-out had made the link count as lost by then (told to the operator):
  // then nothing can be sent and the part stays held.
  bool linkLostTold = false;
  for (const auto& t : looking.Texts()) linkLostTold |= t.find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain) != std::string::npos;
  EXPECT_TRUE(!world->Held(1).has_value() || linkLostTold) << "vacuum still on with the link up";
}

// The link goes when the port closes (the board's end of the line is gone):
// noticed within 2 s, told once (a run it ends says nothing more), the
// connect button shows it, and the jog and Start are off until the operator
// connects again.
TEST_F(RunningDemo, AClosedPortIsToldOnceWithinTwoSecondsAndTheControlsGoOff) {
  struct Case {
    const char* when;
    bool duringRun;
  };
  for (const Case c : {Case{"idle", false}, Case{"during a run", true}}) {
    SCOPED_TRACE(c.when);
    if (c.duringRun) {
      StartRunAndWaitForAHeldPart();
    } else {
      CMainFrame& f = Start();
      f.show();
      ConnectAndHome();
      messages.service.Clear();
    }
    const auto t0 = std::chrono::steady_clock::now();
    sim->Stop();
    ASSERT_TRUE(PumpUntil([&] { return !TextsWith(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain).empty(); }, 10s)) << Messages();
    const long long noticeMs = MsSince(t0);
    std::printf("[figure] closed port noticed (%s) after %lld ms\n", c.when, noticeMs);
    EXPECT_LT(noticeMs, 2000);
    EXPECT_FALSE(smt::CurrentMachine().connected.load());
    ASSERT_TRUE(PumpUntil([&] { return RunOver(); }, 10s));
    PumpUntil([] { return false; }, 500ms);
    // The one message names the port; a run ended by the loss adds nothing
    // of its own, the message says which nozzles may still hold parts.
    ASSERT_EQ(messages.service.Texts().size(), 1u) << Messages();
    const std::string told = messages.service.Texts()[0];
    // In the window's language (Chinese here).
    const smt::link::LinkTexts lt = smt::link::LinkTextsOf(smt::CurrentMachine());
    EXPECT_NE(told.find(lt.lostConnectAgain), std::string::npos) << told;
    EXPECT_NE(told.find(lt.serialName.substr(0, lt.serialName.find("%1"))), std::string::npos) << told;
    const std::string held = smt::link::LinkTextsOf(smt::CurrentMachine()).lostWithVacuumOn + " 1";
    EXPECT_EQ(told.find(held) != std::string::npos, c.duringRun) << told;
    EXPECT_EQ(Jog().ButtonText(), "联机");
    EXPECT_FALSE(Control(smt::link::jogid::kXPlus)->isEnabled());
    EXPECT_FALSE(Control(smt::link::jogid::kReset)->isEnabled());
    auto& bar = app->frame()->view()->m_pPartList->ToolBar();
    EXPECT_FALSE(bar.Button(106)->isEnabled());
    // Back for the next case: a fresh board on a fresh line.
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    linktest::ResetLinkState();
    smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons = 0;
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    world->Clear();
    smt::platform::WriteProfileString(smt::platform::ConfigPath(dir.str()), "SerialPortConfig", "COM1",
                                      sim->SerialPath());
    smt::platform::ClearProfileCache();
  }
}
