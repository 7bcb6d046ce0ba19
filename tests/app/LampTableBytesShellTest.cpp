// The lamp machine's point table travels with the job as its ".txt" side
// file: a job opened and saved again through File > Open and File > Save
// writes the side file's bytes as they were, whatever its rows end with
// (CR LF, nothing, fewer cells than the grid); a row the operator changed
// keeps its own line end.
#include <QApplication>
#include <filesystem>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CSMTDoc.h"
#include "job/JobFile.h"
#include "stations/LampPointTable.h"

namespace {

namespace fs = std::filesystem;

std::string Cells(const std::string& number, const std::string& platform, int cells) {
  std::string t = number + "\t" + platform + "\t";
  for (int c = 2; c < cells; ++c) t += (c == 3 ? "12.5000" : c == 12 || c == 13 ? "5" : "0") + std::string("\t");
  return t;
}

class LampTableBytes : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "MachineSetConfig").WriteInt("MachineSet", 4);
    smt::platform::ClearProfileCache();
  }
};

TEST_F(LampTableBytes, OpenAndSaveKeepTheSideFilesBytes) {
  struct Case {
    const char* what;
    std::string end;  // after each row's last cell
  } cases[] = {{"rows without a line end", ""}, {"rows with CR LF", "\r\n"}, {"rows with LF", "\n"}};
  CMainFrame& f = Start();
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 4);
  const fs::path job = dir / smt::app::kDemoJobName;
  const fs::path txt = smt::job::SideFilePath(job, ".txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> rows;
    for (int point = 0; point < 3; ++point) {
      rows.push_back(Cells(std::to_string(point + 1), "平台1", 40) + c.end);
      rows.push_back(Cells(std::to_string(point + 1), "平台2", 40) + c.end);
    }
    rows.push_back(Cells("4", "平台1", 38) + c.end);  // a row of fewer cells
    rows.push_back(Cells("4", "平台2", 40) + c.end);
    while (rows.size() < 20) rows.push_back(std::string(40, '\t') + c.end);
    const auto bytes = smt::job::EncodeLampFile(rows);
    smt::platform::WriteFileAtomically(txt, bytes);

    messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
    files.chooser.QueueAnswer(job.string());
    f.Action(smt::app::cmd::kFileOpen)->trigger();
    ASSERT_EQ(f.view()->document()->PathName(), job) << messages.service.Texts().size();
    auto& table = smt::stations::LampPointTable::Of(smt::CurrentMachine());
    ASSERT_EQ(table.PointCount(), 4);
    f.Action(smt::app::cmd::kFileSave)->trigger();
    const std::string after = dir.Read(txt.filename().string());
    EXPECT_EQ(after.size(), bytes.size());
    EXPECT_TRUE(after == std::string(bytes.begin(), bytes.end())) << "the side file changed at the save";

    // A changed row keeps its line end; the others stay as they were.
    auto v = table.Values(2);
    v.markX = 33.25;
    ASSERT_TRUE(table.ModifyRow(2, v));
    f.Action(smt::app::cmd::kFileSave)->trigger();
    auto expected = rows;
    {
      std::array<std::string, smt::stations::kLampCols> cells = table.Row(2);
      std::string t;
      for (const auto& cell : cells) t += cell + "\t";
      expected[2] = t + c.end;
    }
    const auto expectedBytes = smt::job::EncodeLampFile(expected);
    EXPECT_TRUE(dir.Read(txt.filename().string()) == std::string(expectedBytes.begin(), expectedBytes.end()));
    EXPECT_EQ(table.Row(2)[3], "33.2500");
  }
}

}  // namespace
