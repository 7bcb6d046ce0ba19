// Number cells of the job file and its side files: every one is checked
// where the files are read. A damaged cell refuses the open with the file,
// the line and the field named, leaves the open job as it was and writes
// nothing. Every file the program writes reads back and saves again byte
// for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/CSMTDoc.h"
#include "job/EdaFileReaders.h"
#include "job/EdaImportList.h"
#include "job/EdaPartConversion.h"
#include "job/JobFile.h"
#include "job/JobFileError.h"
#include "job/JobModel.h"
#include "platform/MessageService.h"
#include "job/WorkRecords.h"
#include "job/JobFixtures.h"
#include "support/EdaSamples.h"

using namespace smt::job;
using namespace smt::job::testing;
namespace fs = std::filesystem;

namespace {

// One row of the lamp point table with every number cell filled.
std::string LampRow() {
  std::vector<std::string> c = {"平台1", "P1", "1", "10.0000", "20.0000", "5", "6", "1.0000", "2.0000", "3.0000",
                                "4.0000", "0.5000", "10", "20"};
  for (int g = 0; g < 3; ++g)
    for (const char* v : {"1.0000", "2.0000", "-1.0000", "-0.5000", "100", "0.5000", "200"}) c.push_back(v);
  c.resize(kLampCellCount);
  std::string s;
  for (const auto& x : c) s += x + "\t";
  return s + "\r\n";
}

enum class FileKind { Job, Dispense, Drill, Lamp };

const char* Ext(FileKind k) {
  switch (k) {
    case FileKind::Job: return ".smt";
    case FileKind::Dispense: return ".dis";
    case FileKind::Drill: return ".drill";
    case FileKind::Lamp: return ".txt";
  }
  return "";
}

// A number cell of one line of one file, and what the field allows.
struct NumberCell {
  FileKind kind;
  size_t line;  // 0-based among the file's lines
  size_t cell;
  std::string field;
  bool required;     // an empty cell is refused
  bool nonNegative;  // "-1" is refused
};

// Every number cell of the sample job (machine type `type`): each cell of
// the first line of each kind (board header of the current and of the older
// layout, placement line, dispensing line, drill line, lamp row); the lines
// after it go through the same reader.
std::vector<NumberCell> NumberCells(const JobFileContent& c, int type) {
  std::vector<NumberCell> out;
  // Job file: per board a header line, its grid lines, its placement lines.
  size_t at = 0;
  std::vector<std::string_view> cells;
  while (at < c.pcbLines.size()) {
    smt::platform::SplitTabCellViews(c.pcbLines[at], cells);
    struct H {
      size_t cell;
      const char* field;
      bool nonNegative;
    };
    const H header[] = {{2, "rows", true},
                        {3, "columns", true},
                        {4, "row pitch", false},
                        {5, "column pitch", false},
                        {6, "thickness", false},
                        {7, "origin X", false},
                        {8, "origin Y", false},
                        {9, "marks on", true},
                        {10, "Mark 1 X", false},
                        {11, "Mark 1 Y", false},
                        {12, "Mark 2 X", false},
                        {13, "Mark 2 Y", false},
                        {14, "Mark camera zoom", true},
                        {15, "image reversal", true},
                        {16, "Mark search box", true},
                        {17, "Mark diameter", true},
                        {18, "light contrast", true},
                        {19, "light brightness", true},
                        {20, "Mark repetitions", true},
                        {21, "Mark take time", true},
                        {22, "Mark 2 own light", true},
                        {23, "Mark 2 light contrast", true},
                        {24, "Mark 2 light brightness", true},
                        {25, "marks per board", true},
                        {29, "part count", true}};
    const bool firstBoard = at == 0;
    if (firstBoard)
      for (const H& h : header) out.push_back({FileKind::Job, at, h.cell, h.field, true, h.nonNegative});
    const int rows = std::stoi(std::string(cells[2]));
    const int parts = std::stoi(std::string(cells[29]));
    at += 1 + static_cast<size_t>(rows > 0 ? rows : 0);
    if (firstBoard && parts > 0) {
      out.push_back({FileKind::Job, at, 0, "serial", false, true});
      out.push_back({FileKind::Job, at, 1, "X", true, false});
      out.push_back({FileKind::Job, at, 2, "Y", true, false});
      out.push_back({FileKind::Job, at, 3, "angle", true, false});
    }
    at += static_cast<size_t>(parts);
  }
  for (size_t l = 0; c.dispenseLines && l < 1 && l < c.dispenseLines->size(); ++l) {
    out.push_back({FileKind::Dispense, l, 0, "serial", false, true});
    out.push_back({FileKind::Dispense, l, 1, "X", true, false});
    out.push_back({FileKind::Dispense, l, 2, "Y", true, false});
    out.push_back({FileKind::Dispense, l, 3, "Z", false, false});
    out.push_back({FileKind::Dispense, l, 5, "valve-open timing", false, true});
    out.push_back({FileKind::Dispense, l, 6, "valve-close timing", false, true});
    out.push_back({FileKind::Dispense, l, 7, "valve-close delay", false, true});
    out.push_back({FileKind::Dispense, l, 8, "bottom delay", false, true});
    out.push_back({FileKind::Dispense, l, 9, "suck-back time", false, true});
  }
  for (size_t l = 0; type == kMachineDrill && c.drillLines && l < 1 && l < c.drillLines->size(); ++l) {
    out.push_back({FileKind::Drill, l, 0, "serial", false, true});
    out.push_back({FileKind::Drill, l, 2, "diameter", false, true});
    out.push_back({FileKind::Drill, l, 3, "X", true, false});
    out.push_back({FileKind::Drill, l, 4, "Y", true, false});
    out.push_back({FileKind::Drill, l, 5, "Z", false, false});
    out.push_back({FileKind::Drill, l, 6, "depth", false, true});
    out.push_back({FileKind::Drill, l, 7, "feed per step", false, true});
    out.push_back({FileKind::Drill, l, 8, "lift height", false, true});
    out.push_back({FileKind::Drill, l, 9, "lift to top", false, true});
    for (size_t k = 10; k <= 13; ++k) out.push_back({FileKind::Drill, l, k, DrillFieldNames()[k], false, true});
  }
  if (type == kMachineLampDispenser && c.lampRows) {
    const char* names[] = {"check", "Mark X", "Mark Y", "offset X", "offset Y", "LED X", "LED Y",
                           "camera X", "camera Y", "Z", "start speed", "run speed"};
    const bool nonNeg[] = {true, false, false, false, false, false, false, false, false, false, true, true};
    // The check cell may be empty (a point that was never checked).
    for (size_t k = 0; k < 12; ++k) out.push_back({FileKind::Lamp, 0, k + 2, names[k], k != 0, nonNeg[k]});
    const char* dots[] = {"red glue", "silver glue 1", "silver glue 2"};
    const char* parts[] = {" X", " Y", " height", " valve open", " bottom delay", " valve close", " close delay"};
    const bool dotNonNeg[] = {false, false, false, false, true, true, true};
    for (size_t g = 0; g < 3; ++g)
      for (size_t k = 0; k < 7; ++k)
        out.push_back({FileKind::Lamp, 0, 14 + 7 * g + k, std::string(dots[g]) + parts[k], true, dotNonNeg[k]});
  }
  return out;
}

std::string ReplaceCell(const std::string& line, size_t cell, const std::string& text) {
  std::vector<std::string_view> cells;
  smt::platform::SplitTabCellViews(line, cells);
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) {
    out += i == cell ? text : std::string(cells[i]);
    out += '\t';
  }
  // What follows the last TAB (the lamp rows' line end) stays.
  const size_t last = line.rfind('\t');
  if (last != std::string::npos) out += line.substr(last + 1);
  return out;
}

std::vector<std::string>& LinesOf(JobFileContent& c, FileKind k) {
  switch (k) {
    case FileKind::Dispense: return *c.dispenseLines;
    case FileKind::Drill: return *c.drillLines;
    case FileKind::Lamp: return *c.lampRows;
    default: return c.pcbLines;
  }
}

// The sample job of a machine type in file form.
JobFileContent SampleContent(int type) {
  JobModel job = SampleJob();
  JobFileContent c = job.ToContent(type);
  if (type != kMachineDrill) c.drillLines.reset();
  if (type == kMachineLampDispenser) {
    c.lampRows = std::vector<std::string>(kLampRowCount, std::string("\r\n"));
    (*c.lampRows)[0] = LampRow();
  }
  return c;
}

std::vector<std::pair<fs::path, std::vector<uint8_t>>> FilesOf(const fs::path& job) {
  std::vector<std::pair<fs::path, std::vector<uint8_t>>> out;
  for (const char* ext : {".smt", ".dis", ".drill", ".txt"}) {
    const fs::path p = ext == std::string(".smt") ? job : SideFilePath(job, ext);
    if (fs::exists(p)) out.push_back({p, Bytes(p)});
  }
  return out;
}

struct BadValue {
  const char* text;
  const char* why;
};
const BadValue kBadValues[] = {{"nan", "not a number"}, {"inf", "infinite"},   {"1e400", "beyond a double"},
                               {"ten", "a word"},       {"12abc", "trailing letters"}, {"", "empty"},
                               {"-1", "negative"}};

bool Refused(const NumberCell& n, const std::string& v) {
  if (v.empty()) return n.required;
  if (v == "-1") return n.nonNegative;
  return true;
}

}  // namespace

// The file-cell table: every number cell of every file of the job (each
// machine type that has its own side file) replaced in turn by each bad
// value. A refused open names the file, the line and the field, keeps the
// job that was open and writes no file; a value the field takes opens.
TEST(JobCellTable, EveryNumberCellOfEveryFileRefusesBadValuesNamingFileLineAndField) {
  const fs::path dir = TempDir("celltable");
  int refusals = 0, opened = 0;
  for (int type : {0, kMachineDrill, kMachineLampDispenser}) {
    const JobFileContent base = SampleContent(type);
    const std::vector<NumberCell> table = NumberCells(base, type);
    ASSERT_FALSE(table.empty());
    for (const NumberCell& n : table) {
      for (const BadValue& bad : kBadValues) {
        SCOPED_TRACE("type " + std::to_string(type) + " " + Ext(n.kind) + " line " + std::to_string(n.line + 1) +
                     " field " + n.field + " = \"" + bad.text + "\" (" + bad.why + ")");
        JobFileContent damaged = base;
        auto& lines = LinesOf(damaged, n.kind);
        ASSERT_LT(n.line, lines.size());
        lines[n.line] = ReplaceCell(lines[n.line], n.cell, bad.text);
        const fs::path job = dir / "job.smt";
        for (const char* ext : {".dis", ".drill", ".txt"}) fs::remove(SideFilePath(job, ext));
        WriteJobFiles(job, damaged, type);
        const auto before = FilesOf(job);

        JobModel open = SampleJob(1);  // the job that is open when the operator tries
        const JobFileContent openBefore = open.ToContent(type);
        const JobFileNames names = JobFileNames::Of(job);
        // Both ways in: the lines read and then applied, and File Open's
        // own path that reads the board table straight from the bytes.
        const std::function<void()> ways[] = {
            [&] { open.ApplyContent(ReadJobFiles(job, type), type, names); },
            [&] {
              OpenedJobFiles o = OpenJobFiles(job, type, names);
              open.ApplyTable(std::move(o.table), o.sides, type, names);
            }};
        if (!Refused(n, bad.text)) {
          for (const auto& way : ways) EXPECT_NO_THROW(way());
          ++opened;
          open = SampleJob(1);
          continue;
        }
        for (const auto& way : ways) {
          try {
            way();
            ADD_FAILURE() << "the damaged cell was taken";
          } catch (const JobCellError& e) {
            const std::string file = n.kind == FileKind::Job ? "job.smt" : std::string("job") + Ext(n.kind);
            EXPECT_EQ(e.file(), file);
            EXPECT_EQ(e.line(), static_cast<int>(n.line + 1));
            EXPECT_EQ(e.field(), n.field);
            const std::string what = e.what();
            EXPECT_NE(what.find(file), std::string::npos) << what;
            EXPECT_NE(what.find("line " + std::to_string(n.line + 1)), std::string::npos) << what;
            EXPECT_NE(what.find("\"" + n.field + "\""), std::string::npos) << what;
          }
        }
        ++refusals;
        // Nothing lost, nothing written.
        EXPECT_EQ(open.ToContent(type), openBefore);
        EXPECT_EQ(FilesOf(job), before);
      }
    }
  }
  std::printf("refused %d damaged cells, opened %d cells holding values their field takes\n", refusals, opened);
}

// A cell that holds a number with blanks around it, a leading plus or an
// exponent is still a number; so are the values at the ends of a range.
TEST(JobCellTable, NumbersInEveryWrittenFormStillOpen) {
  const JobFileContent base = SampleContent(kMachineDrill);
  struct Case {
    FileKind kind;
    size_t cell;
    const char* text;
  };
  const size_t placement = 1 + 2 + 0;  // board 1: header, two grid lines, first part
  const Case cases[] = {{FileKind::Job, 1, " 12.5 "}, {FileKind::Job, 1, "+3"},   {FileKind::Job, 2, "1e2"},
                        {FileKind::Job, 3, "-3600"},  {FileKind::Job, 3, "3600"},  {FileKind::Job, 1, "-10000"},
                        {FileKind::Dispense, 3, "-255"}, {FileKind::Dispense, 3, "0"}, {FileKind::Drill, 2, "32"},
                        {FileKind::Drill, 10, "255"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Ext(c.kind)) + " cell " + std::to_string(c.cell) + " = \"" + c.text + "\"");
    JobFileContent content = base;
    auto& lines = LinesOf(content, c.kind);
    const size_t line = c.kind == FileKind::Job ? placement : 0;
    lines[line] = ReplaceCell(lines[line], c.cell, c.text);
    JobModel job;
    EXPECT_NO_THROW(job.ApplyContent(content, kMachineDrill));
  }
  // One past each end is refused.
  const std::pair<size_t, const char*> pastEnds[] = {{1, "-10000.5"}, {2, "10000.01"}, {3, "3600.01"}, {3, "-3601"}};
  for (const auto& [cell, text] : pastEnds) {
    JobFileContent content = base;
    content.pcbLines[placement] = ReplaceCell(content.pcbLines[placement], cell, text);
    JobModel job;
    EXPECT_THROW(job.ApplyContent(content, 0), JobCellError) << text;
  }
}

// Negative panel rows or columns and a negative part count are refused on
// open (they read as "no grid" / "no parts" before and the rows after them
// were taken for the next board).
TEST(JobCellTable, NegativeCountsAreRefusedOnOpen) {
  for (size_t cell : {2u, 3u, 29u}) {
    JobFileContent c = SampleContent(0);
    c.pcbLines[0] = ReplaceCell(c.pcbLines[0], cell, "-2");
    JobModel job;
    try {
      job.ApplyContent(c, 0);
      ADD_FAILURE() << "cell " << cell << " taken";
    } catch (const JobCellError& e) {
      EXPECT_EQ(e.line(), 1);
    }
  }
}

namespace {

// Writes `c`, opens it into a fresh job, saves that job elsewhere and
// compares every file byte for byte.
void ExpectRoundTrip(const JobFileContent& c, int type, const fs::path& dir, const std::string& name) {
  const fs::path a = dir / (name + "-a.smt"), b = dir / (name + "-b.smt");
  WriteJobFiles(a, c, type);
  JobModel job;
  std::vector<std::string> lamp;  // the lamp point table's rows (machine type 4)
  job.setLampRows = [&](const std::vector<std::string>& rows) { lamp = rows; };
  job.getLampRows = [&] { return lamp; };
  job.ApplyContent(ReadJobFiles(a, type), type, JobFileNames::Of(a));
  // File Save formats the records straight into the files' bytes: the same
  // bytes as the lines encoded.
  EXPECT_TRUE(job.EncodeFiles(type) == EncodeJobFiles(job.ToContent(type), type)) << name;
  WriteJobFiles(b, job.ToContent(type), type);
  for (const char* ext : {".smt", ".dis", ".drill", ".txt"}) {
    const fs::path pa = ext == std::string(".smt") ? a : SideFilePath(a, ext);
    const fs::path pb = ext == std::string(".smt") ? b : SideFilePath(b, ext);
    ASSERT_EQ(fs::exists(pa), fs::exists(pb)) << name << ext;
    if (fs::exists(pa)) {
      EXPECT_TRUE(Bytes(pa) == Bytes(pb)) << name << ext << " differs after open and save";
    }
  }
}

fs::path SamplesDir() { return smt::test::EdaSamplesDir(); }

}  // namespace

TEST(JobRoundTrip, EveryMachineTypesFilesSaveAgainByteForByte) {
  const fs::path dir = TempDir("roundtrip");
  for (int type : {0, 2, kMachineLampDispenser, kMachineDrill})
    ExpectRoundTrip(SampleContent(type), type, dir, "sample" + std::to_string(type));
}

TEST(JobRoundTrip, LargeGeneratedJobSavesAgainByteForByte) {
  const fs::path dir = TempDir("roundtrip-large");
  JobModel job = SampleJob(1800);  // 5400 parts on three boards
  for (int i = 0; i < 3000; ++i)
    job.dispenseRows.push_back(DispenseRowFromText(std::to_string(i + 1) + "\t" + FormatG(i * 0.125) + "\t" +
                                                   FormatG(-i * 0.5) + "\t-2.5\tYes\t1.5\t2\t10\t20\t30\t点\t\t\t\t\t"));
  ExpectRoundTrip(job.ToContent(kMachineDrill), kMachineDrill, dir, "large");
}

// A placement cell in any form a file may hold: the board record takes its
// value once, and File Open then File Save As gives the same bytes, whether
// the number's own formatting gives the cell's text or not (then the text is
// kept as it was read).
TEST(JobRoundTrip, PlacementCellsInEveryFormOpenAsValuesAndSaveAsRead) {
  const fs::path dir = TempDir("roundtrip-forms");
  const JobFileContent base = SampleContent(0);
  const size_t placement = 1 + 2 + 0;  // board 1: header, two grid lines, first part
  struct Case {
    size_t cell;
    const char* text;
    double value;  // what the record holds (serial, X, Y or angle); NAN: a text cell
  };
  const Case cases[] = {
      {1, "1.50", 1.5},      {1, "+3", 3},          {1, " 12.5 ", 12.5},  {1, "1e2", 100},     {1, "-0", -0.0},
      {1, "25.4000", 25.4},  {1, "0.1", 0.1},       {1, "-10000", -10000}, {2, "-0.000", 0},   {2, "123456.7", NAN},
      {2, "3.14159265358979", 3.14159265358979},    {3, "90.0", 90},       {3, "-3600", -3600}, {3, ".5", 0.5},
      {3, "5.", 5},          {0, "007", 7},         {0, "+5", 5},          {0, "", 0},          {0, "12", 12},
      {7, "1/Yes", NAN},     {7, "0/", NAN},        {7, "1/是", NAN},      {10, "1/Yes", NAN},  {4, "电阻 R1", NAN},
      {15, "x", NAN},        {14, "", NAN},
      // The head cell: a head number, or any other text kept as it was and
      // read as 0 (any head), never cut into an integer.
      {12, "3", 3},          {12, "", 0},           {12, "+2", 2},         {12, "007", 7},      {12, "abc", 0},
      {12, "1.5", 0},        {12, "-1", 0},         {12, "99999999999999999999", 0},
      // The feeder cell: read as a reference, written as it was spelt.
      {9, "W+3", NAN},       {9, "W012", NAN},      {9, " W1", NAN},       {9, "Feeder 4", NAN}, {9, "W99999999999", NAN},
      {9, "", NAN}};
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("cell " + std::to_string(c.cell) + " = \"" + c.text + "\"");
    JobFileContent content = base;
    content.pcbLines[placement] = ReplaceCell(content.pcbLines[placement], c.cell, c.text);
    const fs::path a = dir / ("a" + std::to_string(index) + ".smt"), b = dir / ("b" + std::to_string(index) + ".smt");
    ++index;
    WriteJobFiles(a, content, 0);
    JobModel job;
    CSMTDoc doc(job);
    doc.MachineType = [] { return 0; };
    if (c.cell == 2 && std::string(c.text) == "123456.7") {
      // Out of the field's range: refused, nothing opened.
      smt::platform::ScopedRecordingMessages messages;
      EXPECT_FALSE(doc.OnOpenDocument(a));
      continue;
    }
    ASSERT_TRUE(doc.OnOpenDocument(a));
    const PlacementRecord& r = job.pcbs.m_Records[0].m_Parts[0];
    const double held[] = {static_cast<double>(r.serial), r.x, r.y, r.angle};
    if (c.cell <= 3) {
      EXPECT_EQ(held[c.cell], c.value);
    }
    if (c.cell == 7) {
      EXPECT_EQ(r.place, std::string(c.text).rfind("1/", 0) == 0);
    }
    if (c.cell == 12) {
      EXPECT_EQ(r.head, c.value);
    }
    // The list shows the cell as the file holds it, and the board's rows
    // taken back from the list are saved as they were read.
    job.ShowRecord(0);
    if (c.cell != 7 && c.cell != 10) {
      EXPECT_EQ(job.placementRows[0].cells[c.cell], c.text);
    }
    ASSERT_TRUE(doc.SaveProject(b));
    EXPECT_TRUE(Bytes(a) == Bytes(b)) << "saved differently";
  }
}

// A number read in the plain form is written again from the text it was
// read from only while the record holds that same value, bit for bit: a
// changed value, or 0 where -0 was read, is formatted again with the cell's
// decimals. The shown cell and the job file's line agree with formatting
// the value afresh in every case, the value changed back included.
TEST(JobRoundTrip, APlainNumberIsWrittenFromItsTextOnlyWhileTheValueIsTheOneRead) {
  struct Case {
    int cell;
    const char* read;
    std::vector<double> values;  // set one after the other; the last is written
  } const cases[] = {
      {kSmtX, "1.50", {}},                  {kSmtX, "1.50", {2.25}},        {kSmtX, "1.50", {2.25, 1.5}},
      {kSmtX, "0.00", {-0.0}},              {kSmtX, "-0.00", {0.0}},        {kSmtY, "-12.345", {-12.3451}},
      {kSmtY, "3.14159265358979", {std::nextafter(3.14159265358979, 4.0)}}, {kSmtAngle, "90", {90.0}},
      {kSmtAngle, "90", {-90.0}},           {kSmtSerial, "12", {13}},       {kSmtSerial, "12", {13, 12}},
      {kSmtHead, "3", {4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("cell ") + std::to_string(c.cell) + " read as \"" + c.read + "\"");
    std::vector<std::string> cells = {"1", "1.5", "2.5", "90", "R1", "t", "0603", "1/Yes", "10k", "W3",
                                      "0/No", "10k", "1", "", "", ""};
    cells[static_cast<size_t>(c.cell)] = c.read;
    PlacementRecord r = PlacementFromStoredCells(cells);
    for (double v : c.values) {
      switch (c.cell) {
        case kSmtX: r.x = v; break;
        case kSmtY: r.y = v; break;
        case kSmtAngle: r.angle = v; break;
        case kSmtSerial: r.serial = static_cast<int>(v); break;
        case kSmtHead: r.head = static_cast<int>(v); break;
      }
    }
    const double held[] = {static_cast<double>(r.serial), r.x, r.y, r.angle};
    const double value = c.cell == kSmtHead ? static_cast<double>(r.head) : held[c.cell];
    const std::string formatted = CellNumberText(value, FormOfCell(c.read, c.cell != kSmtSerial));
    if (c.values.empty()) {
      EXPECT_EQ(formatted, c.read);
    }
    EXPECT_EQ(StoredPlacementCell(r, c.cell), formatted);
    // The job file's line, against the line of a record read from the
    // formatted text.
    cells[static_cast<size_t>(c.cell)] = formatted;
    PcbTable written, expected;
    for (PcbTable* t : {&written, &expected}) {
      t->m_strCurPcbName = "B";
      PcbRecord rec;
      rec.m_strName = "B";
      rec.m_Parts.push_back(t == &written ? r : PlacementFromStoredCells(cells));
      t->m_Records.push_back(std::move(rec));
    }
    const FileBytes a = EncodeJobTable(written), b = EncodeJobTable(expected);
    EXPECT_TRUE(std::ranges::equal(a.bytes(), b.bytes()));
  }
}

// The feeder cell's reference: the side letter and the whole number after
// it; anything else keeps its text and no number.
TEST(JobRoundTrip, FeederCellsReadAsSideAndNumberAndAreWrittenAsSpelt) {
  struct Case {
    const char* text;
    char side;
    int index;
  } const cases[] = {{"W12", 'W', 12},  {"N1", 'N', 1},   {"G30", 'G', 30}, {"W+3", 'W', 3},
                     {"W012", 'W', 12}, {"W", 'W', 0},    {"W12a", 'W', 0}, {"W-3", 'W', 0},
                     {" W1", 0, 0},     {"Feeder", 0, 0}, {"", 0, 0},       {"W9999999999", 'W', 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> cells(kPlacementCells);
    cells[kSmtFeeder] = c.text;
    const PlacementRecord r = PlacementFromCells(cells);
    EXPECT_EQ(r.feeder.Ref(), (FeederRef{c.side, c.index}));
    EXPECT_EQ(StoredPlacementCell(r, kSmtFeeder), c.text);
    std::string line;
    AppendStoredPlacement(line, r);
    EXPECT_EQ(SplitTabCells(line, kPlacementCells)[kSmtFeeder], c.text);
  }
  // A reference made in code is spelt side letter and number.
  EXPECT_EQ(FeederCell(FeederRef{'E', 7}).Text(), "E7");
  EXPECT_EQ(FeederCell(FeederRef{}).Text(), "");
}

// Dispensing and drill files whose numbers are spelt in any form the reader
// takes open and save again byte for byte.
TEST(JobRoundTrip, DispensingAndDrillCellsInEveryFormSaveAsRead) {
  const fs::path dir = TempDir("roundtrip-side-forms");
  JobFileContent c = SampleContent(kMachineDrill);
  c.dispenseLines = std::vector<std::string>{
      "1\t1.50\t2.0\t-0.50\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t",
      "+2\t 3 \t1e1\t\tNo\t\t0.25\t007\t+5\t\t点\t\t\t\t\t",
      "3\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t"};
  c.drillLines = std::vector<std::string>{
      "1\thole\t1.20\t10.0\t-4\t-1.0\t3\t0.50\t2\t1\t10\t30\t20\t40\t\t",
      "2\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t"};
  ExpectRoundTrip(c, kMachineDrill, dir, "side-forms");
}

// Dispensing and drill lines the rows do not hold whole (cells past the
// row's, text after the last TAB, a very long line) at the start, in the
// middle and at the end: opened, another row edited and saved, the file
// holds every line as read but the edited one. Judged by the files' bytes.
TEST(JobRoundTrip, SideFileLinesTheRowsDoNotHoldWholeSurviveAnEditOfAnotherRow) {
  const fs::path dir = TempDir("side-kept-lines");
  const std::vector<std::string> dis = {"1\t1.50\t2.0\t-0.50\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t",
                                        "2\t3\t10\t\tNo\t\t0.25\t7\t5\t\t点\t\t\t\t\t",
                                        "3\t4\t5\t\tNo\t\t0.25\t7\t5\t\tq\t\t\t\t\t"};
  const std::vector<std::string> drill = {"1\thole\t1.20\t10.0\t-4\t-1.0\t3\t0.50\t2\t1\t10\t30\t20\t40\t\t",
                                          "2\tpin\t1.00\t12.0\t-4\t-1.0\t3\t0.50\t2\t1\t10\t30\t20\t40\t\t",
                                          "3\tvia\t0.80\t14.0\t-4\t-1.0\t3\t0.50\t2\t1\t10\t30\t20\t40\t\t"};
  const struct {
    const char* name;
    std::string tail;
  } forms[] = {{"cells past the row's", "extra\t9\t"}, {"no last TAB", "tail"},
               {"a very long line", std::string(70000, 'x') + "\t"}};
  int files = 0;
  for (const auto& form : forms)
    for (size_t at = 0; at < 3; ++at) {
      SCOPED_TRACE(std::string(form.name) + " on line " + std::to_string(at + 1));
      JobFileContent c = SampleContent(kMachineDrill);
      c.dispenseLines = dis;
      c.drillLines = drill;
      (*c.dispenseLines)[at] += form.tail;
      (*c.drillLines)[at] += form.tail;
      const fs::path a = dir / "a.smt";
      WriteJobFiles(a, c, kMachineDrill);
      JobModel job;
      job.ApplyContent(ReadJobFiles(a, kMachineDrill), kMachineDrill, JobFileNames::Of(a));
      const size_t edited = at == 0 ? 2 : 0;
      job.dispenseRows[edited].cells[kDisNote] = "edited";
      job.drillRows[edited].cells[kDrillName] = "edited";
      WriteJobFiles(a, job.ToContent(kMachineDrill), kMachineDrill);
      const JobFileContent saved = ReadJobFiles(a, kMachineDrill);
      ASSERT_TRUE(saved.dispenseLines && saved.drillLines);
      std::vector<std::string> wantDis = *c.dispenseLines, wantDrill = *c.drillLines;
      wantDis[edited] = RowToText(job.dispenseRows[edited], kDispenseCells);
      wantDrill[edited] = RowToText(job.drillRows[edited], kDrillCells);
      EXPECT_EQ(*saved.dispenseLines, wantDis);
      EXPECT_EQ(*saved.drillLines, wantDrill);
      files += 2;
    }
  std::printf("[ figures  ] side files: %d files judged after an edit of another row\n", files);
}

// The shared design-tool exports imported into a board, saved, opened and
// saved again: the import writes only cells the reader takes.
TEST(JobRoundTrip, ImportedSampleBoardsOpenAndSaveAgainByteForByte) {
  const fs::path samples = SamplesDir();
  if (samples.empty() || !fs::is_directory(samples))
    GTEST_SKIP() << "shared design-tool samples not present (set SMT_EDA_SAMPLES to their folder)";
  const struct {
    const char* file;
    int format;
  } files[] = {{"allegro-txt/oscillator-place_txt-v1.txt", 7}, {"altium-csv/ledctrl-pick-place-mil.csv", 5},
               {"altium-old-txt/a24v5v-pick-place-midx-mil.txt", 0}, {"altium-txt/ledctrl-pick-place-mil.txt", 3},
               {"csv-generic/imageproc-eagle-CPL-milsuffix.csv", 4}, {"eagle-mnt/eat001.mnt", 8},
               {"eagle-mnt/eat001.mnb", 8}, {"easyeda/pdtrigger-PickAndPlace-utf16-tab.csv", 22},
               {"kicad-csv/trillium-Monolith-top-pos.csv", 10}, {"kicad-pos/nofishleft-kicad514-top.pos", 9},
               {"kicad-pos/openpnp-kicad2014-F.Cu.pos", 9}};
  const fs::path dir = TempDir("roundtrip-samples");
  int done = 0;
  for (const auto& f : files) {
    const fs::path path = samples / f.file;
    if (!fs::exists(path)) {
      std::printf("skipped, not present: %s\n", path.string().c_str());
      continue;
    }
    SCOPED_TRACE(f.file);
    ImportList list;
    list.Append(ReadEdaFile(f.format, path).rows);
    JobModel job;
    job.pcbs.m_Records.push_back(PcbRecord{});
    job.pcbs.m_Records[0].m_strName = "P";
    job.pcbs.m_strCurPcbName = "P";
    std::tm now{};
    now.tm_year = 126;
    now.tm_mday = 1;
    ASSERT_EQ(ImportPartRows(job, list, {}, {}, now), ImportOutcome::Imported);
    ASSERT_EQ(job.pcbs.m_Records[0].PartCount(), list.Count());
    std::string name = fs::path(f.file).stem().string();
    ExpectRoundTrip(job.ToContent(0), 0, dir, name);
    ++done;
  }
  std::printf("%d sample boards round-tripped\n", done);
}
