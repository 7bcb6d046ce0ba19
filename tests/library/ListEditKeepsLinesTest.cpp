// The package, mark and nozzle lists opened from files with a line the
// program cannot read or would read otherwise than it was written (a value
// that is no number or out of its range, at the start, in the middle and at
// the end; a line with cells past the list's; a line without its last TAB; a
// first line of another length), one other row edited in the list's editor
// and the list confirmed: the file written holds every line as it was read
// but the one edited, and that one differs only in the cell changed.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "LibraryTestSupport.h"
#include "core/Machine.h"
#include "library/CDialogMarkEdit.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogNozzleEdit.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogPackEdit.h"
#include "library/CDialogPackList.h"
#include "library/LibraryRows.h"
#include "library/MarkLibrary.h"
#include "library/PackLibrary.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"

using namespace smt::library;

namespace {

std::vector<std::string> PackLines() {
  return {"0603\t1.6000\t0.8000\t0.4500\t60\t80\t50\t25\tVisual_Camera_1\tYes\tNo\t1\tNo\t\t\tIntegrationFeed\t1\t200\t4\t4\t-1\t-1\t-1\t-1.0000\t30.0000\t0.0000\t\t\t",
          "SOT-23\t3.0000\t1.4000\t1.1000\t70\t90\t40\t30\tVisual_Camera_2\tNo\tYes\t2\tYes\t\t\tIntegrationFeed\t2\t300\t6\t5\t3\t4\t200\t-2.5000\t40.0000\t0.5000\tr26\tr27\t",
          "电容\t2.0000\t1.2500\t0.8000\t0\t255\t0\t0\tVisual_Camera_1\tNo\tNo\t1\tNo\t\t\tIntegrationFeed\t0\t0\t0\t0\t0\t0\t0\t0.0000\t0.0000\t0.0000\t\t\t"};
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

std::string WithCell(const std::string& line, size_t cell, const std::string& text) {
  std::vector<std::string> c = SplitTabCells(line);
  c.at(cell) = text;
  std::string s;
  for (const auto& x : c) s += x + "\t";
  return s;
}

struct ListKind {
  const char* name;
  const char* file;
  std::vector<std::string> (*lines)();
  size_t numberCell;       // a number cell to damage
  const char* outOfRange;  // a value past that cell's range
  size_t editedCell;       // the cell the edit changes, and what it becomes
  const char* edited;
  // Opens the list on `frame` (the lines as read), edits row `row` to set
  // `edited` and confirms the list; false when something refused.
  std::function<bool(std::vector<std::string>& frame, const std::string& dir, int row)> editAndConfirm;
};

const ListKind kKinds[] = {
    {"packages", kPackFileName, PackLines, 1, "500", 1, "2.5000",
     [](std::vector<std::string>& frame, const std::string& dir, int row) {
       PackLibrary lib;
       lib.LoadTable(frame);
       CDialogPackList::Environment env;
       env.appDir = dir;
       env.frameRows = &frame;
       env.editor.cameraNames = {"Visual_Camera_1", "Visual_Camera_2"};
       env.editor.feedModeNames = {"IntegrationFeed", "AutoFeed", "VibrationFeed", "GridBox", "0402", "48",
                                   "DragHand", "CL_DIP", "GRID_DIP"};
       CDialogPackList d(lib, env);
       d.OnListClick(row);
       bool ran = false;
       d.runEditor = [&](CDialogPackEdit& e) {
         e.Edit("length")->setText("2.5");
         return ran = e.TryAccept();
       };
       d.OnPackEdit();
       return ran && d.TryAccept();
     }},
    {"marks", kMarkFileName, MarkLines, 6, "5000", 6, "4.5000",
     [](std::vector<std::string>& frame, const std::string& dir, int row) {
       MarkLibrary lib;
       lib.LoadTable(frame);
       CDialogMarkList::Environment env;
       env.appDir = dir;
       env.frameRows = &frame;
       CDialogMarkList d(lib, smt::CurrentMachine(), env);
       d.OnSelectRow(row);
       bool ran = false;
       d.runEditor = [&](CDialogMarkEdit& e) {
         e.Edit("viewBox")->setText("4.5");
         return ran = e.TryAccept();
       };
       d.OnModify();
       return ran && d.TryAccept();
     }},
    {"nozzles", kNozzleFileName, NozzleLines, 7, "300", 8, "N",
     [](std::vector<std::string>& frame, const std::string& dir, int row) {
       NozzleLibrary lib;
       lib.LoadRows(frame);
       CDialogNozzleList::Environment env;
       env.appDir = dir;
       env.frameRows = &frame;
       CDialogNozzleList d(lib, smt::CurrentMachine(), env);
       d.OnSelectRow(row);
       bool ran = false;
       d.runEditor = [&](CDialogNozzleEdit& e) {
         e.Edit("note")->setText("N");
         return ran = e.TryAccept();
       };
       d.OnModify();
       return ran && d.TryAccept();
     }},
};

struct Damage {
  const char* name;
  size_t line;
  std::function<std::string(const ListKind&, const std::string&)> damage;
};
const Damage kDamages[] = {
    {"no number at the start", 0, [](const ListKind& k, const std::string& l) { return WithCell(l, k.numberCell, "nan"); }},
    {"no number in the middle", 1, [](const ListKind& k, const std::string& l) { return WithCell(l, k.numberCell, "1x"); }},
    {"no number at the end", 2, [](const ListKind& k, const std::string& l) { return WithCell(l, k.numberCell, ""); }},
    {"out of range in the middle", 1,
     [](const ListKind& k, const std::string& l) { return WithCell(l, k.numberCell, k.outOfRange); }},
    {"cells past the list's in the middle", 1, [](const ListKind&, const std::string& l) { return l + "extra\t9\t"; }},
    {"cells past the list's at the start", 0, [](const ListKind&, const std::string& l) { return l + "extra\t9\t"; }},
    {"no last TAB at the end", 2, [](const ListKind&, const std::string& l) { return l + "tail"; }},
    {"a very long line in the middle", 1,
     [](const ListKind&, const std::string& l) { return l + std::string(70000, 'x') + "\t"; }},
};

TEST(ListEditKeepsLines, AnEditOfOneRowWritesEveryOtherLineAsRead) {
  smt::platform::ScopedRecordingMessages messages;
  const auto dir = librarytest::ScratchDir("listedit");
  smt::CurrentMachine().machineType = 2;
  librarytest::UseScales(100, 100, 100);
  int cases = 0;
  for (const ListKind& k : kKinds)
    for (const Damage& d : kDamages) {
      SCOPED_TRACE(std::string(k.name) + ": " + d.name);
      std::vector<std::string> lines = k.lines();
      lines[d.line] = d.damage(k, lines[d.line]);
      const int edited = d.line == 0 ? 2 : 0;
      std::vector<std::string> frame = lines;
      messages.service.Clear();
      ASSERT_TRUE(k.editAndConfirm(frame, dir.string(), edited)) << ::testing::PrintToString(messages.service.Texts());
      const std::vector<std::string> saved = smt::platform::ReadListFile(dir / k.file, false).rows;
      EXPECT_EQ(saved, frame);
      ASSERT_EQ(saved.size(), lines.size());
      for (size_t i = 0; i < lines.size(); ++i) {
        if (static_cast<int>(i) == edited) continue;
        EXPECT_EQ(saved[i], lines[i]) << "line " << i + 1;
      }
      EXPECT_EQ(saved[static_cast<size_t>(edited)],
                WithCell(lines[static_cast<size_t>(edited)], k.editedCell, k.edited));
      ++cases;
    }
  std::printf("[ figures  ] list edits: %d files judged by their lines after an edit of another row\n", cases);
  smt::CurrentMachine().machineType = 0;
}

}  // namespace
