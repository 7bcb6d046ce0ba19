#pragma once
// A part list's logic over a small job, with feeders the test sets.
#include <gtest/gtest.h>

#include "JobFixtures.h"
#include "core/MachineState.h"
#include "job/FeederView.h"
#include "job/PartListLogic.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "support/PartListHooks.h"

namespace smt::job::testing {

inline FeederRowView Feeder(const std::string& number, const std::string& value, const std::string& head = "1",
                            const std::string& camera = "No/-", const std::string& fly = "No/-",
                            const std::string& package = "0603", const std::string& height = "0") {
  FeederRowView f;
  f.cells.assign(30, "");
  f.cells[0] = number;
  f.cells[2] = package;
  f.cells[3] = value;
  f.cells[8] = height;
  f.height = std::stod(height);
  f.cells[10] = head;
  f.cells[12] = camera;
  f.cells[13] = fly;
  f.cameraImage = camera.rfind("Yes", 0) == 0 ? 1 : 0;
  f.flyImage = fly.rfind("Yes", 0) == 0 ? 2 : 4;
  return f;
}

class PartListFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().machineType = 0;
    smt::testing::FillPartListHooks(logic);
    logic.timeStamp = [] { return std::string("2024-3-5  9:7:2"); };
    // The dispensing height the dispensing rows take.
    smt::settings::BasicSettings basic = *savedBasic;
    basic.m_Z_DropsGlueToPCBHeight = -1.5;
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
    FeederSourceOf(smt::CurrentMachine()).listRows = [this] { return feeders; };
    FeederSourceOf(smt::CurrentMachine()).groupRows = [this] { return group.empty() && !separateGroup ? feeders : group; };
  }
  void TearDown() override {
    FeederSourceOf(smt::CurrentMachine()) = {};
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(*savedBasic);
  }
  // n placement rows with feeders W1.. and names R1..
  void Rows(int n) {
    job.placementRows.clear();
    for (int i = 0; i < n; ++i) {
      auto r = Placement(i + 1, i, i, "0", "R" + std::to_string(i + 1));
      r.cells[9] = "W" + std::to_string(i + 1);
      job.placementRows.push_back(r);
    }
  }
  std::vector<std::string> Column(RowKind k, int c) {
    std::vector<std::string> out;
    for (auto& r : logic.Rows(k)) out.push_back(r.Cell(c));
    return out;
  }
  std::vector<std::string> Texts() { return messages.service.Texts(); }

  JobModel job;
  PartListLogic logic{job};
  // The machine type the logic reads (the machine's).
  std::atomic<int>& type = smt::CurrentMachine().machineType;
  const std::shared_ptr<const smt::settings::BasicSettings> savedBasic =
      smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
  std::vector<FeederRowView> feeders;
  std::vector<FeederRowView> group;
  bool separateGroup = false;
  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace smt::job::testing
