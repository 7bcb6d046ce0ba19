// File Save formats the board table straight into the job file's bytes
// (numbers by integer arithmetic, cells converted one by one); the bytes are
// the ones the lines give when they are formatted and converted as a whole.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "job/FixedDecimals.h"
#include "job/JobFile.h"
#include "job/PcbTable.h"
#include "job/WorkRecords.h"
#include "platform/Archive.h"

using namespace smt::job;

namespace {

std::string Fixed(double v, int decimals) {
  char buf[kFixedDecimalsRoom];
  return std::string(buf, WriteFixedDecimals(v, decimals, buf));
}

std::string ToChars(double v, int decimals) {
  char buf[kFixedDecimalsRoom];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

double FromBits(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace

TEST(FixedDecimals, WritesWhatToCharsWrites) {
  struct Case {
    double v;
    int decimals;
    const char* text;
  };
  // Exact halves go to the even digit; a negative value keeps its sign when
  // it rounds to zero; values beyond the integer path still come out whole.
  const Case cases[] = {{0.5, 0, "0"},          {1.5, 0, "2"},           {2.5, 0, "2"},
                        {-2.5, 0, "-2"},        {0.125, 2, "0.12"},      {0.375, 2, "0.38"},
                        {-0.0, 2, "-0.00"},     {-0.001, 2, "-0.00"},    {0.045, 2, "0.04"},
                        {12.5, 1, "12.5"},      {-3.25, 4, "-3.2500"},   {10000, 3, "10000.000"},
                        {1e-320, 3, "0.000"},   {9007199254740993.0, 0, "9007199254740992"},
                        {1e20, 2, "100000000000000000000.00"},           {0.1, 17, "0.10000000000000001"}};
  for (const Case& c : cases) EXPECT_EQ(Fixed(c.v, c.decimals), c.text) << c.v << " with " << c.decimals;
  for (double v : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300, 5e-324})
    for (int d = 0; d <= 20; ++d) EXPECT_EQ(Fixed(v, d), ToChars(v, d)) << v << " with " << d;
}

TEST(FixedDecimals, AgreesWithToCharsOverTheRangeOfDoublesAndAtEveryHalf) {
  std::mt19937_64 rng(20261210);
  for (int i = 0; i < 200000; ++i) {
    const int d = i % 18;
    // Any bit pattern, board-sized decimals, and values next to an exact half.
    const double any = FromBits(rng());
    const double board = static_cast<double>(static_cast<int64_t>(rng() % 200000000001ull) - 100000000000) /
                         std::pow(10.0, static_cast<double>(rng() % 8));
    const double half = (static_cast<double>(static_cast<int64_t>(rng() % 2000001) - 1000000) + 0.5) /
                        std::pow(10.0, static_cast<double>(d % 8));
    for (double v : {any, board, half, std::nextafter(half, 0.0), std::nextafter(half, 1e9)})
      ASSERT_EQ(Fixed(v, d), ToChars(v, d)) << v << " with " << d;
  }
}

TEST(SaveFormatting, TheTableIsWrittenAsItsLinesEncodedWhole) {
  // Placement cells that take every way through the direct formatting.
  struct Row {
    std::vector<std::string> cells;
  };
  const std::string longText(300, 'L');        // a line beyond 255 units
  const std::string veryLong(70000, 'V');      // beyond 65534 units
  const std::string chinese = "电阻电容";
  const std::vector<Row> rows = {
      {{"1", "12.5", "-3.25", "90", "R1", "电阻", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""}},
      {{"007", "+5", "1e3", " 7", "C1", "", "", "0/No", "", "", "1/Yes", "", "x", "", "m", "s"}},
      {{"2", "-0.000", "0.0001", "-359.99", longText, "t", "p", "1/是", "v", "f", "0/否", "fv", "2", "", "", ""}},
      {{"3", "1.5", "2.5", "0", veryLong, "", "", "1/Yes", "", "", "0/No", "", "0", "", "", ""}},
      // Texts that end inside a character: converted as one line they take
      // the bytes of what follows.
      {{"4", "1", "2", "3", "a\xE4", "\xE4\xB8", "\xC3", "1/\xF0\x9F", "ok", "\xE4", "0/No", "", "1", "", "", "\xC3"}},
      {{"5", "1.25", "2.75", "45", "\x80\xBF", chinese + "\xE4", "", "1/Yes", "", "", "0/No", "", "", "", "", ""}},
      {{"6\xE4", "1.\xC3", "2", "3", "", "", "", "1/Yes", "", "", "0/No", "", "\xE4\xB8", "", "", ""}},
  };
  PcbTable t;
  t.m_strCurPcbName = "板-1";
  PcbRecord rec;
  rec.m_strName = "板-1";
  rec.m_nRows = 2;
  rec.m_nCols = 2;
  rec.m_PanelGrid = FullPanelGrid(2, 2);
  for (const Row& r : rows) rec.m_Parts.push_back(PlacementFromStoredCells(r.cells));
  // Records built in code write the shortest form of their values.
  PlacementRecord built;
  built.serial = 9;
  built.x = 0.1 + 0.2;
  built.y = -1e-7;
  built.angle = 1e22;
  rec.m_Parts.push_back(built);
  t.m_Records.push_back(rec);
  PcbRecord second;
  second.m_strName = "second";
  second.m_nRows = 0;
  second.m_Parts.push_back(PlacementFromStoredCells(rows[0].cells));
  t.m_Records.push_back(second);

  JobFileContent c;
  c.curPcbName = t.m_strCurPcbName;
  c.pcbCount = static_cast<uint32_t>(t.Count());
  c.pcbLines = t.SaveToLines();
  const std::vector<uint8_t> expected = EncodeJobFile(c);
  const FileBytes direct = EncodeJobTable(t);
  ASSERT_EQ(direct.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), direct.bytes().begin()));
  // And each placement line alone.
  for (const PlacementRecord& p : rec.m_Parts) {
    std::string line;
    AppendStoredPlacement(line, p);
    std::vector<uint8_t> whole(smt::platform::ArchiveStringBound(line.size()));
    whole.resize(smt::platform::PutArchiveString(line, whole.data()));
    std::vector<uint8_t> cells(smt::platform::ArchiveStringBound(PlacementLineBound(p)));
    cells.resize(PutStoredPlacement(p, cells.data()));
    EXPECT_EQ(cells, whole) << line.substr(0, 40);
  }
}

// A large table is formatted in stretches side by side: the bytes are the
// same wherever the stretches meet (inside a board, at a board without
// placements, at a long line or one converted whole), and the pieces handed
// on the way add up to them in order.
TEST(SaveFormatting, ALargeTableFormattedInStretchesGivesTheSameBytes) {
  const std::vector<std::vector<std::string>> rows = {
      {"1", "12.5", "-3.25", "90", "R1", "电阻", "0603", "1/Yes", "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""},
      {"007", "+5", "1e3", " 7", "C1", "", "", "0/No", "", "", "1/Yes", "", "x", "", "m", "s"},
      {"2", "-0.000", "0.0001", "-359.99", std::string(300, 'L'), "t", "p", "1/是", "v", "f", "0/否", "fv", "2", "", "", ""},
      {"4", "1", "2", "3", "a\xE4", "\xE4\xB8", "\xC3", "1/\xF0\x9F", "ok", "\xE4", "0/No", "", "1", "", "", "\xC3"},
  };
  // Placements per board.
  const std::vector<std::vector<size_t>> shapes = {
      {45000},
      {0, 30000, 0, 0, 15001, 0},
      {9999, 1, 10000, 20000, 3},
      std::vector<size_t>(50, 1000),
  };
  for (const auto& shape : shapes) {
    PcbTable t;
    t.m_strCurPcbName = "板-0";
    size_t serial = 0;
    for (size_t b = 0; b < shape.size(); ++b) {
      PcbRecord rec;
      rec.m_strName = "板-" + std::to_string(b);
      rec.m_nRows = static_cast<int>(b % 3);
      rec.m_nCols = 2;
      rec.m_PanelGrid = FullPanelGrid(rec.m_nRows, 2);
      for (size_t i = 0; i < shape[b]; ++i, ++serial) {
        auto cells = rows[serial % rows.size()];
        cells[0] += std::to_string(serial);
        rec.m_Parts.push_back(PlacementFromStoredCells(cells));
      }
      t.m_Records.push_back(std::move(rec));
    }
    JobFileContent c;
    c.curPcbName = t.m_strCurPcbName;
    c.pcbCount = static_cast<uint32_t>(t.Count());
    c.pcbLines = t.SaveToLines();
    const std::vector<uint8_t> expected = EncodeJobFile(c);
    // As the size and the idle cores choose, on the calling thread alone,
    // and in stretches on two and on four threads.
    for (unsigned formatters : {0u, 1u, 2u, 4u}) {
      std::vector<uint8_t> pieces;
      const FileBytes direct = EncodeJobTable(
          t, [&](std::span<const uint8_t> p) { pieces.insert(pieces.end(), p.begin(), p.end()); }, nullptr,
          formatters);
      const std::string what = std::to_string(shape.size()) + " boards, " + std::to_string(serial) +
                               " placements, " + std::to_string(formatters) + " formatters";
      ASSERT_EQ(direct.size(), expected.size()) << what;
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), direct.bytes().begin())) << what;
      EXPECT_EQ(pieces, expected) << what;
    }
  }
}

// Formatted on one thread, the file goes into a block taken for a guess of
// its size; lines far longer than the guess make it grow on the way, with or
// without memory kept from save to save, and the bytes stay those of the
// lines encoded whole.
TEST(SaveFormatting, LinesLongerThanTheGuessGrowTheBlockAndKeepTheBytes) {
  SaveRoom room;
  for (size_t cellLength : {size_t{1000}, size_t{20000}}) {
    PcbTable t;
    t.m_strCurPcbName = "B";
    PcbRecord rec;
    rec.m_strName = "B";
    for (int i = 0; i < 600; ++i)
      rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i), "1.5", "2.5", "90",
                                                      std::string(cellLength, static_cast<char>('a' + i % 26)), "电阻",
                                                      "p", "1/Yes", "v", "f", "0/No", "fv", "1", "", "", ""}));
    t.m_Records.push_back(rec);
    JobFileContent c;
    c.curPcbName = t.m_strCurPcbName;
    c.pcbCount = 1;
    c.pcbLines = t.SaveToLines();
    const std::vector<uint8_t> expected = EncodeJobFile(c);
    for (SaveRoom* r : {static_cast<SaveRoom*>(nullptr), &room}) {
      std::vector<uint8_t> pieces;
      const FileBytes direct = EncodeJobTable(
          t, [&](std::span<const uint8_t> p) { pieces.insert(pieces.end(), p.begin(), p.end()); }, r, 1);
      const std::string what = std::to_string(cellLength) + " characters, " + (r ? "kept memory" : "a new block");
      ASSERT_EQ(direct.size(), expected.size()) << what;
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), direct.bytes().begin())) << what;
      EXPECT_EQ(pieces, expected) << what;
    }
  }
}

// The memory kept from save to save is used again only when no file's bytes
// are in it any more: the bytes of the last save stay as they were while the
// next is formatted, and a free block is taken again.
TEST(SaveFormatting, KeptMemoryNeverHoldsTheBytesOfAFileStillInUse) {
  PcbTable t;
  t.m_strCurPcbName = "B";
  PcbRecord rec;
  rec.m_strName = "B";
  for (int i = 0; i < 3000; ++i)
    rec.m_Parts.push_back(PlacementFromStoredCells({std::to_string(i), "1.5", "2.5", "90", "R" + std::to_string(i), "t",
                                                    "p", "1/Yes", "v", "f", "0/No", "fv", "1", "", "", ""}));
  t.m_Records.push_back(rec);
  auto copy = [](const FileBytes& f) { return std::vector<uint8_t>(f.bytes().begin(), f.bytes().end()); };
  SaveRoom room;
  std::vector<std::vector<uint8_t>> expected;
  std::vector<FileBytes> held;
  for (int save = 0; save < 6; ++save) {
    t.m_Records[0].m_Parts[0].name = "save " + std::to_string(save);
    held.push_back(EncodeJobTable(t, nullptr, &room));
    expected.push_back(copy(EncodeJobTable(t)));
    // Every file still held keeps its own bytes; every other save lets its
    // oldest go, so the room has a free block to give again.
    for (size_t k = 0; k < held.size(); ++k) EXPECT_EQ(copy(held[k]), expected[k]) << "save " << save << ", file " << k;
    if (save % 2 == 1) {
      held.erase(held.begin());
      expected.erase(expected.begin());
    }
  }
}
