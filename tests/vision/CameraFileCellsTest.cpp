// Every number cell of the camera table ("config_camera.fig") and every
// numeric key of [CameraListConfig] replaced in turn by what a damaged or
// hand-edited file holds: each is refused naming the file and the line and
// field (or the key), told once; the table keeps every row as it came, the
// damaged row cannot be read and gives no camera record (a key falls back to
// its default) and nothing else changes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/OperatorNumber.h"
#include "platform/ProfileFile.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"
#include "vision/CameraEditValues.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraTable.h"

using namespace smt::vision;
using smt::test::TempDir;
namespace platform = smt::platform;

namespace {

const char* const kBadTexts[] = {"nan", "inf", "-inf", "1e400", "ten", "12abc", "0x10"};

CameraRow GoodRow(const std::string& name, int k) {
  CameraEditValues v;
  v.name = name;
  v.x = 120.5 + k;
  v.y = -80.25 - k;
  for (int i = 0; i < 16; ++i) v.corrections[i] = 0.125 * (i + 1) + k;
  v.angle = 0.75;
  v.visualZoom = 10 + k;
  v.visualSize = 4;
  v.contrast = 100;
  v.brightness = 120;
  v.correctionTimes = 3;
  v.precisionXY = 2;
  v.precisionA = 5;
  v.collectTime = 50;
  return CameraRow(v);
}

std::string Join(const CameraCells& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\t";
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The section's keys and values as the loader gives them (saved again).
std::map<std::string, std::string> Loaded(const std::string& dir) {
  CameraListSettings s;
  CameraRecord a, b;
  LoadCameraListConfig(dir, s, a, b);
  TempDir out;
  EXPECT_TRUE(WriteCameraListConfig(out.str(), s, a, b));
  platform::ClearProfileCache();
  std::map<std::string, std::string> values;
  for (const std::string& l : Lines(out.Read("config.ini"))) {
    const auto eq = l.find('=');
    if (eq != std::string::npos) values[l.substr(0, eq)] = l.substr(eq + 1);
  }
  return values;
}

}  // namespace

TEST(CameraFileCells, EveryNumberCellRefusesWhatIsNoNumberInItsRangeAndTheRowIsKept) {
  const std::vector<CameraRow> good = {GoodRow(kCameraName1, 0), GoodRow(kCameraName2, 1)};
  platform::ScopedRecordingMessages messages;
  int refusals = 0;
  for (size_t line = 0; line < good.size(); ++line) {
    for (const CameraCellField& f : CameraCellFields()) {
      std::vector<std::string> bad(std::begin(kBadTexts), std::end(kBadTexts));
      if (f.lo > -platform::kAnyNumber) {
        bad.push_back(platform::FormatDouble(f.lo - 1, 0));
        bad.push_back(platform::FormatDouble(f.hi + 1, 0));
      }
      if (f.integer) bad.push_back("2.5");
      for (const std::string& text : bad) {
        SCOPED_TRACE("line " + std::to_string(line + 1) + " field " + f.name + " \"" + text + "\"");
        std::vector<std::string> texts;
        for (const CameraRow& r : good) texts.push_back(r.Text());
        CameraCells damaged = good[line].Cells();
        damaged[static_cast<size_t>(f.cell)] = text;
        texts[line] = Join(damaged);
        platform::ForgetReadRefusals();
        messages.service.Clear();
        CameraTable table;
        table.LoadTable(texts);
        const auto refused = platform::ReadRefusalsSoFar();
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].file, "config_camera.fig");
        EXPECT_EQ(refused[0].where, "line " + std::to_string(line + 1) + ", field \"" + f.name + "\"");
        EXPECT_EQ(refused[0].text, text);
        if (f.lo > -platform::kAnyNumber) {
          EXPECT_NE(refused[0].need.find(platform::RangeText(f.lo, f.hi)), std::string::npos) << refused[0].need;
        }
        EXPECT_EQ(messages.service.Texts().size(), 1u);
        refusals += 1;
        // The row goes back to the file as it came.
        EXPECT_EQ(table.SaveTable(), texts);
        // The damaged row cannot be read: it names its first refused cell,
        // gives no record, and the other row reads as it did.
        const CameraRow& row = table.Row(static_cast<int>(line));
        EXPECT_FALSE(row.Readable());
        ASSERT_EQ(row.Problems().size(), 1u);
        EXPECT_EQ(row.Problems()[0].file(), "config_camera.fig");
        EXPECT_EQ(row.Problems()[0].line(), static_cast<int>(line) + 1);
        EXPECT_EQ(row.Problems()[0].field(), f.name);
        EXPECT_EQ(row.ShownTexts()[static_cast<size_t>(f.cell)], text) << "the list shows what the file holds";
        table.RebuildRecords(100, 100);
        const size_t other = 1 - line;
        EXPECT_EQ(line == 0 ? table.m_Camera_first : table.m_Camera_second, CameraRecord{});
        EXPECT_EQ(other == 0 ? table.m_Camera_first : table.m_Camera_second,
                  RecordFromValues(good[other].Values(), static_cast<int>(other) + 1, 100, 100));
        // Whole new values make it readable again: the refused cell is
        // written in its field's format, every other cell keeps its text.
        CameraTable fixed;
        fixed.LoadTable(texts);
        ASSERT_TRUE(fixed.ModifyRow(static_cast<int>(line), good[line].Values(), 100, 100));
        EXPECT_EQ(fixed.SaveTable()[line], good[line].Text());
      }
    }
  }
  std::printf("config_camera.fig: %zu rows x %zu cells: %d refusals\n", good.size(), CameraCellFields().size(),
              refusals);
}

TEST(CameraFileCells, EveryNumericKeyOfTheCameraListSectionRefusesWhatIsNoNumber) {
  TempDir good, empty, dir;
  CameraListSettings s;
  s.m_BaseDiameter = 12.5;
  s.m_BaseCoordinates_X = 300.5;
  s.m_BaseCoordinates_Y = -200.5;
  s.m_BaseCoordinates_Z = -10.5;
  s.m_iChangeCameraDelay = 300;
  s.m_bChangeCameraDelay = 1;
  s.m_Correct_X = 0.5;
  s.m_Correct_Y = -0.5;
  s.m_Correct_A = 0.25;
  s.m_MarkCamera = s.m_VisualCamera1 = s.m_VisualCamera2 = s.m_FlyCamera = 1;
  s.m_iFlyStartSpeed = 20;
  s.m_iFlyNormalSpeed = 40;
  for (int k = 0; k < 8; ++k) {
    s.m_iTriggerPulse[k] = 100 + k;
    s.m_dFlyCorrect_Y[k] = 0.125 * (k + 1) - 0.5;
  }
  s.m_VisualImageColorReversal = 1;
  s.m_bVisualOffset = 1;
  s.m_AllowOffset = 0.5;
  CameraTable t;
  t.LoadTable({GoodRow(kCameraName1, 0).Text(), GoodRow(kCameraName2, 1).Text()});
  t.RebuildRecords(100, 100);
  ASSERT_TRUE(WriteCameraListConfig(good.str(), s, t.m_Camera_first, t.m_Camera_second));
  platform::ClearProfileCache();
  const auto wanted = Loaded(good.str());
  const auto defaults = Loaded(empty.str());
  const std::vector<std::string> lines = Lines(good.Read("config.ini"));
  platform::ScopedRecordingMessages messages;
  int keys = 0, refusals = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto eq = lines[i].find('=');
    if (eq == std::string::npos || !platform::ParseCellNumber(lines[i].substr(eq + 1), -1e300, 1e300)) continue;
    const std::string key = lines[i].substr(0, eq);
    ++keys;
    for (const char* bad : kBadTexts) {
      SCOPED_TRACE(key + "=" + bad);
      std::vector<std::string> changed = lines;
      changed[i] = key + "=" + bad;
      std::string text;
      for (const auto& l : changed) text += l + "\n";
      dir.Write("config.ini", text);
      platform::ClearProfileCache();
      platform::ForgetReadRefusals();
      messages.service.Clear();
      const auto got = Loaded(dir.str());
      const auto refused = platform::ReadRefusalsSoFar();
      ASSERT_EQ(refused.size(), 1u);
      EXPECT_EQ(refused[0].where, "[CameraListConfig] " + key);
      EXPECT_EQ(messages.service.Texts().size(), 1u);
      refusals += 1;
      for (const auto& [k, v] : wanted) {
        if (k == key) EXPECT_EQ(got.at(k), defaults.at(k)) << k;
        else EXPECT_EQ(got.at(k), v) << k;
      }
      EXPECT_EQ(dir.Read("config.ini"), text);
    }
  }
  EXPECT_GT(keys, 60);
  std::printf("[CameraListConfig]: %d numeric keys: %d refusals\n", keys, refusals);
}

// Keys that count something small (the camera switches 0 or 1, a record's
// camera number 0..2) and the shared-view corrections have ranges of their
// own: each end is taken, one past either end (and a fraction where a whole
// number is needed) is refused naming the key and the range, and the key
// reads as its default, 0; the camera panel's switches read the same way.
TEST(CameraFileCells, KeysWithARangeOfTheirOwnTakeTheirEndsAndRefuseOnePast) {
  struct C {
    const char* key;
    double lo, hi;
    bool whole;
  } cases[] = {
      {"m_HighSpeedCamera", 0, 1, true},         {"m_MarkCamera", 0, 1, true},
      {"m_VisualCamera1", 0, 1, true},           {"m_VisualCamera2", 0, 1, true},
      {"m_FlyCamera", 0, 1, true},               {"m_bChangeCameraDelay", 0, 1, true},
      {"m_VisualImageColorReversal", 0, 1, true}, {"m_bVisualOffset", 0, 1, true},
      {"m_Camera_first.CameraNumber", 0, 2, true}, {"m_Camera_second.CameraNumber", 0, 2, true},
      {"m_Correct_X", -10, 10, false},           {"m_Correct_Y", -10, 10, false},
      {"m_Correct_A", -360, 360, false},
  };
  TempDir dir;
  platform::ScopedRecordingMessages messages;
  for (const C& c : cases) {
    auto load = [&](const std::string& text) {
      dir.Write("config.ini", std::string("[CameraListConfig]\n") + c.key + "=" + text + "\n");
      platform::ClearProfileCache();
      platform::ForgetReadRefusals();
      return Loaded(dir.str()).at(c.key);
    };
    for (double end : {c.lo, c.hi}) {
      const std::string text = platform::FormatDouble(end, c.whole ? 0 : 4);
      SCOPED_TRACE(std::string(c.key) + "=" + text);
      EXPECT_EQ(platform::ParseCellNumber(load(text), end, end), end);
      EXPECT_TRUE(platform::ReadRefusalsSoFar().empty());
    }
    std::vector<std::string> past = {platform::FormatDouble(c.lo - (c.whole ? 1 : 0.5), c.whole ? 0 : 1),
                                     platform::FormatDouble(c.hi + (c.whole ? 1 : 0.5), c.whole ? 0 : 1)};
    if (c.whole) past.push_back("0.5");
    for (const std::string& text : past) {
      SCOPED_TRACE(std::string(c.key) + "=" + text);
      EXPECT_EQ(platform::ParseCellNumber(load(text), 0, 0), 0.0);
      const auto refused = platform::ReadRefusalsSoFar();
      ASSERT_EQ(refused.size(), 1u);
      EXPECT_EQ(refused[0].where, std::string("[CameraListConfig] ") + c.key);
      EXPECT_EQ(refused[0].text, text);
      const std::string range = c.whole ? platform::FormatDouble(c.lo, 0) + ".." + platform::FormatDouble(c.hi, 0)
                                        : platform::RangeText(c.lo, c.hi);
      EXPECT_NE(refused[0].need.find(range), std::string::npos) << refused[0].need;
    }
  }
  // The camera panel's switches at start-up.
  dir.Write("config.ini",
            "[CameraListConfig]\nm_HighSpeedCamera=2\nm_MarkCamera=1\nm_VisualCamera1=nan\nm_VisualCamera2=1\n"
            "m_FlyCamera=-1\n");
  platform::ClearProfileCache();
  platform::ForgetReadRefusals();
  const CameraSwitches w = LoadCameraSwitches(dir.str());
  EXPECT_EQ(w.highSpeed, 0);
  EXPECT_TRUE(w.mark);
  EXPECT_FALSE(w.visual1);
  EXPECT_TRUE(w.visual2);
  EXPECT_FALSE(w.fly);
  EXPECT_EQ(platform::ReadRefusalsSoFar().size(), 3u);
}
