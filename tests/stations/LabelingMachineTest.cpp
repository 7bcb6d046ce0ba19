// The labeling machine's sheet search, sheet moves and pick strokes against
// the simulated board, with simulated Mark-camera frames.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/MotionFixture.h"
#include "platform/SettingsSection.h"
#include "stations/LabelingMachine.h"
#include "vision/SimulatedScene.h"

namespace {

using namespace smt::stations;

class LabelingSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    smt::CurrentMachine().motion.curAxis8 = smt::CurrentMachine().motion.curAxis9 = 0;
    LabelingScales k;
    k.px = k.py = 100;
    k.pz = 100;
    k.sheetX = k.sheetY = 10;
    k.xStart = k.xRun = k.yStart = k.yRun = k.zStart = k.sheetStart = k.sheetRun = 5;
    m().SetScales(k);
    LabelingSettings s;
    s.m_StartX = 10;
    s.m_StartY = -10;
    s.m_EndX = 25;  // columns at 10 and 20
    s.m_EndY = -25; // rows at -10 and -20
    s.m_DistanceX = s.m_DistanceY = 10;
    s.m_ThimbleX = 50;
    s.m_ThimbleY = -40;
    s.m_NozzlePickHeight = -2.0;
    s.m_ThimblePickHeight = 1.5;
    s.m_LiftAwayDistance = 0.5;
    s.m_ComponentLenght = 4;
    s.m_ComponentWidth = 2;
    s.m_AllowableError = 20;
    s.m_VisualBoxSize = 12;
    s.m_Threshold = 128;
    m().SetSettings(s);
    LabelingIo io = DefaultLabelingIo();
    io.sleepMs = [](int) {};
    io.zoom = 20;
    io.grabFrame = [this](cv::Mat& f) {
      ++frames;
      // Pieces are dark on the light sheet.
      smt::vision::SimulatedScene scene(480, 480, 20.0);
      scene.SetBackground(255);
      if (labelAtFrame == frames) scene.AddRect({0.5, -0.5}, {4, 2}, 0, 0);
      f = scene.Render();
      return true;
    };
    m().SetIo(io);
  }
  void TearDown() override {
    m().SetIo({});
    MotionSimTest::TearDown();
  }
  static LabelingMachine& m() { return LabelingMachine::Of(smt::CurrentMachine()); }
  int frames = 0;
  int labelAtFrame = -1;
};

TEST_F(LabelingSimTest, SearchStopsOnTheCellWithPieces) {
  labelAtFrame = 2;
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  const auto pieces = m().RecognizeGlass();
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_NEAR(pieces[0].x, 10, 1);
  EXPECT_NEAR(pieces[0].y, -10, 1);
  EXPECT_EQ(m().Settings().m_SerialX, 1);
  EXPECT_EQ(m().Settings().m_SerialY, 0);
  // The sheet stands at cell (1, 0): 20 mm, -10 mm.
  EXPECT_EQ(sim->Position(9), 200);
  EXPECT_EQ(sim->Position(8), -100);
  // The camera went over the ejector pin first.
  EXPECT_EQ(sim->Position(0), 5000);
}

TEST_F(LabelingSimTest, NoAnswerEndsWithoutAdvancing) {
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  EXPECT_TRUE(m().RecognizeGlass().empty());
  EXPECT_EQ(m().Settings().m_SerialX, 0);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kGlassNotFound});
}

TEST_F(LabelingSimTest, EmptySheetResetsTheSerials) {
  LabelingSettings s = m().Settings();
  s.m_EndX = s.m_StartX;
  s.m_SerialX = 3;
  s.m_SerialY = 1;
  m().SetSettings(s);
  EXPECT_TRUE(m().RecognizeGlass().empty());
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(m().Settings().m_SerialX, 0);
  EXPECT_EQ(m().Settings().m_SerialY, 0);
}

TEST_F(LabelingSimTest, CurrentCellBeyondTheEndMovesToTheStart) {
  LabelingSettings s = m().Settings();
  s.m_SerialX = 5;
  s.m_SerialY = 1;
  m().SetSettings(s);
  ASSERT_TRUE(m().MoveSheetToPoint(0));
  EXPECT_EQ(sim->Position(9), 100);
  EXPECT_EQ(sim->Position(8), -200);
  ASSERT_TRUE(m().MoveSheetToPoint(4));
  EXPECT_EQ(sim->Position(9), 250);
}

TEST_F(LabelingSimTest, PickSequenceStrokesAndVacuum) {
  // Relative strokes from the booked heights: down to -2 mm with the pin up
  // 1.5 mm, lift 0.5 mm away, back to where they started.
  smt::CurrentMachine().curZ[0] = smt::CurrentMachine().curZ[2] = 0;
  sim->ClearReceived();
  ASSERT_TRUE(m().RunPickSequence(1));
  std::vector<std::pair<int32_t, int32_t>> strokes;
  for (const auto& c : sim->Received())
    if (c.code == 0x55) {
      const auto le = [&](int at) {
        return static_cast<int32_t>(c.payload[at] | c.payload[at + 1] << 8 | c.payload[at + 2] << 16 |
                                    c.payload[at + 3] << 24);
      };
      strokes.push_back({le(2), le(6)});
    }
  EXPECT_EQ(strokes, (std::vector<std::pair<int32_t, int32_t>>{{200, 150}, {-50, 50}, {-150, -200}}));
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(1); }));
}

TEST(LabelingSettingsTest, PitchesAtLeastOneAndSheetKindNotNegative) {
  const auto dir = std::filesystem::temp_directory_path() / ("label-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.string()), "LabelingSetConfig");
  sec.WriteText("m_DistanceX", "0.50");
  sec.WriteInt("m_GlassSheets", -1);
  auto s = LabelingSettings::Load(dir.string());
  EXPECT_EQ(s.m_DistanceX, 1.0);
  EXPECT_EQ(s.m_DistanceY, 1.0);
  EXPECT_EQ(s.m_GlassSheets, 0);
  s.m_StartX = 12.345;
  ASSERT_TRUE(s.Save(dir.string()));
  EXPECT_EQ(sec.ReadText("m_StartX"), "12.35");
  std::filesystem::remove_all(dir);
}

}  // namespace
