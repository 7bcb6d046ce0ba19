// Archive strings are converted in one pass straight between UTF-8 and the
// file's UTF-16LE. The bytes must stay those of the step-by-step conversion
// (Utf8ToUtf16 / Utf16ToUtf8 and the header by unit count), for every kind of
// text: plain, Chinese, surrogate pairs, damaged UTF-8, lone surrogates, and
// at every length where the header form or the fast runs change.
#include <gtest/gtest.h>

#include <random>

#include "platform/Archive.h"
#include "platform/TextCodec.h"

using namespace smt::platform;

namespace {

// The archive string as the step-by-step conversion writes it.
std::vector<uint8_t> ReferenceBytes(std::string_view utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  std::vector<uint8_t> b{0xFF, 0xFE, 0xFF};
  const size_t n = u.size();
  auto u16 = [&](uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  if (n < 0xFF) {
    b.push_back(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    b.push_back(0xFF);
    u16(static_cast<uint32_t>(n));
  } else {
    b.push_back(0xFF);
    u16(0xFFFF);
    u16(static_cast<uint32_t>(n));
    u16(static_cast<uint32_t>(n >> 16));
  }
  for (char16_t c : u) u16(c);
  return b;
}

std::vector<uint8_t> Written(std::string_view utf8) {
  ArchiveWriter w;
  w.WriteString(utf8);
  return w.take();
}

std::string Repeat(std::string_view s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::vector<std::string> Texts() {
  std::vector<std::string> t = {
      "",
      "R1",
      "电阻",
      "1\t0.37\t0.21\t90\tR0\t电阻\t0603\t1/Yes\t10k\tW3\t0/No\t10k\t1\t2024-3-5  9:7:2\t\t",
      "\xF0\x9F\x98\x80 smile",            // a pair of surrogates
      "\xED\xA0\x80 encoded surrogate",     // a surrogate written as UTF-8
      "cut \xE7\x94",                       // a three-byte character cut short
      "\x80\x80 lone continuations",
      "\xC3\x28 bad second byte",
      "\xFF\xFE bytes that lead nothing",
      "\xF8\x88\x80\x80\x80 five-byte form",
      "tail \xF0\x9F\x98",                  // four-byte form cut short
      "\xF0\x80\x80\x80 overlong",
  };
  // The fast runs of plain text end at every offset.
  for (size_t at = 0; at < 40; ++at) t.push_back(std::string(at, 'a') + "电" + std::string(40 - at, 'b'));
  for (size_t at = 0; at < 20; ++at) t.push_back(std::string(at, 'x') + "\xF0\x9F\x98\x80" + std::string(20, 'y'));
  // Header forms change at 0xFF and 0xFFFE units; the bound taken from the
  // UTF-8 length changes at other places than the real count.
  for (size_t n : {15u, 16u, 17u, 31u, 32u, 33u, 254u, 255u, 256u, 0xFFFDu, 0xFFFEu, 0xFFFFu})
    t.push_back(std::string(n, 'p'));
  t.push_back(Repeat("电", 100));       // 300 bytes, 100 units: short header
  t.push_back(Repeat("电", 30000));     // 90000 bytes, 30000 units: middle header
  t.push_back(Repeat("电", 0xFFFE));    // 0xFFFE units: long header
  t.push_back(Repeat("\xF0\x9F\x98\x80", 20000));
  return t;
}

}  // namespace

TEST(ArchiveCodec, WrittenBytesAreThoseOfTheStepByStepConversion) {
  for (const std::string& s : Texts()) {
    SCOPED_TRACE(testing::Message() << "text of " << s.size() << " bytes: " << s.substr(0, 40));
    const std::vector<uint8_t> bytes = Written(s);
    ASSERT_EQ(bytes, ReferenceBytes(s));
    // Read back as the step-by-step conversion reads the units.
    ArchiveReader in(bytes);
    const std::u16string units = Utf8ToUtf16(s);
    EXPECT_EQ(in.ReadString(), Utf16ToUtf8(units));
    EXPECT_TRUE(in.AtEnd());
  }
}

TEST(ArchiveCodec, ReadTextIsThatOfTheStepByStepConversionForAnyUnits) {
  // Units as any file may hold them: lone surrogates of both kinds, pairs
  // cut by the end, split across the fast runs, and units of every size.
  std::mt19937 rng(17);
  const std::vector<char16_t> pool = {u'a', u'\t', u'0', 0x7F, 0x80, 0x7FF, 0x800, 0x4E2D, 0xD800, 0xDBFF,
                                      0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF, 0x00FF, 0x0100};
  for (int round = 0; round < 3000; ++round) {
    const size_t n = rng() % (round < 2000 ? 40 : 600);
    std::u16string u(n, u'a');
    for (auto& c : u)
      if (rng() % 4 == 0) c = pool[rng() % pool.size()];
    std::vector<uint8_t> bytes{0xFF, 0xFE, 0xFF};
    if (n < 0xFF) {
      bytes.push_back(static_cast<uint8_t>(n));
    } else {
      bytes.push_back(0xFF);
      bytes.push_back(static_cast<uint8_t>(n));
      bytes.push_back(static_cast<uint8_t>(n >> 8));
    }
    for (char16_t c : u) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    ArchiveReader in(bytes);
    ASSERT_EQ(in.ReadString(), Utf16ToUtf8(u)) << "round " << round;
    ASSERT_TRUE(in.AtEnd());
  }
}

TEST(ArchiveCodec, AnyBytesAreWrittenAsTheStepByStepConversionWritesThem) {
  std::mt19937 rng(4);
  for (int round = 0; round < 3000; ++round) {
    const size_t n = rng() % (round < 2000 ? 48 : 700);
    std::string s(n, 'a');
    for (auto& c : s)
      if (rng() % 3 == 0) c = static_cast<char>(rng() % 256);
    ASSERT_EQ(Written(s), ReferenceBytes(s)) << "round " << round;
  }
}

TEST(ArchiveCodec, StringsFollowEachOtherInOneBuffer) {
  // Each string lands after the one before, whatever header it ends up with.
  ArchiveWriter w;
  const auto texts = Texts();
  for (const auto& s : texts) w.WriteString(s);
  w.WriteU32(0xA5A5A5A5);
  const std::vector<uint8_t> bytes = w.take();
  ArchiveReader in(bytes);
  for (const auto& s : texts) EXPECT_EQ(in.ReadString(), Utf16ToUtf8(Utf8ToUtf16(s)));
  EXPECT_EQ(in.ReadU32(), 0xA5A5A5A5u);
  EXPECT_TRUE(in.AtEnd());
}
