// A settings write that fails is reported: logged every time, and told to
// the operator once per file until a write to it succeeds again. Decimals
// are written whole, however large.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"

using namespace smt::platform;

TEST(SettingsWrites, AFailedWriteIsReportedOncePerRunOfFailures) {
  smt::test::TempDir dir;
  ScopedRecordingMessages messages;
  // The settings file cannot be written: its name is taken by a directory.
  std::filesystem::create_directories(dir / "config.ini");
  ClearProfileCache();
  SettingsSection s(ConfigPath(dir.str()), "ManualControlConfig");
  const uint64_t before = FailedSettingsWrites();
  // The section's values are one save: written, and failing, together.
  s.WriteInt("m_SpeedGears", 2);
  s.WriteInt("m_XY_RunSteps", 5);
  EXPECT_FALSE(s.Flush());
  EXPECT_EQ(FailedSettingsWrites(), before + 1);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("config.ini"), std::string::npos);
  EXPECT_NE(messages.service.Texts()[0].find("[ManualControlConfig] m_SpeedGears and 1 more"), std::string::npos);
  // A second failing save of the same run of failures is logged, not told again.
  s.WriteInt("m_SpeedGears", 2);
  EXPECT_FALSE(s.Flush());
  EXPECT_EQ(FailedSettingsWrites(), before + 2);
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  // Writable again: the next failure is told again.
  std::filesystem::remove(dir / "config.ini");
  ClearProfileCache();
  s.WriteInt("m_SpeedGears", 2);
  EXPECT_TRUE(s.Flush());
  std::filesystem::remove(dir / "config.ini");
  std::filesystem::create_directories(dir / "config.ini");
  ClearProfileCache();
  s.WriteInt("m_SpeedGears", 3);
  EXPECT_FALSE(s.Flush());
  EXPECT_EQ(messages.service.Texts().size(), 2u);
}

TEST(SettingsWrites, LargeDecimalsAreWrittenWhole) {
  const std::string big = FormatDouble(1e60);
  EXPECT_EQ(TextToDouble(big), 1e60);
  EXPECT_EQ(big.substr(big.size() - 5), ".0000");
  EXPECT_EQ(FormatDouble(-1.5e100, 2).size(), 105u);
}
