// The cover-tape unit's settings and machine tests against the simulated board.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/MotionFixture.h"
#include "platform/SettingsSection.h"
#include "stations/CoverTapeUnit.h"

namespace {

using namespace smt::stations;

class CoverTapeSimTest : public linktest::MotionSimTest {
 protected:
  CoverTapeIo Io() {
    CoverTapeIo io = DefaultCoverTapeIo(smt::CurrentMachine());
    io.sleepMs = [](int) {};
    io.stepStart = 2;
    io.stepRun = 6;
    return io;
  }
  // Commands 0x61 (axis, steps) and 0x03 (output, state) in order.
  std::vector<std::tuple<int, int, int>> Sequence() {
    std::vector<std::tuple<int, int, int>> out;
    for (const auto& c : sim->Received()) {
      if (c.code == 0x61) {
        const int32_t steps = static_cast<int32_t>(c.payload[5] | c.payload[6] << 8 | c.payload[7] << 16 |
                                                   c.payload[8] << 24);
        out.emplace_back(0x61, c.payload[0], steps);
      }
      if (c.code == 0x03) out.emplace_back(0x03, c.payload[0], c.payload[1]);
    }
    return out;
  }
};

TEST_F(CoverTapeSimTest, EachTestDrivesItsAxisOrOutput) {
  UseUdp();
  CoverTapeSettings s;
  s.m_StepPulse = 120;
  s.m_BlankTotal = 3;
  s.m_CoverDelay = 1;
  using T = std::tuple<int, int, int>;
  const std::vector<std::pair<int, std::vector<T>>> cases = {
      {kCoverStep, {T{0x61, 14, 120}}},
      {kCoverTakeUp, {T{0x61, 15, 120}}},
      {kCoverBlank, {T{0x61, 14, 360}}},
      {kCoverSeal, {T{0x03, 8, 1}, T{0x03, 8, 0}}},
      {kCoverLocate, {T{0x03, 9, 1}, T{0x03, 9, 0}}},
  };
  for (const auto& [test, expected] : cases) {
    SCOPED_TRACE(test);
    sim->ClearReceived();
    ASSERT_TRUE(RunCoverTest(smt::CurrentMachine(), test, s, Io()));
    ASSERT_TRUE(linktest::WaitFor([&] { return Sequence().size() >= expected.size(); }));
    EXPECT_EQ(Sequence(), expected);
  }
}

TEST_F(CoverTapeSimTest, BlankAndSealRunsWhileTheBlankCopyStaysNonNegative) {
  UseUdp();
  struct Case {
    int blank, once, passes;
  };
  for (const Case c : {Case{1, 2, 0}, Case{2, 2, 2}, Case{5, 2, 3}}) {
    SCOPED_TRACE(c.blank);
    CoverTapeSettings s;
    s.m_StepPulse = 101;  // halves to 50
    s.m_BlankTotal = c.blank;
    s.m_CoverOnceTotal = c.once;
    sim->ClearReceived();
    ASSERT_TRUE(RunCoverTest(smt::CurrentMachine(), kCoverBlankSeal, s, Io()));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto seq = Sequence();
    ASSERT_EQ(seq.size(), static_cast<size_t>(c.passes * 4));
    for (int p = 0; p < c.passes; ++p) {
      EXPECT_EQ(seq[p * 4], (std::tuple<int, int, int>{0x61, 14, 100}));
      EXPECT_EQ(seq[p * 4 + 2], (std::tuple<int, int, int>{0x03, 8, 1}));
    }
  }
}

TEST_F(CoverTapeSimTest, StartRefusesByGuardOrder) {
  CoverTapeSettings s;
  smt::CurrentMachine().connected = false;
  EXPECT_FALSE(StartCoverTest(smt::CurrentMachine(), kCoverSeal, s, Io()));
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = false;
  EXPECT_FALSE(StartCoverTest(smt::CurrentMachine(), kCoverSeal, s, Io()));
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(StartCoverTest(smt::CurrentMachine(), kCoverSeal, s, Io()));
  smt::CurrentMachine().machineBusy = false;
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is not reset !",
                                                                "Machine is runnig !"}));
  UseUdp();
  ASSERT_TRUE(StartCoverTest(smt::CurrentMachine(), kCoverSeal, s, Io()));
  ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().machineBusy.load(); }));
  EXPECT_TRUE(linktest::WaitFor([&] { return !sim->Output(8); }));
}

TEST(CoverTapeSettingsTest, ZerosOfTheFirstFiveLoadAsOneAndCountersRoundTrip) {
  const auto dir = std::filesystem::temp_directory_path() / ("cover-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.string()), "SetCoverConfig");
  sec.WriteInt("m_StepPulse", 0);
  sec.WriteInt("m_CoverTotal", 500);
  sec.WriteInt("m_CoverCount", 0);
  CoverTapeSettings s = CoverTapeSettings::Load(dir.string());
  EXPECT_EQ(s.m_StepPulse, 1);
  EXPECT_EQ(s.m_CoverTotal, 500);
  EXPECT_EQ(s.m_BlankTotal, 1);
  EXPECT_EQ(s.m_CoverCount, 0);
  ASSERT_TRUE(SaveCoverCounters(dir.string(), 37, 4));
  s = CoverTapeSettings::Load(dir.string());
  EXPECT_EQ(s.m_CoverTotalCount, 37);
  EXPECT_EQ(s.m_CoverCount, 4);
  s.m_CoverOnceTotal = 101;
  EXPECT_EQ(s.CheckRanges(), "m_CoverOnceTotal");
  std::filesystem::remove_all(dir);
}

}  // namespace
