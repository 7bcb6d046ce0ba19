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

smt::settings::SpeedRecord PickSpeeds(smt::Machine& m) { return SettingsStores::Of(m).speed.Record(SpeedUse::PickPart); }
smt::settings::BasicSettings Basic(smt::Machine& m) { return *SettingsStores::Of(m).machine.Basic(); }
smt::settings::PulseSettings Pulse(smt::Machine& m) { return *SettingsStores::Of(m).machine.Pulse(); }
smt::settings::PulseTable Table(smt::Machine& m) { return SettingsStores::Of(m).machine.Geometry()->table; }

bool Serial(smt::Machine& m) { return smt::link::RuntimeOf(m).UsesSerial(); }
uint8_t FeedAlternative(smt::Machine& m) { return Serial(m) ? 1 : 0; }

void Info(smt::Machine& m, const std::string& text) { smt::link::RuntimeOf(m).Hooks().AppendInfoLine(text, true); }

bool Move64(smt::Machine& m, int32_t dx, int32_t dy, uint8_t flags) {
  const auto sp = PickSpeeds(m);
  return smt::link::SendCmd64MoveXY(m, dx, sp[kSpX].start, sp[kSpX].normal, dy, sp[kSpY].start, sp[kSpY].normal, 0, 0, 0,
                                    0, flags);
}

int32_t HeadOffsetX(smt::Machine& m, int head) {
  if (head < 2 || head > 8) return 0;
  return Table(m).nNozzleToNozzle1X[static_cast<size_t>(head)];
}
int32_t HeadOffsetY(smt::Machine& m, int head) {
  if (head < 2 || head > 8) return 0;
  return Table(m).nNozzleToNozzle1Y[static_cast<size_t>(head)];
}

bool InTravel(smt::Machine& machine, int64_t x, int64_t y) {
  const auto m = smt::link::GetMotionSettings(machine);
  return x >= 0 && x <= m.xLimit && y >= m.yLimit && y <= 0;
}

}  // namespace

std::optional<TowbarSide> TowbarSideOf(smt::Machine& machine, char letter) {
  const auto b = Basic(machine);
  const auto p = Pulse(machine);
  switch (letter) {
    case 'W':
      return TowbarSide{'W', 5, 8, 11, 1, p.m_WestWalk_Pulse, p.m_WestLift_Pulse, b.m_WestFeed_Limit, 0.0,
                        kSpWestWalk, kSpWestLift, machine.motion.curAxis8.load()};
    case 'N':
      return TowbarSide{'N', 6, 9, 12, 2, p.m_NorthWalk_Pulse, p.m_NorthLift_Pulse, 0.0, b.m_NorthFeed_Limit,
                        kSpNorthWalk, kSpNorthLift, machine.motion.curAxis9.load()};
    case 'E':
      return TowbarSide{'E', 7, 10, 13, 3, p.m_EastWalk_Pulse, p.m_EastLift_Pulse, b.m_EastFeed_Limit, 0.0,
                        kSpEastWalk, kSpEastLift, machine.motion.curAxis10.load()};
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

std::optional<double> MeasureHeight(smt::Machine& machine, int head) {
  const auto b = Basic(machine);
  const double zPulse = Pulse(machine).m_Z_Pulse;
  const int32_t travel = TruncToSteps(b.m_Z_Limit, zPulse);
  if (smt::link::SendCmd71ProbeZ1(machine, travel, b.m_MeasurementStart, b.m_MeasurementNormal) != smt::link::CommandResult::Ok)
    return std::nullopt;
  const double raw = zPulse != 0 ? -static_cast<double>(machine.link.probeValue.load()) / zPulse : 0.0;
  const double value = smt::platform::RoundDecimals(raw, 4);
  Info(machine, "Measurement height " + FormatDouble(raw, 4));
  if (head >= 2 && head <= 8) return value + (b.ZNozzleToFeed(head) - b.m_Z_Nozzle1ToFeed);
  return value;
}

FeederTestMotions::FeederTestMotions(smt::Machine& machine, std::stop_token stop)
    : FeederTestMotions(machine, std::move(stop), NameTablesOf(machine)) {}

FeederTestMotions::FeederTestMotions(smt::Machine& machine, std::stop_token stop, const FeederNameTables& names)
    : machine_(machine), stop_(std::move(stop)), names_(names) {}

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
  const auto d = *SettingsStores::Of(machine_).machine.Detour();
  const auto p = Pulse(machine_);
  using smt::settings::DetourZone;
  startInZone = smt::settings::FindDetourZone(d, p, machine_.curX, machine_.curY).zone != DetourZone::None;
  targetInZone = smt::settings::FindDetourZone(d, p, machine_.motion.targetX, machine_.motion.targetY).zone != DetourZone::None;
  return true;
}

bool FeederTestMotions::DetourMove(int32_t xStart, int32_t xNormal, int32_t yStart, int32_t yNormal) {
  if (startInZone) {
    if (!smt::link::SendCmd64MoveXY(machine_, 0, xStart, xNormal, machine_.motion.targetY - machine_.curY, yStart, yNormal, 0, 0, 0, 0,
                                    kMasterResetFlag))
      return false;
  }
  if (targetInZone) {
    if (!smt::link::SendCmd64MoveXY(machine_, machine_.motion.targetX - machine_.curX, xStart, xNormal, machine_.motion.targetY - machine_.curY, yStart, yNormal, 0,
                                    0, 0, 0, kMasterResetFlag))
      return false;
  }
  return true;
}

bool FeederTestMotions::PositionMove(int32_t targetX, int32_t targetY) {
  machine_.motion.targetX = targetX;
  machine_.motion.targetY = targetY;
  CheckDetourZones();
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  const auto sp = PickSpeeds(machine_);
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return false;
  return Move64(machine_, machine_.motion.targetX - machine_.curX, machine_.motion.targetY - machine_.curY, kMasterResetFlag);
}

bool FeederTestMotions::SwitchOff(int output) { return smt::link::SendOutputDirect(machine_, output, 0, 5); }

bool FeederTestMotions::NozzleToFeedTest(int mode, const FeederRow* row, bool pullHole) {
  const auto b = Basic(machine_);
  const auto p = Pulse(machine_);
  int32_t tx = machine_.motion.targetX, ty = machine_.motion.targetY;
  if (pullHole && row) {
    tx = TruncToSteps(row->Record().slack, p.m_X_Pulse) - TruncToSteps(b.m_X_Nozzle2ToNozzle1, p.m_X_Pulse);
    ty = TruncToSteps(row->Record().tension, p.m_Y_Pulse) - TruncToSteps(b.m_Y_Nozzle2ToNozzle1, p.m_Y_Pulse);
  } else {
    if (row) {
      tx = TruncToSteps(row->Record().x, p.m_X_Pulse);
      ty = TruncToSteps(row->Record().y, p.m_Y_Pulse);
    }
    if (mode == -3 || mode == -2) {
      const auto dip = FeederNeighboursPort(machine_)->DippingStation();
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
  if (machine_.machineType == 4) ty = machine_.curY;
  return PositionMove(tx, ty);
}

void FeederTestMotions::CameraToFeedTest(int mode, const FeederRow& row) {
  const auto b = Basic(machine_);
  const auto p = Pulse(machine_);
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
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  CheckDetourZones();
  smt::link::CameraPanelPortOf(machine_)->OpenMarkCameraWithFeederLight();
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  const auto sp = PickSpeeds(machine_);
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  Move64(machine_, machine_.motion.targetX - machine_.curX, machine_.motion.targetY - machine_.curY, kMasterResetFlag);
}

void FeederTestMotions::TowbarToHoleTest(const FeederRow& row) {
  const char letter = SideOf(row);
  if (letter == 'S' || letter == 'G') return;
  const auto side = TowbarSideOf(machine_, letter);
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
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  const auto sp = PickSpeeds(machine_);
  smt::link::SendCmd61MoveAxis(machine_, static_cast<uint8_t>(side->walkAxis), steps, sp[static_cast<size_t>(side->walkSpeed)].start,
                               sp[static_cast<size_t>(side->walkSpeed)].normal);
}

bool FeederTestMotions::AutoFeederAdvanceBeforePick(const FeederRow& row) {
  if (SideOf(row) != 'S') return true;
  const int n = row.Record().index;
  auto& af = AutoFeeders::Of(machine_);
  if (n < 1 || n > 96 || af.IsFeederOn(n)) return true;
  af.SetFeederOn(n);
  const auto m = af.Mask();
  int count = row.Record().feedCount;
  if (count == 0) count = 1;
  smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]), 0, 0, 0, 0,
                          row.Record().feedTime, count, n};
  return smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 10, v) == smt::link::CommandResult::Ok;
}

namespace {
// Switches the vacuum of a head on the per-head Z axes off when its pump button is on.
void ReleasePumpOf(smt::Machine& machine, int head, int axis, int machineType) {
  if (axis < 32 || axis > 39) return;
  auto& rt = smt::link::RuntimeOf(machine);
  if (!((rt.pumpButtons.load() >> (head - 1)) & 1u)) return;
  smt::link::SendOutputDirect(machine, 31 + head, 0, Basic(machine).m_Exhaust);
  rt.SetPumpButton(head, false);
  if (head == 4 && (machineType == 7 || machineType == 8)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

std::array<int32_t, 8> TurnHeadsBack(smt::Machine& machine) {
  std::array<int32_t, 8> a{};
  for (size_t i = 0; i < 8; ++i) a[i] = -machine.curA[i].load();
  return a;
}
}  // namespace

void FeederTestMotions::NozzlePickToCamera(int head, int camera, const FeederRow& row) {
  const int type = machine_.machineType;
  const int nozzle = row.Record().head;
  if (!AutoFeederAdvanceBeforePick(row)) return;
  const auto p = Pulse(machine_);
  const auto b = Basic(machine_);
  const int32_t rx = TruncToSteps(row.Record().x, p.m_X_Pulse);
  const int32_t ry = TruncToSteps(row.Record().y, p.m_Y_Pulse);
  const int heads = PickHeadCount(type);
  int h = head < 1 ? 1 : head;
  bool found = false;
  std::string lastMessage;
  for (int i = 0; i < heads; ++i) {
    if (h >= 1 && h <= 8 && InTravel(machine_, int64_t{rx} - HeadOffsetX(machine_, h), int64_t{ry} - HeadOffsetY(machine_, h))) {
      found = true;
      break;
    }
    lastMessage = "A" + std::to_string(h) + " To Feed Pos Error !";
    Info(machine_, lastMessage);
    h = h + 1 > heads ? 1 : h + 1;
  }
  if (!found) {
    ShowMessage(lastMessage);
    return;
  }
  if (AutoChangeNozzle(machine_)) {
    const int held = HeadNozzle(machine_, h);
    if (held != nozzle) {
      if (!ReturnNozzleToLibrary(machine_, h)) return;
      if (!PickNozzleFromLibrary(machine_, h, nozzle)) return;
    }
  }
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.ZNozzleToFeed(h);
  int32_t tx = rx - HeadOffsetX(machine_, h);
  int32_t ty = ry - HeadOffsetY(machine_, h);
  if (type == 4) ty = machine_.curY;
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  CheckDetourZones();
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  const auto sp = PickSpeeds(machine_);
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  if (!smt::link::SendCmd65MoveXYHeads(machine_, machine_.motion.targetX - machine_.curX, sp[kSpX].start, sp[kSpX].normal, machine_.motion.targetY - machine_.curY,
                                       sp[kSpY].start, sp[kSpY].normal, TurnHeadsBack(machine_), sp[kSpA1].start,
                                       sp[kSpA1].normal, 0))
    return;
  const ZStroke z = ZStrokeFor(h, type, pick, p.m_Z_Pulse);
  ReleasePumpOf(machine_, h, z.axis, type);
  if (smt::link::SendCmd67MoveZ(machine_, static_cast<uint8_t>(z.axis), z.steps, sp[kSpZ1].start, sp[kSpZ1].normal,
                                static_cast<uint8_t>(h), static_cast<uint16_t>(row.Record().pickDelay),
                                static_cast<uint8_t>(row.Record().vacuum)) != smt::link::CommandResult::Ok)
    return;
  // Over the vision camera.
  const auto cam = FeederNeighboursPort(machine_)->VisionCamera(camera);
  const VisionCameraInfo ci = cam.value_or(VisionCameraInfo{});
  smt::link::SelectCamera(machine_, camera == 1 ? 2 : 3, ci.light, -1);
  machine_.camera.channelVisionMode = camera;
  int32_t cx = ci.x - HeadOffsetX(machine_, h);
  int32_t cy = ci.y - HeadOffsetY(machine_, h);
  if (type == 4) cy = machine_.curY;
  {
    const FeederRecord& f = row.Record();
    smt::link::CameraPanelPortOf(machine_)->ShowVisualParameters(f.lightContrast, f.lightBrightness, f.recognitionType, ci.viewSize,
                                                       f.length + b.m_AutoMagnify);
  }
  Move64(machine_, cx - machine_.curX, cy - machine_.curY, kMasterResetFlag);
}

void FeederTestMotions::PutBackTest(const FeederRow& row) {
  const int type = machine_.machineType;
  const int k = row.Record().head;
  if (!AutoFeederAdvanceBeforePick(row)) return;
  int h = k;
  if (AutoChangeNozzle(machine_)) {
    h = 0;
    for (int i = 1; i <= 8; ++i)
      if (HeadNozzle(machine_, i) == k) {
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
  const auto p = Pulse(machine_);
  const auto b = Basic(machine_);
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.ZNozzleToFeed(h);
  int32_t tx = TruncToSteps(row.Record().x, p.m_X_Pulse) - HeadOffsetX(machine_, h);
  int32_t ty = TruncToSteps(row.Record().y, p.m_Y_Pulse) - HeadOffsetY(machine_, h);
  if (!InTravel(machine_, tx, ty)) {
    Info(machine_, kHeaderToFeedPosError);
    return;
  }
  if (type == 4) ty = machine_.curY;
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  CheckDetourZones();
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  const auto sp = PickSpeeds(machine_);
  if (!DetourMove(sp[kSpX].start, sp[kSpX].normal, sp[kSpY].start, sp[kSpY].normal)) return;
  if (!smt::link::SendCmd65MoveXYHeads(machine_, machine_.motion.targetX - machine_.curX, sp[kSpX].start, sp[kSpX].normal, machine_.motion.targetY - machine_.curY,
                                       sp[kSpY].start, sp[kSpY].normal, TurnHeadsBack(machine_), sp[kSpA1].start,
                                       sp[kSpA1].normal, 0))
    return;
  const ZStroke z = ZStrokeFor(h, type, pick, p.m_Z_Pulse);
  ReleasePumpOf(machine_, h, z.axis, type);
  smt::link::SendCmd68MoveZVacuum(machine_, static_cast<uint8_t>(z.axis), z.steps, sp[kSpZ1].start, sp[kSpZ1].normal, h,
                                  static_cast<uint16_t>(row.Record().placeDelay),
                                  static_cast<int32_t>(row.Record().vacuum));
}

// --- feeds --------------------------------------------------------------------------

bool FeederTestMotions::TowbarFeed(const FeederRow& row, bool is0402, int count) {
  const char letter = SideOf(row);
  const auto side = TowbarSideOf(machine_, letter);
  if (!side) return true;  // S and G do not feed here
  if (is0402) SwitchOff(side->output);
  const double v = row.Record().feedCoordinate;
  if (v < side->minFeed || v > side->maxFeed) {
    ShowMessage(feedLimitMessage);
    return false;
  }
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  if (!is0402) SwitchOff(side->output);
  const auto sp = PickSpeeds(machine_);
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
  if (smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), static_cast<uint8_t>(side->sideCode), vals) !=
      smt::link::CommandResult::Ok)
    return false;
  return Pause(10);
}

bool FeederTestMotions::AutoFeederFeed(const FeederRow& row, int count) {
  const int n = row.Record().index;
  auto& af = AutoFeeders::Of(machine_);
  const int type = machine_.machineType;
  af.ToggleFeeder(n, type);
  int feeder = n;
  int cnt = count;
  if (n >= 1 && n <= 96 && !af.IsFeederOn(n)) {
    cnt = AutoFeeders::WordOf(n);
    if (type != 8) feeder = 0;
  }
  if (Serial(machine_)) {
    cnt = count;
    if (smt::link::RuntimeOf(machine_).v2_07.load() == 0) feeder = 0;
  }
  const auto m = af.Mask();
  smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]), 0, 0, 0, 0,
                          row.Record().feedTime, cnt, feeder};
  return smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 10, v) == smt::link::CommandResult::Ok;
}

bool FeederTestMotions::VibrationFeed(const FeederRow& row, int count) {
  const int t = row.Record().feedTime;
  const int n = row.Record().index;
  for (int i = count; i >= 1; --i) {
    smt::link::FeedValues v{0, 0, 0, 0, 0, 0, 0, t, i, n};
    if (smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 11, v) != smt::link::CommandResult::Ok) return false;
    if (!Pause(t)) return false;
  }
  return Pause(10);
}

bool FeederTestMotions::TrayFeed(const FeederRow& row) {
  if (machine_.machineType != 10) return true;
  const double aw = Pulse(machine_).m_AutoWalk1_Pulse;
  const auto sp = PickSpeeds(machine_);
  smt::link::FeedValues v{0, 0, 0, TruncToSteps(row.Record().slack, aw), TruncToSteps(row.Record().tension, aw),
                          sp[kSpAutoWalk1].start, sp[kSpAutoWalk1].normal, 0, 0, row.Record().index};
  return smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 13, v) == smt::link::CommandResult::Ok;
}

bool FeederTestMotions::DragPinFeed(const FeederRow& row) {
  const auto b = Basic(machine_);
  const auto p = Pulse(machine_);
  const auto sp = PickSpeeds(machine_);
  const char letter = SideOf(row);
  const int32_t tx = TruncToSteps(row.Record().x, p.m_X_Pulse) - TruncToSteps(b.m_X_Nozzle2ToNozzle1, p.m_X_Pulse);
  const int32_t ty = TruncToSteps(row.Record().y, p.m_Y_Pulse) - TruncToSteps(b.m_Y_Nozzle2ToNozzle1, p.m_Y_Pulse);
  if (Serial(machine_)) smt::link::SendCmd60SetState(machine_, 0, 0);
  if (!Move64(machine_, tx - machine_.curX, ty - machine_.curY, kMasterResetFlag)) return false;
  double pick = row.Record().pickHeight;
  if (pick == 0.0) pick = b.m_Z_Nozzle2ToFeed;
  const double depth = pick - b.m_Nozzle2MoreNozzle1;
  if (!smt::link::SendCmd61MoveAxis(machine_, 2, TruncToSteps(depth, p.m_Z_Pulse), sp[kSpZ1].start, sp[kSpZ1].normal))
    return false;
  const double s = std::fabs(row.Record().feedCoordinate);
  const auto side = TowbarSideOf(machine_, letter);
  const AutoFeedConfig cfg = AutoFeeders::Of(machine_).Config();
  if (side) {
    const auto& lift = sp[static_cast<size_t>(side->liftSpeed)];
    smt::link::SendCmd61MoveAxis(machine_, static_cast<uint8_t>(side->liftAxis),
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
  if (letter != 'G' && !Move64(machine_, dx, dy, kNoMasterResetFlag)) return false;
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
  if (!Move64(machine_, dx, dy, kNoMasterResetFlag)) return false;
  if (!smt::link::SendCmd61MoveAxis(machine_, 2, -TruncToSteps(depth, p.m_Z_Pulse), sp[kSpZ1].start, sp[kSpZ1].normal))
    return false;
  if (side) {
    const auto& lift = sp[static_cast<size_t>(side->liftSpeed)];
    smt::link::SendCmd61MoveAxis(machine_, static_cast<uint8_t>(side->liftAxis),
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
  const AutoFeedConfig cfg = AutoFeeders::Of(machine_).Config();
  running = true;
  struct Clear {
    std::atomic<bool>& r;
    ~Clear() { r = false; }
  } clear{running};
  auto& af = AutoFeeders::Of(machine_);
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
            const bool serial = Serial(machine_);
            const bool v207 = smt::link::RuntimeOf(machine_).v2_07.load() != 0;
            const int t = row.Record().feedTime;
            af.SetFeederOn(n);
            auto m = af.Mask();
            smt::link::FeedValues v{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]), static_cast<int32_t>(m[2]),
                                    0, 0, 0, 0, t, count, serial && !v207 ? 0 : n};
            ok = smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 10, v) == smt::link::CommandResult::Ok;
            if (ok) {
              af.SetFeederOff(n);
              m = af.Mask();
              smt::link::FeedValues w{static_cast<int32_t>(m[0]), static_cast<int32_t>(m[1]),
                                      static_cast<int32_t>(m[2]), 0, 0, 0, 0, t,
                                      serial ? count : AutoFeeders::WordOf(n), 0};
              ok = smt::link::SendCmd66MoveFeedAxis(machine_, FeedAlternative(machine_), 10, w) == smt::link::CommandResult::Ok;
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
