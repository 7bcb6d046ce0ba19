// The typed reader of settings keys: a key's whole text must be a finite
// number in the key's range; anything else is refused with the file, the
// section, the key and the range named, told once, the default used and the
// file left as it is.
#include <gtest/gtest.h>

#include <string>

#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"

using namespace smt::platform;
using smt::test::TempDir;

namespace {

struct KeyReaderTest : ::testing::Test {
  void SetUp() override {
    ForgetReadRefusals();
    ClearProfileCache();
  }
  void TearDown() override { ForgetReadRefusals(); }
  // config.ini with one key of section [S] holding `value`.
  std::string WriteKey(const std::string& value) {
    dir.Write("config.ini", "[S]\nbefore=1\nk=" + value + "\nafter=2.5000\n");
    ClearProfileCache();
    return dir.Read("config.ini");
  }
  TempDir dir;
  ScopedRecordingMessages messages;
};

}  // namespace

TEST_F(KeyReaderTest, EveryTextThatIsNoNumberInRangeIsRefusedNamingFileSectionKeyAndRange) {
  struct Case {
    const char* text;
    bool number;   // taken by ReadNumber(-50, 50)
    bool integer;  // taken by ReadInteger(-50, 50)
  };
  const Case cases[] = {
      {"12", true, true},       {" -7 ", true, true},     {"2.5000", true, false},  {"12.0000", true, true},
      {"50", true, true},       {"-50", true, true},      {"50.0001", false, false}, {"51", false, false},
      {"-51", false, false},    {"nan", false, false},    {"-nan", false, false},   {"inf", false, false},
      {"-inf", false, false},   {"1e400", false, false},  {"ten", false, false},    {"12abc", false, false},
      {"12 mm", false, false},  {"0x10", false, false},   {"1,5", false, false},    {"99999999999", false, false},
      {"获取配置失败x", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("k=\"") + c.text + "\"");
    const std::string before = WriteKey(c.text);
    const SettingsSection sec(ConfigPath(dir.str()), "S");
    ForgetReadRefusals();
    messages.service.Clear();
    const double n = sec.ReadNumber("k", -50, 50, 3.25);
    const long long i = sec.ReadInteger("k", -50, 50, 9);
    if (c.number) EXPECT_NE(n, 3.25);
    else EXPECT_EQ(n, 3.25);
    if (c.integer) EXPECT_NE(i, 9);
    else EXPECT_EQ(i, 9);
    const auto refused = ReadRefusalsSoFar();
    const size_t expected = (c.number ? 0 : 1) + (c.integer ? 0 : 1);
    // ReadNumber and ReadInteger refuse the same text once: it is one refusal.
    ASSERT_EQ(refused.size(), expected == 0 ? 0u : 1u);
    if (!refused.empty()) {
      EXPECT_EQ(refused[0].file, ConfigPath(dir.str()));
      EXPECT_EQ(refused[0].where, "[S] k");
      EXPECT_NE(refused[0].need.find("-50..50"), std::string::npos) << refused[0].need;
      const auto texts = messages.service.Texts();
      ASSERT_EQ(texts.size(), 1u);
      EXPECT_NE(texts[0].find("config.ini"), std::string::npos) << texts[0];
      EXPECT_NE(texts[0].find("[S] k"), std::string::npos) << texts[0];
      EXPECT_NE(texts[0].find("-50..50"), std::string::npos) << texts[0];
    }
    // The other keys read as before and the file is as it was.
    EXPECT_EQ(sec.ReadInt("before"), 1);
    EXPECT_EQ(sec.ReadDouble("after"), 2.5);
    EXPECT_EQ(dir.Read("config.ini"), before);
  }
}

TEST_F(KeyReaderTest, AbsentEmptyAndUnsetZeroGiveTheDefaultWithoutAWord) {
  dir.Write("config.ini", "[S]\nempty=\nzero=0\nzeroText=0.0000\n");
  ClearProfileCache();
  const SettingsSection sec(ConfigPath(dir.str()), "S");
  EXPECT_EQ(sec.ReadNumber("missing", 1, 10, 4), 4);
  EXPECT_EQ(sec.ReadInteger("empty", 1, 10, 4), 4);
  EXPECT_EQ(sec.ReadNumber("zero", 1, 10, 4, true), 4);
  EXPECT_EQ(sec.ReadInteger("zeroText", 1, 10, 4, true), 4);
  EXPECT_EQ(sec.ReadInt("missing"), 0);
  EXPECT_EQ(sec.ReadDouble("missing"), 0.0);
  EXPECT_EQ(ReadRefusalCount(), 0u);
  EXPECT_TRUE(messages.service.Texts().empty());
  // Without zeroIsUnset a 0 outside the range is refused like any number.
  EXPECT_EQ(sec.ReadInteger("zero", 1, 10, 4), 4);
  EXPECT_EQ(ReadRefusalCount(), 1u);
}

TEST_F(KeyReaderTest, ARefusalIsToldOnceHoweverOftenTheKeyIsRead) {
  WriteKey("nan");
  const SettingsSection sec(ConfigPath(dir.str()), "S");
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(sec.ReadDouble("k"), 0.0);
    EXPECT_EQ(sec.ReadInt("k"), 0);
  }
  EXPECT_EQ(ReadRefusalCount(), 1u);
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  // A new bad text in the same key is a new refusal.
  WriteKey("inf");
  EXPECT_EQ(sec.ReadDouble("k"), 0.0);
  EXPECT_EQ(ReadRefusalCount(), 2u);
}

TEST_F(KeyReaderTest, IntegersBeyondThirtyTwoBitsAreRefusedNotWrapped) {
  WriteKey("4294967297");
  const SettingsSection sec(ConfigPath(dir.str()), "S");
  EXPECT_EQ(sec.ReadInt("k"), 0);
  EXPECT_EQ(ReadRefusalCount(), 1u);
}
