#include "feeder/FeederTestMotions.h"

#include "platform/DecimalRounding.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/MachineState.h"
#include "feeder/AutoFeeders.h"
#include "feeder/FeederNozzles.h"
#include "feeder/FeederServices.h"
#include "link/WindowPanels.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/PulseMath.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::feeder {

using smt::platform::FormatDouble;
using smt::platform::ShowMessage;
using smt::settings::SettingsStores;
using smt::settings::SpeedUse;
using smt::settings::TruncToSteps;

namespace {

constexpr uint8_t kMasterResetFlag = 0x80;
constexpr uint8_t kNoMasterResetFlag = 0x40;
// Speed record pairs.
enum SpeedIndex { kSpX = 0, kSpY = 1, kSpZ1 = 2, kSpA1 = 4, kSpWestWalk = 8, kSpWestLift = 9, kSpNorthWalk = 10,
                  kSpNorthLift = 11, kSpEastWalk = 12, kSpEastLift = 13, kSpAutoWalk1 = 14 };

// The letter the feeder number starts with (0 for none).
char SideOf(const FeederRow& r) { return r.Number().empty() ? 0 : r.Number()[0]; }

smt::settings::SpeedRecord PickSpeeds() { return SettingsStores::Of(smt::CurrentMachine()).speed.Record(SpeedUse::PickPart); }
smt::settings::BasicSettings Basic() { return *SettingsStores::Of(smt::CurrentMachine()).machine.Basic(); }
smt::settings::PulseSettings Pulse() { return *SettingsStores::Of(smt::CurrentMachine()).machine.Pulse(); }
smt::settings::PulseTable Table() { return SettingsStores::Of(smt::CurrentMachine()).machine.Geometry()->table; }

bool Serial() { return smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial(); }
uint8_t FeedAlternative() { return Serial() ? 1 : 0; }

void Info(const std::string& text) { smt::link::RuntimeOf(smt::CurrentMachine()).Hooks().AppendInfoLine(text, true); }

bool Move64(int32_t dx, int32_t dy, uint8_t flags) {
  const auto sp = PickSpeeds();
  return smt::link::SendCmd64MoveXY(smt::CurrentMachine(), dx, sp[kSpX].start, sp[kSpX].normal, dy, sp[kSpY].start, sp[kSpY].normal, 0, 0, 0,
                                    0, flags);
}

int32_t HeadOffsetX(int head) {
  if (head < 2 || head > 8) return 0;
  return Table().nNozzleToNozzle1X[static_cast<size_t>(head)];
}
int32_t HeadOffsetY(int head) {
  if (head < 2 || head > 8) return 0;
  return Table().nNozzleToNozzle1Y[static_cast<size_t>(head)];
}

bool InTravel(int64_t x, int64_t y) {
  const auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
  return x >= 0 && x <= m.xLimit && y >= m.yLimit && y <= 0;
}

}  // namespace

std::optional<TowbarSide> TowbarSideOf(char letter) {
  const auto b = Basic();
  const auto p = Pulse();
  switch (letter) {
    case 'W':
      return TowbarSide{'W', 5, 8, 11, 1, p.m_WestWalk_Pulse, p.m_WestLift_Pulse, b.m_WestFeed_Limit, 0.0,
                        kSpWestWalk, kSpWestLift, smt::CurrentMachine().motion.curAxis8.load()};
    case 'N':
      return TowbarSide{'N', 6, 9, 12, 2, p.m_NorthWalk_Pulse, p.m_NorthLift_Pulse, 0.0, b.m_NorthFeed_Limit,
                        kSpNorthWalk, kSpNorthLift, smt::CurrentMachine().motion.curAxis9.load()};
    case 'E':
      return TowbarSide{'E', 7, 10, 13, 3, p.m_EastWalk_Pulse, p.m_EastLift_Pulse, b.m_EastFeed_Limit, 0.0,
                        kSpEastWalk, kSpEastLift, smt::CurrentMachine().motion.curAxis10.load()};
    default:
      return std::nullopt;
  }
}

ZStroke ZStrokeFor(int head, int machineType, double mm, double zPulse) {
  const int32_t s = TruncToSteps(mm, zPulse);
  if (machineType == 9) return {2, 0};
  if (machineType == 7 || machineType == 8) return {31 + head, s};
  switch (head) {
    case 1: return {2, s};
    case 2: return {2, -s};
    case 3: return {3, s};
    case 4: return {3, -s};
    default: return {31 + head, s};
  }
}

int PickHeadCount(int machineType) {
  switch (machineType) {
    case 1: case 2: case 4: case 5: case 10: return 2;
    case 3: case 6: return 4;
    case 7: case 8: return 8;
    default: return 1;
  }
}

int MeasureHeadFor(int value, int machineType) {
  int heads = 0;
  switch (machineType) {
    case 0: case 1: heads = 1; break;
    case 2: case 5: case 10: heads = 2; break;
    case 3: case 4: case 6: heads = 4; break;
    case 7: case 8: heads = 8; break;
    default: return value;  // drill machine: no limit
  }
  return value > heads ? 1 : value;
}

std::optional<double> MeasureHeight(int head) {
  const auto b = Basic();
  const double zPulse = Pulse().m_Z_Pulse;
  const int32_t travel = TruncToSteps(b.m_Z_Limit, zPulse);
  if (smt::link::SendCmd71ProbeZ1(smt::CurrentMachine(), travel, b.m_MeasurementStart, b.m_MeasurementNormal) != smt::link::CommandResult::Ok)
    return std::nullopt;
  const double raw = zPulse != 0 ? -static_cast<double>(smt::CurrentMachine().link.probeValue.load()) / zPulse : 0.0;
  const double value = smt::platform::RoundDecimals(raw, 4);
  Info("Measurement height " + FormatDouble(raw, 4));
  if (head >= 2 && head <= 8) return value + (b.ZNozzleToFeed(head) - b.m_Z_Nozzle1ToFeed);
  return value;
}

FeederTestMotions::FeederTestMotions(std::stop_token stop, const FeederNameTables& names)
    : stop_(std::move(stop)), names_(names) {}

bool FeederTestMotions::Pause(int ms) {
  if (ms <= 0) return !stop_.stop_requested();
  std::mutex m;
  std::condition_variable_any cv;
  std::unique_lock lk(m);
  cv.wait_for(lk, stop_, std::chrono::milliseconds(ms), [] { return false; });
  return !stop_.stop_requested();
}

bool FeederTestMotions::CheckDetourZones() {
  startInZone = targetInZone = false;
  const auto d = *SettingsStores::Of(smt::CurrentMachine()).machine.Detour();
  const auto p = Pulse();
  using smt::settings::DetourZone;
  startInZone = smt::settings::FindDetourZone(d, p, smt::CurrentMachine().curX, smt::CurrentMachine().curY).zone != DetourZone::None;
  targetInZone = smt::settings::FindDetourZone(d, p, smt::CurrentMachine().motion.targetX, smt::CurrentMachine().motion.targetY).zone != DetourZone::None;
  return true;
}

bool FeederTestMotions::DetourMove(int32_t xStart, int32_t xNormal, int32_t yStart, int32_t yNormal) {
  if (startInZone) {
    if (!smt::link::SendCmd64MoveXY(smt::CurrentMachine(), 0, xStart, xNormal, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, yStart, yNormal, 0, 0, 0, 0,
                                    kMasterResetFlag))
      return false;
  }
  if (targetInZone) {
    if (!smt::link::SendCmd64MoveXY(smt::CurrentMachine(), smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xStart, xNormal, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, yStart, yNormal, 0,
                                    0, 0, 0, kMasterResetFlag))
      return false;
  }
  return true;
}

bool FeederTestMotions::PositionMove(int32_t targetX, int32_t targetY) {
  smt::CurrentMachine().motion.targetX = targetX;
  smt::CurrentMachine().motion.targetY = targetY;
  CheckDetourZones();
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto sp = PickSpeeds();
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return false;
  return Move64(smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, kMasterResetFlag);
}

bool FeederTestMotions::SwitchOff(int output) { return smt::link::SendOutputDirect(smt::CurrentMachine(), output, 0, 5); }

bool FeederTestMotions::NozzleToFeedTest(int mode, const FeederRow* row, bool pullHole) {
  const auto b = Basic();
  const auto p = Pulse();
  int32_t tx = smt::CurrentMachine().motion.targetX, ty = smt::CurrentMachine().motion.targetY;
  if (pullHole && row) {
    tx = TruncToSteps(row->Record().slack, p.m_X_Pulse) - TruncToSteps(b.m_X_Nozzle2ToNozzle1, p.m_X_Pulse);
    ty = TruncToSteps(row->Record().tension, p.m_Y_Pulse) - TruncToSteps(b.m_Y_Nozzle2ToNozzle1, p.m_Y_Pulse);
  } else {
    if (row) {
      tx = TruncToSteps(row->Record().x, p.m_X_Pulse);
      ty = TruncToSteps(row->Record().y, p.m_Y_Pulse);
    }
    if (mode == -3 || mode == -2) {
      const auto dip = FeederNeighboursPort()->DippingStation();
      const DippingStationPosition d = dip.value_or(DippingStationPosition{});
      tx = TruncToSteps(d.x, p.m_X_Pulse);
      ty = TruncToSteps(d.y, p.m_Y_Pulse);
      if (mode == -2) {
        tx -= TruncToSteps(b.m_X_Measurement, p.m_X_Pulse);
        ty -= TruncToSteps(b.m_Y_Measurement, p.m_Y_Pulse);
      }
    } else if (mode == 0) {
      tx -= TruncToSteps(b.m_X_Measurement, p.m_X_Pulse);
      ty -= TruncToSteps(b.m_Y_Measurement, p.m_Y_Pulse);
    } else if (mode >= 2 && mode <= 8) {
      tx -= TruncToSteps(b.XNozzleToNozzle1(mode), p.m_X_Pulse);
      ty -= TruncToSteps(b.YNozzleToNozzle1(mode), p.m_Y_Pulse);
    }
  }
  if (smt::CurrentMachine().machineType == 4) ty = smt::CurrentMachine().curY;
  return PositionMove(tx, ty);
}

void FeederTestMotions::CameraToFeedTest(int mode, const FeederRow& row) {
  const auto b = Basic();
  const auto p = Pulse();
  const int32_t cx = TruncToSteps(b.m_X_CameraToNozzle1, p.m_X_Pulse);
  const int32_t cy = TruncToSteps(b.m_Y_CameraToNozzle1, p.m_Y_Pulse);
  int32_t tx = 0, ty = 0;
  if (mode == 9) {
    tx = TruncToSteps(row.Record().x, p.m_X_Pulse) - cx;
    ty = TruncToSteps(row.Record().y, p.m_Y_Pulse) - cy;
  } else if (mode == 10) {
    if (row.Record().feedMode != names_.Mode(kDragHand)) return;
    tx = TruncToSteps(row.Record().slack, p.m_X_Pulse) - cx;
    ty = TruncToSteps(row.Record().tension, p.m_Y_Pulse) - cy;
  } else {
    return;
  }
  smt::CurrentMachine().motion.targetX = tx;
  smt::CurrentMachine().motion.targetY = ty;
  CheckDetourZones();
  smt::link::CameraPanelPortOf(smt::CurrentMachine())->OpenMarkCameraWithFeederLight();
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto sp = PickSpeeds();
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  Move64(smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, kMasterResetFlag);
}

void FeederTestMotions::TowbarToHoleTest(const FeederRow& row) {
  const char letter = SideOf(row);
  if (letter == 'S' || letter == 'G') return;
  const auto side = TowbarSideOf(letter);
  if (!side) {
    ShowMessage(kFeedDirectionNoFind);
    return;
  }
  SwitchOff(side->output);
  const double v = row.Record().feedCoordinate;
  if (v < side->minFeed || v > side->maxFeed) {
    ShowMessage(feedLimitMessage);
    return;
  }
  const int32_t steps = TruncToSteps(v, side->walkPulse) - side->walkPosition;
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto sp = PickSpeeds();
  smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), static_cast<uint8_t>(side->walkAxis), steps, sp[static_cast<size_t>(side->walkSpeed)].start,
                               sp[static_cast<size_t>(side->walkSpeed)].normal);
}

bool FeederTestMotions::AutoFeederAdvanceBeforePick(const FeederRow& row) {
  if (SideOf(row) != 'S') return true;
  const int n = row.Record().index;
  auto& af = AutoFeeders::Instance();
  if (n < 1 || n > 96 || af.IsFeederOn(n)) return true;
  af.SetFeederOn(n);
  const auto m = af.Mask();
  int count = row.Record().feedCount;
  if (count == 0) count = 1;
  smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]), 0, 0, 0, 0,
                          row.Record().feedTime, count, n};
  return smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 10, v) == smt::link::CommandResult::Ok;
}

namespace {
// Switches the vacuum of a head on the per-head Z axes off when its pump button is on.
void ReleasePumpOf(int head, int axis, int machineType) {
  if (axis < 32 || axis > 39) return;
  auto& rt = smt::link::RuntimeOf(smt::CurrentMachine());
  if (!((rt.pumpButtons.load() >> (head - 1)) & 1u)) return;
  smt::link::SendOutputDirect(smt::CurrentMachine(), 31 + head, 0, Basic().m_Exhaust);
  rt.SetPumpButton(head, false);
  if (head == 4 && (machineType == 7 || machineType == 8)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

std::array<int32_t, 8> TurnHeadsBack() {
  std::array<int32_t, 8> a{};
  for (size_t i = 0; i < 8; ++i) a[i] = -smt::CurrentMachine().curA[i].load();
  return a;
}
}  // namespace

void FeederTestMotions::NozzlePickToCamera(int head, int camera, const FeederRow& row) {
  const int type = smt::CurrentMachine().machineType;
  const int nozzle = row.Record().head;
  if (!AutoFeederAdvanceBeforePick(row)) return;
  const auto p = Pulse();
  const auto b = Basic();
  const int32_t rx = TruncToSteps(row.Record().x, p.m_X_Pulse);
  const int32_t ry = TruncToSteps(row.Record().y, p.m_Y_Pulse);
  const int heads = PickHeadCount(type);
  int h = head < 1 ? 1 : head;
  bool found = false;
  std::string lastMessage;
  for (int i = 0; i < heads; ++i) {
    if (h >= 1 && h <= 8 && InTravel(int64_t{rx} - HeadOffsetX(h), int64_t{ry} - HeadOffsetY(h))) {
      found = true;
      break;
    }
    lastMessage = "A" + std::to_string(h) + " To Feed Pos Error !";
    Info(lastMessage);
    h = h + 1 > heads ? 1 : h + 1;
  }
  if (!found) {
    ShowMessage(lastMessage);
    return;
  }
  if (AutoChangeNozzle()) {
    const int held = HeadNozzle(h);
    if (held != nozzle) {
      if (!ReturnNozzleToLibrary(h)) return;
      if (!PickNozzleFromLibrary(h, nozzle)) return;
    }
  }
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.ZNozzleToFeed(h);
  int32_t tx = rx - HeadOffsetX(h);
  int32_t ty = ry - HeadOffsetY(h);
  if (type == 4) ty = smt::CurrentMachine().curY;
  smt::CurrentMachine().motion.targetX = tx;
  smt::CurrentMachine().motion.targetY = ty;
  CheckDetourZones();
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto sp = PickSpeeds();
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  if (!smt::link::SendCmd65MoveXYHeads(smt::CurrentMachine(), smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, sp[kSpX].start, sp[kSpX].normal, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY,
                                       sp[kSpY].start, sp[kSpY].normal, TurnHeadsBack(), sp[kSpA1].start,
                                       sp[kSpA1].normal, 0))
    return;
  const ZStroke z = ZStrokeFor(h, type, pick, p.m_Z_Pulse);
  ReleasePumpOf(h, z.axis, type);
  if (smt::link::SendCmd67MoveZ(smt::CurrentMachine(), static_cast<uint8_t>(z.axis), z.steps, sp[kSpZ1].start, sp[kSpZ1].normal,
                                static_cast<uint8_t>(h), static_cast<uint16_t>(row.Record().pickDelay),
                                static_cast<uint8_t>(row.Record().vacuum)) != smt::link::CommandResult::Ok)
    return;
  // Over the vision camera.
  const auto cam = FeederNeighboursPort()->VisionCamera(camera);
  const VisionCameraInfo ci = cam.value_or(VisionCameraInfo{});
  smt::link::SelectCamera(smt::CurrentMachine(), camera == 1 ? 2 : 3, ci.light, -1);
  smt::CurrentMachine().camera.channelVisionMode = camera;
  int32_t cx = ci.x - HeadOffsetX(h);
  int32_t cy = ci.y - HeadOffsetY(h);
  if (type == 4) cy = smt::CurrentMachine().curY;
  {
    const FeederRecord& f = row.Record();
    smt::link::CameraPanelPortOf(smt::CurrentMachine())->ShowVisualParameters(f.lightContrast, f.lightBrightness, f.recognitionType, ci.viewSize,
                                                       f.length + b.m_AutoMagnify);
  }
  Move64(cx - smt::CurrentMachine().curX, cy - smt::CurrentMachine().curY, kMasterResetFlag);
}

void FeederTestMotions::PutBackTest(const FeederRow& row) {
  const int type = smt::CurrentMachine().machineType;
  const int k = row.Record().head;
  if (!AutoFeederAdvanceBeforePick(row)) return;
  int h = k;
  if (AutoChangeNozzle()) {
    h = 0;
    for (int i = 1; i <= 8; ++i)
      if (HeadNozzle(i) == k) {
        h = i;
        break;
      }
    if (h == 0) {
      ShowMessage(kHeaderNoNozzle);
      return;
    }
  }
  // A head cell that names no head would drive a Z axis that does not exist.
  if (h < 1 || h > 8) {
    ShowMessage(kHeaderNoNozzle);
    return;
  }
  const auto p = Pulse();
  const auto b = Basic();
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.ZNozzleToFeed(h);
  int32_t tx = TruncToSteps(row.Record().x, p.m_X_Pulse) - HeadOffsetX(h);
  int32_t ty = TruncToSteps(row.Record().y, p.m_Y_Pulse) - HeadOffsetY(h);
  if (!InTravel(tx, ty)) {
    Info(kHeaderToFeedPosError);
    return;
  }
  if (type == 4) ty = smt::CurrentMachine().curY;
  smt::CurrentMachine().motion.targetX = tx;
  smt::CurrentMachine().motion.targetY = ty;
  CheckDetourZones();
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto sp = PickSpeeds();
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  if (!smt::link::SendCmd65MoveXYHeads(smt::CurrentMachine(), smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, sp[kSpX].start, sp[kSpX].normal, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY,
                                       sp[kSpY].start, sp[kSpY].normal, TurnHeadsBack(), sp[kSpA1].start,
                                       sp[kSpA1].normal, 0))
    return;
  const ZStroke z = ZStrokeFor(h, type, pick, p.m_Z_Pulse);
  ReleasePumpOf(h, z.axis, type);
  smt::link::SendCmd68MoveZVacuum(smt::CurrentMachine(), static_cast<uint8_t>(z.axis), z.steps, sp[kSpZ1].start, sp[kSpZ1].normal, h,
                                  static_cast<uint16_t>(row.Record().placeDelay),
                                  static_cast<int32_t>(row.Record().vacuum));
}

// --- feeds --------------------------------------------------------------------------

bool FeederTestMotions::TowbarFeed(const FeederRow& row, bool is0402, int count) {
  const char letter = SideOf(row);
  const auto side = TowbarSideOf(letter);
  if (!side) return true;  // S and G do not feed here
  if (is0402) SwitchOff(side->output);
  const double v = row.Record().feedCoordinate;
  if (v < side->minFeed || v > side->maxFeed) {
    ShowMessage(feedLimitMessage);
    return false;
  }
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  if (!is0402) SwitchOff(side->output);
  const auto sp = PickSpeeds();
  const auto& walk = sp[static_cast<size_t>(side->walkSpeed)];
  const auto& lift = sp[static_cast<size_t>(side->liftSpeed)];
  smt::link::FeedValues vals{TruncToSteps(v, side->walkPulse) - side->walkPosition,
                             walk.start,
                             walk.normal,
                             TruncToSteps(row.Record().slack, side->liftPulse),
                             TruncToSteps(row.Record().tension, side->liftPulse),
                             lift.start,
                             lift.normal,
                             row.Record().feedTime,
                             is0402 ? 1 : count,
                             row.Record().index};
  if (smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), static_cast<uint8_t>(side->sideCode), vals) !=
      smt::link::CommandResult::Ok)
    return false;
  return Pause(10);
}

bool FeederTestMotions::AutoFeederFeed(const FeederRow& row, int count) {
  const int n = row.Record().index;
  auto& af = AutoFeeders::Instance();
  const int type = smt::CurrentMachine().machineType;
  af.ToggleFeeder(n, type);
  int feeder = n;
  int cnt = count;
  if (n >= 1 && n <= 96 && !af.IsFeederOn(n)) {
    cnt = AutoFeeders::WordOf(n);
    if (type != 8) feeder = 0;
  }
  if (Serial()) {
    cnt = count;
    if (smt::link::RuntimeOf(smt::CurrentMachine()).v2_07.load() == 0) feeder = 0;
  }
  const auto m = af.Mask();
  smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]), 0, 0, 0, 0,
                          row.Record().feedTime, cnt, feeder};
  return smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 10, v) == smt::link::CommandResult::Ok;
}

bool FeederTestMotions::VibrationFeed(const FeederRow& row, int count) {
  const int t = row.Record().feedTime;
  const int n = row.Record().index;
  for (int i = count; i >= 1; --i) {
    smt::link::FeedValues v{0, 0, 0, 0, 0, 0, 0, t, i, n};
    if (smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 11, v) != smt::link::CommandResult::Ok) return false;
    if (!Pause(t)) return false;
  }
  return Pause(10);
}

bool FeederTestMotions::TrayFeed(const FeederRow& row) {
  if (smt::CurrentMachine().machineType != 10) return true;
  const double aw = Pulse().m_AutoWalk1_Pulse;
  const auto sp = PickSpeeds();
  smt::link::FeedValues v{0, 0, 0, TruncToSteps(row.Record().slack, aw), TruncToSteps(row.Record().tension, aw),
                          sp[kSpAutoWalk1].start, sp[kSpAutoWalk1].normal, 0, 0, row.Record().index};
  return smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 13, v) == smt::link::CommandResult::Ok;
}

bool FeederTestMotions::DragPinFeed(const FeederRow& row) {
  const auto b = Basic();
  const auto p = Pulse();
  const auto sp = PickSpeeds();
  const char letter = SideOf(row);
  const int32_t tx = TruncToSteps(row.Record().x, p.m_X_Pulse) - TruncToSteps(b.m_X_Nozzle2ToNozzle1, p.m_X_Pulse);
  const int32_t ty = TruncToSteps(row.Record().y, p.m_Y_Pulse) - TruncToSteps(b.m_Y_Nozzle2ToNozzle1, p.m_Y_Pulse);
  if (Serial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  if (!Move64(tx - smt::CurrentMachine().curX, ty - smt::CurrentMachine().curY, kMasterResetFlag)) return false;
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.m_Z_Nozzle2ToFeed;
  const double depth = pick - b.m_Nozzle2MoreNozzle1;
  if (!smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), 2, TruncToSteps(depth, p.m_Z_Pulse), sp[kSpZ1].start, sp[kSpZ1].normal))
    return false;
  const double s = std::fabs(row.Record().feedCoordinate);
  const auto side = TowbarSideOf(letter);
  const AutoFeedConfig cfg = AutoFeeders::Instance().Config();
  if (side) {
    const auto& lift = sp[static_cast<size_t>(side->liftSpeed)];
    smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), static_cast<uint8_t>(side->liftAxis),
                                 TruncToSteps(-(cfg.m_Open_Length / 4) * s, side->liftPulse), lift.start, lift.normal);
  }
  int32_t dx = 0, dy = 0;
  switch (letter) {
    case 'W': dx = TruncToSteps(s, p.m_X_Pulse); break;
    case 'N': dy = -TruncToSteps(s, p.m_Y_Pulse); break;
    case 'E': dx = -TruncToSteps(s, p.m_X_Pulse); break;
    case 'S': dy = TruncToSteps(s, p.m_Y_Pulse); break;
    default: break;
  }
  if (letter != 'G' && !Move64(dx, dy, kNoMasterResetFlag)) return false;
  if (!Pause(row.Record().feedTime)) return false;
  const double back = b.m_FeedOverBack;
  dx = dy = 0;
  switch (letter) {
    case 'W': dx = -TruncToSteps(back, p.m_X_Pulse); break;
    case 'N': dy = TruncToSteps(back, p.m_Y_Pulse); break;
    case 'E': dx = TruncToSteps(back, p.m_X_Pulse); break;
    case 'S': dy = -TruncToSteps(back, p.m_Y_Pulse); break;
    default: break;
  }
  if (!Move64(dx, dy, kNoMasterResetFlag)) return false;
  if (!smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), 2, -TruncToSteps(depth, p.m_Z_Pulse), sp[kSpZ1].start, sp[kSpZ1].normal))
    return false;
  if (side) {
    const auto& lift = sp[static_cast<size_t>(side->liftSpeed)];
    smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), static_cast<uint8_t>(side->liftAxis),
                                 TruncToSteps((cfg.m_Close_Length / 4) * s, side->liftPulse), lift.start, lift.normal);
  }
  return true;
}

bool FeederTestMotions::FeedTest(const FeederRow& row, bool singleStep) {
  const char letter = SideOf(row);
  if (letter != 'W' && letter != 'N' && letter != 'E' && letter != 'S' && letter != 'G') {
    ShowMessage(kFeedDirectionNoFind);
    return false;
  }
  int count = row.Record().feedCount;
  if (count == 0) count = 1;
  if (singleStep) count = 1;
  const int mode = names_.ModeOf(row.Record().feedMode);
  switch (mode) {
    case kAutoFeed: case kClDip: return AutoFeederFeed(row, count);
    case kVibrationFeed: return VibrationFeed(row, count);
    case kGridBox: return TrayFeed(row);
    case kDragHand: return DragPinFeed(row);
    case kGridDip: return true;
    case k0402: return TowbarFeed(row, true, count);
    default: return TowbarFeed(row, false, count);
  }
}

void FeederTestMotions::FeedTestAll(const std::vector<FeederRow>& rows, std::atomic<bool>& running,
                                    const std::function<void(int row, bool on)>& select) {
  const AutoFeedConfig cfg = AutoFeeders::Instance().Config();
  running = true;
  struct Clear {
    std::atomic<bool>& r;
    ~Clear() { r = false; }
  } clear{running};
  auto& af = AutoFeeders::Instance();
  for (int pass = 0; pass < cfg.m_TestLoop; ++pass) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!running || stop_.stop_requested()) return;
      const FeederRow& row = rows[i];
      if (select) select(static_cast<int>(i), true);
      const char letter = SideOf(row);
      if (letter != 'W' && letter != 'N' && letter != 'E' && letter != 'S' && letter != 'G') {
        ShowMessage(kFeedDirectionNoFind);
        return;
      }
      if (!row.Readable()) {
        ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_FeederUnusable", "料架 \"%1\" 的数值无法读取，不能使用：\"%2\" 的值 \"%3\" 无效 !"), {row.Number(), row.Problem()->field(), row.Problem()->text()}));
        return;
      }
      int count = row.Record().feedCount;
      if (count == 0) count = 1;
      const int mode = names_.ModeOf(row.Record().feedMode);
      bool ok = true;
      switch (mode) {
        case kIntegrationFeed:
        case k0402:
          if (cfg.m_bIntegrationFeed) ok = TowbarFeed(row, mode == k0402, count);
          break;
        case kAutoFeed:
        case kClDip:
          if (cfg.m_bAutoFeed) {
            const int n = row.Record().index;
            const bool serial = Serial();
            const bool v207 = smt::link::RuntimeOf(smt::CurrentMachine()).v2_07.load() != 0;
            const int t = row.Record().feedTime;
            af.SetFeederOn(n);
            auto m = af.Mask();
            smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]),
                                    0, 0, 0, 0, t, count, serial && !v207 ? 0 : n};
            ok = smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 10, v) == smt::link::CommandResult::Ok;
            if (ok) {
              af.SetFeederOff(n);
              m = af.Mask();
              smt::link::FeedValues w{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]),
                                      static_cast<int32_t>(m[2]), 0, 0, 0, 0, t,
                                      serial ? count : AutoFeeders::WordOf(n), 0};
              ok = smt::link::SendCmd66MoveFeedAxis(smt::CurrentMachine(), FeedAlternative(), 10, w) == smt::link::CommandResult::Ok;
            }
            if (ok) ok = Pause(cfg.m_FeedBack_Delay);
          }
          break;
        case kVibrationFeed:
          if (cfg.m_bVibrationFeed) ok = VibrationFeed(row, count);
          break;
        case kDragHand:
          if (cfg.m_bDragHand) ok = DragPinFeed(row);
          break;
        case k48:
          ok = TowbarFeed(row, false, count);
          break;
        case kGridBox:
          ok = TrayFeed(row);
          break;
        case kGridDip:
          break;
        default:
          // A feed mode of no known name feeds by towbar, as the single feed test does.
          ok = TowbarFeed(row, false, count);
          break;
      }
      if (!ok) return;
      if (select) select(static_cast<int>(i), false);
    }
  }
}

}  // namespace smt::feeder
