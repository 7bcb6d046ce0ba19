// Stop on the eight-head machine (vacuum on outputs 32 to 39), through the
// program as main() builds it on the simulated machine whose world records
// every part held, placed and let go: parts on the nozzles when the run stops
// are carried to the throw position and let go there, no vacuum output stays
// on, and the window says how many were thrown.
#include "VisionRunFixture.h"

using namespace std::chrono_literals;
using visionrun::VisionRunSim;

namespace {

class EightHeadStop : public VisionRunSim {
 protected:
  int HeldCount() const {
    int n = 0;
    for (int k = 1; k <= 8; ++k) n += world->Held(k).has_value() ? 1 : 0;
    return n;
  }
  std::vector<std::string> TextsWith(const std::string& part) {
    std::vector<std::string> out;
    for (const auto& t : messages.service.Texts())
      if (t.find(part) != std::string::npos) out.push_back(t);
    return out;
  }
};

// Where the run is stopped: after the first nozzles picked (the gantry still
// at the feeders or on its way to the camera), or with every nozzle of the cycle holding.
struct StopPoint {
  const char* name;
  int heldAtLeast;
};

TEST_F(EightHeadStop, PartsOnTheNozzlesAreThrownAtTheThrowPositionAndEveryVacuumIsOff) {
  for (const StopPoint sp : {StopPoint{"two nozzles holding", 2}, StopPoint{"a whole cycle holding (one board's five rows)", 5}}) {
    SCOPED_TRACE(sp.name);
    StartProgram(7, 6);
    rows = {{5, -5, 0}, {12, -8, 90}, {20, -15, 0}, {8, -20, 10}, {26, -6, 0}};
    LoadJob("Yes/Camera 1", false, 0, 0, 0);
    Introduce();
    messages.service.Clear();
    ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
    // Between pick and place: parts on the nozzles, nothing placed yet.
    const auto until = std::chrono::steady_clock::now() + 30s;
    int maxHeld = 0;
    while (std::chrono::steady_clock::now() < until && HeldCount() < sp.heldAtLeast) {
      maxHeld = std::max(maxHeld, HeldCount());
      QApplication::processEvents();
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_GE(HeldCount(), sp.heldAtLeast) << Info() << " max " << maxHeld;
    ASSERT_TRUE(world->Placements().empty());
    // The part list's Stop, as its toolbar button calls it.
    View().m_pPartList->OnStop();
    ASSERT_TRUE(WaitEnd(20s)) << Info();
    // Let the word of the stop reach the window.
    for (int i = 0; i < 200 && TextsWith("个元件已抛到抛料位置").empty(); ++i) {
      QApplication::processEvents();
      std::this_thread::sleep_for(5ms);
    }
    for (int k = 1; k <= 8; ++k) EXPECT_FALSE(world->Held(k).has_value()) << "nozzle " << k;
    int thrown = 0;
    for (const auto& r : world->Releases()) {
      if (r.placed) continue;
      ++thrown;
      // The part under nozzle k stood over the throw position (450, -20 mm)
      // when its vacuum went off (within the pick's own error).
      EXPECT_NEAR(r.part.x, 450.0, 1.0) << "nozzle " << r.head;
      EXPECT_NEAR(r.part.y, -20.0, 1.0) << "nozzle " << r.head;
    }
    EXPECT_GE(thrown, sp.heldAtLeast);
    EXPECT_TRUE(world->Placements().empty()) << "nothing placed after the Stop";
    for (int out = 32; out <= 39; ++out) EXPECT_FALSE(sim->Output(out)) << "vacuum output " << out;
    // The stop message, in the window's language (Chinese here).
    const auto told = TextsWith("个元件已抛到抛料位置");
    ASSERT_EQ(told.size(), 1u) << Shown();
    EXPECT_NE(told[0].find(std::to_string(thrown) + " 个元件已抛到抛料位置"), std::string::npos) << told[0];
    // Back for the next stop point: the program closed, the world emptied.
    if (auto* v = app->frame()->view(); v && v->m_pSetView) v->m_pSetView->CloseCameras();
    app->ExitInstance();
    app.reset();
    smt::platform::ClearProfileCache();
    smt::platform::WorkerThreads::Instance().ResetForTests();
    sim->SetWorld(nullptr);
    world.reset();
    rows.clear();
  }
}

}  // namespace
