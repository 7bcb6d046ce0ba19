// The conveyor thread's zone sequence against a stand-in run thread.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "run/RunDispatch.h"
#include "run/RunServices.h"
#include "run/RunState.h"

namespace {

using namespace smt::run;
using namespace std::chrono_literals;

class ConveyorThread : public ::testing::Test {
 protected:
  void SetUp() override {
    Services(smt::CurrentMachine()) = {};
    CreateRunEvents(smt::CurrentMachine());
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().run.conveyorRun = true;
    Services(smt::CurrentMachine()).runZones = [this](int code) {
      std::lock_guard lk(m);
      log.push_back(code);
      return true;
    };
    Services(smt::CurrentMachine()).boardCount = [this] { return boards; };
  }
  void TearDown() override {
    Services(smt::CurrentMachine()) = {};
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().run.conveyorRun = false;
  }
  // The run thread's side: takes each board and reports it done.
  void RunBoards(int n) {
    std::thread conveyor([&machine = smt::CurrentMachine()] { ConveyorThreadProc(machine); });
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(WaitRunEvent(smt::CurrentMachine(), smt::CurrentMachine().run.boardReadyEvent, 3000ms, smt::CurrentMachine().run.conveyorRun), WaitResult::Signalled);
      {
        std::lock_guard lk(m);
        log.push_back(0);  // the board is worked here
      }
      smt::CurrentMachine().run.boardDoneEvent.Set();
    }
    conveyor.join();
  }
  std::mutex m;
  std::vector<int> log;
  int boards = 1;
};

TEST_F(ConveyorThread, OneBoardIsBroughtInAndTakenOut) {
  boards = 1;
  RunBoards(1);
  EXPECT_EQ(log, (std::vector<int>{1, 2, 0, 3, 4}));
  EXPECT_EQ(ConveyorBusy(smt::CurrentMachine()), 0);
}

TEST_F(ConveyorThread, ThreeBoardsKeepOneBoardAhead) {
  boards = 3;
  RunBoards(3);
  // 0 marks where the run thread works a board (between ready and done).
  const std::vector<int> zones = [&] {
    std::vector<int> z;
    for (int c : log)
      if (c != 0) z.push_back(c);
    return z;
  }();
  EXPECT_EQ(zones, (std::vector<int>{1, 2, 1, 3, 2, 1, 4, 3, 2, 4, 3, 4}));
}

TEST_F(ConveyorThread, StopDuringTheWaitWakesTheRunThread) {
  boards = 2;
  std::thread conveyor([&machine = smt::CurrentMachine()] { ConveyorThreadProc(machine); });
  ASSERT_EQ(WaitRunEvent(smt::CurrentMachine(), smt::CurrentMachine().run.boardReadyEvent, 3000ms, smt::CurrentMachine().run.conveyorRun), WaitResult::Signalled);
  smt::CurrentMachine().run.conveyorRun = false;
  smt::CurrentMachine().run.boardDoneEvent.Set();
  conveyor.join();
  EXPECT_TRUE(smt::CurrentMachine().run.boardReadyEvent.Wait(100ms));
  EXPECT_EQ(ConveyorBusy(smt::CurrentMachine()), 0);
}

TEST_F(ConveyorThread, AFailedZoneStepEndsTheThread) {
  boards = 2;
  Services(smt::CurrentMachine()).runZones = [](int code) { return code != 2; };
  std::thread conveyor([&machine = smt::CurrentMachine()] { ConveyorThreadProc(machine); });
  conveyor.join();
  EXPECT_FALSE(smt::CurrentMachine().run.conveyorRun);
  EXPECT_TRUE(smt::CurrentMachine().run.boardReadyEvent.Wait(100ms));
}

}  // namespace
