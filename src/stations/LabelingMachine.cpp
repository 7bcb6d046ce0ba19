#include "stations/LabelingMachine.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/LinkRuntime.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "link/WindowPanels.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"
#include "vision/PartRecognizers.h"
#include "core/Machine.h"
#include "stations/StationPart.h"

namespace smt::stations {

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;

namespace {
int32_t T(double v, double s) { return static_cast<int32_t>(std::trunc(v * s)); }
}  // namespace

LabelingScales LabelingScales::FromStores(smt::Machine& machine) {
  LabelingScales l;
  auto& st = smt::settings::SettingsStores::Of(machine);
  if (auto p = st.machine.Pulse()) {
    l.px = p->m_X_Pulse;
    l.py = p->m_Y_Pulse;
    l.pz = p->m_Z_Pulse;
    l.sheetX = p->m_NorthWalk_Pulse;
    l.sheetY = p->m_WestWalk_Pulse;
  }
  if (auto b = st.machine.Basic()) {
    l.cameraToNozzleX = b->m_X_CameraToNozzle1;
    l.cameraToNozzleY = b->m_Y_CameraToNozzle1;
    l.northFeedLimit = b->m_NorthFeed_Limit;
    l.westFeedLimit = b->m_WestFeed_Limit;
  }
  l.head2OffsetX = smt::job::NozzleOffsetX(machine, 2);
  l.head2OffsetY = smt::job::NozzleOffsetY(machine, 2);
  const auto r = st.speed.Record(smt::settings::SpeedUse::PickPart);
  l.xStart = r[0].start;
  l.xRun = r[0].normal;
  l.yStart = r[1].start;
  l.yRun = r[1].normal;
  l.zStart = r[2].start;
  l.aStart = r[4].start;
  l.aRun = r[4].normal;
  l.sheetStart = r[10].start;
  l.sheetRun = r[10].normal;
  return l;
}

LabelingIo DefaultLabelingIo() {
  LabelingIo io;
  io.sleepMs = [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  return io;
}

double LabelingMachine::Zoom() const {
  std::function<double()> z;
  double fixed;
  {
    std::lock_guard lk(m_);
    z = io_.currentZoom;
    fixed = io_.zoom;
  }
  const double v = z ? z() : fixed;
  return v > 0 ? v : fixed;
}

LabelingMachine& LabelingMachine::Of(smt::Machine& machine) { return StationOf<LabelingMachine>(machine); }

LabelingSettings LabelingMachine::Settings() const {
  std::lock_guard lk(m_);
  return s_;
}
void LabelingMachine::SetSettings(const LabelingSettings& s) {
  std::lock_guard lk(m_);
  s_ = s;
}
void LabelingMachine::SetIo(LabelingIo io) {
  std::lock_guard lk(m_);
  io_ = std::move(io);
}
void LabelingMachine::SetScales(LabelingScales s) {
  std::lock_guard lk(m_);
  scales_ = s;
  scalesSet_ = true;
}
LabelingScales LabelingMachine::Scales() const {
  {
    std::lock_guard lk(m_);
    if (scalesSet_) return scales_;
  }
  return LabelingScales::FromStores(machine_);
}

bool LabelingMachine::LabelMove(uint8_t a1, int32_t v1, uint32_t s1, uint8_t a2, int32_t v2, uint32_t s2) {
  smt::link::Cmd55Payload p{};
  p[0] = a1;
  p[1] = a2;
  smt::link::PutLE32(p, 2, v1);
  smt::link::PutLE32(p, 6, v2);
  smt::link::PutLE32(p, 10, static_cast<int32_t>(s1));
  smt::link::PutLE32(p, 14, static_cast<int32_t>(s2));
  return smt::link::SendCmd55LabelMove(machine_, p);
}

void LabelingMachine::VisionSetup() {
  machine_.camera.channelVisionMode = 3;
  LabelingIo io;
  LabelingSettings s;
  {
    std::lock_guard lk(m_);
    io = io_;
    s = s_;
  }
  if (io.visionSetup) io.visionSetup(Zoom(), s.m_VisualBoxSize, s.m_Threshold, s.m_Brightness);
}

bool LabelingMachine::MoveSheetTo(double xMm, double yMm) {
  const LabelingScales k = Scales();
  return LabelMove(9, T(xMm, k.sheetX) - machine_.motion.curAxis9.load(), k.sheetStart, 8, T(yMm, k.sheetY) - machine_.motion.curAxis8.load(),
                   k.sheetRun);
}

bool LabelingMachine::MoveSheetToPoint(int which) {
  VisionSetup();
  const LabelingSettings s = Settings();
  double x = s.CellX(s.m_SerialX), y = s.CellY(s.m_SerialY);
  if (x > s.m_EndX) x = s.m_StartX;
  if (y < s.m_EndY) y = s.m_StartY;
  switch (which) {
    case 0: break;
    case 1: x = s.m_StartX; y = s.m_StartY; break;
    case 2: x = s.m_EndX; y = s.m_StartY; break;
    case 3: x = s.m_StartX; y = s.m_EndY; break;
    case 4: x = s.m_EndX; y = s.m_EndY; break;
    default: return false;
  }
  return MoveSheetTo(x, y);
}

bool LabelingMachine::MoveHeadToThimble(int head) {
  VisionSetup();
  const LabelingSettings s = Settings();
  const LabelingScales k = Scales();
  int32_t tx = T(s.m_ThimbleX, k.px), ty = T(s.m_ThimbleY, k.py);
  if (head == 2) {
    tx -= k.head2OffsetX;
    ty -= k.head2OffsetY;
  }
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  const int h = head == 2 ? 2 : 1;
  return smt::link::SendCmd64MoveXY(machine_, tx - machine_.curX.load(), k.xStart, k.xRun, ty - machine_.curY.load(), k.yStart, k.yRun, h,
                                    machine_.motion.headMoveArgs[h - 1].load(), k.aStart, k.aRun, 0x80);
}

bool LabelingMachine::MoveMarkCameraToThimble() {
  VisionSetup();
  const LabelingSettings s = Settings();
  const LabelingScales k = Scales();
  const int32_t tx = T(s.m_ThimbleX, k.px) - T(k.cameraToNozzleX, k.px);
  const int32_t ty = T(s.m_ThimbleY, k.py) - T(k.cameraToNozzleY, k.py);
  machine_.motion.targetX = tx;
  machine_.motion.targetY = ty;
  return smt::link::SendCmd64MoveXY(machine_, tx - machine_.curX.load(), k.xStart, k.xRun, ty - machine_.curY.load(), k.yStart, k.yRun, 0, 0,
                                    0, 0, 0x80);
}

bool LabelingMachine::Strokes(int head, double nozzleMm, double thimbleMm) {
  const LabelingScales k = Scales();
  const int32_t z1 = machine_.curZ[0].load(), z2 = machine_.curZ[1].load(), z3 = machine_.curZ[2].load();
  const int32_t v1 = head == 1 ? z1 - T(nozzleMm, k.pz) : T(nozzleMm, k.pz) - z2;
  const int32_t v2 = T(thimbleMm, k.pz) + z3;
  return LabelMove(2, v1, k.zStart, 3, v2, k.zStart);
}

bool LabelingMachine::RunPickSequence(int head) {
  const LabelingSettings s = Settings();
  const LabelingScales k = Scales();
  if (head == 1 || head == 2) {
    smt::link::SetOutput(machine_, head, 1, 5);
    if (!Strokes(head, s.m_NozzlePickHeight, s.m_ThimblePickHeight)) return false;
    if (!Strokes(head, s.m_LiftAwayDistance + s.m_NozzlePickHeight, s.m_LiftAwayDistance + s.m_ThimblePickHeight))
      return false;
  }
  return LabelMove(2, machine_.curZ[0].load(), k.zStart, 3, machine_.curZ[2].load(), k.zStart);
}

bool LabelingMachine::PickDescent(int head) {
  const LabelingSettings s = Settings();
  if (head != 1 && head != 2) return false;
  if (!Strokes(head, s.m_NozzlePickHeight, s.m_ThimblePickHeight)) return false;
  return smt::link::SetOutput(machine_, head, 1, 5);
}

bool LabelingMachine::LiftAway(int head) {
  const LabelingSettings s = Settings();
  if (head != 1 && head != 2) return false;
  return Strokes(head, s.m_NozzlePickHeight + s.m_LiftAwayDistance, s.m_ThimblePickHeight + s.m_LiftAwayDistance);
}

std::vector<cv::Point> LabelingMachine::Recognize() {
  LabelingIo io;
  LabelingSettings s;
  {
    std::lock_guard lk(m_);
    io = io_;
    s = s_;
  }
  cv::Mat frame;
  if (!io.grabFrame || !io.grabFrame(frame) || frame.empty()) return {};
  return smt::vision::RecognizeLabel(frame, s.m_Threshold, s.m_AllowableError, s.m_VisualBoxSize, Zoom(),
                                     s.m_ComponentLenght, s.m_ComponentWidth);
}

std::vector<cv::Point> LabelingMachine::RecognizeGlass() {
  if (!MoveMarkCameraToThimble()) return {};
  VisionSetup();
  LabelingIo io;
  {
    std::lock_guard lk(m_);
    io = io_;
  }
  for (;;) {
    LabelingSettings s = Settings();
    if (!s.RowValid(s.m_SerialY)) break;
    while (s.ColumnValid(s.m_SerialX)) {
      if (!MoveSheetTo(s.CellX(s.m_SerialX), s.CellY(s.m_SerialY))) return {};
      if (io.sleepMs) io.sleepMs(s.m_CheckTimes);
      auto found = Recognize();
      if (!found.empty()) return found;
      CLogFile::Instance().Write(true, "Mark size error !");
      if (smt::platform::ShowMessage(kGlassNotFound, MsgButtons::YesNo, MsgIcon::None) != MsgAnswer::Yes) return {};
      s = Settings();
      ++s.m_SerialX;
      SetSettings(s);
    }
    s = Settings();
    ++s.m_SerialY;
    s.m_SerialX = 0;
    SetSettings(s);
  }
  LabelingSettings s = Settings();
  s.m_SerialX = s.m_SerialY = 0;
  SetSettings(s);
  return {};
}

void LabelingMachine::CycleTest() {
  if (!MoveMarkCameraToThimble()) return;
  loop = true;
  LabelingIo io;
  {
    std::lock_guard lk(m_);
    io = io_;
  }
  for (;;) {
    LabelingSettings s = Settings();
    if (!s.RowValid(s.m_SerialY) || !loop) break;
    while (s.ColumnValid(s.m_SerialX) && loop) {
      if (!MoveSheetTo(s.CellX(s.m_SerialX), s.CellY(s.m_SerialY))) {
        loop = false;
        break;
      }
      if (io.sleepMs) io.sleepMs(s.m_CheckTimes);
      ++s.m_SerialX;
      SetSettings(s);
    }
    if (!loop) break;
    s = Settings();
    ++s.m_SerialY;
    s.m_SerialX = 0;
    SetSettings(s);
  }
  LabelingSettings s = Settings();
  s.m_SerialX = s.m_SerialY = 0;
  SetSettings(s);
  loop = false;
}

void LabelingMachine::CentrePieces(const std::vector<cv::Point>& pieces) {
  const LabelingScales k = Scales();
  const double ox = machine_.motion.curAxis9.load() / k.sheetX, oy = machine_.motion.curAxis8.load() / k.sheetY;
  const double zoom = Zoom();
  LabelingIo io;
  {
    std::lock_guard lk(m_);
    io = io_;
  }
  for (const auto& p : pieces) {
    if (!loop) break;
    if (!MoveSheetTo(ox - p.x / zoom, oy + p.y / zoom)) {
      loop = false;
      break;
    }
    if (io.sleepMs) io.sleepMs(Settings().m_CheckTimes);
  }
}

void LabelingMachine::RecognizeCurrent() {
  VisionSetup();
  const auto pieces = Recognize();
  if (pieces.empty()) {
    CLogFile::Instance().Write(true, "Mark size error !");
    smt::platform::ShowMessage(kNoRecognition);
  }
  loop = true;
  CentrePieces(pieces);
  loop = false;
}

void LabelingMachine::RecognizeLoop() {
  VisionSetup();
  loop = true;
  LabelingIo io;
  {
    std::lock_guard lk(m_);
    io = io_;
  }
  for (;;) {
    LabelingSettings s = Settings();
    if (!s.RowValid(s.m_SerialY) || !loop) break;
    while (s.ColumnValid(s.m_SerialX) && loop) {
      if (!MoveSheetTo(s.CellX(s.m_SerialX), s.CellY(s.m_SerialY))) {
        loop = false;
        break;
      }
      if (io.sleepMs) io.sleepMs(s.m_CheckTimes);
      const auto pieces = Recognize();
      if (pieces.empty()) {
        CLogFile::Instance().Write(true, "Mark size error !");
        smt::platform::ShowMessage(kNoRecognition);
      }
      CentrePieces(pieces);
      if (io.sleepMs) io.sleepMs(s.m_CheckTimes);
      s = Settings();
      ++s.m_SerialX;
      SetSettings(s);
    }
    if (!loop) break;
    s = Settings();
    ++s.m_SerialY;
    s.m_SerialX = 0;
    SetSettings(s);
  }
  LabelingSettings s = Settings();
  s.m_SerialX = s.m_SerialY = 0;
  SetSettings(s);
  loop = false;
}

bool LabelingMachine::ToggleVacuum(int head) {
  const bool on = !vacuumOn.load();
  vacuumOn = on;
  const int output = head == 2 ? 2 : 1;
  smt::link::SetOutput(machine_, static_cast<uint8_t>(output), on ? 1 : 0, 5);
  smt::link::RuntimeOf(machine_).SetPumpButton(output, on);
  return on;
}

bool LabelingMachine::Home(int mode) {
  // Only the whole homing takes the homed state away until it is done.
  if (mode == 0) machine_.resetDone = false;
  return smt::link::MachineHoming::Of(machine_).StartHomeThread(mode, 1);
}

void LabelingMachine::RunTest(int task, int head) {
  switch (task) {
    case 0: case 1: case 2: case 3: case 4: MoveSheetToPoint(task); break;
    case 6: VisionSetup(); break;
    case 7: MoveHeadToThimble(head); break;
    case 8: MoveMarkCameraToThimble(); break;
    case 9: PickDescent(head); break;
    case 10: LiftAway(head); break;
    case 11: RunPickSequence(head); break;
    case 12: CycleTest(); break;
    case 5: smt::link::CameraPanelPortOf(machine_)->OpenMarkCamera(); break;
    case 13: RecognizeCurrent(); break;
    case 14: RecognizeLoop(); break;
    default: break;
  }
}

bool LabelingMachine::StartTest(int task, int head) {
  if (!machine_.connected.load() || !machine_.resetDone.load()) return false;
  if (!machine_.TryClaimBusy()) return false;
  const bool ok = smt::platform::WorkerThreads::Instance().Start("LabelingTest", [this, task, head](std::stop_token) {
    smt::BusyRelease release(machine_);
    RunTest(task, head);
  });
  if (!ok) machine_.ReleaseBusy();
  return ok;
}

}  // namespace smt::stations
