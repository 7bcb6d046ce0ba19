#pragma once
// The demo working directory's program connected and homed on the simulated
// board, with helpers to start the demo job and catch it between a pick and
// its place, and to read what the operator was told.
#include <chrono>
#include <string>
#include <vector>

#include "DemoMachineFixture.h"
#include "link/LinkGlobals.h"
#include "link/LinkLoss.h"
#include "link/LinkTestSupport.h"
#include "link/ReplyEvent.h"

inline long long MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

class RunningDemo : public DemoMachine {
 protected:
  void TearDown() override {
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(std::chrono::seconds(60));
    DemoMachine::TearDown();
    smt::CurrentMachine().link.positionLost = false;
    smt::link::OnLinkRestored(smt::CurrentMachine());
    smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons = 0;
  }

  // The demo job started from the toolbar; returns once nozzle 1 holds a
  // part the board picked (between its pick and its place).
  CMainFrame& StartRunAndWaitForAHeldPart() {
    CMainFrame& f = Start();
    f.show();
    ConnectAndHome();
    EXPECT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
    EXPECT_TRUE(PumpUntil([&] { return f.view()->m_pPartList->ToolBar().Button(106)->isEnabled(); }));
    messages.service.Clear();
    ClickToolbar(106);
    EXPECT_TRUE(PumpUntil([&] { return world->Held(1).has_value(); }, 30s)) << Messages();
    return f;
  }

  bool RunOver() {
    auto& pl = *app->frame()->view()->m_pPartList;
    return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 && !smt::CurrentMachine().machineBusy.load();
  }

  std::vector<std::string> TextsWith(const std::string& part) {
    std::vector<std::string> out;
    for (const auto& t : messages.service.Texts())
      if (t.find(part) != std::string::npos) out.push_back(t);
    return out;
  }
};
