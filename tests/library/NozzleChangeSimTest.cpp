// Taking and returning nozzles and the seat menu's moves against the board
// simulator over UDP and the serial link.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "core/Machine.h"
#include "LibraryTestSupport.h"
#include "library/NozzleChange.h"
#include "library/NozzleSeatOperations.h"
#include "link/MachineCommands.h"
#include "link/MotionFixture.h"

using namespace smt::library;

namespace {

class NozzleChangeSim : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    linktest::MotionSimTest::SetUp();
    smt::CurrentMachine().machineType = 2;
    smt::CurrentMachine().resetDone = true;
    librarytest::ResetNozzleState();
    librarytest::UseScales(100, 100, 100);
    librarytest::UseBasic([](smt::settings::BasicSettings& b) {
      b.m_X_Nozzle2ToNozzle1 = 30;  // head A2 sits 30 mm right of A1
      b.m_Y_Nozzle2ToNozzle1 = 0;
      b.m_X_Nozzle3ToNozzle1 = 60;
      b.m_Y_Nozzle3ToNozzle1 = -2;
      b.m_X_CameraToNozzle1 = 5;
      b.m_Y_CameraToNozzle1 = 1;
      b.m_Z_Nozzle1ToFeed = -10;
      b.m_Z_Nozzle2ToFeed = -11;
    });
    smt::settings::SpeedState speed;
    for (auto& r : speed.records)
      for (auto& p : r) p = {5, 20};
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Set(speed);
    librarytest::UseStrategy(1, 0, 0);
    auto& lib = TheNozzleLibrary(smt::CurrentMachine());
    lib.ReadRows({{"1", "100", "-50", "-1", "100", "-60", "-5", "40", "A"},
                        {"2", "120", "-50", "-1", "120", "-60", "-5", "40", "A"},
                        {"3", "140", "-50", "-1", "140", "-50", "-4", "40", "B"}});
    lib.SetSettings({0, 100.0, 0});
    lib.ComputeNozzlePositions(smt::CurrentMachine());
  }
  void TearDown() override {
    SetNozzleStateListener(smt::CurrentMachine(), {});
    smt::library::SetNozzleStrategySource(smt::CurrentMachine(), {});
    librarytest::ResetNozzleState();
    linktest::MotionSimTest::TearDown();
  }
  std::vector<std::tuple<int, int, bool>> states;
  void RecordStates() {
    SetNozzleStateListener(smt::CurrentMachine(), [this](int h, int s, bool t) { states.emplace_back(h, s, t); });
  }
};

}  // namespace

TEST_F(NozzleChangeSim, TakeAndReturnThroughTheEntranceOnBothLinks) {
  for (bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "serial" : "udp");
    serial ? UseSerial() : UseUdp();
    librarytest::ResetNozzleState();
    states.clear();
    RecordStates();
    ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 2, 1, false, true));
    // Head A2 took seat 0 and left it through the entrance: 100 mm - 30 mm head offset.
    EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[1].load(), 1);
    EXPECT_FALSE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(0));
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 7000);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), -6000);
    EXPECT_EQ(smt::CurrentMachine().curZ[1].load(), 0);  // raised again
    EXPECT_EQ(smt::CurrentMachine().curX.load(), sim->Position(0));
    EXPECT_EQ(smt::CurrentMachine().curY.load(), sim->Position(1));
    EXPECT_EQ(sim->Position(2), 0);

    ASSERT_TRUE(ReturnNozzleToLibrary(smt::CurrentMachine(), 2, false, true));
    EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[1].load(), 0);
    EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(0));
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 7000);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), -6000);  // slid into the seat, lifted, and back out at the entrance
    const std::vector<std::tuple<int, int, bool>> expected{{2, 0, true}, {2, 0, false}};
    EXPECT_EQ(states, expected);
    const auto states60 = sim->States();
    if (serial) {
      EXPECT_FALSE(states60.empty()) << "state command before moves on the serial link";
    }
    sim->ClearReceived();
  }
}

TEST_F(NozzleChangeSim, HeadDescendsToItsOwnEntranceHeight) {
  UseUdp();
  // Watch the lowest point of head A2 through the sim: the 0x61 step counts.
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 2, 1, false, false));
  std::vector<int32_t> zSteps;
  for (const auto& c : sim->Received())
    if (c.code == 0x61 && c.payload.size() >= 9 && c.payload[0] == 2) {
      int32_t v;
      std::memcpy(&v, &c.payload[5], 4);  // axis, current position, steps
      zSteps.push_back(v);
    }
  // Entrance -5 mm, head A2 1 mm lower than A1: -600 steps, down as a negative pair step.
  ASSERT_EQ(zSteps.size(), 2u);
  EXPECT_EQ(zSteps[0], -600);
  EXPECT_EQ(zSteps[1], 600);
}

TEST_F(NozzleChangeSim, TakingAHeldNozzleFetchesItFromTheOtherHeadFirst) {
  UseUdp();
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 3, false, false));
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 2, 3, false, false));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 0);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[1].load(), 3);
  EXPECT_FALSE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(2));
  // A head that holds another nozzle puts it back before the take.
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 2, 2, false, false));
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(2));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[1].load(), 2);
}

TEST_F(NozzleChangeSim, RefusalsTellWhyAndMoveNothing) {
  UseUdp();
  struct Case {
    const char* name;
    std::function<bool()> call;
    smt::platform::SystemText message;
  } cases[] = {
      {"head 0", [] { return PickNozzleFromLibrary(smt::CurrentMachine(), 0, 1, false, false); }, kHeaderOrNozzleError},
      {"nozzle 0", [] { return PickNozzleFromLibrary(smt::CurrentMachine(), 1, 0, false, false); }, kHeaderOrNozzleError},
      {"nozzle 20", [] { return PickNozzleFromLibrary(smt::CurrentMachine(), 1, 20, false, false); }, kHeaderOrNozzleError},
      {"head 3 on two heads", [] { return PickNozzleFromLibrary(smt::CurrentMachine(), 3, 1, false, false); }, kSmtHeaderError},
      {"empty seat",
       [] {
         smt::CurrentMachine().Part<smt::library::NozzleState>().seats.SetHasNozzle(0, false);
         return PickNozzleFromLibrary(smt::CurrentMachine(), 1, 1, false, false);
       },
       kLibraryHasNoNozzle},
      {"return to a full seat",
       [] {
         smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0] = 2;
         return ReturnNozzleToLibrary(smt::CurrentMachine(), 1, false, false);
       },
       kLibraryHasNozzle},
      {"return head 0", [] { return ReturnNozzleToLibrary(smt::CurrentMachine(), 0, false, false); }, kHeaderError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    librarytest::ResetNozzleState();
    messages.service.Clear();
    sim->ClearReceived();
    EXPECT_FALSE(c.call());
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.message});
    EXPECT_FALSE(sim->LastReceived(0x64).has_value());
  }
  // No nozzle on the head: nothing to return, and no message.
  librarytest::ResetNozzleState();
  messages.service.Clear();
  EXPECT_TRUE(ReturnNozzleToLibrary(smt::CurrentMachine(), 1, false, false));
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(NozzleChangeSim, MagazineCoverOpensForTheTakeAndClosesAfterIt) {
  for (bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "serial" : "udp");
    serial ? UseSerial() : UseUdp();
    librarytest::ResetNozzleState();
    librarytest::UseStrategy(1, 1, 0);
    ASSERT_TRUE(SetMagazineCover(smt::CurrentMachine(), 1));
    ASSERT_TRUE(linktest::WaitFor([&] { return sim->Output(7); }));
    ASSERT_TRUE(SetMagazineCover(smt::CurrentMachine(), 0));
    ASSERT_TRUE(linktest::WaitFor([&] { return !sim->Output(7); }));
    sim->ClearReceived();
    ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 3, false, false));
    ASSERT_TRUE(linktest::WaitFor([&] { return !sim->Output(7); }));
    int outputs = 0;
    for (const auto& c : sim->Received())
      if (c.code == 0x03) ++outputs;
    EXPECT_EQ(outputs, 2) << "opened and closed once";
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 14000);  // entrance = seat: no slide
    EXPECT_EQ(smt::CurrentMachine().curY.load(), -5000);
  }
}

TEST(NozzleOutputFrame, CarriesTheOutputStateAndItsChecksum) {
  EXPECT_EQ(OutputFrame(7, 1), (std::array<uint8_t, 11>{0xEE, 0, 4, 3, 7, 1, 0x0F, 0xFF, 0xFC, 0xFF, 0xFF}));
  EXPECT_EQ(OutputFrame(7, 0)[6], 0x0E);
}

TEST_F(NozzleChangeSim, LowerToSeatHeightStepsByMachineType) {
  UseUdp();
  struct Case {
    int type, head;
    uint8_t axis;
    int32_t steps;
  } cases[] = {{2, 0, 2, 500}, {2, 1, 2, -600}, {7, 0, 32, -500}, {7, 1, 33, -600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type * 10 + c.head);
    smt::CurrentMachine().machineType = c.type;
    linktest::ZeroPositions();
    sim->ClearReceived();
    ASSERT_TRUE(LowerToSeatHeight(smt::CurrentMachine(), c.head, TheNozzleLibrary(smt::CurrentMachine()).Row(0), false, 0));
    const auto cmd = sim->LastReceived(0x61);
    ASSERT_TRUE(cmd.has_value());
    int32_t v;
    std::memcpy(&v, &cmd->payload[5], 4);
    EXPECT_EQ(cmd->payload[0], c.axis);
    EXPECT_EQ(v, c.steps);
  }
  smt::CurrentMachine().machineType = 9;  // no Z on the drilling machine
  sim->ClearReceived();
  EXPECT_TRUE(LowerToSeatHeight(smt::CurrentMachine(), 0, TheNozzleLibrary(smt::CurrentMachine()).Row(0), false, 0));
  EXPECT_FALSE(sim->LastReceived(0x61).has_value());
}

TEST_F(NozzleChangeSim, MovesToSeatSubtractTheHeadOrCameraOffset) {
  UseUdp();
  const NozzleListRow row = TheNozzleLibrary(smt::CurrentMachine()).Row(0);
  struct Case {
    int mode, head;
    int32_t x, y;
  } cases[] = {{1, 0, 10000, -5000}, {1, 2, 4000, -4800}, {2, 1, 7000, -6000}, {0, 0, 9500, -5100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode * 10 + c.head);
    ASSERT_TRUE(MoveToSeat(smt::CurrentMachine(), c.mode, c.head, row, {}));
    EXPECT_EQ(smt::CurrentMachine().curX.load(), c.x);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), c.y);
  }
  // The camera move shows the Mark camera first when a vision camera is on.
  int switched = 0;
  smt::CurrentMachine().camera.channelVisionMode = 1;
  ASSERT_TRUE(MoveToSeat(smt::CurrentMachine(), 0, 0, row, [&] { ++switched; }));
  smt::CurrentMachine().camera.channelVisionMode = 0;
  ASSERT_TRUE(MoveToSeat(smt::CurrentMachine(), 0, 0, row, [&] { ++switched; }));
  EXPECT_EQ(switched, 1);
}

TEST_F(NozzleChangeSim, SeatOperationWorkerHoldsTheBusyStateAndAlwaysGivesItBack) {
  UseUdp();
  NozzleOpRequest req;
  req.op = 4;
  req.selectedRow = 1;
  req.selectedHead = 0;
  req.row = TheNozzleLibrary(smt::CurrentMachine()).Row(1);
  std::atomic<int> disables{0}, enables{0};
  // The first operation's worker waits at its start (bounded) until the
  // second Start has been tried, so that Start meets a running operation
  // however slowly this thread gets there.
  std::atomic<bool> hold{true}, held{false};
  NozzleOpCallbacks cb;
  cb.enableDialog = [&](bool on) {
    on ? ++enables : ++disables;
    if (!on && hold.load()) {
      held = true;
      linktest::WaitFor([&] { return !hold.load(); }, std::chrono::seconds(10));
    }
  };
  ASSERT_TRUE(StartNozzleOperation(smt::CurrentMachine(), req, cb));
  const bool wasHeld = linktest::WaitFor([&] { return held.load(); });
  EXPECT_FALSE(StartNozzleOperation(smt::CurrentMachine(), req, cb)) << "a second operation is refused while one runs";
  hold = false;
  ASSERT_TRUE(wasHeld);
  ASSERT_TRUE(linktest::WaitFor([&] { return enables.load() == 1 && !smt::CurrentMachine().machineBusy; }));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 2);
  // Returning takes the head that holds the nozzle, whatever the combo says.
  req.op = 5;
  req.selectedHead = 1;
  ASSERT_TRUE(StartNozzleOperation(smt::CurrentMachine(), req, cb));
  ASSERT_TRUE(linktest::WaitFor([&] { return enables.load() == 2 && !smt::CurrentMachine().machineBusy; }));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 0);
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(1));
  // A refused move still ends the operation.
  smt::CurrentMachine().curX = 199999;
  req.op = 1;
  ASSERT_TRUE(StartNozzleOperation(smt::CurrentMachine(), req, cb));
  ASSERT_TRUE(linktest::WaitFor([&] { return enables.load() == 3 && !smt::CurrentMachine().machineBusy; }));
}

TEST_F(NozzleChangeSim, SeatOperationsAreRefusedOffLineUnhomedOrBusy) {
  struct Case {
    bool connected, homed, busy;
    const char* message;
  } cases[] = {{false, true, false, "Machine is not connection !"},
               {true, false, false, "Machine is not reset !"},
               {true, true, true, "Machine is runnig !"}};
  for (const auto& c : cases) {
    smt::CurrentMachine().connected = c.connected;
    smt::CurrentMachine().resetDone = c.homed;
    smt::CurrentMachine().machineBusy = c.busy;
    messages.service.Clear();
    NozzleOpRequest req;
    req.op = 1;
    req.selectedRow = 0;
    EXPECT_FALSE(StartNozzleOperation(smt::CurrentMachine(), req, {}));
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.message});
  }
  smt::CurrentMachine().machineBusy = false;
}

TEST_F(NozzleChangeSim, RunChangesWaitAtThePauseGateAndEndWhenTheRunStops) {
  UseUdp();
  smt::CurrentMachine().runContinue = false;
  EXPECT_FALSE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 1, true, false)) << "no run: nothing moves";
  EXPECT_FALSE(sim->LastReceived(0x64).has_value());
  smt::CurrentMachine().runContinue = true;
  smt::CurrentMachine().run.pauseEvent.Set();
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 1, true, false));
  // Paused: the change waits until the run is stopped, then gives up.
  smt::CurrentMachine().run.pauseEvent.Reset();
  std::atomic<int> result{-1};
  std::thread t([&] { result = ReturnNozzleToLibrary(smt::CurrentMachine(), 1, true, false) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(result.load(), -1) << "still waiting while paused";
  smt::CurrentMachine().runContinue = false;
  t.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 1) << "the head keeps its nozzle";
  smt::CurrentMachine().run.pauseEvent.Set();
}

TEST_F(NozzleChangeSim, TakingTheNozzleTheHeadHoldsPutsItBackAndTakesItAgain) {
  UseUdp();
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 2, false, false));
  sim->ClearReceived();
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 2, false, false));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 2);
  EXPECT_FALSE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(1));
  EXPECT_TRUE(sim->LastReceived(0x64).has_value());
}

namespace {
// The board's record of one nozzle move, as "out7=1", "z-", "z+", "xy" steps.
std::vector<std::string> NozzleSteps(const smt::sim::SimBoard& sim) {
  std::vector<std::string> out;
  int64_t z = 0;  // the Z pair motor: away from 0 is down for either head
  for (const auto& c : sim.Received()) {
    if (c.code == 0x03 && c.payload.size() >= 2 && c.payload[0] == 7) {
      out.push_back(c.payload[1] ? "clamp open" : "clamp closed");
    } else if (c.code == 0x61 && c.payload.size() >= 9) {
      int32_t v;
      std::memcpy(&v, &c.payload[5], 4);
      z += v;
      out.push_back(z != 0 ? "z down" : "z up");
    } else if (c.code == 0x64) {
      out.push_back("move");
    }
  }
  return out;
}
}  // namespace

TEST_F(NozzleChangeSim, ClampLibraryClosesOnTheNozzleBeforeTheHeadLifts) {
  UseUdp();
  librarytest::UseStrategy(1, 1, 0);
  auto& lib = TheNozzleLibrary(smt::CurrentMachine());
  lib.SetSettings({0, 100.0, 30});
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 3, false, false));
  sim->ClearReceived();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ReturnNozzleToLibrary(smt::CurrentMachine(), 1, false, false));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(NozzleSteps(*sim),
            (std::vector<std::string>{"clamp open", "move", "z down", "clamp closed", "z up"}));
  // The 200 ms before the return move and the clamp delay after each switch.
  EXPECT_GE(took, std::chrono::milliseconds(200 + 2 * 30));
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(2));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 0);
}

TEST_F(NozzleChangeSim, LibraryExitMovesTheInOutPositionNotTheLoweredSlide) {
  UseUdp();
  auto& lib = TheNozzleLibrary(smt::CurrentMachine());
  lib.SetSettings({1, 3.0, 0});  // exit 3 mm = 300 steps along Y
  ASSERT_TRUE(PickNozzleFromLibrary(smt::CurrentMachine(), 1, 1, false, false));
  // Seat (10000, -5000), entrance (10000, -6000): the slide ends at the
  // entrance, and only after the lift does the head leave by the exit.
  std::vector<std::pair<int32_t, int32_t>> moves;
  int64_t x = 0, y = 0;
  for (const auto& c : sim->Received())
    if (c.code == 0x64) {
      int32_t dx, dy;
      std::memcpy(&dx, &c.payload[4], 4);
      std::memcpy(&dy, &c.payload[12], 4);
      x += dx;
      y += dy;
      moves.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
    }
  EXPECT_EQ(moves, (std::vector<std::pair<int32_t, int32_t>>{{10000, -6000}, {10000, -5000}, {10000, -6000},
                                                              {10000, -5700}}));
  sim->ClearReceived();
  ASSERT_TRUE(ReturnNozzleToLibrary(smt::CurrentMachine(), 1, false, false));
  // Back in by the exit first, then the entrance, the slide into the seat and out.
  EXPECT_EQ(NozzleSteps(*sim), (std::vector<std::string>{"move", "move", "z down", "move", "z up", "move"}));
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -6000);
}

// A row whose numbers did not read is kept as read and moves nothing when a
// seat operation uses it (never a move to 0); a good row of the same library
// still moves.
TEST_F(NozzleChangeSim, DamagedSeatRowMovesNothing) {
  UseUdp();
  auto& lib = TheNozzleLibrary(smt::CurrentMachine());
  lib.ReadRows({{"1", "nan", "-50", "-1", "100", "-60", "-5", "40", "A"},
                {"2", "120", "-50", "-1", "120", "-60", "?", "40", "A"},
                {"3", "140", "-50", "-1", "140", "-50", "-4", "40", "B"}});
  smt::CurrentMachine().machineType = 2;
  struct Case {
    int row;
    int op;  // 0..2 MoveToSeat modes, 3 lower
  } cases[] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.row) + " op " + std::to_string(c.op));
    ASSERT_FALSE(lib.Record(c.row).has_value());
    linktest::ZeroPositions();
    smt::CurrentMachine().curX = 1234;
    smt::CurrentMachine().curY = -567;
    sim->ClearReceived();
    const bool moved = c.op == 3 ? LowerToSeatHeight(smt::CurrentMachine(), 0, lib.Row(c.row), false, 0)
                                 : MoveToSeat(smt::CurrentMachine(), c.op, 0, lib.Row(c.row), {});
    EXPECT_FALSE(moved);
    EXPECT_TRUE(sim->Received().empty()) << "no frame for a damaged row";
    EXPECT_EQ(smt::CurrentMachine().curX.load(), 1234);
    EXPECT_EQ(smt::CurrentMachine().curY.load(), -567);
  }
  linktest::ZeroPositions();
  ASSERT_TRUE(MoveToSeat(smt::CurrentMachine(), 1, 0, lib.Row(2), {}));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 14000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -5000);
}
