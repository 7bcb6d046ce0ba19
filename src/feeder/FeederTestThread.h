#pragma once
// The feeder test worker: one short-lived worker per test, running the one
// operation its test mode names (-4..30) on the feeder row it was given, then
// ending. The starter claims the machine's busy state before the worker
// starts; the worker releases it on every path.
#include <atomic>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "feeder/FeederTable.h"

namespace smt::feeder {

struct FeederTestRequest {
  int mode = 0;
  FeederRow row{};          // the selected list row, read
  int listRow = -1;         // index of that list row
  bool pullHole = false;    // mode 2 from the towbar test on a drag-pin row
  bool singleStep = false;  // mode 12: feed once
  std::vector<FeederRow> allRows;  // mode 30: the whole list in list order
  std::string feedLimitMessage = "料架送料坐标数据越限 !";
};

// What the worker hands back to the window (each called on the worker; the
// panel posts to the window thread).
struct FeederTestResults {
  // Mode 0: the measured pick height text for the list row.
  std::function<void(int listRow, const std::string& number, double heightMm)> pickHeightMeasured;
  // Mode 30: the row being tested is selected (true) or deselected (false).
  std::function<void(int listRow, bool on)> selectRow;
};

// Set while the automatic feeder test runs; cleared by the panel's button to stop it.

// Runs the operation of one request on `machine`, on the calling thread (the worker body).
void RunFeederTest(smt::Machine& machine, const FeederTestRequest& request, const FeederTestResults& results, std::stop_token stop = {});

// Claims `machine`'s busy state (refusing with "Machine is runnig !" when it is taken)
// and starts the worker. False when nothing was started.
bool StartFeederTestWorker(smt::Machine& machine, FeederTestRequest request, FeederTestResults results);

// The settings dialog's "AutoZ" (test mode -1): measures at the current
// position, stores m_Z_Measurement and shows it while the dialog is open.
// The dialog has made its own guards; this claims the busy state and starts.
void StartAutoZMeasurement(smt::Machine& machine);
// The dipping-station dialog's two buttons (modes -3 and -2).
void StartDippingStationTest(smt::Machine& machine, int mode);

}  // namespace smt::feeder
