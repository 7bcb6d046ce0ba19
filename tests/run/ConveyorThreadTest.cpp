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
    Services() = {};
    CreateRunEvents();
    g_bRunContinue = true;
    g_bConveyorRun = true;
    Services().runZones = [this](int code) {
      std::lock_guard lk(m);
      log.push_back(code);
      return true;
    };
    Services().boardCount = [this] { return boards; };
  }
  void TearDown() override {
    Services() = {};
    g_bRunContinue = false;
    g_bConveyorRun = false;
  }
  // The run thread's side: takes each board and reports it done.
  void RunBoards(int n) {
    std::thread conveyor([] { ConveyorThreadProc(); });
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(WaitRunEvent(g_hBoardReadyEvent, 3000ms, g_bConveyorRun), WaitResult::Signalled);
      {
        std::lock_guard lk(m);
        log.push_back(0);  // the board is worked here
      }
      g_hBoardDoneEvent.Set();
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
  EXPECT_EQ(ConveyorBusy(), 0);
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
  std::thread conveyor([] { ConveyorThreadProc(); });
  ASSERT_EQ(WaitRunEvent(g_hBoardReadyEvent, 3000ms, g_bConveyorRun), WaitResult::Signalled);
  g_bConveyorRun = false;
  g_hBoardDoneEvent.Set();
  conveyor.join();
  EXPECT_TRUE(g_hBoardReadyEvent.Wait(100ms));
  EXPECT_EQ(ConveyorBusy(), 0);
}

TEST_F(ConveyorThread, AFailedZoneStepEndsTheThread) {
  boards = 2;
  Services().runZones = [](int code) { return code != 2; };
  std::thread conveyor([] { ConveyorThreadProc(); });
  conveyor.join();
  EXPECT_FALSE(g_bConveyorRun);
  EXPECT_TRUE(g_hBoardReadyEvent.Wait(100ms));
}

}  // namespace
