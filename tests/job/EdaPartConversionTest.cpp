// Import list into placement rows: units, rotation, feeder matching, and
// the board the rows go to.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "job/EdaFileReaders.h"
#include "job/EdaPartConversion.h"
#include "job/ImportFileSettings.h"

using namespace smt::job;

namespace {

ImportRow Part(const std::string& d, const std::string& p, const std::string& x, const std::string& y,
               const std::string& r, const std::string& c, const std::string& s = "T",
               EdaUnitRule rule = EdaUnitRule::AsWritten, EdaLengthUnit unit = EdaLengthUnit::Unstated) {
  ImportRow row;
  row.cells = {d, p, x, y, r, c, s};
  row.rule = rule;
  row.fileUnit = unit;
  row.sourceFile = "parts.txt";
  row.sourceLine = 7;
  ReadImportNumbers(row);  // as the file's reader does
  return row;
}

std::string Mm(const char* text, EdaUnitRule rule, EdaLengthUnit unit) {
  return ImportCoordinateText(Part("R1", "0603", text, "0", "0", "", "T", rule, unit), kImpX);
}

std::string Turn(const char* text) { return ImportRotationText(Part("R1", "0603", "0", "0", text, "")); }

std::tm When() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 9;
  t.tm_min = 7;
  t.tm_sec = 2;
  return t;
}

TEST(EdaPartConversion, CoordinatesBecomeMillimetres) {
  using U = EdaUnitRule;
  using L = EdaLengthUnit;
  struct C {
    const char* text;
    U rule;
    L unit;
    const char* mm;
  } cases[] = {
      {"12.5mm", U::Suffix, L::Unstated, "12.5000"},   {"100mil", U::Suffix, L::Unstated, "2.5400"},
      {"-3mm", U::Suffix, L::Unstated, "-3.0000"},     {"7.25", U::Suffix, L::Unstated, "7.25"},
      {"1000", U::Thou, L::Unstated, "25.4000"},       {"7.25", U::AsWritten, L::Unstated, "7.25"},
      // a unit written on the number counts in every format
      {"12.5mm", U::AsWritten, L::Unstated, "12.5000"}, {"100mil", U::AsWritten, L::Unstated, "2.5400"},
      // a unit the file states counts for bare numbers
      {"255.905", U::AsWritten, L::Mil, "6.5000"},     {"1", U::Suffix, L::Inch, "25.4000"},
      {"5.5", U::Thou, L::Millimetre, "5.5"},          {"-0.001mil", U::Suffix, L::Unstated, "0.0000"},
      // the ends of the range, in each unit
      {"-10000", U::AsWritten, L::Unstated, "-10000"}, {"10000mm", U::Suffix, L::Unstated, "10000.0000"},
      {"393700mil", U::Suffix, L::Unstated, "9999.9800"}, {"-393.7", U::AsWritten, L::Inch, "-9999.9800"},
  };
  for (const C& c : cases) EXPECT_EQ(Mm(c.text, c.rule, c.unit), c.mm) << c.text;
}

// A cell that is no number, or a number outside its field's range once its
// unit is taken, refuses the row where it is read, naming the file, the
// line, the field and the range; no text is read as 0.
TEST(EdaPartConversion, NumbersThatDoNotFitAreRefusedWhereTheyAreRead) {
  using U = EdaUnitRule;
  using L = EdaLengthUnit;
  struct C {
    const char* x;
    const char* y;
    const char* rotation;
    U rule;
    L unit;
    const char* field;  // the reason begins with it ...
    const char* need;   // ... and says this
  } cases[] = {
      {"abcmm", "0", "0", U::Suffix, L::Unstated, "X", "is not a number: \"abcmm\""},
      {"nan", "0", "0", U::AsWritten, L::Unstated, "X", "is not a number: \"nan\""},
      {"0", "inf", "0", U::AsWritten, L::Unstated, "Y", "is not a number: \"inf\""},
      {"1e400", "0", "0", U::AsWritten, L::Unstated, "X", "is not a number"},
      {"12abc", "0", "0", U::AsWritten, L::Unstated, "X", "is not a number"},
      {"0", "0", "abc", U::AsWritten, L::Unstated, "rotation", "is not a number: \"abc\""},
      {"0", "0", "-nan", U::AsWritten, L::Unstated, "rotation", "is not a number"},
      // one past each end, in the file's own unit
      {"10000.0001", "0", "0", U::AsWritten, L::Unstated, "X", "is outside -10000..10000 mm: \"10000.0001\""},
      {"0", "-10000.0001mm", "0", U::Suffix, L::Unstated, "Y", "is outside -10000..10000 mm"},
      {"393701", "0", "0", U::Thou, L::Unstated, "X", "is outside -10000..10000 mm: \"393701\""},
      {"0", "394", "0", U::AsWritten, L::Inch, "Y", "is outside -10000..10000 mm"},
      {"0", "0", "3600.5", U::AsWritten, L::Unstated, "rotation", "is outside -3600..3600 degrees"},
      {"0", "0", "-3601", U::AsWritten, L::Unstated, "rotation", "is outside -3600..3600 degrees"},
  };
  for (const C& c : cases) {
    SCOPED_TRACE(std::string(c.x) + " " + c.y + " " + c.rotation);
    try {
      Part("R1", "0603", c.x, c.y, c.rotation, "", "T", c.rule, c.unit);
      ADD_FAILURE() << "taken";
    } catch (const EdaImportError& e) {
      EXPECT_EQ(e.File(), "parts.txt");
      EXPECT_EQ(e.Line(), 7);
      const std::string english = e.Reason().substr(e.Reason().find(" / ") + 3);
      EXPECT_EQ(english.rfind(std::string(c.field) + " ", 0), 0u) << e.Reason();
      EXPECT_NE(english.find(c.need), std::string::npos) << e.Reason();
    }
  }
}

TEST(EdaPartConversion, RotationIsBroughtIntoOneTurn) {
  const std::pair<const char*, const char*> cases[] = {
      {"-90", "270"}, {"360", "0"},      {"-360", "0"},   {"359.9", "359.9"}, {"-0.5", "359.5"},
      {"720", "0"},   {"450", "90"},     {"90.00", "90"}, {"22.5", "22.5"},
      {"-90.000000", "270"}, {"359.99999", "0"}, {"180.00", "180"}, {"3600", "0"}, {"-3599.5", "0.5"},
      {" +45 ", "45"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Turn(in), out) << in;
}

TEST(EdaPartConversion, FeederMatchingByOptions) {
  const std::vector<ImportFeederRow> feeders = {
      {"W1", "0603", "10k", "1", false},
      {"W2", "0603", "1k", "2", true},
      {"N5", "0805", "1k", "3", true},
  };
  struct C {
    int pack, value;
    const char* package;
    const char* comment;
    const char* feeder;  // nullptr: none
  } cases[] = {
      {0, 0, "0603", "10k", nullptr}, {1, 0, "0603", "1k", "W1"},  {0, 1, "0805", "1k", "W2"},
      {1, 1, "0805", "1k", "N5"},     {1, 1, "0402", "1k", nullptr}, {1, 0, "0603 ", "1k", nullptr},
      {0, 1, "0603", "10K", nullptr},
  };
  for (const C& c : cases) {
    const ImportFeederRow* f = MatchImportFeeder(feeders, c.package, c.comment, {c.pack, c.value});
    if (!c.feeder)
      EXPECT_EQ(f, nullptr) << c.package << "/" << c.comment;
    else
      EXPECT_TRUE(f && f->number == c.feeder) << c.package << "/" << c.comment;
  }
}

TEST(EdaPartConversion, RowsAreNumberedStampedAndMatched) {
  ImportList list;
  list.Append({Part("R1", "0603", "100mil", "200mil", "-90", "10k", "T", EdaUnitRule::Suffix),
               Part("C1", "0805", "1.5", "2.5", "360", "1u", "B"),
               Part("U1", "SOIC8", "3", "4", "90", "LM358", "Bottom")});
  const std::vector<ImportFeederRow> feeders = {{"W3", "0603", "x", "2", true}, {"E1", "0805", "y", "1", false}};
  std::vector<std::pair<int, int>> progress;
  const auto rows =
      BuildPlacementRows(list, feeders, {1, 0}, When(), [&](int d, int n) { progress.emplace_back(d, n); });
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<std::string> r0 = {"1",     "2.5400", "5.0800", "270", "R1", "", "0603", "1/Yes",
                                       "10k",   "W3",     "1/Yes",  "10k", "2",  "2024-3-5  9:7:2", "", ""};
  EXPECT_EQ(rows[0], r0);
  EXPECT_EQ(rows[1][kSmtFeeder], "E1");
  EXPECT_EQ(rows[1][kSmtVision], "0/No");
  EXPECT_EQ(rows[1][kSmtAngle], "0");
  // No feeder for the third part: not placed, no vision, feeder cells empty.
  EXPECT_EQ(rows[2][kSmtPlace], "0/No");
  EXPECT_EQ(rows[2][kSmtVision], "0/No");
  EXPECT_EQ(rows[2][kSmtFeeder], "");
  EXPECT_EQ(rows[2][11], "");
  EXPECT_EQ(rows[2][12], "");
  EXPECT_EQ(rows[2][kSmtSerial], "3");
  for (const auto& r : rows) EXPECT_EQ(r[kSmtTime], "2024-3-5  9:7:2");
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));

  // Both options off: nothing matches, whatever the feeders.
  for (const auto& r : BuildPlacementRows(list, feeders, {0, 0}, When())) {
    EXPECT_EQ(r[kSmtPlace], "0/No");
    EXPECT_EQ(r[kSmtVision], "0/No");
    EXPECT_EQ(r[kSmtFeeder], "");
  }
}

JobModel TwoBoards() {
  JobModel job;
  for (const char* name : {"A", "B"}) {
    PcbRecord rec;
    rec.m_strName = name;
    rec.m_Parts.push_back(PlacementFromStoredCells(std::vector<std::string>(kPlacementCells, "old")));
    job.pcbs.m_Records.push_back(rec);
  }
  return job;
}

TEST(EdaPartConversion, ImportReplacesOnlyTheCurrentBoardAndShowsIt) {
  ImportList list;
  list.Append({Part("R1", "0603", "1", "2", "0", "10k"), Part("R2", "0603", "3", "4", "0", "10k")});

  JobModel job = TwoBoards();
  job.pcbs.m_strCurPcbName = "B";
  job.ShowRecord(1);
  int notified = 0;
  job.onRowsChanged = [&](RowKind) { ++notified; };
  ASSERT_EQ(ImportPartRows(job, list, {}, {1, 1}, When()), ImportOutcome::Imported);
  EXPECT_EQ(job.pcbs.m_Records[1].PartCount(), 2);
  EXPECT_EQ(StoredPlacementCell(job.pcbs.m_Records[0].m_Parts[0], 0), "old");
  // The list shows the new rows, so storing it keeps them.
  ASSERT_EQ(job.placementRows.size(), 2u);
  EXPECT_EQ(notified, 1);
  job.StoreShownRows();
  EXPECT_EQ(StoredPlacementCell(job.pcbs.m_Records[1].m_Parts[1], kSmtName), "R2");

  // A current board that is not shown: its record changes, the list not.
  job.pcbs.m_strCurPcbName = "A";
  ASSERT_EQ(ImportPartRows(job, list, {}, {0, 0}, When()), ImportOutcome::Imported);
  EXPECT_EQ(job.pcbs.m_Records[0].PartCount(), 2);
  EXPECT_EQ(job.shownPcbName, "B");
}

TEST(EdaPartConversion, NothingChangesWithoutRowsOrWithoutABoard) {
  JobModel job = TwoBoards();
  job.pcbs.m_strCurPcbName = "A";
  EXPECT_EQ(ImportPartRows(job, ImportList{}, {}, {0, 0}, When()), ImportOutcome::EmptyList);
  ImportList list;
  list.Append({Part("R1", "0603", "1", "2", "0", "10k")});
  job.pcbs.m_strCurPcbName = "gone";
  EXPECT_EQ(ImportPartRows(job, list, {}, {0, 0}, When()), ImportOutcome::NoTargetBoard);
  job.pcbs.m_strCurPcbName = "";
  EXPECT_EQ(ImportPartRows(job, list, {}, {0, 0}, When()), ImportOutcome::NoTargetBoard);
  for (const auto& rec : job.pcbs.m_Records) EXPECT_EQ(StoredPlacementCell(rec.m_Parts[0], 0), "old");
}

TEST(ImportList, SortsByUtf16UnitsAndDeletesChosenRows) {
  ImportList list;
  list.Append({Part("a", "", "9", "0", "0", ""), Part("b", "", "-1.5", "0", "0", ""),
               Part("c", "", "10", "0", "0", ""), Part("d", "", "10", "0", "0", "")});
  list.SortByColumn(kImpX);
  std::string order;
  for (const auto& r : list.Rows()) order += r.Cell(kImpDesignator);
  EXPECT_EQ(order, "bcda");  // -1.5, 10, 10 (kept in order), 9

  // U+1F600 is a surrogate pair (D83D ...) and sorts before U+FF5E.
  EXPECT_LT(CompareImportListText("\xF0\x9F\x98\x80", "\xEF\xBD\x9E"), 0);
  EXPECT_LT(CompareImportListText("R1", "R10"), 0);
  EXPECT_EQ(CompareImportListText("R1", "R1"), 0);

  EXPECT_EQ(list.DeleteRows({}), 0);
  EXPECT_EQ(list.DeleteRows({0, 2, 17}), 2);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Row(0).Cell(kImpDesignator), "c");
  EXPECT_EQ(list.Row(1).Cell(kImpDesignator), "a");
}

TEST(ImportFileSettings, OptionsSurviveASaveAndMissingKeysReadAsZero) {
  const auto dir = std::filesystem::temp_directory_path() / ("smt_import_cfg_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_EQ(LoadImportFitOptions(dir.string()), (ImportFitOptions{0, 0}));
  ASSERT_TRUE(SaveImportFitOptions(dir.string(), {1, 0}));
  EXPECT_EQ(LoadImportFitOptions(dir.string()), (ImportFitOptions{1, 0}));
  ASSERT_TRUE(SaveImportFitOptions(dir.string(), {0, 1}));
  EXPECT_EQ(LoadImportFitOptions(dir.string()), (ImportFitOptions{0, 1}));
  std::filesystem::remove_all(dir);
}

}  // namespace
