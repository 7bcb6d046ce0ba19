// Number cells of the package, mark, nozzle and drop-down lists, read as the
// program reads them at start (the eight list files, then the library
// tables). A cell that is not a number in its field's range is named with
// the file, the line and the field; the list keeps the line as the file held
// it, the files on disk stay as they were (a copy of the damaged file is
// kept beside it), a save writes every line back and the backup copy is left
// alone. Every list file reads and writes back byte for byte through the
// real readers and writers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/DemoWorkdir.h"
#include "library/LibraryLists.h"
#include "job/DropDownLists.h"
#include "library/MarkLibrary.h"
#include "library/NozzleLibrary.h"
#include "library/PackLibrary.h"
#include "platform/FileCell.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "support/TempDir.h"

using namespace smt::app;
using namespace smt::library;
namespace fs = std::filesystem;

namespace {

// Each list as a file the program could have written: full rows, texts in
// Chinese and English, reserved package cells, an empty nozzle note.
std::vector<std::string> PackLines() {
  return {"0603\t1.6000\t0.8000\t0.4500\t60\t80\t50\t25\tVisual_Camera_1\tYes\tNo\t1\tNo\t高速\t00:通用\t飞达送料\t1\t200\t4\t4\t-1\t-1\t-1\t-1.0000\t30.0000\t0.0000\t\t\t",
          "SOT-23\t3.0000\t1.4000\t1.1000\t70\t90\t40\t30\tVisual_Camera_2\tNo\tYes\t2\tYes\t中速\t05:1面引脚\tIntegrationFeed\t2\t300\t6\t5\t3\t4\t200\t-2.5000\t40.0000\t0.5000\tr26\tr27\t",
          "电容\t2.0000\t1.2500\t0.8000\t0\t255\t0\t0\t\tNo\tNo\t\tNo\t\t\tGridBox\t0\t0\t0\t0\t0\t0\t0\t0.0000\t0.0000\t0.0000\t\t\t"};
}
std::vector<std::string> MarkLines() {
  return {"Fid\t1.5000\t-2.0000\t40.0000\t-20.0000\t20\t3.0000\t1.0000\t50\t100\t90\t100\t2\tYes\t0.0000\t0.0000\t",
          "圆点\t-10.2500\t5.0000\t0.0000\t0.0000\t0\t48.0000\t10.0000\t100\t0\t255\t10000\t10\tNo\t-2.0000\t2.0000\t",
          "Via-1\t0.0001\t0.0000\t0.0000\t0.0000\t5\t2.0000\t0.5000\t80\t60\t70\t50\t1\tNo\t0.5000\t-0.5000\t"};
}
std::vector<std::string> NozzleLines() {
  return {"1\t20.0000\t-380.0000\t-5.0000\t20.0000\t-360.0000\t-8.0000\t40\t小\t",
          "2\t35.0000\t-380.0000\t-5.5000\t35.0000\t-360.0000\t-8.0000\t55\t\t",
          "3\t50.0000\t-380.0000\t-6.0000\t50.0000\t-360.0000\t-8.0000\t0\tbig\t"};
}
std::vector<std::string> DropDownLines() {
  return {"R1\tC2\t电阻\t", "10k\t100nF\t", "0603\tSOT-23\t", "0\t90\t-90\t45.5\t"};
}

// One number cell: where it is, the field the refusal names, whether it may
// be empty and whether "-1" is a value of the field.
struct NumberCell {
  ListFileId list;
  size_t cell;
  const char* field;
  bool emptyAllowed;
  bool minusOneAllowed;
};

const NumberCell kNumberCells[] = {
    {ListFileId::Pack, 1, "length", false, false},
    {ListFileId::Pack, 2, "width", false, false},
    {ListFileId::Pack, 3, "thickness", false, false},
    {ListFileId::Pack, 4, "contrast", false, false},
    {ListFileId::Pack, 5, "brightness", false, false},
    {ListFileId::Pack, 6, "pick delay", false, false},
    {ListFileId::Pack, 7, "place delay", false, false},
    {ListFileId::Pack, 11, "nozzle", true, false},
    {ListFileId::Pack, 16, "feed count", true, false},
    {ListFileId::Pack, 17, "feed time", true, false},
    {ListFileId::Pack, 18, "slack length", true, true},
    {ListFileId::Pack, 19, "tension length", true, true},
    {ListFileId::Pack, 20, "XY precision", true, true},
    {ListFileId::Pack, 21, "angle precision", true, true},
    {ListFileId::Pack, 22, "capture time", true, true},
    {ListFileId::Pack, 23, "pick height", true, true},
    {ListFileId::Pack, 24, "vacuum test value", true, false},
    {ListFileId::Pack, 25, "close vacuum early", true, false},
    {ListFileId::Mark, 1, "Mark 1 X", false, true},
    {ListFileId::Mark, 2, "Mark 1 Y", false, true},
    {ListFileId::Mark, 3, "Mark 2 X", false, true},
    {ListFileId::Mark, 4, "Mark 2 Y", false, true},
    {ListFileId::Mark, 5, "allowed deviation", false, false},
    {ListFileId::Mark, 6, "view box", false, false},
    {ListFileId::Mark, 7, "mark diameter", false, false},
    {ListFileId::Mark, 8, "detection precision", false, false},
    {ListFileId::Mark, 9, "light contrast", false, false},
    {ListFileId::Mark, 10, "light brightness", false, false},
    {ListFileId::Mark, 11, "capture time", false, false},
    {ListFileId::Mark, 12, "centring repeats", false, false},
    {ListFileId::Mark, 14, "platform 1 compensation", false, true},
    {ListFileId::Mark, 15, "platform 2 compensation", false, true},
    {ListFileId::Nozzle, 0, "nozzle number", false, false},
    {ListFileId::Nozzle, 1, "X", false, true},
    {ListFileId::Nozzle, 2, "Y", false, true},
    {ListFileId::Nozzle, 3, "pick height", false, true},
    {ListFileId::Nozzle, 4, "entrance X", false, true},
    {ListFileId::Nozzle, 5, "entrance Y", false, true},
    {ListFileId::Nozzle, 6, "entrance Z", false, true},
    {ListFileId::Nozzle, 7, "vacuum", false, false},
    {ListFileId::DropDown, 0, "angle 1", false, true},
    {ListFileId::DropDown, 1, "angle 2", false, true},
    {ListFileId::DropDown, 2, "angle 3", false, true},
    {ListFileId::DropDown, 3, "angle 4", false, true},
};

struct BadValue {
  const char* text;
  const char* why;
};
const BadValue kBadValues[] = {{"nan", "not a number"}, {"inf", "infinite"},          {"1e400", "beyond a double"},
                               {"ten", "a word"},       {"12abc", "trailing letters"}, {"", "empty"},
                               {"-1", "negative"}};

bool Refused(const NumberCell& n, const std::string& v) {
  if (v.empty()) return !n.emptyAllowed;
  if (v == "-1") return !n.minusOneAllowed;
  return true;
}

const ListFileInfo& Info(ListFileId id) {
  for (const auto& i : ListFiles())
    if (i.id == id) return i;
  return ListFiles()[0];
}

// The lists of a working directory: the four numbered lists as above, the
// others with one row each.
std::map<ListFileId, std::vector<std::string>> BaseLists() {
  std::map<ListFileId, std::vector<std::string>> m;
  for (const auto& f : ListFiles()) m[f.id] = {std::string("row of ") + f.name + "\t"};
  m[ListFileId::Pack] = PackLines();
  m[ListFileId::Mark] = MarkLines();
  m[ListFileId::Nozzle] = NozzleLines();
  m[ListFileId::DropDown] = DropDownLines();
  return m;
}

void WriteLists(const fs::path& dir, const std::map<ListFileId, std::vector<std::string>>& lists) {
  for (const auto& [id, rows] : lists) {
    smt::platform::ListFileContent c;
    if (Info(id).hasLeading) c.leading = "speed use\t";
    c.rows = rows;
    smt::platform::WriteListFile(dir / Info(id).name, c);
  }
}

std::string ReplaceCell(const std::string& line, size_t cell, const std::string& text) {
  std::vector<std::string_view> cells;
  smt::platform::SplitTabCellViews(line, cells);
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) out += (i == cell ? text : std::string(cells[i])) + "\t";
  return out;
}

// Every regular file under `dir` with its bytes.
std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& dir) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = smt::platform::ReadWholeFile(e.path());
  return out;
}

// The rows of a list after its library table took them in and wrote them out
// (the package, mark and nozzle tables; the drop-down lists are kept as the
// strings they are). `refusals` gets what the table's load refused.
std::vector<std::string> ThroughTable(ListFileId id, const std::vector<std::string>& rows, size_t* refusals = nullptr) {
  std::vector<smt::platform::FileCellError> refused;
  std::vector<std::string> out = rows;
  switch (id) {
    case ListFileId::Pack: {
      smt::library::PackLibrary lib;
      refused = lib.LoadTable(rows);
      out = smt::library::PackListStrings(lib.m_PackRows);
      break;
    }
    case ListFileId::Mark: {
      smt::library::MarkLibrary lib;
      refused = lib.LoadTable(rows);
      out = lib.BuildRowStrings();
      break;
    }
    case ListFileId::Nozzle: {
      smt::library::NozzleLibrary lib;
      refused = lib.LoadRows(rows);
      out = lib.BuildRowStrings();
      break;
    }
    case ListFileId::DropDown: refused = smt::job::CheckDropDownLines(rows); break;
    default: break;
  }
  if (refusals) *refusals = refused.size();
  return out;
}

}  // namespace

// The file-cell table: every number cell of the package, mark, nozzle and
// drop-down lists (line 2 of the first three, the angle line of the last)
// replaced in turn by each bad value and the lists read as at start. A
// refused cell is named with file, line and field; the list keeps the line
// as it was and loads the others; the files on disk are unchanged (only a
// copy of the damaged one is added); the library table gives back every
// line; a save writes the damaged file back byte for byte and leaves its
// backup alone.
TEST(LibraryListCellTable, EveryNumberCellOfEveryListRefusesBadValuesNamingFileLineAndField) {
  const auto base = BaseLists();
  int refusals = 0, taken = 0;
  for (const NumberCell& n : kNumberCells) {
    const ListFileInfo& info = Info(n.list);
    const size_t line = n.list == ListFileId::DropDown ? smt::job::kDropDownAngles : 1;
    for (const BadValue& bad : kBadValues) {
      SCOPED_TRACE(std::string(info.name) + " line " + std::to_string(line + 1) + " field " + n.field + " = \"" +
                   bad.text + "\" (" + bad.why + ")");
      smt::test::TempDir dir;
      auto lists = base;
      lists[n.list][line] = ReplaceCell(lists[n.list][line], n.cell, bad.text);
      WriteLists(dir.path(), lists);
      fs::create_directories(dir / "ConfigBackup");
      WriteLists(dir / "ConfigBackup", base);
      const auto before = Snapshot(dir.path());

      LibraryLists loaded;
      const std::vector<ListLoadProblem> problems = LoadLibraryLists(dir.path(), loaded);
      // Every list loads whole, the damaged line as the file held it.
      for (const auto& f : ListFiles()) EXPECT_EQ(loaded.RowTexts(f.id), lists[f.id]) << f.name;
      // Nothing on disk changed; what was added is the damaged file's copy.
      const auto after = Snapshot(dir.path());
      for (const auto& [name, bytes] : before) {
        ASSERT_TRUE(after.count(name)) << name << " is gone";
        EXPECT_EQ(after.at(name), bytes) << name << " changed";
      }
      for (const auto& [name, bytes] : after)
        if (!before.count(name)) {
          EXPECT_EQ(name.rfind(std::string(info.name) + ".damaged-", 0), 0u) << name << " was written";
        }

      if (!Refused(n, bad.text)) {
        EXPECT_TRUE(problems.empty()) << DescribeListProblems(problems);
        EXPECT_FALSE(loaded.FromDamagedFile(n.list));
        ++taken;
        continue;
      }
      ++refusals;
      ASSERT_EQ(problems.size(), 1u) << DescribeListProblems(problems);
      const ListLoadProblem& p = problems[0];
      EXPECT_EQ(p.file, info.name);
      EXPECT_EQ(p.line, static_cast<int>(line + 1));
      EXPECT_EQ(p.field, n.field);
      const std::string named = "File \"" + std::string(info.name) + "\", line " + std::to_string(line + 1) +
                                ", field \"" + n.field + "\": \"" + bad.text + "\"";
      EXPECT_NE(p.reason.find(named), std::string::npos) << p.reason;
      EXPECT_NE(DescribeListProblems(problems).find(named), std::string::npos);
      EXPECT_TRUE(fs::exists(p.keptAsidePath)) << p.keptAsidePath;
      EXPECT_TRUE(loaded.FromDamagedFile(n.list));

      // The library table keeps the line (its load names it) and gives
      // every line back; the drop-down choices leave the bad angle out.
      size_t tableRefusals = 0;
      EXPECT_EQ(ThroughTable(n.list, loaded.RowTexts(n.list), &tableRefusals), lists[n.list]);
      EXPECT_EQ(tableRefusals, 1u);
      if (n.list == ListFileId::DropDown) {
        smt::job::SetDropDownLists(lists[n.list]);
        const auto choices = smt::job::DropDownChoices(smt::job::kDropDownAngles);
        EXPECT_EQ(choices.size(), 3u);
      }

      // A save writes the damaged file back as it was; its backup stays the good copy.
      SaveLibraryLists(dir.path(), loaded);
      EXPECT_EQ(smt::platform::ReadWholeFile(dir / info.name), before.at(info.name));
      EXPECT_EQ(smt::platform::ReadWholeFile(dir / "ConfigBackup" / info.name),
                before.at((fs::path("ConfigBackup") / info.name).string()));
    }
  }
  std::printf("[ figures  ] library list cell table: %d refusals named with file, line and field, %d values taken\n",
              refusals, taken);
}

// Byte-for-byte round trip of the list files: the shipped defaults, the
// demo working directory, and generated lists (every layout this program
// writes, Chinese texts, reserved cells, empty notes, and lists with a line
// that cannot be read). Read as at start, through the library tables, and
// saved: every file and its backup hold the bytes they were read from.
TEST(LibraryListRoundTrip, EveryListFileReadsAndWritesBackByteForByte) {
  smt::test::TempDir root;
  std::vector<std::pair<std::string, fs::path>> sources;
  const fs::path defaults = fs::path(SMT_SOURCE_DIR) / "resources" / "defaults";
  ASSERT_TRUE(fs::is_directory(defaults)) << defaults;
  sources.push_back({"shipped defaults", defaults});
  const fs::path demo = root / "demo";
  fs::create_directories(demo);
  ASSERT_EQ(smt::app::PrepareDemoWorkdir(demo), "");
  sources.push_back({"demo", demo});
  const fs::path generated = root / "generated";
  fs::create_directories(generated);
  WriteLists(generated, BaseLists());
  sources.push_back({"generated", generated});
  const fs::path damaged = root / "damaged";
  fs::create_directories(damaged);
  {
    auto lists = BaseLists();
    lists[ListFileId::Pack][1] = ReplaceCell(lists[ListFileId::Pack][1], 1, "nan");
    lists[ListFileId::Mark][2] = ReplaceCell(lists[ListFileId::Mark][2], 6, "12abc");
    lists[ListFileId::Nozzle][0] = ReplaceCell(lists[ListFileId::Nozzle][0], 7, "-1");
    lists[ListFileId::DropDown][3] = "0\tninety\t180\t";
    WriteLists(damaged, lists);
  }
  sources.push_back({"damaged lines", damaged});

  int files = 0;
  for (const auto& [what, from] : sources) {
    SCOPED_TRACE(what);
    // Read where the files are (a copy, so the clone's files are never touched).
    const fs::path in = root / (what + " in");
    fs::create_directories(in);
    for (const auto& f : ListFiles())
      if (fs::exists(from / f.name)) fs::copy_file(from / f.name, in / f.name);
    LibraryLists lists;
    LoadLibraryLists(in, lists);
    for (const auto& f : ListFiles()) lists.SetRowTexts(f.id, ThroughTable(f.id, lists.RowTexts(f.id)));
    const fs::path out = root / (what + " out");
    fs::create_directories(out);
    SaveLibraryLists(out, lists);
    for (const auto& f : ListFiles()) {
      if (!fs::exists(from / f.name)) continue;
      ++files;
      const auto bytes = smt::platform::ReadWholeFile(from / f.name);
      EXPECT_EQ(smt::platform::ReadWholeFile(out / f.name), bytes) << f.name;
      if (!lists.FromDamagedFile(f.id)) {
        EXPECT_EQ(smt::platform::ReadWholeFile(out / "ConfigBackup" / f.name), bytes) << f.name;
      }
    }
  }
  std::printf("[ figures  ] library list round trip: %d list files written back byte for byte\n", files);
}
