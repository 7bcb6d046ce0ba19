// The feeder CSV exchange: file form, tray rebuilding, name translation and
// the refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "feeder/FeederCsv.h"
#include "platform/FileIo.h"
#include "platform/MessageService.h"
#include "platform/TextCodec.h"

using namespace smt::feeder;

namespace {

FeederNameTables Names(int language) {
  FeederNameTables t = BuiltInNameTables(language);
  const char* en[9] = {"IntegrationFeed", "AutoFeed", "VibrationFeed", "GridBox", "0402", "48", "DragHand", "CL_DIP", "GRID_DIP"};
  for (int m = 0; m < 9; ++m) t.feed[static_cast<size_t>(9 + m)] = t.feed[static_cast<size_t>(18 + m)] = en[m];
  return t;
}

std::array<std::string, kFeederCells> Titles() {
  std::array<std::string, kFeederCells> t;
  for (int i = 0; i < kFeederCells; ++i) t[static_cast<size_t>(i)] = "标题" + std::to_string(i);
  return t;
}

struct TempDir {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("feeder-csv-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  TempDir() { std::filesystem::create_directories(path); }
  ~TempDir() { std::filesystem::remove_all(path); }
  static inline int counter = 0;
};

// Cell c of a data line: its own number, in range for the cell (the head,
// the pick height and the XY accuracy have narrow ranges).
std::string CellText(int c) {
  if (c == kCellHead) return "1";
  if (c == kCellPickHeight) return "-22";
  if (c == kCellPrecisionXY) return "7";
  return std::to_string(c);
}

FeederRow Row(const std::string& number, const std::string& mode, const std::string& speed) {
  FeederCells r;
  for (size_t c = 0; c < r.size(); ++c) r[c] = CellText(static_cast<int>(c));
  r[0] = number;
  r[kCellCamera] = "Yes/相机1";
  r[kCellFeedMode] = mode;
  r[kCellSpeed] = speed;
  return r;
}

void OneGroup(FeederTable& t, std::vector<FeederRow> rows, std::vector<TrayRecord> trays) {
  t.AddGroup("A", "");
  t.SetCurrentName("A");
  t.ShowGroupInList("A", Names(0));
  t.ReplaceCurrentRows(std::move(rows), std::move(trays));
}

std::string ReadGbk(const std::filesystem::path& p) {
  const auto bytes = smt::platform::ReadWholeFile(p);
  return smt::platform::GbkToUtf8(std::string(bytes.begin(), bytes.end()));
}

}  // namespace

TEST(FeederCsv, ExportWritesTitlesCellsAndTrayFieldsInGbkWithCrLf) {
  TempDir dir;
  FeederTable t;
  TrayRecord tray;
  tray.rows = 3;
  tray.cols = 4;
  tray.rowSerial = -1;
  tray.colSerial = 2;
  tray.rowSpace = 1.25;
  OneGroup(t, {Row("G1", "托盘", "No/复位速度")}, {tray});
  const auto path = dir.path / "feed-.csv";
  EXPECT_EQ(ExportFeederCsv(t, Titles(), path), CsvExportResult::Written);
  const std::string text = ReadGbk(path);
  const size_t firstLine = text.find("\r\n");
  ASSERT_NE(firstLine, std::string::npos);
  const std::string header = text.substr(0, firstLine);
  EXPECT_TRUE(header.starts_with("标题0,标题1,")) << header;
  EXPECT_TRUE(header.ends_with(",标题29,row,col,rowSerial,colSerial,rowSpace,colSpace")) << header;
  EXPECT_NE(text.find("Yes/相机1,"), std::string::npos);
  EXPECT_NE(text.find(",29,3,4,0,2,1.2500,0.0000\r\n"), std::string::npos);
  // The next row of -1 was written as 0 and is 0 in the record now.
  EXPECT_EQ(t.CurrentTray(0)->rowSerial, 0);
}

TEST(FeederCsv, ImportRebuildsTrayCellsFromTheNextPosition) {
  const std::string text =
      "h\r\nG1,1,2,3,4,5,6,7,8,9,1,11,No/c,No/0/0,托盘,15,16,17,18,19,20,21,-22,No/复位速度,24,25,26,7,28,29,3,3,1,2,"
      "1.5000,2.0000\r\n";
  std::vector<FeederRow> rows;
  std::vector<TrayRecord> trays;
  ParseFeederCsv(text, Names(0), rows, trays);
  ASSERT_EQ(rows.size(), 1u);
  const TrayRecord& t = trays[0];
  EXPECT_EQ(t.rows, 3);
  EXPECT_EQ(t.cols, 3);
  EXPECT_DOUBLE_EQ(t.colSpace, 2.0);
  const std::vector<std::string> expected = {"No/1", "No/2", "No/3", "No/4", "No/5", "Yes/6", "No/7", "No/8", "Yes/9"};
  EXPECT_EQ(t.cells, expected);
  EXPECT_EQ(rows[0].Cell(kCellFeedMode), "托盘");
  EXPECT_EQ(rows[0].Cell(29), "29");
}

TEST(FeederCsv, NamesFollowTheProgramLanguageAndUnknownNamesStayEmpty) {
  struct Case {
    std::string mode, speed, wantMode, wantSpeed;
  };
  const std::vector<Case> cases = {
      {"IntegrationFeed", "Yes/Reset speed", "集中飞达", "Yes/复位速度"},
      {"CL_DIP", "No/Reset speed", "", "No/复位速度"},
      {"自动飞达", "nothing", "自动飞达", ""},
      {"whatever", "No/unknown", "", ""},
  };
  for (const auto& c : cases) {
    std::string line = "W1";
    for (int i = 1; i < 30; ++i) {
      line += ",";
      line += i == kCellFeedMode ? c.mode : i == kCellSpeed ? c.speed : CellText(i);
    }
    std::vector<FeederRow> rows;
    std::vector<TrayRecord> trays;
    ParseFeederCsv("header\n" + line + "\n", Names(0), rows, trays);
    ASSERT_EQ(rows.size(), 1u) << c.mode;
    EXPECT_EQ(rows[0].Cell(kCellFeedMode), c.wantMode) << c.mode;
    EXPECT_EQ(rows[0].Cell(kCellSpeed), c.wantSpeed) << c.speed;
    // A line without tray fields keeps cell 29 and gets a 1 x 1 tray.
    EXPECT_EQ(rows[0].Cell(29), "29");
    EXPECT_EQ(trays[0].rows, 1);
    EXPECT_EQ(trays[0].cells, std::vector<std::string>{"Yes/1"});
  }
}

TEST(FeederCsv, ExportThenImportReplacesOnlyTheCurrentGroup) {
  TempDir dir;
  FeederTable t;
  OneGroup(t, {Row("W1", "集中飞达", "No/复位速度"), Row("W2", "48", "Yes/贴装速度")}, {});
  t.AddGroup("other", "");
  const auto path = dir.path / "x.csv";
  ASSERT_EQ(ExportFeederCsv(t, Titles(), path), CsvExportResult::Written);
  const FeederGroup before = *t.CurrentGroup();
  t.ClearCurrentGroupRows();
  ASSERT_EQ(ImportFeederCsv(t, path, Names(0)), CsvImportResult::Imported);
  const FeederGroup after = *t.CurrentGroup();
  EXPECT_EQ(after.rows, before.rows);
  EXPECT_EQ(t.Groups()[1].RowCount(), 0);
}

TEST(FeederCsv, RefusalsTellTheOperator) {
  smt::platform::ScopedRecordingMessages messages;
  TempDir dir;
  FeederTable t;
  OneGroup(t, {Row("W1", "集中飞达", "No/a,b")}, {});
  // A comma in a cell: the file keeps what came before.
  const auto path = dir.path / "c.csv";
  EXPECT_EQ(ExportFeederCsv(t, Titles(), path), CsvExportResult::CommaInText);
  const std::string text = ReadGbk(path);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_NE(text.find("W1,1,2"), std::string::npos);
  // A comma in a title stops at the header.
  auto titles = Titles();
  titles[3] = "a,b";
  EXPECT_EQ(ExportFeederCsv(t, titles, path), CsvExportResult::CommaInText);
  EXPECT_EQ(ReadGbk(path), "标题0,标题1,标题2,");
  // No file can be created in a missing folder.
  EXPECT_EQ(ExportFeederCsv(t, Titles(), dir.path / "missing" / "f.csv"), CsvExportResult::CannotCreate);
  // A file with the header alone empties the group.
  std::ofstream(dir.path / "empty.csv") << "only a header\r\n";
  EXPECT_EQ(ImportFeederCsv(t, dir.path / "empty.csv", Names(0)), CsvImportResult::Empty);
  EXPECT_EQ(t.CurrentRowCount(), 0);
  EXPECT_EQ(ImportFeederCsv(t, dir.path / "none.csv", Names(0)), CsvImportResult::CannotOpen);
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{", exists in the char!", ", exists in the char!", "The file is open!", "file is empty!"}));
}

TEST(FeederCsv, HugeTraySizesInAFileAreRefusedWithoutAllocating) {
  std::string line = "G1";
  for (int i = 1; i < 30; ++i) line += "," + CellText(i);
  line += ",100000,100000,0,0,1,1";
  std::vector<FeederRow> rows;
  std::vector<TrayRecord> trays;
  // A tray side beyond what the tray dialog allows does not fit its field:
  // refused, not cut to the largest side.
  const std::string why = ParseFeederCsv("h\n" + line + "\n", Names(0), rows, trays);
  EXPECT_NE(why.find("line 2:"), std::string::npos) << why;
  EXPECT_NE(why.find("\"tray rows\""), std::string::npos) << why;
  EXPECT_TRUE(trays.empty());
  EXPECT_TRUE(rows.empty());
}

// An 8 KB file of 100 rows that each ask for a 1000 x 1000 tray: refused
// with the file and line named, the group keeps its rows.
TEST(FeederCsv, TraysPastWhatOneFileMayAskForRefuseTheFile) {
  TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
  std::string text = "header\r\n";
  for (int r = 0; r < 100; ++r) {
    std::string line = "W" + std::to_string(r + 1);
    for (int i = 1; i < 30; ++i) line += "," + CellText(i);
    text += line + ",1000,1000,0,0,1,1\r\n";
  }
  std::ofstream(dir.path / "big.csv") << text;
  FeederTable t;
  const int before = t.CurrentRowCount();
  EXPECT_EQ(ImportFeederCsv(t, dir.path / "big.csv", Names(0)), CsvImportResult::Refused);
  EXPECT_EQ(t.CurrentRowCount(), before);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  const std::string msg = messages.service.Texts()[0];
  EXPECT_NE(msg.find("big.csv"), std::string::npos);
  EXPECT_NE(msg.find("line 3:"), std::string::npos) << msg;  // the second data row passes the bound
}

TEST(FeederCsv, NonFiniteOrHugeTraySpacingRefusesTheFileNamingLineAndField) {
  for (const std::string spacing : {"nan", "inf", "1e300"}) {
    std::string line = "W1";
    for (int i = 1; i < 30; ++i) line += "," + CellText(i);
    line += ",2,2,0,0," + spacing + ",1";
    std::vector<FeederRow> rows;
    std::vector<TrayRecord> trays;
    const std::string why = ParseFeederCsv("h\n" + line + "\n", Names(0), rows, trays);
    EXPECT_NE(why.find("line 2:"), std::string::npos) << spacing;
    EXPECT_NE(why.find("\"" + spacing + "\""), std::string::npos) << why;
    EXPECT_TRUE(rows.empty());
  }
}

// A feeder number names the feeder's template file: one that is no file
// name (a path, "..", a character files cannot hold) refuses the file,
// naming the line and the field, so nothing can later be written outside
// the template folder.
TEST(FeederCsv, AFeederNumberThatIsNoFileNameRefusesTheFile) {
  for (const std::string number : {"../../outside/W1", "W1/..", "..", "W:1", "W\\1"}) {
    std::string line = number;
    for (int i = 1; i < 30; ++i) line += "," + CellText(i);
    line += ",1,1,0,0,1,1";
    std::vector<FeederRow> rows;
    std::vector<TrayRecord> trays;
    const std::string why = ParseFeederCsv("h\nW2" + line.substr(number.size()) + "\n" + line + "\n", Names(0), rows, trays);
    EXPECT_NE(why.find("line 3:"), std::string::npos) << number << ": " << why;
    EXPECT_NE(why.find("feeder number \"" + number + "\""), std::string::npos) << why;
    EXPECT_TRUE(rows.empty()) << number;
  }
}
