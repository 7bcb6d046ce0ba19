// Each machine object owns its feeder table and its library lists (with the
// camera table): two machines in one process, loaded from two working
// folders, each with a feeder list panel built on it. A change made on one
// machine, through its panel or on its tables, shows on that machine only,
// and saving both machines leaves the other machine's files byte for byte
// as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederShellWiring.h"
#include "feeder/FeederTable.h"
#include "library/LibraryLists.h"
#include "platform/MessageService.h"
#include "support/QuietFeederServices.h"
#include "support/TempDir.h"
#include "vision/CameraTable.h"

using namespace smt::feeder;
using smt::library::LibraryLists;
using smt::vision::CameraRow;
using smt::vision::CameraValues;

namespace {

// A feeder whose every cell holds a value in its field's range.
FeederCells Feeder(const std::string& number, double x) {
  FeederCells r;
  for (size_t c = 0; c < r.size(); ++c) r[c] = std::to_string(c);
  r[0] = number;
  r[kCellX] = std::to_string(x);
  r[kCellHead] = "1";
  r[kCellCamera] = "Yes/Camera 1";
  r[kCellFly] = "No/1/2";
  r[kCellFeedMode] = "集中飞达";
  r[kCellPickHeight] = "-22";
  r[kCellSpeed] = "No/";
  r[kCellFeature] = "01:feature";
  r[kCellPrecisionXY] = "7";
  return r;
}

// The feeder file's lines: one group of `rows`, one-pocket trays.
std::vector<std::string> FeederLines(const std::string& group, const std::vector<FeederCells>& rows) {
  std::vector<std::string> l = {"1\t" + group + "\t", group + "\tbank\t" + std::to_string(rows.size()) + "\t"};
  for (const auto& r : rows) {
    std::string line;
    for (const auto& c : r) line += c + "\t";
    l.push_back(line);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    l.push_back("1\t1\t0\t0\t0.0000\t0.0000\t");
    l.push_back("Yes/1\t");
  }
  return l;
}

CameraRow Camera(const std::string& name, double x, double y, double zoom) {
  CameraValues v;
  v.name = name;
  v.x = x;
  v.y = y;
  v.visualZoom = zoom;
  return CameraRow(v);
}

// One working folder as an operator's machine left it.
struct Folder {
  std::string group;
  std::vector<FeederCells> feeders;
  std::vector<CameraRow> cameras;
};

// What a machine holds of its feeder table and camera table.
struct Held {
  std::vector<std::string> feederLines;
  std::vector<std::string> cameraRows;
  bool operator==(const Held&) const = default;
};

Held HeldBy(smt::Machine& m) {
  return {FeederTable::Of(m).SaveToLines(), smt::vision::CameraRowTexts(LibraryLists::Of(m).cameraRows)};
}

// One machine with its working folder and the feeder list panel built on it.
struct Station {
  Station(smt::Machine& m, const Folder& f) : machine(m), panel(m) {
    LibraryLists written;
    written.feedLines = FeederLines(f.group, f.feeders);
    written.cameraRows = f.cameras;
    smt::library::SaveLibraryLists(dir.path(), written);
    feedBytes = dir.Read("config_feed.fig");
    cameraBytes = dir.Read("config_camera.fig");
    problems = smt::library::LoadLibraryLists(dir.path(), LibraryLists::Of(machine)).size();
    std::vector<std::string> lines = LibraryLists::Of(machine).feedLines;
    loaded = panel.LoadFromLines(lines, dir.str());
  }
  // The project save: the table into the lines, then the list files.
  void Save() {
    SaveFeederState(machine, LibraryLists::Of(machine).feedLines, dir.str());
    smt::library::SaveLibraryLists(dir.path(), LibraryLists::Of(machine));
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> n;
    for (int r = 0; r < panel.RowCount(); ++r) n.push_back(panel.ListRow(r).text[0]);
    return n;
  }

  smt::Machine& machine;
  smt::test::TempDir dir;
  CDialogFeedList panel;
  std::string feedBytes, cameraBytes;
  size_t problems = 0;
  bool loaded = false;
};

struct Change {
  const char* name;
  std::function<bool(Station&)> apply;  // false when the change was refused
  bool feederFile, cameraFile;          // which of its files the save changes
};

const Change kChanges[] = {
    {"feeders moved through the panel", [](Station& s) { return s.panel.ShiftFeederPositions(1.5, -2.25); }, true,
     false},
    {"a feeder pasted into the machine's table",
     [](Station& s) {
       const std::string first = FeederTable::Of(s.machine).CurrentRow(0)->Number();
       return FeederTable::Of(s.machine).PasteRowAfter(first, first + "9");
     },
     true, false},
    {"a camera moved in the machine's camera table",
     [](Station& s) { return LibraryLists::Of(s.machine).cameraRows.at(0).SetPosition(-310.5, 42.125); }, false,
     true},
    {"the machine's camera table emptied",
     [](Station& s) {
       LibraryLists::Of(s.machine).cameraRows.clear();
       return true;
     },
     false, true},
};

const Folder kFirst{"Main", {Feeder("W1", 10), Feeder("W2", 14.5)}, {Camera("Camera 1", 100, -50, 20)}};
const Folder kSecond{"Back",
                     {Feeder("N3", -120), Feeder("N1", 300.25), Feeder("N2", 0)},
                     {Camera("Camera 1", 5, 5, 12.5), Camera("Camera 2", 1.5, 20, 40)}};

TEST(MachineTables, TwoMachinesInOneProcessEachKeepTheirOwnFeederAndCameraTables) {
  smt::testing::QuietFeederServices quiet;
  smt::platform::ScopedRecordingMessages messages;
  for (const Change& change : kChanges) {
    for (int changed = 0; changed < 2; ++changed) {
      SCOPED_TRACE(std::string(change.name) + (changed == 0 ? " on the machine in use" : " on the second machine"));
      smt::Machine second;
      second.machineType = 8;
      second.headCount = 4;
      Station a(smt::CurrentMachine(), kFirst);
      Station b(second, kSecond);
      Station* both[2] = {&a, &b};
      for (Station* s : both) {
        EXPECT_EQ(s->problems, 0u);
        ASSERT_TRUE(s->loaded);
        EXPECT_EQ(&s->panel.Table(), &FeederTable::Of(s->machine)) << "the panel shows its machine's table";
      }
      ASSERT_NE(&FeederTable::Of(a.machine), &FeederTable::Of(b.machine));
      ASSERT_NE(&LibraryLists::Of(a.machine), &LibraryLists::Of(b.machine));
      // Each machine holds what its own folder held.
      EXPECT_EQ(a.Shown(), (std::vector<std::string>{"W1", "W2"}));
      EXPECT_EQ(b.Shown(), (std::vector<std::string>{"N3", "N1", "N2"}));
      EXPECT_EQ(FeederTable::Of(a.machine).CurrentName(), "Main");
      EXPECT_EQ(FeederTable::Of(b.machine).CurrentName(), "Back");
      EXPECT_EQ(smt::vision::CameraNamesOf(LibraryLists::Of(a.machine).cameraRows),
                (std::vector<std::string>{"Camera 1"}));
      EXPECT_EQ(smt::vision::CameraNamesOf(LibraryLists::Of(b.machine).cameraRows),
                (std::vector<std::string>{"Camera 1", "Camera 2"}));

      Station& target = *both[changed];
      Station& other = *both[1 - changed];
      const Held targetBefore = HeldBy(target.machine), otherBefore = HeldBy(other.machine);
      ASSERT_TRUE(change.apply(target));
      EXPECT_NE(HeldBy(target.machine), targetBefore) << "the change shows on its machine";
      EXPECT_EQ(HeldBy(other.machine), otherBefore) << "the other machine keeps its tables";

      a.Save();
      b.Save();
      EXPECT_EQ(other.dir.Read("config_feed.fig"), other.feedBytes);
      EXPECT_EQ(other.dir.Read("config_camera.fig"), other.cameraBytes);
      EXPECT_EQ(target.dir.Read("config_feed.fig") != target.feedBytes, change.feederFile);
      EXPECT_EQ(target.dir.Read("config_camera.fig") != target.cameraBytes, change.cameraFile);
      // The changed machine's files read back into its tables as it held them.
      const Held targetAfter = HeldBy(target.machine);
      smt::Machine reread;
      LibraryLists& lists = LibraryLists::Of(reread);
      EXPECT_TRUE(smt::library::LoadLibraryLists(target.dir.path(), lists).empty());
      std::vector<std::string> lines = lists.feedLines;
      CDialogFeedList rereadPanel(reread);
      ASSERT_TRUE(rereadPanel.LoadFromLines(lines, target.dir.str()));
      EXPECT_EQ(HeldBy(reread), targetAfter);
    }
  }
  EXPECT_TRUE(messages.service.Texts().empty()) << ::testing::PrintToString(messages.service.Texts());
}

}  // namespace
