// The camera table ("config_camera.fig") read through its typed rows and
// written again: the shipped file, the demo working directory's, a large
// generated one with every spelling a hand or another program leaves, and
// the same with damaged rows all come back byte for byte; a damaged row is
// kept, names its file, line and field, and gives no camera record; a typed
// change rewrites only the cells whose value changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "app/DemoWorkdir.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/OperatorNumber.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"
#include "vision/CameraTable.h"

namespace fs = std::filesystem;
using namespace smt::vision;

namespace {

// Spellings of a number an operator's hand or another program leaves; each
// is read as the value beside it.
struct Spelling {
  const char* text;
  double value;
};
const Spelling kSpellings[] = {
    {"12.5", 12.5}, {"+3", 3},     {" 7 ", 7},     {"0012.50", 12.5}, {"1e1", 10},   {"-0", 0},
    {"", 0},        {"-0.0000", 0}, {"100.0000", 100}, {"3", 3},       {"2.50", 2.5}, {"1E1", 10},
};

// What damaged files hold in a number cell.
const char* const kDamage[] = {"nan", "12abc", "inf", "1e400", "ten", "0x10"};

std::string Join(const CameraCells& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\t";
  return s;
}

// Row `i` of a generated table: name, then every number cell spelt in turn
// by the spellings (integer cells and ranged cells take whole spellings in
// their range).
const Spelling* SpellingFor(int i, const CameraCellField& f) {
  const Spelling& s = kSpellings[static_cast<size_t>(i * 7 + f.cell) % std::size(kSpellings)];
  const bool whole = s.value == static_cast<int>(s.value);
  if (f.lo <= -smt::platform::kAnyNumber || (s.value >= f.lo && s.value <= f.hi && (!f.integer || whole))) return &s;
  return nullptr;
}

double ExpectedValue(int i, const CameraCellField& f) {
  const Spelling* s = SpellingFor(i, f);
  return s ? s->value : static_cast<int>(f.lo) + i % 3;
}

CameraCells GeneratedRow(int i) {
  CameraCells c;
  c[0] = i == 0 ? kCameraName1 : i == 1 ? kCameraName2 : "Camera " + std::to_string(i + 1) + " 相机";
  for (const CameraCellField& f : CameraCellFields()) {
    const Spelling* s = SpellingFor(i, f);
    c[static_cast<size_t>(f.cell)] = s ? s->text : std::to_string(static_cast<int>(f.lo) + i % 3);
  }
  return c;
}

std::vector<std::string> Generated(int rows) {
  std::vector<std::string> texts;
  for (int i = 0; i < rows; ++i) texts.push_back(Join(GeneratedRow(i)));
  return texts;
}

// Line (0-based) -> the cell damaged in it and its text.
struct Damage {
  size_t line;
  int cell;
  const char* text;
};

std::vector<Damage> Damages(int rows) {
  std::vector<Damage> d;
  for (int line = 1; line < rows; line += 5) {
    const CameraCellField& f = CameraCellFields()[static_cast<size_t>(line * 3) % CameraCellFields().size()];
    d.push_back({static_cast<size_t>(line), f.cell, kDamage[static_cast<size_t>(line) % std::size(kDamage)]});
  }
  // Out of range and a fraction in a whole-number field.
  d.push_back({0, 22, "256"});
  d.push_back({2, 27, "2.5"});
  return d;
}

// Reads `file` as at start, through the table, and writes it to `out`.
CameraTable ThroughTable(const fs::path& file, const fs::path& out) {
  const auto content = smt::platform::ReadListFile(file, false);
  CameraTable t;
  t.LoadTable(content.rows);
  smt::platform::WriteListFile(out, {std::nullopt, t.SaveTable()});
  return t;
}

}  // namespace

TEST(CameraTableRoundTrip, ShippedDemoGeneratedAndDamagedFilesComeBackByteForByte) {
  smt::test::TempDir root;
  smt::platform::ScopedRecordingMessages messages;
  smt::platform::ForgetReadRefusals();
  const int kRows = 240;
  std::vector<std::pair<std::string, fs::path>> sources;
  const fs::path shipped = fs::path(SMT_SOURCE_DIR) / "resources" / "defaults" / "config_camera.fig";
  ASSERT_TRUE(fs::exists(shipped)) << shipped;
  sources.push_back({"shipped", shipped});
  const fs::path demo = root / "demo";
  fs::create_directories(demo);
  ASSERT_EQ(smt::app::PrepareDemoWorkdir(demo), "");
  sources.push_back({"demo", demo / "config_camera.fig"});
  const fs::path generated = root / "generated.fig";
  smt::platform::WriteListFile(generated, {std::nullopt, Generated(kRows)});
  sources.push_back({"generated", generated});
  auto damagedRows = Generated(kRows);
  for (const Damage& d : Damages(kRows)) {
    CameraCells c = GeneratedRow(static_cast<int>(d.line));
    c[static_cast<size_t>(d.cell)] = d.text;
    damagedRows[d.line] = Join(c);
  }
  const fs::path damaged = root / "damaged.fig";
  smt::platform::WriteListFile(damaged, {std::nullopt, damagedRows});
  sources.push_back({"damaged", damaged});

  size_t rowsRead = 0;
  for (const auto& [what, file] : sources) {
    SCOPED_TRACE(what);
    const fs::path out = root / (what + ".out");
    const CameraTable t = ThroughTable(file, out);
    EXPECT_EQ(smt::platform::ReadWholeFile(out), smt::platform::ReadWholeFile(file));
    rowsRead += static_cast<size_t>(t.Count());
    if (what == "demo") {
      ASSERT_EQ(t.Count(), 2);
      EXPECT_TRUE(t.Row(0).Readable() && t.Row(1).Readable());
      EXPECT_EQ(t.Names(), (std::vector<std::string>{kCameraName1, kCameraName2}));
    }
    if (what == "generated") {
      for (int i = 0; i < t.Count(); ++i) ASSERT_TRUE(t.Row(i).Readable()) << "line " << i + 1;
      // Each spelling reads as its value (the list shows the value in its
      // field's format).
      for (int i = 0; i < t.Count(); ++i) {
        const auto shown = t.Row(i).ShownTexts();
        EXPECT_EQ(shown[0], GeneratedRow(i)[0]);
        for (const CameraCellField& f : CameraCellFields()) {
          const double value = ExpectedValue(i, f);
          EXPECT_EQ(shown[static_cast<size_t>(f.cell)],
                    f.integer ? smt::platform::FormatInt(static_cast<long long>(value))
                              : smt::platform::FormatDouble(value, f.decimals))
              << "line " << i + 1 << " " << f.name;
        }
      }
      EXPECT_DOUBLE_EQ(t.Row(0).Values().x, kSpellings[(0 * 7 + 1) % std::size(kSpellings)].value);
    }
  }
  // The damaged rows: kept, unreadable, named; every other row reads.
  {
    const CameraTable t = ThroughTable(damaged, root / "again.fig");
    std::set<size_t> bad;
    for (const Damage& d : Damages(kRows)) {
      bad.insert(d.line);
      const CameraRow& r = t.Row(static_cast<int>(d.line));
      ASSERT_FALSE(r.Readable()) << d.line;
      ASSERT_FALSE(r.Problems().empty());
      EXPECT_EQ(r.Problems()[0].file(), "config_camera.fig");
      EXPECT_EQ(r.Problems()[0].line(), static_cast<int>(d.line) + 1);
      EXPECT_EQ(r.Problems()[0].field(), CameraCellFields()[static_cast<size_t>(d.cell - 1)].name);
      EXPECT_EQ(r.Problems()[0].text(), d.text);
    }
    for (int i = 0; i < t.Count(); ++i)
      if (!bad.count(static_cast<size_t>(i))) EXPECT_TRUE(t.Row(i).Readable()) << "line " << i + 1;
    // Line 1 (damaged) gives no first record, line 2 its own.
    CameraTable two;
    two.LoadTable({damagedRows[0], Generated(2)[1]});
    two.RebuildRecords(100, 100);
    EXPECT_EQ(two.m_Camera_first, CameraRecord{});
    EXPECT_EQ(two.m_Camera_second.CameraNumber, 2);
  }
  std::printf("[ figures  ] camera table round trip: %zu files, %zu rows written back byte for byte\n",
              sources.size(), rowsRead);
}

// A typed change rewrites only the cells whose value changed, in their
// field's format; the same values again change nothing; a value out of its
// field's range is refused whole.
TEST(CameraTableRoundTrip, ChangedCellsAloneAreWrittenAnew) {
  const std::vector<std::string> texts = Generated(24);
  struct Case {
    const char* what;
    void (*change)(CameraValues&);
    std::vector<int> cells;  // the cells written anew
    bool taken;
  };
  const Case cases[] = {
      {"nothing", [](CameraValues&) {}, {}, true},
      {"X", [](CameraValues& v) { v.x += 1.25; }, {1}, true},
      {"Y and correction Y8", [](CameraValues& v) { v.y -= 0.5; v.corrections[15] += 2; }, {2, 18}, true},
      {"scale", [](CameraValues& v) { v.visualZoom = 19.87; }, {20}, true},
      {"lights", [](CameraValues& v) { v.contrast = 201; v.brightness = v.brightness == 7 ? 8 : 7; }, {22, 23}, true},
      {"contrast out of range", [](CameraValues& v) { v.contrast = 256; }, {}, false},
      {"scale out of range", [](CameraValues& v) { v.visualZoom = 200.5; }, {}, false},
      {"NaN position", [](CameraValues& v) { v.x = std::nan(""); }, {}, false},
  };
  for (int line = 0; line < 24; ++line) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " line " + std::to_string(line + 1));
      CameraTable t;
      ASSERT_EQ(t.LoadTable(texts), 0);
      const CameraCells before = t.Row(line).Cells();
      CameraValues v = t.Row(line).Values();
      c.change(v);
      EXPECT_EQ(t.ModifyRow(line, v, 100, 100), c.taken);
      const CameraCells& after = t.Row(line).Cells();
      for (const CameraCellField& f : CameraCellFields()) {
        const size_t k = static_cast<size_t>(f.cell);
        const bool anew = c.taken && std::find(c.cells.begin(), c.cells.end(), f.cell) != c.cells.end();
        if (!anew) {
          EXPECT_EQ(after[k], before[k]) << f.name;
        } else if (f.integer) {
          EXPECT_EQ(after[k], smt::platform::FormatInt(static_cast<long long>(
                                  f.cell == 22 ? v.contrast : v.brightness)))
              << f.name;
        } else {
          EXPECT_EQ(after[k], smt::platform::FormatDouble(
                                  f.cell == 1 ? v.x : f.cell == 2 ? v.y : f.cell == 18 ? v.corrections[15] : v.visualZoom,
                                  f.decimals))
              << f.name;
        }
      }
      if (line < 2 && c.taken) {
        const CameraRecord& rec = line == 0 ? t.m_Camera_first : t.m_Camera_second;
        EXPECT_EQ(rec, RecordFromValues(t.Row(line).Values(), line + 1, 100, 100));
      }
      for (int other = 0; other < t.Count(); ++other)
        if (other != line) EXPECT_EQ(t.SaveTable()[static_cast<size_t>(other)], texts[static_cast<size_t>(other)]);
    }
  }
}
