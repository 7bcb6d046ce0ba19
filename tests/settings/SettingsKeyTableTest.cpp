// Every numeric key of the machine settings, the axis pulses, the detours,
// the speed settings and the seven speed uses in config.ini, and every speed
// cell of config_speed.fig, replaced in turn by what a damaged or hand-edited
// file holds: each is refused naming the file and the key (or the line and
// the field), told once, the key keeps its default while every other key
// keeps the file's value, and no file changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileCell.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/ReadRefusals.h"
#include "platform/SettingsSection.h"
#include "settings/BasicSettings.h"
#include "settings/DetourSettings.h"
#include "settings/PulseSettings.h"
#include "settings/SpeedSettings.h"
#include "settings/SpeedStore.h"
#include "settings/SpeedUses.h"
#include "support/TempDir.h"

using namespace smt::settings;
using smt::test::TempDir;
namespace platform = smt::platform;

namespace {

// What a damaged or hand-edited key holds.
const char* const kBadTexts[] = {"nan", "inf", "-inf", "1e400", "ten", "12abc", "0x10"};

// Every value the settings loaders give, keyed "[Section] key".
using Values = std::map<std::string, double>;

Values LoadEverything(const std::string& dir) {
  Values v;
  const BasicSettings b = LoadBasicSettings(dir);
  for (const auto& f : BasicFields()) v["[SetBasicConfig] " + std::string(f.key)] = f.Get(b);
  const PulseSettings p = LoadPulseSettings(dir);
  for (const auto& f : PulseFields()) v["[SetPulseConfig] " + std::string(f.key)] = p.*f.member;
  const DetourSettings d = LoadDetourSettings(dir);
  const std::string det = "[PositionLimitDetourConfig] ";
  v[det + "m_W_S_Detour_dX"] = d.m_W_S_Detour_dX;
  v[det + "m_W_S_Detour_dY"] = d.m_W_S_Detour_dY;
  v[det + "m_E_S_Detour_dX"] = d.m_E_S_Detour_dX;
  v[det + "m_E_S_Detour_dY"] = d.m_E_S_Detour_dY;
  v[det + "m_W_S_PositionLimitPositionDetour"] = d.m_W_S_PositionLimitPositionDetour;
  v[det + "m_E_S_PositionLimitPositionDetour"] = d.m_E_S_PositionLimitPositionDetour;
  v[det + "m_W_S_LessPosition_dX"] = d.m_W_S_LessPosition_dX;
  v[det + "m_W_S_LessPosition_dY"] = d.m_W_S_LessPosition_dY;
  v[det + "m_E_S_LessPosition_dX"] = d.m_E_S_LessPosition_dX;
  v[det + "m_E_S_LessPosition_dY"] = d.m_E_S_LessPosition_dY;
  v[det + "m_E_N_LessPosition_dX"] = d.m_E_N_LessPosition_dX;
  v[det + "m_E_N_LessPosition_dY"] = d.m_E_N_LessPosition_dY;
  const SpeedSettings s = LoadSpeedSettings(dir);
  for (const auto& f : SpeedSettingFields()) v["[SpeedTemplateConfig] " + std::string(f.key)] = s.*f.member;
  for (const std::string prefix : SpeedUsePrefixes()) {
    const SpeedRecord r = LoadUsageSpeeds(dir, prefix);
    for (int a = 0; a < kSpeedAxisCount; ++a) {
      v["[" + prefix + "Config] " + prefix + ".m_Start_" + SpeedAxisKeys()[a]] = r[a].start;
      v["[" + prefix + "Config] " + prefix + ".m_Normal_" + SpeedAxisKeys()[a]] = r[a].normal;
    }
  }
  return v;
}

// A file in which every key holds a value of its own range other than the
// default, so that a key that falls back shows.
void WriteGoodSettings(const std::string& dir) {
  BasicSettings b;
  for (const auto& f : BasicFields()) {
    // Three quarters up the range: never the default of a key.
    double v = f.HasRange() ? (f.min + 3 * f.max) / 4 : 12.5;
    if (!f.IsDouble()) v = f.HasRange() ? static_cast<int>((f.min + 3 * f.max) / 4) : 7;
    if (f.HasRange() && f.min == 0 && f.max == 1) v = 1;
    f.Set(b, v);
  }
  b.m_CameraLens = 1;
  b.m_Calibrator2 = 0;  // no calibration loads in this test
  ASSERT_TRUE(SaveBasicSettings(dir, b));
  PulseSettings p;
  for (const auto& f : PulseFields()) p.*f.member = 123.5;
  ASSERT_TRUE(SavePulseSettings(dir, p));
  DetourSettings d{4.5, -6.5, 7.5, -8.5, 1, 1, 9.5, -10.5, 11.5, -12.5, 13.5, -14.5};
  ASSERT_TRUE(SaveDetourSettings(dir, d));
  SpeedSettings s;
  for (const auto& f : SpeedSettingFields()) s.*f.member = f.min + 1 <= f.max ? f.min + 1 : f.min;
  ASSERT_TRUE(SaveSpeedSettings(dir, s));
  SpeedRecord speeds;
  for (int a = 0; a < kSpeedAxisCount; ++a) speeds[a] = {10 + a, 100 + a};
  for (const std::string prefix : SpeedUsePrefixes()) ASSERT_TRUE(SaveUsageSpeeds(dir, prefix, speeds));
}

// The file's lines as (section, key, line index) of every key holding a number.
struct KeyLine {
  std::string section, key;
  size_t line;
};
std::vector<KeyLine> NumericKeys(const std::vector<std::string>& lines) {
  std::vector<KeyLine> keys;
  std::string section;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (!l.empty() && l.front() == '[') {
      section = l.substr(1, l.find(']') - 1);
      continue;
    }
    const auto eq = l.find('=');
    if (eq == std::string::npos) continue;
    if (platform::ParseCellNumber(l.substr(eq + 1), -1e300, 1e300)) keys.push_back({section, l.substr(0, eq), i});
  }
  return keys;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

}  // namespace

TEST(SettingsKeyTable, EveryNumericKeyRefusesWhatIsNoNumberAndKeepsEveryOtherKey) {
  TempDir good, empty, dir;
  WriteGoodSettings(good.str());
  platform::ClearProfileCache();
  const Values wanted = LoadEverything(good.str());
  const Values defaults = LoadEverything(empty.str());
  const std::string goodText = good.Read("config.ini");
  const std::vector<std::string> lines = Lines(goodText);
  const std::vector<KeyLine> keys = NumericKeys(lines);
  // Every key the loaders read is in the file and holds a number.
  ASSERT_EQ(keys.size(), wanted.size());
  platform::ScopedRecordingMessages messages;
  int refusals = 0;
  for (const KeyLine& k : keys) {
    const std::string name = "[" + k.section + "] " + k.key;
    ASSERT_TRUE(wanted.count(name)) << name << " is in the file but no loader reads it";
    for (const char* bad : kBadTexts) {
      SCOPED_TRACE(name + "=" + bad);
      std::vector<std::string> changed = lines;
      changed[k.line] = k.key + "=" + bad;
      const std::string text = Join(changed);
      dir.Write("config.ini", text);
      platform::ClearProfileCache();
      platform::ForgetReadRefusals();
      messages.service.Clear();
      const Values got = LoadEverything(dir.str());
      // Refused once, naming the file and the key, told in one box.
      const auto refused = platform::ReadRefusalsSoFar();
      ASSERT_EQ(refused.size(), 1u);
      EXPECT_EQ(refused[0].file, platform::ConfigPath(dir.str()));
      EXPECT_EQ(refused[0].where, name);
      EXPECT_EQ(refused[0].text, bad);
      const auto told = messages.service.Texts();
      ASSERT_EQ(told.size(), 1u);
      EXPECT_NE(told[0].find("config.ini"), std::string::npos);
      EXPECT_NE(told[0].find(k.key), std::string::npos);
      refusals += static_cast<int>(refused.size());
      // The key falls back to its default, every other key keeps its value.
      for (const auto& [key, value] : wanted) {
        if (key == name) EXPECT_EQ(got.at(key), defaults.at(key)) << key;
        else EXPECT_EQ(got.at(key), value) << key;
      }
      // Nothing was written.
      EXPECT_EQ(dir.Read("config.ini"), text);
    }
  }
  std::printf("config.ini: %zu numeric keys x %zu bad texts: %d refusals\n", keys.size(), std::size(kBadTexts),
              refusals);
}

// An empty key is a key not set yet (a new installation writes keys as the
// dialogs are first saved): it reads as its default without a word, and so
// does a key whose line is missing; every other key keeps the file's value.
TEST(SettingsKeyTable, EveryNumericKeyEmptyOrMissingReadsItsDefaultWithoutAWord) {
  TempDir good, empty, dir;
  WriteGoodSettings(good.str());
  platform::ClearProfileCache();
  const Values wanted = LoadEverything(good.str());
  const Values defaults = LoadEverything(empty.str());
  const std::vector<std::string> lines = Lines(good.Read("config.ini"));
  platform::ScopedRecordingMessages messages;
  platform::ForgetReadRefusals();
  for (const KeyLine& k : NumericKeys(lines)) {
    const std::string name = "[" + k.section + "] " + k.key;
    std::vector<std::string> blank = lines, missing = lines;
    blank[k.line] = k.key + "=";
    missing.erase(missing.begin() + static_cast<long>(k.line));
    for (const auto& changed : {blank, missing}) {
      SCOPED_TRACE(name + (changed.size() == lines.size() ? " empty" : " missing"));
      const std::string text = Join(changed);
      dir.Write("config.ini", text);
      platform::ClearProfileCache();
      const Values got = LoadEverything(dir.str());
      for (const auto& [key, value] : wanted) {
        if (key == name) EXPECT_EQ(got.at(key), defaults.at(key)) << key;
        else EXPECT_EQ(got.at(key), value) << key;
      }
      EXPECT_EQ(dir.Read("config.ini"), text);
    }
  }
  EXPECT_TRUE(platform::ReadRefusalsSoFar().empty());
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST(SettingsKeyTable, KeysWithARangeRefuseOnePastEachEndNamingTheRange) {
  TempDir good, dir;
  WriteGoodSettings(good.str());
  platform::ClearProfileCache();
  const std::vector<std::string> lines = Lines(good.Read("config.ini"));
  platform::ScopedRecordingMessages messages;
  struct Ranged {
    std::string section, key;
    double lo, hi;
    bool zeroIsUnset;
  };
  std::vector<Ranged> ranged;
  for (const auto& f : SpeedSettingFields())
    if (std::string_view(f.key) != "m_SpeedMenuCheck")
      ranged.push_back({"SpeedTemplateConfig", f.key, double(f.min), double(f.max), true});
  for (const auto& f : PulseFields()) ranged.push_back({"SetPulseConfig", f.key, kPulseMin, kPulseMax, true});
  for (const std::string prefix : SpeedUsePrefixes())
    ranged.push_back({prefix + "Config", prefix + ".m_Start_X", 0, double(kStoredSpeedMax), false});
  int refusals = 0;
  for (const Ranged& r : ranged) {
    for (double past : {r.lo - 1, r.hi + 1}) {
      if (past == 0 && r.zeroIsUnset) continue;  // 0 means "not set"
      std::vector<std::string> changed = lines;
      for (auto& l : changed)
        if (l.rfind(r.key + "=", 0) == 0) l = r.key + "=" + platform::FormatDouble(past, 0);
      dir.Write("config.ini", Join(changed));
      platform::ClearProfileCache();
      platform::ForgetReadRefusals();
      LoadEverything(dir.str());
      const auto refused = platform::ReadRefusalsSoFar();
      ASSERT_EQ(refused.size(), 1u) << r.key << "=" << past;
      EXPECT_EQ(refused[0].where, "[" + r.section + "] " + r.key);
      EXPECT_NE(refused[0].need.find(platform::RangeText(r.lo, r.hi)), std::string::npos) << refused[0].need;
      refusals += 1;
    }
  }
  std::printf("config.ini: %d ranged keys refused one past their ends\n", refusals);
}

TEST(SpeedFileCells, EverySpeedCellRefusesWhatIsNoSpeedAndTheFileKeepsEveryRow) {
  TempDir dir;
  // Two templates in three tiers.
  std::vector<std::string> rows;
  for (int tier = 0; tier < 3; ++tier)
    for (const char* name : {"Reset", "Fast"}) {
      TemplateCells r;
      r[0] = name;
      for (int a = 0; a < kSpeedAxisCount; ++a) r[a + 1] = SpeedCell(10 + tier + a, 100 + tier + a);
      rows.push_back(JoinTemplateCells(r));
    }
  const std::string useLine = "Reset\tFast\tFast\tFast\tFast\tFast\tFast\t";
  const char* const bad[] = {"nan / 5", "5 / inf", "1e400 / 5", "ten / 5", "12abc / 5", "0 / 5",
                             "5 / 100001", "-3 / 5", "5",     "",          "5 / 5 / 5", "2.5 / 5"};
  platform::ScopedRecordingMessages messages;
  const auto fig = dir / "config_speed.fig";
  int refusals = 0;
  for (size_t row = 0; row < rows.size(); ++row) {
    for (int a = 0; a < kSpeedAxisCount; ++a) {
      for (const char* text : bad) {
        SCOPED_TRACE("line " + std::to_string(row + 1) + " axis " + SpeedAxisKeys()[a] + " \"" + text + "\"");
        std::vector<std::string> changed = rows;
        auto cells = SplitTemplateCells(changed[row]);
        cells[a + 1] = text;
        std::string joined;
        for (const auto& c : cells) joined += c + "\t";
        changed[row] = joined;
        platform::WriteListFile(fig, {useLine, changed});
        const std::string bytes = dir.Read("config_speed.fig");
        const auto content = platform::ReadListFile(fig, true);
        platform::ForgetReadRefusals();
        messages.service.Clear();
        SpeedStore store;
        store.BuildTemplateArrays(*content.leading, content.rows, DefaultSpeedNames(), 1);
        const auto refused = platform::ReadRefusalsSoFar();
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].file, "config_speed.fig");
        const std::string name = row % 2 == 0 ? "Reset" : "Fast";
        EXPECT_EQ(refused[0].where, "line " + std::to_string(row + 1) + ", field \"" + name + ": " +
                                        SpeedAxisKeys()[a] + "\"");
        EXPECT_EQ(messages.service.Texts().size(), 1u);
        refusals += 1;
        // Every row goes back to the file as it came; the file is untouched.
        EXPECT_EQ(store.StoredRows(), changed);
        EXPECT_EQ(dir.Read("config_speed.fig"), bytes);
        // The damaged template gives no speeds in its tier; the other
        // template and the other tiers give theirs.
        const int tier = static_cast<int>(row / 2) + 1;
        const auto tiers = store.Get()->tiers;
        EXPECT_FALSE(FindTemplateSpeeds(tiers, tier, name).has_value());
        const std::string other = name == "Reset" ? "Fast" : "Reset";
        ASSERT_TRUE(FindTemplateSpeeds(tiers, tier, other).has_value());
        EXPECT_EQ((*FindTemplateSpeeds(tiers, tier, other))[a].start, 10 + tier - 1 + a);
        const int otherTier = tier == 1 ? 2 : 1;
        ASSERT_TRUE(FindTemplateSpeeds(tiers, otherTier, name).has_value());
      }
    }
  }
  std::printf("config_speed.fig: %zu rows x %d cells x %zu bad texts: %d refusals\n", rows.size(), kSpeedAxisCount,
              std::size(bad), refusals);
}
