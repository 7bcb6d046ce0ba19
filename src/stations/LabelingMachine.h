#pragma once
// The labeling machine's sheet and pick steps: sheet moves (axes 9 and 8),
// the head and the Mark camera over the ejector pin, the pick strokes of a
// nozzle with the ejector pin (axes 2 and 3), and the search of the sheet
// for pieces by the camera. The labeling run uses the same steps.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/Hooks.h"
#include "stations/LabelingSettings.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::stations {

struct LabelingScales {
  double px = 1, py = 1, pz = 1;            // head X, Y, Z pulses per mm
  double sheetX = 1, sheetY = 1;            // north walk, west walk pulses per mm
  double cameraToNozzleX = 0, cameraToNozzleY = 0;  // mm
  int32_t head2OffsetX = 0, head2OffsetY = 0;       // pulses
  double northFeedLimit = 1e9, westFeedLimit = -1e9;  // mm
  // m_PickPart_Speed: X, Y, Z1, A1/A2 and north-walk pairs.
  int32_t xStart = 1, xRun = 1, yStart = 1, yRun = 1, zStart = 1, sheetStart = 1, sheetRun = 1;
  int32_t aStart = 1, aRun = 1;
  // From `machine`'s settings stores.
  static LabelingScales FromStores(smt::Machine& machine);
};

struct LabelingIo {
  // One Mark-camera frame; false when none came.
  std::function<bool(cv::Mat&)> grabFrame;
  // Vision set-up of the camera panel (zoom, box, threshold, brightness).
  std::function<void(double zoom, double box, int threshold, int brightness)> visionSetup;
  std::function<void(int ms)> sleepMs;
  double zoom = 18.0;  // pixels per mm (the PCB editor's)
  // The shown board's zoom now, when connected (else `zoom`).
  std::function<double()> currentZoom;
};

LabelingIo DefaultLabelingIo();

// Nothing recognised under the camera (the part list's text).
inline constexpr smt::platform::SystemText kNoRecognition{"StationMessagesConfig", "StationMessages.c_MarkFailed", "Mark识别失败 !"};
inline constexpr smt::platform::SystemText kGlassNotFound{"StationMessagesConfig", "StationMessages.c_GlassNotFound", "玻璃片识别错误 ！  是 - 重新识别，否 - 退出"};

class LabelingMachine {
 public:
  explicit LabelingMachine(smt::Machine& machine) : machine_(machine) {}
  // The labeling machine of `machine`.
  static LabelingMachine& Of(smt::Machine& machine);

  LabelingSettings Settings() const;
  void SetSettings(const LabelingSettings& s);
  void SetIo(LabelingIo io);
  void SetScales(LabelingScales s);  // tests; default from the stores
  LabelingScales Scales() const;

  bool MoveSheetTo(double xMm, double yMm);
  // 0 the current cell (beyond the end: the start), 1 start, 2 (end X, start
  // Y), 3 (start X, end Y), 4 end.
  bool MoveSheetToPoint(int which);
  bool MoveHeadToThimble(int head);
  bool MoveMarkCameraToThimble();
  // The pick over the ejector pin: down with vacuum, lift away, back.
  bool RunPickSequence(int head);
  // The down stroke only, then the vacuum on.
  bool PickDescent(int head);
  // The lift-away stroke only.
  bool LiftAway(int head);
  // Pieces on the sheet from the current cell on (pixel offsets from the
  // camera axis); empty when the sheet is used up or the operator gave up.
  std::vector<cv::Point> RecognizeGlass();
  // Visits every cell from the current one; the loop flag stops it.
  void CycleTest();
  // Task 13: the pieces under the camera now, each centred in turn.
  void RecognizeCurrent();
  // Task 14: every cell from the current one recognised and its pieces
  // centred; the loop flag stops it; the serials go back to 0 at the end.
  void RecognizeLoop();
  // The vacuum valve of head 1 or 2, toggled; the new state.
  bool ToggleVacuum(int head);
  // Homing with the jog panel's reset mode `mode` (0 all, 6 X, 5 Y, 3 Z).
  bool Home(int mode);
  std::atomic<bool> loop{false};
  std::atomic<bool> vacuumOn{false};

  // The test thread: guards, busy claimed, task 0..14 on a worker.
  bool StartTest(int task, int head);
  void RunTest(int task, int head);

 private:
  bool LabelMove(uint8_t a1, int32_t v1, uint32_t s1, uint8_t a2, int32_t v2, uint32_t s2);
  bool Strokes(int head, double nozzleMm, double thimbleMm);
  void VisionSetup();
  std::vector<cv::Point> Recognize();
  double Zoom() const;
  // Centres each piece of `pieces` under the camera (sheet moves).
  void CentrePieces(const std::vector<cv::Point>& pieces);

  smt::Machine& machine_;
  mutable std::mutex m_;
  LabelingSettings s_;
  LabelingIo io_;
  bool scalesSet_ = false;
  LabelingScales scales_;
};

}  // namespace smt::stations
