// How long a board that has fallen silent takes to be noticed, per command
// family, with the simulated board answering nothing and the demo's speeds
// (and unset ones). Figures only: disabled in the suite, run with
//   test_link --gtest_also_run_disabled_tests --gtest_filter='*SilentBoardFigures*'
#include <cstdio>

#include <gtest/gtest.h>

#include "MotionFixture.h"
#include "link/MotionCommands.h"
#include "link/RunMachine.h"

using namespace smt::link;

class SilentBoardFigures : public linktest::MotionSimTest {};

TEST_F(SilentBoardFigures, DISABLED_NoticeTimes) {
  struct Row {
    const char* family;
    int machineType;
    std::function<void(LinkRunMachine&)> send;
  };
  const AxisSpeed demo{10, 30}, unset{1, 1};
  std::vector<Row> rows;
  for (const auto& [name, sp] : {std::pair{"demo speeds", demo}, std::pair{"unset speeds", unset}}) {
    const AxisSpeed s = sp;
    const std::string n = name;
    rows.push_back({strdup(("plain move 0x64, 2000 steps, " + n).c_str()), 0,
                    [s](LinkRunMachine& r) { r.MoveGantry(2000, s, -1000, s, GantryMove::Checked); }});
    rows.push_back({strdup(("head move 0x74, 2000 steps, " + n).c_str()), 7, [s](LinkRunMachine& r) {
                      HeadPickMove m;
                      m.x = 2000; m.y = -1000; m.xSpeed = m.turnSpeed = m.zSpeed = s; m.head = 1; m.depth = -300;
                      r.PickWithHead(m);
                    }});
    rows.push_back({strdup(("head place 0x77, 2000 steps, " + n).c_str()), 7, [s](LinkRunMachine& r) {
                      HeadPlaceMove m;
                      m.x = 2000; m.y = -1000; m.xSpeed = m.turnSpeed = m.zSpeed = s; m.head = 1; m.depth = -300;
                      r.PlaceWithHead(m);
                    }});
    rows.push_back({strdup(("cycle 0x75, 4 heads, " + n).c_str()), 7, [s](LinkRunMachine& r) {
                      HeadsPickMove m;
                      m.count = 4;
                      for (int k = 0; k < 4; ++k) m.slots[k] = {k + 1, 0, 0, 2000 + 100 * k, -1000, -300, 0};
                      m.xSpeed = m.turnSpeed = m.zSpeed = s;
                      r.PickWithHeads(m);
                    }});
    rows.push_back({strdup(("feed 0x66 walk 2000 steps, " + n).c_str()), 0, [s](LinkRunMachine& r) {
                      FeedValues v{2000, s.start, s.run, 200, 200, s.start, s.run, 50, 0, 1};
                      r.Feed(0, 1, v);
                    }});
    rows.push_back({strdup(("Z stroke 0x67, 300 steps, " + n).c_str()), 0,
                    [s](LinkRunMachine& r) { r.Stroke(0x20, -300, s, 1, 0, 0); }});
  }
  rows.push_back({"feed 0x66 automatic feeder, feed time 50 ms", 0, [](LinkRunMachine& r) {
                    FeedValues v{1, 0, 0, 0, 0, 0, 0, 50, 0, 1};
                    r.Feed(0, 10, v);
                  }});
  rows.push_back({"conveyor 0x62, m_WaitTimeOut unset", 0,
                  [](LinkRunMachine&) { SendCmd62Zones(smt::CurrentMachine(), 1, 1, 0, 0, 100, 0, 0, 5, 10); }});
  for (const Row& row : rows) {
    smt::CurrentMachine().machineType = row.machineType;
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().link.positionLost = false;
    smt::CurrentMachine().resetDone = true;
    OnLinkRestored(smt::CurrentMachine());
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
    sim->DropReplies(1000000);
    LinkRunMachine r(smt::CurrentMachine());
    const auto t0 = std::chrono::steady_clock::now();
    row.send(r);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    sim->DropReplies(0);
    std::printf("[figure] %-48s type %d: noticed after %lld ms\n", row.family, row.machineType,
                static_cast<long long>(ms));
  }
  for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
}
