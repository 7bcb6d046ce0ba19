#include "vision/CameraCalibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogSetView.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognitionTypes.h"
#include "vision/VisionGlobals.h"
#include "platform/RefusalTexts.h"
#include "platform/SystemText.h"

namespace smt::vision {

using smt::settings::SettingsStores;
using smt::settings::SpeedUse;
using namespace std::chrono_literals;

int HeadCountForMachineType(int t) {
  switch (t) {
    case 0: case 1: return 1;
    case 2: case 10: return 2;
    case 3: case 4: case 6: return 4;
    case 7: case 8: return 8;
    default: return 1;
  }
}

FlyLayout ComputeFlyLayout(int machineType, const CameraRecord& c1, const std::array<int32_t, 9>& off,
                           const std::array<int, 8>& trig) {
  FlyLayout f;
  f.headCount = HeadCountForMachineType(machineType);
  const int32_t pitch = off[2];
  f.startX = c1.CameraPulse_X + pitch;
  f.startY = c1.CameraPulse_Y;
  f.endX = c1.CameraPulse_X - off[std::clamp(f.headCount, 2, 8)] - pitch;
  for (int k = 1; k <= 8; ++k) {
    int32_t base = k == 1 ? pitch : k == 2 ? 2 * pitch : off[k] + pitch;
    f.trigger[k - 1] = base + trig[k - 1];
  }
  return f;
}

HeadAxis HeadAxesFor(int head, int machineType) {
  HeadAxis a;
  head = std::clamp(head, 1, 8);
  if (machineType == 7 || machineType == 8) {
    a.z = static_cast<uint8_t>(0x20 + head - 1);
    a.rotation = static_cast<uint8_t>(0x28 + head - 1);
    return a;
  }
  a.z = head <= 2 ? 2 : 3;
  a.negate = head == 2 || head == 4;
  a.rotation = static_cast<uint8_t>(4 + std::min(head, 4) - 1);
  return a;
}

double HeadOffsetCentre(const std::array<double, 4>& v) {
  // The middle of the four looks: 0 is not one of them.
  double hi = v[0], lo = v[0];
  for (double x : v) {
    hi = std::max(hi, x);
    lo = std::min(lo, x);
  }
  return (hi + lo) / 2.0;
}

ScaleStep NextScale(double base, double measured, double scale) {
  if (measured > 0.99 * base && measured < 1.01 * base) return {true, scale};
  return {false, base != 0.0 ? measured * scale / base : scale};
}

bool FlyTriggerInWindow(int head, int32_t t, int32_t pitch, int32_t offsetK, int32_t* base) {
  int32_t lo, hi, b;
  if (head == 1) {
    lo = pitch;
    hi = 2 * pitch;
    b = pitch;
  } else if (head == 2) {
    lo = 2 * pitch;
    hi = 3 * pitch;
    b = 2 * pitch;
  } else {
    lo = pitch + offsetK;
    hi = offsetK + 2 * pitch;
    b = offsetK + pitch;
  }
  if (base) *base = b;
  return lo <= t && t + 130 <= hi;
}

namespace {

constexpr smt::platform::SystemText kNoCamera{"VisionMessagesConfig", "VisionMessages.c_NoCamera", "没有相机 !"};
constexpr smt::platform::SystemText kPlacePiece{"VisionMessagesConfig", "VisionMessages.c_PlaceCalibrationPiece", "请放置好标准片 !"};

double Round4(double v) { return std::round(v * 10000.0) / 10000.0; }

// The machine the task works on (the camera list's).
smt::Machine& M(CalibrationJob& job) { return *job.machine; }

smt::settings::PulseTable Table(smt::Machine& m) { return SettingsStores::Of(m).machine.Geometry()->table; }

smt::settings::SpeedRecord Speeds(smt::Machine& m) { return SettingsStores::Of(m).speed.Record(SpeedUse::PickPart); }

void StateBeforeMove(smt::Machine& m) {
  if (smt::link::RuntimeOf(m).UsesSerial()) smt::link::SendCmd60SetState(m, 0, 0);
}

bool MoveTo(CalibrationJob& job, int32_t tx, int32_t ty) {
  const auto s = Speeds(M(job));
  M(job).motion.targetX = tx;
  M(job).motion.targetY = ty;
  return smt::link::SendCmd64MoveXY(M(job), tx - M(job).curX.load(), s[0].start, s[0].normal, ty - M(job).curY.load(), s[1].start,
                                    s[1].normal, 0, 0, 0, 0, 0x80);
}

// Camera channel and light; the live view follows on industrial cameras.
void Select(CalibrationJob& job, int channel, int brightness, int trigger) {
  smt::link::SelectCamera(M(job), channel, brightness, trigger);
  const int mode = (channel == 1 || channel == 4) ? 0 : channel - 1;
  M(job).camera.visionMode = mode;
  if (job.panel && M(job).camera.highSpeedCamera.load() == 1 && M(job).machineType.load() != 4) job.panel->SwitchCamera(mode, trigger);
}

BoardMarkView Board(CalibrationJob& job) { return job.boardMark ? job.boardMark() : BoardMarkView{}; }

void ShowMarkParameters(CalibrationJob& job) {
  const BoardMarkView b = Board(job);
  Select(job, 1, b.brightness, -1);
  if (job.panel) job.panel->ShowVisualParameters(b.contrast, b.brightness, -1, b.visualZoom, b.visualBox);
}

CameraRecord Record(CalibrationJob& job, int camera) {
  std::lock_guard lk(job.m);
  return camera == 1 ? job.table->m_Camera_first : job.table->m_Camera_second;
}

int32_t HeadOffsetX(smt::Machine& m, int head) { return head >= 2 && head <= 8 ? Table(m).nNozzleToNozzle1X[head] : 0; }
int32_t HeadOffsetY(smt::Machine& m, int head) { return head >= 2 && head <= 8 ? Table(m).nNozzleToNozzle1Y[head] : 0; }

int32_t StrokeDepth(CalibrationJob& job, int head) {
  const auto b = SettingsStores::Of(M(job)).machine.Basic();
  double baseZ;
  {
    std::lock_guard lk(job.m);
    baseZ = job.settings->m_BaseCoordinates_Z;
  }
  const double mm = head == 1 ? baseZ : b->ZNozzleToFeed(head) - b->ZNozzleToFeed(1) + baseZ;
  int32_t d = MmToSteps(mm, Table(M(job)).dZPulse);
  if (HeadAxesFor(head, M(job).machineType.load()).negate) d = -d;
  return d;
}

void BaseSteps(CalibrationJob& job, int32_t& x, int32_t& y) {
  const auto t = Table(M(job));
  std::lock_guard lk(job.m);
  x = MmToSteps(job.settings->m_BaseCoordinates_X, t.dXPulse);
  y = MmToSteps(job.settings->m_BaseCoordinates_Y, t.dYPulse);
}

bool Running(CalibrationJob& job) { return job.calibrationRunning && job.calibrationRunning->load(); }

bool Grab(CalibrationJob& job, int role, cv::Mat& frame) {
  if (job.grabFrame) return job.grabFrame(role, frame);
  return job.panel && job.panel->GrabFrame(role, frame, 3000ms);
}

void Report(CalibrationJob& job, const char* infoFmt, const char* logFmt, double x, double y, double a, double w, double h) {
  char buf[256];
  std::snprintf(buf, sizeof buf, infoFmt, x, y, a, w, h);
  smt::link::RuntimeOf(M(job)).Hooks().AppendInfoLine(buf, true);
  std::snprintf(buf, sizeof buf, logFmt, x, y, a, w, h);
  CLogFile::Instance().Write(true, "%s", buf);
}

// Shows row `row` of the table as it now is in the open list.
void ShowRow(CalibrationJob& job, int row) {
  std::vector<std::string> texts;
  {
    std::lock_guard lk(job.m);
    if (row < 0 || row >= job.table->Count()) return;
    texts = job.table->Row(row).ShownTexts();
  }
  if (job.showRow) job.showRow(row, texts);
}

// The selected row's values (nullopt when no row is selected or the row
// cannot be read).
std::optional<CameraValues> SelectedValues(CalibrationJob& job) {
  std::lock_guard lk(job.m);
  if (job.selectedRow < 0 || job.selectedRow >= job.table->Count()) return std::nullopt;
  const CameraRow& r = job.table->Row(job.selectedRow);
  if (!r.Readable()) return std::nullopt;
  return r.Values();
}

// Inclusive sleep that ends early when the exit item cleared the flag.
void Pause(CalibrationJob& job, std::chrono::milliseconds d) {
  const auto end = std::chrono::steady_clock::now() + d;
  while (std::chrono::steady_clock::now() < end) {
    if (job.calibrationRunning && !job.calibrationRunning->load()) return;
    if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return;
    std::this_thread::sleep_for(5ms);
  }
}

}  // namespace

bool MoveCameraToStandardPiece(CalibrationJob& job) {
  ShowMarkParameters(job);
  int32_t bx, by;
  BaseSteps(job, bx, by);
  const auto t = Table(M(job));
  StateBeforeMove(M(job));
  return MoveTo(job, bx - t.nCameraToNozzle1X, by - t.nCameraToNozzle1Y);
}

bool BringStandardPieceToCamera(CalibrationJob& job, int head, int camera, int32_t dx, int32_t dy) {
  int32_t bx, by;
  BaseSteps(job, bx, by);
  int32_t tx = bx + dx - HeadOffsetX(M(job), head), ty = by + dy - HeadOffsetY(M(job), head);
  const int32_t depth = StrokeDepth(job, head);
  const HeadAxis axis = HeadAxesFor(head, M(job).machineType.load());
  if (M(job).machineType.load() == 8)
    smt::link::SetOutput(M(job), 32 + head - 1, 1, SettingsStores::Of(M(job)).machine.Basic()->m_Exhaust);
  StateBeforeMove(M(job));
  if (!MoveTo(job, tx, ty)) return false;
  const auto s = Speeds(M(job));
  if (!smt::link::Succeeded(smt::link::SendCmd67MoveZ(M(job), axis.z, depth, s[2].start, s[2].normal, 1, 100, 0)))
    return false;
  if (camera != 1 && camera != 2) return true;
  const CameraRecord r = Record(job, camera);
  M(job).camera.visionMode = camera;
  Select(job, camera + 1, r.Light_Brightness, -1);
  tx = r.CameraPulse_X - HeadOffsetX(M(job), head);
  ty = r.CameraPulse_Y - HeadOffsetY(M(job), head);
  if (job.panel) job.panel->ShowVisualParameters(r.Light_Contrast, r.Light_Brightness, -1, r.VisualZoom, r.VisualSize);
  return MoveTo(job, tx, ty);
}

bool ReturnStandardPiece(CalibrationJob& job, int head) {
  ShowMarkParameters(job);
  int32_t bx, by;
  BaseSteps(job, bx, by);
  const int32_t depth = StrokeDepth(job, head);
  const HeadAxis axis = HeadAxesFor(head, M(job).machineType.load());
  StateBeforeMove(M(job));
  if (!MoveTo(job, bx - HeadOffsetX(M(job), head), by - HeadOffsetY(M(job), head))) return false;
  const auto s = Speeds(M(job));
  return smt::link::Succeeded(
      smt::link::SendCmd68MoveZVacuum(M(job), axis.z, depth, s[2].start, s[2].normal, std::abs(depth), 200, 0));
}

bool PrepareCalibrationCamera(CalibrationJob& job, int camera, double& boxMm, int& threshold, double& pixelsPerMm) {
  int mode = M(job).camera.visionMode.load();
  if (camera == 1 || camera == 2) {
    mode = camera;
    M(job).camera.visionMode = mode;
    const CameraRecord r = Record(job, camera);
    boxMm = r.VisualSize;
    threshold = r.Light_Contrast;
    pixelsPerMm = r.VisualZoom;
  } else if (mode != 1 && mode != 2) {
    return true;
  }
  bool available;
  if (job.grabFrame) {
    available = true;
  } else if (!job.panel) {
    available = false;
  } else if (M(job).camera.highSpeedCamera.load() == 1 && (mode == 1 ? M(job).camera.highSpeedVisualCamera1.load() : M(job).camera.highSpeedVisualCamera2.load())) {
    available = job.panel->Engine().HasRole(mode);
  } else {
    available = job.panel->m_pDirectShowCamera[0] != nullptr;
  }
  if (!available) {
    smt::platform::ShowMessage(kNoCamera);
    return false;
  }
  return true;
}

void CalibrateByCentring(CalibrationJob& job, int threshold, double scale, double boxMm) {
  if (job.calibrationRunning) *job.calibrationRunning = true;
  const auto t = Table(M(job));
  const auto s = Speeds(M(job));
  const int role = M(job).camera.visionMode.load();
  double baseDiameter;
  {
    std::lock_guard lk(job.m);
    baseDiameter = job.settings->m_BaseDiameter;
  }
  int64_t accX = 0, accY = 0;
  while (Running(job)) {
    Pause(job, 1000ms);
    if (!Running(job)) break;
    cv::Mat frame;
    double dx = 0, dy = 0, da = 0;
    cv::RotatedRect r = NotFoundRect();
    if (Grab(job, role, frame))
      r = RecognizeSpecialPart(1, frame, threshold, false, 0, "", boxMm, scale, 0.0, 0.0, dx, dy, da);
    if (IsNotFound(r)) {
      CLogFile::Instance().Write(true, "Mark size error !");
      break;
    }
    const int32_t sx = MmToSteps(dx, t.dXPulse), sy = MmToSteps(dy, t.dYPulse);
    const int32_t sa = -MmToSteps(da, t.dAPulse);
    const double w = r.size.width / scale, h = r.size.height / scale;
    Report(job, "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f",
           "X = %0.4f，Y = %0.4f，A =  %0.4f，W = %0.2f, H = %0.2f", dx, dy, da, w, h);
    if (!smt::link::SendCmd64MoveXY(M(job), sx, s[0].start, s[0].normal, sy, s[0].start, s[0].normal, 1, sa, s[4].start,
                                    s[4].normal, 0x80))
      break;
    if (job.task == 4) {
      const ScaleStep next = NextScale(baseDiameter, w, scale);
      if (next.accepted) {
        {
          std::lock_guard lk(job.m);
          job.table->SetVisualZoom(job.selectedRow, scale);
          (role == 1 ? job.table->m_Camera_first : job.table->m_Camera_second).VisualZoom = scale;
        }
        ShowRow(job, job.selectedRow);
        break;
      }
      scale = next.scale;
    } else if (job.task == 6) {
      if (sx == 0 && sy == 0) {
        const auto b = SettingsStores::Of(M(job)).machine.Basic();
        const double x = Round4(b->m_X_CameraToNozzle1 - (t.dXPulse != 0 ? accX / t.dXPulse : 0));
        const double y = Round4(b->m_Y_CameraToNozzle1 - (t.dYPulse != 0 ? accY / t.dYPulse : 0));
        SettingsStores::Of(M(job)).machine.SetCameraOffset(job.appDir, x, y);
        break;
      }
      accX += sx;
      accY += sy;
    }
  }
}

void CalibrateHeadOffset(CalibrationJob& job, int head, int camera, int threshold, double boxMm, double scale) {
  const auto t = Table(M(job));
  const auto s = Speeds(M(job));
  const int role = camera == 1 || camera == 2 ? camera : M(job).camera.visionMode.load();
  const bool industrial = M(job).camera.highSpeedCamera.load() == 1;
  std::array<double, 4> X{}, Y{};
  const HeadAxis axis = HeadAxesFor(head, M(job).machineType.load());
  int looks = 0;
  for (int i = 0; i < 4; ++i) {
    Pause(job, industrial ? 200ms : 1000ms);
    cv::Mat frame;
    double dx = 0, dy = 0, da = 0;
    cv::RotatedRect r = NotFoundRect();
    if (Grab(job, role, frame))
      r = RecognizeSpecialPart(std::clamp(head, 1, 8), frame, threshold, false, 0, "", boxMm, scale, 0.0, 0.0, dx, dy,
                               da);
    if (IsNotFound(r)) {
      CLogFile::Instance().Write(true, "Mark size error !");
      break;
    }
    X[i] = dx;
    Y[i] = dy;
    ++looks;
    Report(job, "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f",
           "X = %0.4f，Y = %0.4f，A =  %0.4f，W = %0.2f，H = %0.2f", dx, dy, da, r.size.width / scale,
           r.size.height / scale);
    smt::link::SendCmd61MoveAxis(M(job), axis.rotation, MmToSteps(90.0, t.dAPulse), s[4].start, s[4].normal);
  }
  if (looks < 4) {
    // The centre of the turn needs all four quarter turns: the place stays.
    CLogFile::Instance().Write(true, "camera position: %d of 4 looks found, nothing changed", looks);
    return;
  }
  const double cx = HeadOffsetCentre(X), cy = HeadOffsetCentre(Y);
  if (head == 1) {
    const auto row = SelectedValues(job);
    if (!row) {
      // A row that cannot be read has no place to correct.
      CLogFile::Instance().Write(true, "camera position: the camera row cannot be read, nothing changed");
      return;
    }
    const double x = row->x + cx, y = row->y + cy;
    {
      std::lock_guard lk(job.m);
      if (!job.table->SetPosition(job.selectedRow, x, y)) return;
      CameraRecord& rec = role == 1 ? job.table->m_Camera_first : job.table->m_Camera_second;
      rec.CameraPulse_X = MmToSteps(job.table->Row(job.selectedRow).Values().x, t.dXPulse);
      rec.CameraPulse_Y = MmToSteps(job.table->Row(job.selectedRow).Values().y, t.dYPulse);
    }
    ShowRow(job, job.selectedRow);
    return;
  }
  auto b = *SettingsStores::Of(M(job)).machine.Basic();
  double* xs[9] = {nullptr, nullptr, &b.m_X_Nozzle2ToNozzle1, &b.m_X_Nozzle3ToNozzle1, &b.m_X_Nozzle4ToNozzle1,
                   &b.m_X_Nozzle5ToNozzle1, &b.m_X_Nozzle6ToNozzle1, &b.m_X_Nozzle7ToNozzle1, &b.m_X_Nozzle8ToNozzle1};
  double* ys[9] = {nullptr, nullptr, &b.m_Y_Nozzle2ToNozzle1, &b.m_Y_Nozzle3ToNozzle1, &b.m_Y_Nozzle4ToNozzle1,
                   &b.m_Y_Nozzle5ToNozzle1, &b.m_Y_Nozzle6ToNozzle1, &b.m_Y_Nozzle7ToNozzle1, &b.m_Y_Nozzle8ToNozzle1};
  if (head < 2 || head > 8) return;
  *xs[head] = Round4(*xs[head] - cx);
  *ys[head] = Round4(*ys[head] - cy);
  SettingsStores::Of(M(job)).machine.SetBasic(b);
}

bool MeasurePieceUnderMarkCamera(CalibrationJob& job, int32_t& dxSteps, int32_t& dySteps) {
  const BoardMarkView b = Board(job);
  double baseDiameter;
  {
    std::lock_guard lk(job.m);
    baseDiameter = job.settings->m_BaseDiameter;
  }
  cv::Mat frame;
  if (!Grab(job, 0, frame)) return false;
  double dx = 0, dy = 0, d = 0;
  const CircleResult c = RecognizePart(frame, b.contrast, b.invert, b.visualBox, b.visualZoom, dx, dy, false, &d);
  if (!c.found || std::abs(d - baseDiameter) > baseDiameter * 0.2) return false;
  const auto t = Table(M(job));
  // The Mark camera's picture X runs against machine X.
  dxSteps = -MmToSteps(dx, t.dXPulse);
  dySteps = MmToSteps(dy, t.dYPulse);
  return true;
}

bool CalibrateFlyTrigger(CalibrationJob& job, int camera, int head) {
  (void)camera;
  if (M(job).camera.visionMode.load() != 1 && job.panel) smt::platform::RunOnGui([&] { job.panel->OnBnClickedOpenVisualCamera1(); });
  const int brightness = job.panel ? job.panel->m_Light_Brightness : 0;
  Select(job, 2, brightness, 2);
  if (job.panel) job.panel->Engine().SetTriggerMode(1, 2);
  StateBeforeMove(M(job));
  if (job.calibrationRunning) *job.calibrationRunning = true;
  const auto t = Table(M(job));
  const int32_t pitch = t.nNozzleToNozzle1X[2];
  int offset = 0;
  do {
    if (!MoveTo(job, job.fly.startX, job.fly.startY)) return false;
    if (job.panel) job.panel->Engine().m_nFlyShotIndex = 0;
    int startSpeed, normalSpeed;
    {
      std::lock_guard lk(job.m);
      startSpeed = job.settings->m_iFlyStartSpeed;
      normalSpeed = job.settings->m_iFlyNormalSpeed;
    }
    std::array<int32_t, 12> words{};
    for (int k = 0; k < 8; ++k) words[k] = job.fly.trigger[k];
    for (int k = 0; k < 4; ++k) words[8 + k] = job.fly.further[k];
    if (!smt::link::SendCmd63FlyMove(M(job), static_cast<uint8_t>(job.fly.headCount), job.fly.endX - job.fly.startX,
                                     startSpeed, normalSpeed, words))
      return false;
    offset = job.panel ? job.panel->m_nFlyOffset.load() : 0;
    const int32_t before = job.fly.trigger[head - 1];
    const int32_t tpos = before - offset;
    job.fly.trigger[head - 1] = tpos;
    int32_t base = 0;
    if (FlyTriggerInWindow(head, tpos, pitch, head >= 3 ? t.nNozzleToNozzle1X[head] : 0, &base)) {
      {
        std::lock_guard lk(job.m);
        job.settings->m_iTriggerPulse[head - 1] = tpos - base;
      }
      if (job.showTrigger) job.showTrigger(head, tpos - base);
    } else {
      if (job.calibrationRunning) *job.calibrationRunning = false;
      job.fly.trigger[head - 1] = before;
    }
  } while (offset != 0 && Running(job));
  if (job.panel) job.panel->Engine().SetTriggerMode(1, 0);
  Select(job, 2, brightness, 0);
  return Running(job);
}

void CameraCalibrationThreadProc(const std::shared_ptr<CalibrationJob>& jobPtr) {
  CalibrationJob& job = *jobPtr;
  smt::BusyRelease release(M(job));  // claimed by the starter
  const int camera = job.selectedRow + 1;
  double box = 0, scale = 20;
  int threshold = 0;
  auto withRunContinue = [&job](const std::function<void()>& f) {
    M(job).runContinue = true;
    f();
    M(job).runContinue = false;
  };
  switch (job.task) {
    case 0: {
      ShowMarkParameters(job);
      int32_t bx, by;
      BaseSteps(job, bx, by);
      StateBeforeMove(M(job));
      MoveTo(job, bx, by);
      break;
    }
    case 1: MoveCameraToStandardPiece(job); break;
    case 2: BringStandardPieceToCamera(job, 1, camera, 0, 0); break;
    case 3: ReturnStandardPiece(job, 1); break;
    case 4:
    case 6: {
      int32_t dx = 0, dy = 0;
      if (job.task == 6) {
        if (!MoveCameraToStandardPiece(job)) break;
        bool ok = false;
        withRunContinue([&] { ok = MeasurePieceUnderMarkCamera(job, dx, dy); });
        if (!ok) break;
      }
      if (!BringStandardPieceToCamera(job, 1, camera, dx, dy)) break;
      if (!PrepareCalibrationCamera(job, camera, box, threshold, scale)) break;
      withRunContinue([&] { CalibrateByCentring(job, threshold, scale, box); });
      ReturnStandardPiece(job, 1);
      break;
    }
    case 5:
      if (!BringStandardPieceToCamera(job, 1, camera, 0, 0)) break;
      if (!PrepareCalibrationCamera(job, camera, box, threshold, scale)) break;
      withRunContinue([&] { CalibrateHeadOffset(job, 1, camera, threshold, box, scale); });
      ReturnStandardPiece(job, 1);
      break;
    case 7:
      if (!PrepareCalibrationCamera(job, camera, box, threshold, scale)) break;
      for (int head = 2; head <= M(job).headCount.load(); ++head) {
        if (M(job).machineType.load() == 8) smt::platform::ShowMessage(kPlacePiece);
        if (!BringStandardPieceToCamera(job, head, camera, 0, 0)) break;
        withRunContinue([&] { CalibrateHeadOffset(job, head, camera, threshold, box, scale); });
        ReturnStandardPiece(job, head);
      }
      break;
    case 8: {
      const int brightness = job.panel ? job.panel->m_Light_Brightness : 0;
      Select(job, 2, brightness, 2);
      if (job.panel) job.panel->Engine().SetTriggerMode(1, 2);
      StateBeforeMove(M(job));
      if (MoveTo(job, job.fly.startX, job.fly.startY)) {
        std::array<int32_t, 12> words{};
        for (int k = 0; k < 8; ++k) words[k] = job.fly.trigger[k];
        for (int k = 0; k < 4; ++k) words[8 + k] = job.fly.further[k];
        if (job.panel) job.panel->Engine().m_nFlyShotIndex = 0;
        smt::link::SendCmd63FlyMove(M(job), static_cast<uint8_t>(job.fly.headCount), job.fly.endX - job.fly.startX,
                                    job.settings->m_iFlyStartSpeed, job.settings->m_iFlyNormalSpeed, words);
      }
      if (job.panel) job.panel->Engine().SetTriggerMode(1, 0);
      Select(job, 2, brightness, 0);
      break;
    }
    case 9:
      for (int head = 1; head <= job.fly.headCount; ++head) {
        if (M(job).machineType.load() == 8) smt::platform::ShowMessage(kPlacePiece);
        if (!MoveCameraToStandardPiece(job)) break;
        int32_t dx = 0, dy = 0;
        bool ok = false;
        withRunContinue([&] { ok = MeasurePieceUnderMarkCamera(job, dx, dy); });
        if (!ok) break;
        if (!BringStandardPieceToCamera(job, head, -1, dx, dy)) break;
        if (job.panel) job.panel->m_nFlyHeadIndex = head;
        const bool calibrated = CalibrateFlyTrigger(job, 1, head);
        ReturnStandardPiece(job, head);
        if (!calibrated) break;
      }
      break;
    default:
      break;
  }
}

bool StartCameraCalibration(const std::shared_ptr<CalibrationJob>& job) {
  if (!M(*job).TryClaimBusy()) {
    smt::platform::ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_MachineRunning", "机器正在运行 !"));
    return false;
  }
  if (!smt::platform::WorkerThreads::Instance().Start("camera calibration",
                                                      [job](std::stop_token) { CameraCalibrationThreadProc(job); })) {
    M(*job).ReleaseBusy();
    return false;
  }
  return true;
}

}  // namespace smt::vision
