// The job file and its side files: exact bytes, round trips, side-file
// paths and the refusal of damaged files.
#include <gtest/gtest.h>

#include "core/MachineState.h"
#include "job/CSMTDoc.h"
#include "job/JobFile.h"
#include "job/JobFileError.h"
#include "job/JobFixtures.h"
#include "platform/Archive.h"
#include "platform/MessageService.h"
#include "platform/TextCodec.h"

using namespace smt::job;
using namespace smt::job::testing;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& p, const std::vector<uint8_t>& b) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// An 8-bit (untagged) archive string.
void Put8Bit(std::vector<uint8_t>& out, const std::string& raw) {
  out.push_back(static_cast<uint8_t>(raw.size()));
  out.insert(out.end(), raw.begin(), raw.end());
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

TEST(JobFileBytes, LayoutOfASmallJob) {
  JobFileContent c;
  c.curPcbName = "";
  c.pcbCount = 1;
  c.pcbLines = {"abc"};
  std::vector<uint8_t> expect = {0xFF, 0xFE, 0xFF, 0x00, 1, 0, 0, 0, 1, 0, 0, 0,
                                 0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0};
  EXPECT_EQ(EncodeJobFile(c), expect);
  EXPECT_EQ(ParseJobFile(expect), c);
  std::vector<uint8_t> rows = {2, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0x00, 0xFF, 0xFE, 0xFF, 0x01, 'x', 0};
  EXPECT_EQ(EncodeRowFile({"", "x"}), rows);
}

TEST(JobFileRoundTrip, SeveralBoardsWithSideFilesByteForByte) {
  auto dir = TempDir("roundtrip");
  for (int type : {0, kMachineLampDispenser, kMachineDrill}) {
    SCOPED_TRACE(type);
    JobModel job = SampleJob();
    std::vector<std::string> lamp(kLampRowCount, "");
    lamp[0] = "平台1\t1\t2\t";
    job.getLampRows = [&] { return lamp; };
    const JobFileContent first = job.ToContent(type);
    const fs::path a = dir / ("a" + std::to_string(type) + ".smt");
    const fs::path b = dir / ("b" + std::to_string(type) + ".smt");
    WriteJobFiles(a, first, type);

    JobModel loaded;
    std::vector<std::string> lampBack;
    loaded.setLampRows = [&](const std::vector<std::string>& r) { lampBack = r; };
    loaded.getLampRows = [&] { return lampBack; };
    loaded.ApplyContent(ReadJobFiles(a, type), type);
    EXPECT_EQ(loaded.pcbs.m_Records, job.pcbs.m_Records);
    EXPECT_EQ(loaded.pcbs.m_strCurPcbName, "B");
    EXPECT_EQ(loaded.shownPcbName, "B");
    EXPECT_EQ(loaded.placementRows, job.placementRows);
    EXPECT_EQ(loaded.dispenseRows, job.dispenseRows);
    WriteJobFiles(b, loaded.ToContent(type), type);

    for (const char* ext : {".smt", ".dis", ".drill", ".txt"}) {
      SCOPED_TRACE(ext);
      const fs::path fa = SideFilePath(a, ext), fb = SideFilePath(b, ext);
      ASSERT_EQ(fs::exists(fa), fs::exists(fb));
      const bool expected = std::string(ext) == ".smt" || std::string(ext) == ".dis" ||
                            (std::string(ext) == ".drill" && type == kMachineDrill) ||
                            (std::string(ext) == ".txt" && type == kMachineLampDispenser);
      EXPECT_EQ(fs::exists(fa), expected);
      if (expected) {
        EXPECT_EQ(Bytes(fa), Bytes(fb));
      }
    }
    if (type == kMachineLampDispenser) {
      EXPECT_EQ(lampBack, lamp);
    }
    if (type == kMachineDrill) {
      EXPECT_EQ(loaded.drillRows, job.drillRows);
    }
  }
}

TEST(JobFileRoundTrip, EightBitStringsReadAsTheirText) {
  // A job whose strings were stored in the 8-bit form (GBK text).
  const std::string name = smt::platform::Utf8ToGbk("板1");
  PcbRecord rec;
  rec.m_strName = "板1";
  rec.m_nRows = 0;
  rec.m_nCols = 0;
  rec.m_Parts.push_back(PlacementFromListRow(Placement(1, 2, 3, "0", "电容")));
  std::vector<uint8_t> bytes;
  Put8Bit(bytes, name);
  PutU32(bytes, 1);
  PutU32(bytes, 2);
  Put8Bit(bytes, smt::platform::Utf8ToGbk(PcbHeaderLine(rec)));
  Put8Bit(bytes, smt::platform::Utf8ToGbk(JoinTabCells(PlacementRowToStored(Placement(1, 2, 3, "0", "电容")))));
  auto dir = TempDir("eightbit");
  WriteBytes(dir / "old.smt", bytes);

  JobModel job;
  job.ApplyContent(ReadJobFiles(dir / "old.smt", 0), 0);
  ASSERT_EQ(job.pcbs.Count(), 1);
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "板1");
  EXPECT_EQ(job.pcbs.m_Records[0], rec);
  EXPECT_EQ(job.placementRows[0].cells[kSmtName], "电容");
  // Written again, it reads back the same and then stays byte-identical.
  WriteJobFiles(dir / "new.smt", job.ToContent(0), 0);
  JobModel again;
  again.ApplyContent(ReadJobFiles(dir / "new.smt", 0), 0);
  EXPECT_EQ(again.pcbs.m_Records, job.pcbs.m_Records);
  WriteJobFiles(dir / "new2.smt", again.ToContent(0), 0);
  EXPECT_EQ(Bytes(dir / "new.smt"), Bytes(dir / "new2.smt"));

  // Opened by File Open the old file asks nothing on close (a save would
  // rewrite it in the Unicode form, but nothing changed); an edit asks.
  smt::platform::ScopedRecordingMessages messages;
  JobModel opened;
  CSMTDoc doc(opened);
  doc.MachineType = [] { return 0; };
  ASSERT_TRUE(doc.OnOpenDocument(dir / "old.smt"));
  EXPECT_EQ(opened.pcbs.m_Records, job.pcbs.m_Records);
  EXPECT_TRUE(doc.CanCloseFrame());
  EXPECT_TRUE(messages.service.Texts().empty());
  opened.placementRows[0].cells[kSmtName] = "电感";
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Cancel);
  EXPECT_FALSE(doc.CanCloseFrame());
  EXPECT_EQ(messages.service.Texts().back(), CSMTDoc::SaveQuestion());
}

TEST(PcbHeaderLine, OldCurrentAndShortLayouts) {
  PcbRecord full;
  full.m_strName = "P";
  full.m_nRows = 0;
  full.m_dVisualZoom = 18;
  full.m_nLightContrast = 190;
  full.m_nMark2LightBrightness = 77;
  full.m_bEachMark = true;
  full.m_Parts.resize(4);
  const std::string current = PcbHeaderLine(full);
  EXPECT_EQ(CountTabs(current), kHeaderTabsCurrent);
  EXPECT_EQ(current.substr(current.size() - 8), "-\t-\t-\t4\t");

  struct Case {
    std::string line;
    int parts;
    double zoom;
    int contrast, mark2Bright;
    bool eachMark;
  };
  const std::string first14 = "P\t\t0\t1\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t1\t1\t2\t3\t4\t";
  const std::string old = first14 + "18.0000\t0\t2.0000\t1.0000\t190\t100\t3\t200\t0\t150\t77\t4\t";
  ASSERT_EQ(CountTabs(old), kHeaderTabsOld);
  const std::vector<Case> cases = {
      {current, 4, 18, 190, 77, true},
      {old, 4, 18, 190, 77, false},
      {first14 + "7\t", 7, 0, 0, 0, false},
      {first14 + "5\t6\tx", 6, 0, 0, 0, false},  // the last TAB-terminated field is the count
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    PcbRecord r;
    EXPECT_EQ(ParsePcbHeaderLine(c.line, r), c.parts);
    EXPECT_EQ(r.m_strName, "P");
    EXPECT_DOUBLE_EQ(r.m_dVisualZoom, c.zoom);
    EXPECT_EQ(r.m_nLightContrast, c.contrast);
    EXPECT_EQ(r.m_nMark2LightBrightness, c.mark2Bright);
    EXPECT_EQ(r.m_bEachMark, c.eachMark);
  }
  // An old-layout record, read and written again, takes the current layout.
  PcbTable t = PcbTable::FromLines("P", 1, {old, "", "", "", ""});
  EXPECT_EQ(CountTabs(t.SaveToLines()[0]), kHeaderTabsCurrent);
}

TEST(JobFileRows, RowsAreSplitIntoNoMoreCellsThanTheyHold) {
  std::string many;
  for (int i = 0; i < 40; ++i) many += "c" + std::to_string(i) + "\t";
  EXPECT_EQ(DispenseRowFromText(many).cells.size(), static_cast<size_t>(kDispenseCells));
  EXPECT_EQ(DispenseRowFromText(many).cells[14], "c14");
  EXPECT_EQ(DispenseRowFromText("1\t2").cells[1], "");  // text after the last TAB is ignored
  EXPECT_EQ(DispenseRowFromText("1\t2\t3\t4\tyes\t").Image(kDisEnable), kImgNo);
  // A grid line and a placement line longer than the record holds.
  PcbRecord r;
  r.m_nRows = 1;
  r.m_nCols = 1;
  r.m_Parts.resize(1);
  // The placement line's number cells hold numbers (the reader checks them).
  std::string manyPart = "1\t2\t3\t90\t";
  for (int i = 4; i < 40; ++i) manyPart += "c" + std::to_string(i) + "\t";
  PcbTable t = PcbTable::FromLines("", 1, {PcbHeaderLine(r), many, manyPart});
  EXPECT_EQ(t.m_Records[0].m_PanelGrid[0].size(), 2u);
  EXPECT_EQ(StoredPlacementCell(t.m_Records[0].m_Parts[0], 15), "c15");  // cells past the 16th are not kept
}

TEST(SideFilePath, ReplacesTheJobFilesOwnExtensionOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/jobs/board.smt", "/jobs/board.dis"},
      {"/jobs/a.smt/b.smt", "/jobs/a.smt/b.dis"},   // a folder named like a job
      {"/jobs/a.smt/b.SMT", "/jobs/a.smt/b.dis"},   // the extension in any case
      {"/jobs/CAP.Smt", "/jobs/CAP.dis"},
      {"/jobs/board.smt.bak", ""},
      {"/jobs/.smt", ""},
      {"board.smt", "board.dis"},
      {"/jobs/x.smtx", ""},
  };
  for (const auto& [job, dis] : cases) {
    SCOPED_TRACE(job);
    EXPECT_EQ(SideFilePath(job, ".dis").string(), dis);
  }
  EXPECT_EQ(SideFilePath("/j/a.b.smt", ".drill").string(), "/j/a.b.drill");
}

TEST(SideFiles, EmptiedListRemovesItsFileAndOpeningWithoutOneClearsTheList) {
  auto dir = TempDir("sidefiles");
  const fs::path p = dir / "job.smt";
  JobModel job = SampleJob();
  WriteJobFiles(p, job.ToContent(kMachineDrill), kMachineDrill);
  ASSERT_TRUE(fs::exists(dir / "job.dis"));
  ASSERT_TRUE(fs::exists(dir / "job.drill"));
  job.dispenseRows.clear();
  job.drillRows.clear();
  WriteJobFiles(p, job.ToContent(kMachineDrill), kMachineDrill);
  EXPECT_FALSE(fs::exists(dir / "job.dis"));
  EXPECT_FALSE(fs::exists(dir / "job.drill"));

  JobModel other = SampleJob();
  other.ApplyContent(ReadJobFiles(p, kMachineDrill), kMachineDrill);
  EXPECT_TRUE(other.dispenseRows.empty());
  EXPECT_TRUE(other.drillRows.empty());

  // Other machine types neither write nor read a drill or lamp file.
  JobModel plain = SampleJob();
  WriteJobFiles(p, plain.ToContent(0), 0);
  EXPECT_FALSE(fs::exists(dir / "job.drill"));
  EXPECT_FALSE(fs::exists(dir / "job.txt"));
  WriteBytes(dir / "job.drill", {1, 2, 3});  // damaged, but not read on type 0
  EXPECT_NO_THROW(ReadJobFiles(p, 0));
  EXPECT_THROW(ReadJobFiles(p, kMachineDrill), JobFileError);
}

TEST(DocumentSave, FailedSaveKeepsThePreviousJobFile) {
  smt::platform::ScopedRecordingMessages messages;
  auto dir = TempDir("failedsave");
  const fs::path p = dir / "job.smt";
  JobModel job = SampleJob();
  CSMTDoc doc(job);
  doc.MachineType = [] { return 0; };
  ASSERT_TRUE(doc.SaveProject(p));
  const auto before = Bytes(p);
  job.pcbs.m_Records[0].m_strNote = "changed";
  // The temporary file cannot be made: the save fails and says so.
  fs::create_directories(dir / ("job.smt.tmp" + std::to_string(::getpid())));
  EXPECT_FALSE(doc.SaveProject());
  EXPECT_EQ(Bytes(p), before);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find(p.string()), std::string::npos);
  EXPECT_TRUE(smt::CurrentMachine().saveProjectIdle.load());
}

// Damaged files: every one is refused with a message naming the file and
// the open job left exactly as it was.
TEST(DocumentOpen, DamagedFilesAreRefusedAndTheJobStays) {
  auto dir = TempDir("damaged");
  const fs::path good = dir / "good.smt";
  JobModel source = SampleJob(2);
  WriteJobFiles(good, source.ToContent(0), 0);
  const std::vector<uint8_t> bytes = Bytes(good);
  const std::vector<uint8_t> disBytes = Bytes(dir / "good.dis");

  struct Case {
    std::string what;
    std::vector<uint8_t> smt;
    std::optional<std::vector<uint8_t>> dis;
  };
  std::vector<Case> cases;
  // Truncated at every byte (every field boundary among them).
  for (size_t n = 0; n < bytes.size(); ++n)
    cases.push_back({"truncated at " + std::to_string(n), {bytes.begin(), bytes.begin() + static_cast<long>(n)}, {}});
  auto patched = [&](size_t at, std::vector<uint8_t> with) {
    auto b = bytes;
    std::copy(with.begin(), with.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  const size_t countsAt = 4 + 2 * 2 + 0;  // FF FE FF 01 'B' 00 -> current name "B"
  cases.push_back({"huge board count", patched(6, {0xFF, 0xFF, 0xFF, 0x7F}), {}});
  cases.push_back({"huge line count", patched(10, {0xFF, 0xFF, 0xFF, 0xFF}), {}});
  cases.push_back({"board count above the lines", patched(6, {9, 0, 0, 0}), {}});
  cases.push_back({"fewer boards than lines", patched(6, {2, 0, 0, 0}), {}});
  cases.push_back({"string length past the end", patched(14 + 3, {0xFF, 0xFF, 0xFF}), {}});
  cases.push_back({"wrong tag", patched(0, {0x41, 0x42, 0x43, 0x44}), {}});
  {
    auto b = bytes;
    b.push_back(0);
    cases.push_back({"trailing byte", b, {}});
  }
  cases.push_back({"foreign file", {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0}, {}});
  cases.push_back({"empty file", {}, {}});
  {
    // A header naming more placement rows than the file has.
    JobModel j = SampleJob(2);
    auto c = j.ToContent(0);
    c.pcbLines[0] = PcbHeaderLine(j.pcbs.m_Records[0]);
    c.pcbLines[0].replace(c.pcbLines[0].rfind("2\t"), 2, "99999999\t");
    cases.push_back({"part count beyond the lines", EncodeJobFile(c), {}});
    auto c2 = j.ToContent(0);
    c2.pcbLines[0].replace(c2.pcbLines[0].find("\t2\t3\t"), 5, "\t2\t100000\t");
    cases.push_back({"panel columns out of range", EncodeJobFile(c2), {}});
  }
  for (size_t n : {size_t{0}, size_t{3}, disBytes.size() - 1})
    cases.push_back({"dis truncated at " + std::to_string(n), bytes,
                     std::vector<uint8_t>(disBytes.begin(), disBytes.begin() + static_cast<long>(n))});
  {
    auto d = disBytes;
    d[0] = 0xFF;
    d[1] = 0xFF;
    cases.push_back({"dis huge count", bytes, d});
  }
  (void)countsAt;

  smt::platform::ScopedRecordingMessages messages;
  JobModel job = SampleJob(3);
  job.pcbs.m_strCurPcbName = "主板A";
  job.ApplyCurrentRecord();
  CSMTDoc doc(job);
  doc.MachineType = [] { return 0; };
  const auto records = job.pcbs.m_Records;
  const auto rows = job.placementRows;
  const auto dis = job.dispenseRows;
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path p = dir / ("bad" + std::to_string(index++) + ".smt");
    WriteBytes(p, c.smt);
    if (c.dis) WriteBytes(SideFilePath(p, ".dis"), *c.dis);
    messages.service.Clear();
    EXPECT_FALSE(doc.OnOpenDocument(p));
    ASSERT_EQ(messages.service.Texts().size(), 1u);
    const std::string named = c.dis ? SideFilePath(p, ".dis").string() : p.string();
    EXPECT_NE(messages.service.Texts()[0].find("\"" + named + "\""), std::string::npos) << messages.service.Texts()[0];
    // In the operator's terms: no byte offsets or counts of the file's inner form.
    for (const char* developer : {"bytes needed", "at byte", "is larger than", "count "})
      EXPECT_EQ(messages.service.Texts()[0].find(developer), std::string::npos) << messages.service.Texts()[0];
    EXPECT_EQ(job.pcbs.m_Records, records);
    EXPECT_EQ(job.pcbs.m_strCurPcbName, "主板A");
    EXPECT_EQ(job.placementRows, rows);
    EXPECT_EQ(job.dispenseRows, dis);
  }
  // The sound file opens.
  EXPECT_TRUE(doc.OnOpenDocument(good));
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "B");
}
