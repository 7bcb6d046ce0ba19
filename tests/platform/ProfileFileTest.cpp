#include <gtest/gtest.h>

#include <thread>

#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"

using namespace smt::platform;
using smt::test::TempDir;

TEST(ProfileFile, MissingFileSectionOrKeyGivesTheDefault) {
  TempDir dir;
  std::string path = (dir / "config.ini").string();
  EXPECT_EQ(GetProfileString(path, "S", "k", "dflt"), "dflt");
  dir.Write("config.ini", "[S]\r\nk=1\r\n");
  EXPECT_EQ(GetProfileString(path, "Other", "k", "dflt"), "dflt");
  EXPECT_EQ(GetProfileString(path, "S", "other", "dflt"), "dflt");
  EXPECT_EQ(GetProfileString(path, "S", "k", "dflt"), "1");
}

TEST(ProfileFile, NamesAreCaseInsensitiveAndValuesTrimmedAndUnquoted) {
  TempDir dir;
  dir.Write("a.ini", "; comment\r\n[SetBasicConfig]\r\n  m_X_Limit =  450.5000  \r\nm_Name=\"with blanks \"\r\n");
  std::string path = (dir / "a.ini").string();
  EXPECT_EQ(GetProfileString(path, "setbasicconfig", "M_X_LIMIT", ""), "450.5000");
  EXPECT_EQ(GetProfileString(path, "SetBasicConfig", "m_Name", ""), "with blanks ");
}

TEST(ProfileFile, WriteKeepsEveryOtherLineAndOrder) {
  TempDir dir;
  dir.Write("c.ini", "; keep me\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
  std::string path = (dir / "c.ini").string();
  ASSERT_TRUE(WriteProfileString(path, "a", "Y", "20"));       // existing key, other case
  ASSERT_TRUE(WriteProfileString(path, "A", "w", "4"));        // new key in existing section
  ASSERT_TRUE(WriteProfileString(path, "C", "v", "5"));        // new section
  EXPECT_EQ(dir.Read("c.ini"), "; keep me\r\n[A]\r\nx=1\r\nY=20\r\nw=4\r\n\r\n[B]\r\nz=3\r\n[C]\r\nv=5\r\n");
  EXPECT_EQ(GetProfileString(path, "A", "y", ""), "20");
  EXPECT_EQ(GetProfileString(path, "C", "v", ""), "5");
}

TEST(ProfileFile, WritesCreateTheFile) {
  TempDir dir;
  std::string path = (dir / "new.ini").string();
  ASSERT_TRUE(WriteProfileString(path, "MachineSetConfig", "MachineSet", "7"));
  EXPECT_EQ(GetProfileString(path, "MachineSetConfig", "MachineSet", "0"), "7");
  EXPECT_FALSE(WriteProfileString((dir / "no/such/dir/x.ini").string(), "S", "k", "v"));
}

TEST(ProfileFile, ReadsUtf16LittleEndianWithByteOrderMark) {
  TempDir dir;
  std::u16string text = u"[MenuSetConfig]\r\nIDS_MENU_FILE=Datei\r\nID_FILE_NEW=中文\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  dir.Write("German.ini", bytes);
  std::string path = (dir / "German.ini").string();
  EXPECT_EQ(GetProfileString(path, "MenuSetConfig", "IDS_MENU_FILE", ""), "Datei");
  EXPECT_EQ(GetProfileString(path, "MenuSetConfig", "ID_FILE_NEW", ""), "中文");
}

TEST(ProfileFile, SeesAChangeMadeOnDiskByAnotherWriter) {
  TempDir dir;
  std::string path = (dir / "c.ini").string();
  dir.Write("c.ini", "[S]\nk=1\n");
  EXPECT_EQ(GetProfileString(path, "S", "k", ""), "1");
  dir.Write("c.ini", "[S]\nk=22\n");  // different size: seen even within the same second
  EXPECT_EQ(GetProfileString(path, "S", "k", ""), "22");
}

TEST(ProfileFile, AReadBurstChecksEachFileOnceAndKeepsTheProgramsOwnWrites) {
  TempDir dir;
  std::string path = (dir / "c.ini").string();
  dir.Write("c.ini", "[S]\nk=1\n");
  {
    ProfileReadBurst burst;
    EXPECT_EQ(GetProfileString(path, "S", "k", ""), "1");
    // The program's own write is read back at once, inside the burst.
    ASSERT_TRUE(WriteProfileString(path, "S", "j", "5"));
    EXPECT_EQ(GetProfileString(path, "S", "j", ""), "5");
    dir.Write("c.ini", "[S]\nk=22\n");  // another writer, during the burst
    EXPECT_EQ(GetProfileString(path, "S", "k", ""), "1");
  }
  // After the burst the file is checked again.
  EXPECT_EQ(GetProfileString(path, "S", "k", ""), "22");
  EXPECT_EQ(GetProfileString(path, "S", "j", "none"), "none");
}

TEST(SettingsSection, MissingKeysReadAsZeroThroughTheFailureText) {
  TempDir dir;
  SettingsSection s(ConfigPath(dir.str()), "SetBasicConfig");
  EXPECT_EQ(s.ReadText("m_X"), "获取配置失败");
  EXPECT_EQ(s.ReadInt("m_X"), 0);
  EXPECT_EQ(s.ReadDouble("m_X"), 0.0);
  EXPECT_FALSE(s.Has("m_X"));
}

TEST(SettingsSection, ConversionsFollowTheCLibrary) {
  struct Case {
    const char* text;
    int i;
    double d;
  } cases[] = {{"12", 12, 12.0},       {"  -7", -7, -7.0},        {"3.99", 3, 3.99},   {"12abc", 12, 12.0},
               {"abc", 0, 0.0},        {"-0.0005", 0, -0.0005},   {"+5", 5, 5.0},      {"1e3", 1, 1000.0},
               {"", 0, 0.0},           {"2147483647", 2147483647, 2147483647.0}};
  for (const auto& c : cases) {
    EXPECT_EQ(TextToInt(c.text), c.i) << c.text;
    EXPECT_DOUBLE_EQ(TextToDouble(c.text), c.d) << c.text;
  }
}

TEST(SettingsSection, WritesUseTheFixedFormats) {
  TempDir dir;
  SettingsSection s(ConfigPath(dir.str()), "S");
  s.WriteInt("i", -42);
  s.WriteDouble("d4", 1.23456);
  s.WriteDouble("d2", 2.005, 2);
  s.WriteDouble("neg", -0.00004);
  EXPECT_EQ(s.ReadText("i"), "-42");
  EXPECT_EQ(s.ReadText("d4"), "1.2346");
  EXPECT_EQ(s.ReadText("d2"), "2.00");  // 2.005 is just below in binary
  EXPECT_EQ(s.ReadText("neg"), "-0.0000");
}

TEST(SettingsSection, LanguageTextsFallBackToChinesePerKey) {
  TempDir dir;
  dir.Write("English.ini", "[SMTViewConfig]\nSMTView.c_Message_01=Busy, feeder groups locked !\n");
  LanguageSection lang(dir.str(), "English", "SMTViewConfig");
  EXPECT_EQ(lang.Text("SMTView.c_Message_01", "中文"), "Busy, feeder groups locked !");
  EXPECT_EQ(lang.Text("SMTView.c_Message_02", "中文二"), "中文二");
  LanguageSection missing(dir.str(), "Klingon", "SMTViewConfig");
  EXPECT_EQ(missing.Text("SMTView.c_Message_01", "中文"), "中文");
}

TEST(ProfileFile, ConcurrentReadersAndAWriterAgree) {
  TempDir dir;
  std::string path = (dir / "c.ini").string();
  WriteProfileString(path, "S", "k", "0");
  std::atomic<bool> bad{false};
  std::thread writer([&] {
    for (int i = 1; i <= 200; ++i) WriteProfileString(path, "S", "k", std::to_string(i));
  });
  std::thread reader([&] {
    for (int i = 0; i < 2000; ++i) {
      std::string v = GetProfileString(path, "S", "k", "missing");
      if (v == "missing") bad = true;
    }
  });
  writer.join();
  reader.join();
  EXPECT_FALSE(bad);
  EXPECT_EQ(GetProfileString(path, "S", "k", ""), "200");
}

// Which line a read finds when the file repeats itself or has odd lines: the
// first key of that name in any section of that name, in file order; keys
// before the first section and broken headers belong to no new section.
TEST(ProfileFile, ReadFindsTheFirstMatchInFileOrder) {
  TempDir dir;
  dir.Write("r.ini",
            "k=before\r\n[A]\r\nk=a1\r\nk=a2\r\n[B]\r\nk=b1\r\n[a]\r\nk=a3\r\nonly=late\r\n[broken\r\nafter=stillA\r\n"
            "[C]\r\n;k=comment\r\nk\r\n[]\r\nk=empty\r\n");
  const std::string path = (dir / "r.ini").string();
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  for (const Case& c : {Case{"A", "k", "a1"}, Case{"a", "K", "a1"}, Case{"B", "k", "b1"}, Case{"A", "only", "late"},
                        Case{"A", "after", "stillA"}, Case{"C", "k", "-"}, Case{"", "k", "empty"},
                        Case{"None", "k", "-"}, Case{"B", "only", "-"}}) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(GetProfileString(path, c.section, c.key, "-"), c.expected);
  }
  // A write is seen by the next read, also of a key added to a repeated section.
  ASSERT_TRUE(WriteProfileString(path, "a", "k", "new"));
  EXPECT_EQ(GetProfileString(path, "A", "k", "-"), "new");
  ASSERT_TRUE(WriteProfileString(path, "B", "added", "x"));
  EXPECT_EQ(GetProfileString(path, "b", "ADDED", "-"), "x");
  EXPECT_EQ(GetProfileString(path, "B", "k", "-"), "b1");
}
