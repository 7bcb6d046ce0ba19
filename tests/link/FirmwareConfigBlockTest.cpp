// The board configuration block: how it is shown, and writing the travel
// limits into it on the simulated main board.
#include <gtest/gtest.h>

#include "FirmwareSimFixture.h"
#include "link/BootloaderProtocol.h"
#include "link/FirmwareConfigBlock.h"
#include "platform/SettingsSection.h"

using namespace smt::link;
using fwtest::FirmwareSimTest;
using smt::sim::SimBootloader;

namespace {

const FirmwareTexts kTexts;

FirmwareConfigBlock Block(uint16_t mark, uint16_t version, const std::string& description, uint32_t info, int32_t x,
                          int32_t y) {
  FirmwareConfigBlock b;
  b.SetUpgradeMark(mark);
  b.SetVersion(version);
  b.SetDescriptionBytes(description);
  b.SetInformation(info);
  b.SetLimits(x, y);
  return b;
}

class ConfigBlock : public FirmwareSimTest {
 protected:
  void Install(const FirmwareConfigBlock& b) { sim->Bootloader().Write(1, 0, SimBootloader::kConfigAddress, b.bytes()); }
};

struct ShowCase {
  const char* name;
  uint16_t version;
  std::string versionShown;
  bool asksForUpdate;
};

class ConfigShown : public ConfigBlock, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(ConfigShown, SixLinesAndTheUpdateHintForOtherVersions) {
  Install(Block(0, GetParam().version, "ABC", 5, 1000, -2000));
  FirmwareUpdater updater(Env(), sink);
  ASSERT_TRUE(updater.ReadConfigInfo());
  EXPECT_EQ(sink.config, "升级标记：0\r\n版本号：V3." + GetParam().versionShown +
                             "\r\n设备描述：ABC\r\n单片机信息：101\r\nX限位：1000\r\nY限位：-2000\r\n");
  EXPECT_EQ(sink.lines, (std::vector<std::string>{kTexts.reading + kTexts.configurationInformation + "...",
                                                  kTexts.reading + kTexts.configurationInformation + kTexts.complete}));
  const auto texts = messages.service.Texts();
  EXPECT_EQ(!texts.empty() && texts.back() == "请升级固件 !", GetParam().asksForUpdate);
}

INSTANTIATE_TEST_SUITE_P(Versions, ConfigShown,
                         ::testing::Values(ShowCase{"Two", 2, "02", false}, ShowCase{"Zero", 0, "0", true},
                                           ShowCase{"Nine", 9, "09", true}, ShowCase{"Ten", 10, "10", true},
                                           ShowCase{"Twelve", 12, "12", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigBlockFields, DescriptionInformationAndLimitConversion) {
  FirmwareConfigBlock b;
  b.SetDescriptionBytes(std::string(64, 'D'));
  b.bytes()[FirmwareConfigBlock::kDescriptionOffset + 64] = 'X';  // the next field is not part of it
  EXPECT_EQ(b.DescriptionBytes(), std::string(64, 'D'));
  EXPECT_EQ(BinaryDigits(0), "");
  EXPECT_EQ(BinaryDigits(5), "101");
  EXPECT_EQ(BinaryDigits(0x80000000u), "1" + std::string(31, '0'));
  struct { double mm, pulses; int32_t steps; } cases[] = {
      {400.5, 100.0, 40050}, {123.9, 1.0, 123}, {-123.9, 1.0, -123}, {-500.0, 80.0, -40000}, {1e12, 1e3, INT32_MAX}};
  for (const auto& c : cases) EXPECT_EQ(LimitInSteps(c.mm, c.pulses), c.steps) << c.mm << " x " << c.pulses;
}

TEST_F(ConfigBlock, LimitsAreWrittenIntoTheBlockAndSentLeavingEveryOtherByte) {
  const auto before = BoardConfig(1, 0);
  FirmwareUpdater updater(Env(), sink);
  ASSERT_TRUE(updater.WritePositionLimits(400.5, 100.0, -300.25, 80.0));
  const auto after = BoardConfig(1, 0);
  FirmwareConfigBlock expected;
  expected.bytes() = before;
  expected.SetLimits(40050, -24020);
  EXPECT_EQ(after, expected.bytes());
  EXPECT_EQ(sink.LastLine(), kTexts.writing + kTexts.configurationInformation + kTexts.complete);
  // Axis 0 with the X limit, then axis 1 with the Y limit.
  std::vector<std::vector<uint8_t>> axisCommands;
  linktest::WaitFor([&] {
    axisCommands.clear();
    for (const auto& c : sim->Received())
      if (c.code == 0x01) axisCommands.push_back(c.payload);
    return axisCommands.size() >= 2;
  });
  ASSERT_EQ(axisCommands.size(), 2u);
  EXPECT_EQ(axisCommands[0], (std::vector<uint8_t>{0, 0x72, 0x9C, 0x00, 0x00}));
  EXPECT_EQ(axisCommands[1], (std::vector<uint8_t>{1, 0x2C, 0xA2, 0xFF, 0xFF}));
}

TEST_F(ConfigBlock, LimitsComeFromTheMachineSettings) {
  const std::string config = smt::platform::ConfigPath(dir.str());
  smt::platform::SettingsSection basic(config, "SetBasicConfig");
  smt::platform::SettingsSection pulse(config, "SetPulseConfig");
  ASSERT_TRUE(basic.WriteText("m_X_Limit", "350.0000"));
  ASSERT_TRUE(basic.WriteText("m_Y_Limit", "-400.0000"));
  ASSERT_TRUE(pulse.WriteText("m_X_Pulse", "200.0000"));
  ASSERT_TRUE(pulse.WriteText("m_Y_Pulse", "100.0000"));
  FirmwareUpdater updater(Env(), sink);
  ASSERT_TRUE(updater.WritePositionLimits());
  FirmwareConfigBlock b;
  b.bytes() = BoardConfig(1, 0);
  EXPECT_EQ(b.XLimit(), 70000);
  EXPECT_EQ(b.YLimit(), -40000);
}

TEST_F(ConfigBlock, FailedReadWritesNothingAndSaysSo) {
  const auto before = BoardConfig(1, 0);
  sim->DropRepliesTo(0xF04, 100, 20);
  FirmwareUpdater updater(Env(), sink);
  EXPECT_FALSE(updater.WritePositionLimits(1.0, 1.0, 1.0, 1.0));
  EXPECT_EQ(sink.LastLine(), kTexts.reading + kTexts.configurationInformation + kTexts.failed + " !");
  EXPECT_EQ(messages.service.Texts().back(), "Read Main Board Flash Error ！");
  EXPECT_EQ(BoardConfig(1, 0), before);
  for (const auto& c : SentBootCommands()) EXPECT_EQ(c.code, boot::kRead);
}

TEST_F(ConfigBlock, WrappersNameTheBoardAndIgnoreBoardsOutsideOneToFour) {
  FirmwareUpdater updater(Env(), sink);
  FirmwareConfigBlock b;
  for (int board : {0, 5}) {
    EXPECT_TRUE(updater.ReadBoardFlash(board, b.data()));
    EXPECT_TRUE(updater.EraseBoardFlash(board));
    EXPECT_TRUE(updater.WriteBoardFlash(board, b.data()));
  }
  EXPECT_TRUE(SentBootCommands().empty());
  const char* words[5] = {"", "Main", "Head", "Feedd", "Conveyor"};
  for (int board = 1; board <= 4; ++board) {
    sim->InjectStatusRepeated(boot::kRead, 0x05, 1000);
    EXPECT_FALSE(updater.ReadBoardFlash(board, b.data()));
    EXPECT_EQ(messages.service.Texts().back(), std::string("Read ") + words[board] + " Board Flash Error ！");
    sim->InjectStatusRepeated(boot::kRead, 0, 0);
    sim->InjectStatus(boot::kErase, 0x05);
    EXPECT_FALSE(updater.EraseBoardFlash(board));
    EXPECT_EQ(messages.service.Texts().back(),
              std::string("Erase ") + (board == 3 ? "Feed" : words[board]) + " Board Flash Error ！");
  }
}

}  // namespace
