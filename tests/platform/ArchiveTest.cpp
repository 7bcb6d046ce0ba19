#include <gtest/gtest.h>

#include "platform/Archive.h"
#include "platform/ListFile.h"
#include "platform/TextCodec.h"
#include "support/TempDir.h"

using namespace smt::platform;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
  std::vector<uint8_t> v;
  for (int x : b) v.push_back(static_cast<uint8_t>(x));
  return v;
}

std::vector<uint8_t> Encode(const std::string& s) {
  ArchiveWriter w;
  w.WriteString(s);
  return w.take();
}

}  // namespace

TEST(Archive, StringHeaderFormsByLength) {
  struct Case {
    size_t length;
    std::vector<uint8_t> header;
  } cases[] = {
      {0, Bytes({0xFF, 0xFE, 0xFF, 0x00})},
      {254, Bytes({0xFF, 0xFE, 0xFF, 0xFE})},
      {255, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
      {0xFFFD, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF})},
      {0xFFFE, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {0x12345, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00})},
  };
  for (const auto& c : cases) {
    std::string text(c.length, 'a');
    std::vector<uint8_t> bytes = Encode(text);
    ASSERT_EQ(bytes.size(), c.header.size() + 2 * c.length) << c.length;
    EXPECT_TRUE(std::equal(c.header.begin(), c.header.end(), bytes.begin())) << c.length;
    ArchiveReader r(bytes);
    EXPECT_EQ(r.ReadString(), text) << c.length;
    EXPECT_TRUE(r.AtEnd());
  }
}

TEST(Archive, TextIsUtf16LittleEndianIncludingChineseAndSurrogates) {
  std::vector<uint8_t> bytes = Encode("A中\t😀");
  EXPECT_EQ(bytes, Bytes({0xFF, 0xFE, 0xFF, 0x05, 'A', 0, 0x2D, 0x4E, '\t', 0, 0x3D, 0xD8, 0x00, 0xDE}));
  ArchiveReader r(bytes);
  EXPECT_EQ(r.ReadString(), "A中\t😀");
}

TEST(Archive, ReadsTheEightBitFormAsGbk) {
  // "贴片" in GBK is CC F9 C6 AC; a plain 8-bit string carries no tag.
  std::vector<uint8_t> bytes = Bytes({0x06, 'R', '1', 0xCC, 0xF9, 0xC6, 0xAC});
  ArchiveReader r(bytes);
  EXPECT_EQ(r.ReadString(), "R1贴片");
  // The 16-bit length form of the 8-bit string.
  std::vector<uint8_t> longer = Bytes({0xFF, 0x00, 0x01});
  longer.resize(3 + 256, 'x');
  ArchiveReader r2(longer);
  EXPECT_EQ(r2.ReadString(), std::string(256, 'x'));
}

TEST(Archive, EveryTruncationIsRefused) {
  ArchiveWriter w;
  w.WriteString(std::string(300, 'q'));
  w.WriteI32(7);
  w.WriteString("end");
  std::vector<uint8_t> full = w.take();
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    ArchiveReader r(cut);
    EXPECT_THROW({
      r.ReadString();
      r.ReadI32();
      r.ReadString();
    }, ArchiveError) << "cut at " << n;
  }
}

TEST(Archive, HugeLengthIsRefusedWithoutAllocating) {
  std::vector<uint8_t> bytes = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
  ArchiveReader r(bytes);
  EXPECT_THROW(r.ReadString(), ArchiveError);
}

TEST(ListFile, RoundTripIsByteExact) {
  ListFileContent c;
  c.leading = "m_Reset_Speed\tHigh\t";
  c.rows = {"T1\t10 / 20\t", "", std::string(255, 'z'), "中文\t"};
  std::vector<uint8_t> bytes = EncodeListFile(c);
  ListFileContent back = ParseListFile(bytes, true);
  EXPECT_EQ(back.leading, c.leading);
  EXPECT_EQ(back.rows, c.rows);
  EXPECT_EQ(EncodeListFile(back), bytes);
}

TEST(ListFile, CountZeroOrNegativeMeansNoRows) {
  ArchiveWriter w;
  w.WriteString("lead");
  w.WriteI32(0);
  EXPECT_TRUE(ParseListFile(w.bytes(), true).rows.empty());
  EXPECT_EQ(ParseListFile(w.bytes(), true).leading, "lead");
  ArchiveWriter n;
  n.WriteI32(-3);
  EXPECT_TRUE(ParseListFile(n.bytes(), false).rows.empty());
}

TEST(ListFile, DamageIsRefused) {
  ArchiveWriter huge;
  huge.WriteI32(0x7FFFFFFF);
  huge.WriteString("only one");
  EXPECT_THROW(ParseListFile(huge.bytes(), false), ArchiveError);

  ArchiveWriter shortFile;
  shortFile.WriteI32(3);
  shortFile.WriteString("one");
  shortFile.WriteString("two");
  EXPECT_THROW(ParseListFile(shortFile.bytes(), false), ArchiveError);

  EXPECT_THROW(ParseListFile(Bytes({0x01, 0x00}), false), ArchiveError);  // count cut short
  EXPECT_THROW(ParseListFile({}, true), ArchiveError);                     // empty speed file
}

TEST(ListFile, FileReadNamesTheFileAndWriteIsAtomic) {
  smt::test::TempDir dir;
  ListFileContent c;
  c.rows = {"a\t", "b\t"};
  WriteListFile(dir / "config_pack.fig", c);
  EXPECT_EQ(ReadListFile(dir / "config_pack.fig", false).rows, c.rows);
  dir.Write("config_mark.fig", std::string("\x05\x00\x00\x00", 4));
  try {
    ReadListFile(dir / "config_mark.fig", false);
    FAIL() << "damaged file accepted";
  } catch (const ArchiveError& e) {
    EXPECT_NE(std::string(e.what()).find("config_mark.fig"), std::string::npos);
  }
  EXPECT_THROW(ReadListFile(dir / "missing.fig", false), FileError);
  // No temporary is left behind.
  for (auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(TextCodec, GbkBothWays) {
  EXPECT_EQ(Utf8ToGbk("贴片机"), std::string("\xCC\xF9\xC6\xAC\xBB\xFA"));
  EXPECT_EQ(GbkToUtf8("\xCC\xF9\xC6\xAC\xBB\xFA"), "贴片机");
  EXPECT_EQ(GbkToUtf8(std::string("a\xFF", 2)), "a\xEF\xBF\xBD");  // invalid byte replaced, not dropped silently
}

// A count damaged to 1 in a file of three rows, and bytes after the last row:
// the file is damaged, not loaded in part.
TEST(ListFile, BytesAfterTheLastRowMakeTheFileDamaged) {
  ArchiveWriter damaged;
  damaged.WriteI32(1);
  damaged.WriteString("one");
  damaged.WriteString("two");
  damaged.WriteString("three");
  EXPECT_THROW(ParseListFile(damaged.bytes(), false), ArchiveError);
  ArchiveWriter trailing;
  trailing.WriteString("lead");
  trailing.WriteI32(0);
  std::vector<uint8_t> bytes = trailing.bytes();
  bytes.push_back(0x00);
  EXPECT_THROW(ParseListFile(bytes, true), ArchiveError);
}
