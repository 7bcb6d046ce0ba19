// The labeling machine's run on the simulated machine.
#include "RunSimFixture.h"

namespace runtest {
namespace {

using namespace smt::run;

class LabelRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    smt::CurrentMachine().machineType = 10;
    smt::CurrentMachine().headCount = 2;
    settings.glassSheets = 1;
    settings.visualZoom = 10;
    settings.thimbleX = 40;
    settings.thimbleY = -40;
    auto& s = Services(smt::CurrentMachine());
    s.labeling.Connect(std::make_shared<TestLabeling>(*this));
    s.startHomeMode = [this](int mode) {
      homeMode = mode;
      ++homeCount;
    };
  }
  // The sheet of three glass pieces and the station's moves, counted.
  class TestLabeling : public LabelingStation {
   public:
    explicit TestLabeling(LabelRun& t) : t_(t) {}
    LabelSettings Settings() override { return t_.settings; }
    void SetSerialX(int x) override { t_.settings.serialX = x; }
    std::vector<std::pair<int, int>> RecognizeGlass() override {
      ++t_.searches;
      if (t_.emptySheet) return {};
      return {{10, 10}, {20, 20}, {30, 30}};
    }
    bool MoveHeadToThimble(int) override {
      ++t_.thimbleMoves;
      return true;
    }
    bool RunPickSequence(int) override {
      ++t_.pickSequences;
      return true;
    }

   private:
    LabelRun& t_;
  };
  LabelSettings settings;
  bool emptySheet = false;
  std::atomic<int> homeMode{-1};
  std::atomic<int> searches{0}, thimbleMoves{0}, pickSequences{0};
};

TEST_F(LabelRun, LabelPaperIsPickedFromTheFeedersTwoHeadsAtATime) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(State(r), 6) << r;
  EXPECT_EQ(Count(0x67), 3);
  EXPECT_EQ(Count(0x66), 3);  // the run thread feeds each part itself
  EXPECT_EQ(Count(0x68), 3);
  EXPECT_EQ(homeCount, 1);
  EXPECT_EQ(homeMode, 4) << "the labeling run homes X, Y and Z at its end";
}

TEST_F(LabelRun, GlassSheetPiecesComeOverTheEjectorPinAndTheCellAdvancesWhenTheyAreUsed) {
  settings.glassSheets = 0;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(searches, 1);       // three pieces serve three picks
  EXPECT_EQ(Count(0x55), 3);    // one sheet move per piece
  EXPECT_EQ(thimbleMoves, 3);
  EXPECT_EQ(pickSequences, 3);
  EXPECT_EQ(settings.serialX, 1);
  EXPECT_EQ(Count(0x67), 0);    // no feeder picks
  EXPECT_EQ(Count(0x68), 3);
}

TEST_F(LabelRun, EmptySheetEndsTheRun) {
  settings.glassSheets = 0;
  emptySheet = true;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x68), 0);
}

}  // namespace
}  // namespace runtest
