#include "feeder/FeederTestThread.h"

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/AutoFeeders.h"
#include "feeder/FeederServices.h"
#include "feeder/FeederTestMotions.h"
#include "link/LinkRuntime.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "platform/DecimalRounding.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::feeder {

namespace {

void AutoFeederAdvance() {
  auto& af = AutoFeeders::Instance();
  const auto m = af.Mask();
  const bool serial = smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial();
  smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]), 0, 0, 0, 0,
                          0, serial ? 1 : af.CmdWord(), serial ? 0 : af.CmdFeeder()};
  smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), serial ? 1 : 0, 10, v);
}

}  // namespace

void RunFeederTest(const FeederTestRequest& r, const FeederTestResults& results, std::stop_token stop) {
  FeederTestMotions motions(stop);
  motions.feedLimitMessage = r.feedLimitMessage;
  const int mode = r.mode;
  const auto basic = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
  // Only the tests that use the neighbours need them connected.
  auto sv = []() -> FeederNeighbours& { return *FeederNeighboursPort(); };
  // A row whose numbers cannot be read is not moved to or fed.
  if (mode >= 0 && mode != 30 && !r.row.Readable()) {
    smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_FeederUnusable", "料架 \"%1\" 的数值无法读取，不能使用：\"%2\" 的值 \"%3\" 无效 !"), {r.row.Number(), r.row.Problem()->field(), r.row.Problem()->text()}));
    return;
  }
  if (mode == -4) {
    AutoFeederAdvance();
  } else if (mode == -3) {
    motions.NozzleToFeedTest(-3, nullptr);
  } else if (mode == -2) {
    if (motions.NozzleToFeedTest(-2, nullptr)) {
      if (auto h = MeasureHeight(1)) {
        double z = *h - (basic.m_Z_Measurement - basic.m_Z_Nozzle1ToPCBHeight);
        if (z != 0.0) {
          const auto dip = sv().DippingStation();
          z += dip ? dip->filmThickness : 0.0;
        }
        sv().DippingZMeasured(z);
      }
    }
  } else if (mode == -1) {
    if (auto h = MeasureHeight(0)) {
      smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetMeasurementHeight(*h);
      if (*h != 0.0) sv().ShowMeasurementHeight(*h);
    }
  } else if (mode == 0) {
    if (motions.NozzleToFeedTest(0, &r.row)) {
      const int head = MeasureHeadFor(r.row.Record().head, smt::CurrentMachine().machineType);
      if (auto h = MeasureHeight(head)) {
        const double pick = *h - (basic.m_Z_Measurement - basic.m_Z_Nozzle1ToPCBHeight);
        if (results.pickHeightMeasured)
          results.pickHeightMeasured(r.listRow, r.row.Number(), smt::platform::RoundDecimals(pick, 4));
      }
    }
  } else if (mode >= 1 && mode <= 8) {
    motions.NozzleToFeedTest(mode, &r.row, r.pullHole && mode == 2);
  } else if (mode == 9 || mode == 10) {
    motions.CameraToFeedTest(mode, r.row);
  } else if (mode == 11) {
    motions.TowbarToHoleTest(r.row);
  } else if (mode == 12) {
    motions.FeedTest(r.row, r.singleStep);
  } else if (mode >= 13 && mode <= 28) {
    const int camera = mode <= 20 ? 1 : 2;
    const int head = mode <= 20 ? mode - 12 : mode - 20;
    if (smt::CurrentMachine().machineType == 8) {
      sv().PickFromFeederTest(head, camera, r.row.Number());
    } else {
      motions.NozzlePickToCamera(head, camera, r.row);
    }
  } else if (mode == 29) {
    motions.PutBackTest(r.row);
  } else if (mode == 30) {
    motions.FeedTestAll(r.allRows, smt::CurrentMachine().feederAutoTestRunning, results.selectRow);
  }
}

bool StartFeederTestWorker(FeederTestRequest request, FeederTestResults results) {
  if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  if (request.mode == 30) smt::CurrentMachine().feederAutoTestRunning = true;
  const bool started = smt::platform::WorkerThreads::Instance().Start(
      "FeederTest", [request = std::move(request), results = std::move(results)](std::stop_token st) {
        smt::BusyRelease release(smt::CurrentMachine());
        RunFeederTest(request, results, st);
      });
  if (!started) {
    smt::CurrentMachine().feederAutoTestRunning = false;
    smt::ReleaseMachineBusy(smt::CurrentMachine());
  }
  return started;
}

void StartAutoZMeasurement() {
  FeederTestRequest r;
  r.mode = -1;
  StartFeederTestWorker(std::move(r), {});
}

void StartDippingStationTest(int mode) {
  if (mode != -2 && mode != -3) return;
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return;
  FeederTestRequest r;
  r.mode = mode;
  StartFeederTestWorker(std::move(r), {});
}

}  // namespace smt::feeder
