#include <gtest/gtest.h>

#include "platform/ListFile.h"
#include "platform/SettingsSection.h"
#include "settings/SpeedStore.h"
#include "settings/SpeedTemplateEditor.h"
#include "support/TempDir.h"

using namespace smt::settings;
using smt::test::TempDir;

namespace {

std::string Row(const std::string& name, int start, int normal) {
  std::string s = name + "\t";
  for (int a = 0; a < 16; ++a) s += SpeedCell(start + a, normal + a) + "\t";
  return s;
}

// count templates: names "T0".., high speeds 100.., medium 50.., low 10..
std::vector<std::string> Rows(int count) {
  std::vector<std::string> rows;
  for (int tier = 0; tier < 3; ++tier)
    for (int i = 0; i < count; ++i) rows.push_back(Row("T" + std::to_string(i), 100 - 40 * tier + i, 200 - 80 * tier));
  return rows;
}

const SpeedNameTable& Names() { return DefaultSpeedNames(); }

}  // namespace

TEST(SpeedTemplatesBuild, TiersFromRowsAndBackByteForByte) {
  auto built = BuildTemplateArrays(Rows(3), Names(), 0);
  EXPECT_TRUE(built.warning.empty());
  ASSERT_EQ(built.tiers.Count(), 3);
  EXPECT_EQ(built.tiers.medium[1].Name(), "T1");
  EXPECT_EQ(built.tiers.low[2].ShownCells()[1], "22 / 40");
  EXPECT_EQ(WriteTemplateRows(built.tiers), Rows(3));

  // The whole file round trip, leading use line included.
  TempDir dir;
  smt::platform::ListFileContent content{std::string("T0\tT1\t\t\t\t\t\t"), Rows(2)};
  smt::platform::WriteListFile(dir / "config_speed.fig", content);
  const std::string bytes = dir.Read("config_speed.fig");
  auto read = smt::platform::ReadListFile(dir / "config_speed.fig", true);
  SpeedStore store;
  store.BuildTemplateArrays(*read.leading, read.rows, Names(), 0);
  smt::platform::WriteListFile(dir / "again.fig", {store.StoredUseLine(), store.StoredRows()});
  EXPECT_EQ(dir.Read("again.fig"), bytes);
}

TEST(SpeedTemplatesBuild, CountNotAMultipleOfThreeIsReportedAndKept) {
  auto rows = Rows(2);
  rows.push_back(Row("stray", 1, 1));  // N = 7
  auto built = BuildTemplateArrays(rows, Names(), 0);
  EXPECT_EQ(built.tiers.Count(), 2);
  EXPECT_EQ(built.tiers.low[1].Name(), "T1");
  EXPECT_FALSE(built.warning.empty());
  EXPECT_EQ(WriteTemplateRows(built.tiers), rows);  // no row lost on the next save

  EXPECT_EQ(BuildTemplateArrays({}, Names(), 0).tiers.Count(), 0);
  EXPECT_TRUE(WriteTemplateRows(SpeedTiers{}).empty());
}

TEST(SpeedTemplatesBuild, BuiltInNamesFollowTheLanguageAndShortRowsStayEmpty) {
  std::vector<std::string> rows = {"Reset speed\t1 / 2\t", "Reset speed\t", "复位速度\t"};
  auto zh = BuildTemplateArrays(rows, Names(), 0);
  EXPECT_EQ(zh.tiers.high[0].Name(), "复位速度");
  EXPECT_EQ(zh.tiers.high[0].ShownCells()[1], "1 / 2");
  EXPECT_EQ(zh.tiers.high[0].ShownCells()[2], "");
  EXPECT_FALSE(zh.tiers.high[0].Value().speeds[1].has_value());
  auto de = BuildTemplateArrays(rows, Names(), 2);
  EXPECT_EQ(de.tiers.low[0].Name(), "Reset speed");
  EXPECT_EQ(ParseUseLine("复位速度\tFast\t", Names(), 1)[0], "Reset speed");
  EXPECT_EQ(ParseUseLine("复位速度\tFast\t", Names(), 1)[1], "Fast");
  EXPECT_EQ(BuildUseLine(SpeedUseNames{}), "\t\t\t\t\t\t\t");
}

TEST(SpeedTemplatesLookup, ByActiveTier) {
  auto tiers = BuildTemplateArrays(Rows(2), Names(), 0).tiers;
  auto low = FindTemplateSpeeds(tiers, 3, "T1");
  ASSERT_TRUE(low.has_value());
  EXPECT_EQ((*low)[0], (SpeedPair{21, 40}));
  EXPECT_EQ((*low)[15], (SpeedPair{36, 55}));
  EXPECT_FALSE(FindTemplateSpeeds(tiers, 0, "T1").has_value());
  EXPECT_FALSE(FindTemplateSpeeds(tiers, 1, "t1").has_value());
  EXPECT_EQ(ParseSpeedCell("100 / 200"), (SpeedPair{100, 200}));
  EXPECT_EQ(SpeedCell(100, 200), "100 / 200");
  EXPECT_FALSE(ParseSpeedCell("100/200").has_value());
}

TEST(SpeedTemplateEditing, DerivationTable) {
  struct Case {
    int zoom, start, normal, wantStart, wantNormal;
  } cases[] = {{60, 100, 200, 60, 120}, {50, 1, 1, 1, 1}, {30, 3, 5, 1, 1}};
  for (const auto& c : cases) {
    SpeedTiers t;
    SpeedRecord rec;
    rec.fill({c.start, c.normal});
    const SpeedTemplateRow row(SpeedTemplate::Of("A", rec));
    t.high = t.medium = t.low = {row};
    SpeedTemplateEditor ed(t, {});
    ASSERT_EQ(ed.Derive(Tier::Low, c.zoom, false), EditResult::Done);
    EXPECT_EQ(ed.Tiers().low[0].Value().speeds[4], (SpeedPair{c.wantStart, c.wantNormal})) << c.zoom;
    EXPECT_EQ(ed.Tiers().medium[0].Value().speeds[4], (SpeedPair{c.start, c.normal}));
  }
  // The reset row stays when asked to.
  auto tiers = BuildTemplateArrays(Rows(2), Names(), 0).tiers;
  SpeedTemplateEditor ed(tiers, {});
  ed.Derive(Tier::Medium, 10, true);
  EXPECT_EQ(ed.Tiers().medium[0], tiers.medium[0]);
  EXPECT_EQ(ed.Tiers().medium[1].ShownCells()[1], "10 / 20");
  SpeedTemplateEditor empty(SpeedTiers{}, {});
  EXPECT_EQ(empty.Derive(Tier::Low, 50, false), EditResult::NoTemplates);
}

TEST(SpeedTemplateEditing, AddChangeRenameDelete) {
  auto tiers = BuildTemplateArrays(Rows(2), Names(), 0).tiers;
  SpeedUseNames uses{"T0", "T1", "T1"};
  SpeedTemplateEditor ed(tiers, uses);
  SpeedGrid grid = DefaultSpeedGrid();
  EXPECT_EQ(ed.Add("", grid), EditResult::EmptyName);
  EXPECT_EQ(ed.Add("T1", grid), EditResult::DuplicateName);
  EXPECT_EQ(ed.Add("t1", grid), EditResult::Done);  // case differs: accepted
  EXPECT_EQ(ed.Tiers().Count(), 3);
  EXPECT_EQ(ed.Tiers().low[2].Name(), "t1");  // appended at the end of every tier
  grid[0][0].start = 0;
  EXPECT_EQ(ed.Add("new", grid), EditResult::BadField);
  grid = DefaultSpeedGrid();

  // Row 0 needs the reset switch.
  std::string name;
  EXPECT_EQ(ed.SelectRow(Tier::High, 0, false, grid, name), EditResult::Nothing);
  ASSERT_EQ(ed.SelectRow(Tier::Medium, 1, false, grid, name), EditResult::Done);
  EXPECT_EQ(name, "T1");
  EXPECT_EQ(grid[1][0], (SpeedPair{61, 120}));

  // Renaming to an empty or existing name is refused and changes nothing.
  const SpeedTiers before = ed.Tiers();
  EXPECT_EQ(ed.Change("", 2, grid), EditResult::EmptyName);
  EXPECT_EQ(ed.Change("T0", 2, grid), EditResult::DuplicateName);
  EXPECT_EQ(ed.Tiers(), before);

  // A change on page 2 rewrites the medium speeds and renames everywhere.
  grid[1][0] = {7, 8};
  ASSERT_EQ(ed.Change("Fast", 2, grid), EditResult::Done);
  EXPECT_EQ(ed.Tiers().medium[1].ShownCells()[1], "7 / 8");
  EXPECT_EQ(ed.Tiers().high[1].Value().speeds, before.high[1].Value().speeds);
  EXPECT_EQ(ed.Tiers().low[1].Name(), "Fast");
  EXPECT_EQ(ed.Uses()[1], "Fast");
  EXPECT_EQ(ed.Uses()[2], "Fast");
  EXPECT_EQ(ed.SelectedRow(), -1);

  // Delete: needs a selection, refuses a template in use.
  EXPECT_EQ(ed.Delete(), EditResult::NoSelection);
  ed.SelectRow(Tier::High, 1, false, grid, name);
  EXPECT_EQ(ed.Delete(), EditResult::InUse);
  ed.SelectRow(Tier::High, 2, false, grid, name);
  EXPECT_EQ(ed.Delete(), EditResult::Done);
  EXPECT_EQ(ed.Tiers().Count(), 2);
  EXPECT_EQ(ed.Delete(), EditResult::NoSelection);
}

TEST(SpeedStoreOk, TierPageCopiesUsesAndNoTierRefusesEverything) {
  TempDir dir;
  SpeedStore store;
  store.BuildTemplateArrays("T0\tT1\tT1\tT0\tmissing\tT0\tT0\t", Rows(2), Names(), 0);
  store.LoadConfig(dir.str());
  store.LoadAllUsageSpeeds(dir.str());
  // Missing sections never give zero speeds.
  EXPECT_EQ(store.Record(SpeedUse::Reset)[0], (SpeedPair{1, 1}));
  auto s = store.Get();

  // Page 0: refused before anything is written.
  auto refused = store.CommitOk(dir.str(), 0, s->tiers, s->uses, s->settings);
  EXPECT_FALSE(refused.closed);
  ASSERT_EQ(refused.messageKeys.size(), 1u);
  EXPECT_EQ(refused.messageKeys[0], "SpeedTemplate.c_Message_01");
  EXPECT_FALSE(std::filesystem::exists(dir / "config_speed.fig"));
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));

  // Low page: the low rows go into records and sections; the missing one is reported.
  auto ok = store.CommitOk(dir.str(), 3, s->tiers, s->uses, s->settings);
  EXPECT_TRUE(ok.closed);
  EXPECT_EQ(ok.activeTier, 3);
  ASSERT_EQ(ok.messageKeys.size(), 1u);
  EXPECT_EQ(ok.messageKeys[0], "SpeedTemplate.c_Message_07");
  EXPECT_EQ(store.Get()->settings.m_SpeedMenuCheck, 3);
  EXPECT_EQ(store.Record(SpeedUse::Handle)[0], (SpeedPair{21, 40}));
  EXPECT_EQ(store.Record(SpeedUse::PickPart), store.Record(SpeedUse::Handle));
  EXPECT_EQ(store.Record(SpeedUse::VisualCorrection)[0], (SpeedPair{1, 1}));  // kept
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.str()), "m_Handle_SpeedConfig");
  EXPECT_EQ(sec.ReadText("m_Handle_Speed.m_Start_X"), "21");
  EXPECT_EQ(sec.ReadText("m_Handle_Speed.m_Normal_AutoWalk2"), "55");

  // A restart reads the same records and the active tier back.
  SpeedStore again;
  again.LoadConfig(dir.str());
  again.LoadAllUsageSpeeds(dir.str());
  EXPECT_EQ(again.Get()->settings.m_SpeedMenuCheck, 3);
  EXPECT_EQ(again.Record(SpeedUse::Handle), store.Record(SpeedUse::Handle));
  auto file = smt::platform::ReadListFile(dir / "config_speed.fig", true);
  EXPECT_EQ(file.rows, Rows(2));
  EXPECT_EQ(*file.leading, "T0\tT1\tT1\tT0\tmissing\tT0\tT0\t");
}

TEST(SpeedSettingsLoad, DefaultsAndFixUps) {
  TempDir dir;
  auto s = LoadSpeedSettings(dir.str());
  EXPECT_EQ(s.m_SpeedMenuCheck, 0);
  EXPECT_EQ(s.m_MediumSpeedZoom, 1);
  EXPECT_EQ(s.m_LowSpeedZoom, 1);
  EXPECT_EQ(s.m_AccelSpeed, 100);
  EXPECT_EQ(s.m_MaxSpeedLimitValue, 32);
  EXPECT_EQ(s.m_XY_RunFast, 1);
  EXPECT_EQ(s.m_S_RunFine, 1);
  dir.Write("config.ini", "[SpeedTemplateConfig]\nm_MaxSpeedLimitValue=5\n");
  TempDir other;
  other.Write("config.ini", "[SpeedTemplateConfig]\nm_MaxSpeedLimitValue=5\nm_A_RunFast=50000\n");
  // A stored value out of its range is refused: the default is used.
  auto t = LoadSpeedSettings(other.str());
  EXPECT_EQ(t.m_MaxSpeedLimitValue, 32);
  EXPECT_EQ(t.m_A_RunFast, 50000);
  t.m_MaxSpeedLimitValue = 5;
  EXPECT_EQ(FirstSpeedSettingOutOfRange(t), "m_MaxSpeedLimitValue");
  t.m_MaxSpeedLimitValue = 50;
  EXPECT_FALSE(FirstSpeedSettingOutOfRange(t).has_value());  // A fast 50000 is allowed
  t.m_XY_RunFast = 50000;
  EXPECT_EQ(FirstSpeedSettingOutOfRange(t), "m_XY_RunFast");
}

namespace {
// A template list as other set-ups write it: odd spellings of good speeds,
// a damaged cell, a row cut short, cells past the last axis, text after the
// last TAB, and a stray row after the three tiers.
std::vector<std::string> OddRows() {
  auto rows = Rows(2);
  std::string odd = "T0\t";
  for (int a = 0; a < 16; ++a) odd += (a % 3 == 0 ? " 007 / 0200 " : a % 3 == 1 ? "+7 /  200" : "07 / 200") + std::string("\t");
  rows[0] = odd;                                      // high T0: every axis 7 / 200, spelt three ways
  rows[2] = "T0\t9 / 9\t";                            // medium T0 cut short
  rows[3] = Row("T1", 60, 120);
  rows[3].replace(rows[3].find("61 / 121"), 8, "ten / 5");  // medium T1: a damaged cell
  rows[5] += "past\tthe axes\tafter the last TAB";     // low T1: extra cells and a tail
  rows.push_back("stray row without a TAB");
  return rows;
}
}  // namespace

TEST(SpeedTemplatesBuild, OddSpellingsDamagedAndShortRowsRoundTripByteForByte) {
  const auto rows = OddRows();
  auto built = BuildTemplateArrays(rows, Names(), 0);
  ASSERT_EQ(built.tiers.Count(), 2);
  // The odd spellings read as the speeds they spell.
  EXPECT_EQ(built.tiers.high[0].Value().Record(), std::optional<SpeedRecord>([] {
              SpeedRecord r;
              r.fill({7, 200});
              return r;
            }()));
  // The damaged cell and the short row give no speeds, never 0, and are told.
  EXPECT_FALSE(built.tiers.medium[1].Value().speeds[1].has_value());
  EXPECT_EQ(built.tiers.medium[1].ShownCells()[2], "ten / 5");
  EXPECT_EQ(built.tiers.medium[0].Value().speeds[0], (SpeedPair{9, 9}));
  EXPECT_FALSE(built.tiers.medium[0].Value().speeds[1].has_value());
  EXPECT_FALSE(FindTemplateSpeeds(built.tiers, 2, "T0").has_value());
  EXPECT_FALSE(FindTemplateSpeeds(built.tiers, 2, "T1").has_value());
  ASSERT_TRUE(FindTemplateSpeeds(built.tiers, 3, "T1").has_value());
  ASSERT_EQ(built.problems.size(), 2u);
  EXPECT_EQ(built.problems[0].field, "T0: cells");
  EXPECT_EQ(built.problems[1].line, 4);
  EXPECT_EQ(built.problems[1].field, "T1: Y");
  EXPECT_EQ(built.problems[1].text, "ten / 5");
  EXPECT_EQ(WriteTemplateRows(built.tiers), rows);
  // Rows without a single TAB, or empty, go back as they came.
  const std::vector<std::string> bare = {"no TAB at all", "", "T\t1 / 2\tx"};
  const auto b = BuildTemplateArrays(bare, Names(), 0);
  EXPECT_EQ(b.problems.size(), 3u);
  EXPECT_EQ(WriteTemplateRows(b.tiers), bare);

  // Through the file and the store, use line included.
  TempDir dir;
  smt::platform::WriteListFile(dir / "config_speed.fig", {std::string("T0\tT1\t\t\t\t\t\t"), rows});
  const std::string bytes = dir.Read("config_speed.fig");
  auto read = smt::platform::ReadListFile(dir / "config_speed.fig", true);
  SpeedStore store;
  int refused = 0;
  store.BuildTemplateArrays(*read.leading, read.rows, Names(), 0, &refused);
  EXPECT_EQ(refused, 2);
  smt::platform::WriteListFile(dir / "again.fig", {store.StoredUseLine(), store.StoredRows()});
  EXPECT_EQ(dir.Read("again.fig"), bytes);
}

TEST(SpeedTemplateEditing, EditingOneTemplateKeepsTheOthersTextAsRead) {
  const auto rows = OddRows();
  auto tiers = BuildTemplateArrays(rows, Names(), 0).tiers;
  SpeedTemplateEditor ed(tiers, {"T0", "T1"});
  SpeedGrid grid = DefaultSpeedGrid();
  std::string name;

  // High T0: one axis changed; the axes still holding their speeds keep
  // their spelling, the changed one is written in the usual form.
  ASSERT_EQ(ed.SelectRow(Tier::High, 1, true, grid, name), EditResult::Done);  // T1 first: other rows stay
  ASSERT_EQ(ed.SelectRow(Tier::High, 0, true, grid, name), EditResult::Done);
  EXPECT_EQ(grid[0][5], (SpeedPair{7, 200}));
  grid[0][5] = {8, 210};
  ASSERT_EQ(ed.Change("T0", 1, grid), EditResult::Done);
  auto written = WriteTemplateRows(ed.Tiers());
  auto cells = SplitTemplateCells(written[0]);
  auto readCells = SplitTemplateCells(rows[0]);
  ASSERT_EQ(cells.size(), readCells.size());
  for (size_t c = 0; c < cells.size(); ++c) EXPECT_EQ(cells[c], c == 6 ? "8 / 210" : readCells[c]) << c;
  for (size_t r = 1; r < rows.size(); ++r) EXPECT_EQ(written[r], rows[r]) << r;

  // Renaming T1 changes only its name cell in each tier; its damaged and
  // extra cells stay as read.
  ASSERT_EQ(ed.SelectRow(Tier::High, 1, false, grid, name), EditResult::Done);
  ASSERT_EQ(ed.Change("Slow", 0, grid), EditResult::Done);
  written = WriteTemplateRows(ed.Tiers());
  for (size_t r : {1u, 3u, 5u}) EXPECT_EQ(written[r], "Slow" + rows[r].substr(2)) << r;
  EXPECT_EQ(written[2], rows[2]);
  EXPECT_EQ(written[6], rows[6]);

  // Deriving the low tier rewrites only the speeds that change.
  ASSERT_EQ(ed.Derive(Tier::Low, 100, false), EditResult::Done);
  written = WriteTemplateRows(ed.Tiers());
  EXPECT_EQ(SplitTemplateCells(written[4])[1], "7 / 200");  // high T0's speeds
  EXPECT_EQ(SplitTemplateCells(written[4])[6], "8 / 210");
  EXPECT_EQ(SplitTemplateCells(written[5])[0], "Slow");
  EXPECT_EQ(SplitTemplateCells(written[5])[1], "101 / 200");
  EXPECT_TRUE(written[5].ends_with("\tpast\tthe axes\tafter the last TAB")) << written[5];
}
