#pragma once
// The jog and camera panels of tests: they do nothing but record what they
// were asked, so a test can check a dialog reached the panel as the shell's
// would. Connect one to the machine's port for the test's life with
// `ConnectedPanel`.
#include <atomic>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "link/WindowPanels.h"

namespace smt::testing {

class RecordingJogPanel : public smt::link::JogPanelActions {
 public:
  struct JogCall {
    int axis = 0;
    bool positive = false, held = false, bySteps = false;
    int steps = 0;
    int platform = 0;  // JogOnPlatform only
  };
  std::vector<JogCall> jogs;
  int releases = 0;
  int gear = 0;
  int widthSteps = 0;
  std::vector<bool> traceShown;
  int liftClears = 0;

  bool Jog(int axis, bool positive, bool held, bool bySteps, int steps) override {
    jogs.push_back({axis, positive, held, bySteps, steps, 0});
    return true;
  }
  bool JogOnPlatform(int axis, bool positive, int platform) override {
    jogs.push_back({axis, positive, true, false, 0, platform});
    return true;
  }
  void ReleaseJog() override { ++releases; }
  int NextSpeedGear() override { return gear = (gear + 1) % 4; }
  int WidthJogSteps() override { return widthSteps; }
  void ShowConveyorTrace(bool shown) override { traceShown.push_back(shown); }
  void ClearLiftOnce() override { ++liftClears; }
};

class RecordingCameraPanel : public smt::link::CameraPanel {
 public:
  struct Visual {
    int contrast = 0, brightness = 0, feature = 0;
    double viewSize = 0, viewBox = 0;
  };
  int markOpens = 0;
  int markOpensWithFeederLight = 0;
  std::vector<Visual> visuals;
  std::vector<std::string> features;
  std::vector<std::pair<int, std::string>> templates;
  std::pair<int, int> contrastBrightness{0, 0};

  void OpenMarkCamera() override { ++markOpens; }
  void OpenMarkCameraWithFeederLight() override { ++markOpensWithFeederLight; }
  void ShowVisualParameters(int contrast, int brightness, int feature, double viewSize, double viewBox) override {
    visuals.push_back({contrast, brightness, feature, viewSize, viewBox});
  }
  void SetImageFeature(const std::string& feature) override { features.push_back(feature); }
  void TemplateCommand(int mode, const std::string& name) override { templates.emplace_back(mode, name); }
  std::pair<int, int> ContrastBrightness() override { return contrastBrightness; }
  // Called on link threads too: counted only.
  std::atomic<int> boardValuesShown{0}, camerasOpenedAfterConnect{0}, switches{0}, captureResets{0};
  void ShowBoardCameraValues() override { ++boardValuesShown; }
  void OpenCamerasAfterConnect() override { ++camerasOpenedAfterConnect; }
  void SwitchCamera(int, int) override { ++switches; }
  void ResetCaptureDone() override { ++captureResets; }
  // The capture is done at once.
  bool WaitCaptureDone(std::chrono::milliseconds) override { return true; }
};

// Connects `panel` to `port` for the life of the object; the one connected
// before is connected again afterwards.
template <class I>
class ConnectedPanel {
 public:
  ConnectedPanel(smt::platform::Port<I>& port, I& panel) : port_(port), previous_(port.get()) { port.Connect(&panel); }
  ~ConnectedPanel() { port_.Connect(previous_); }
  ConnectedPanel(const ConnectedPanel&) = delete;
  ConnectedPanel& operator=(const ConnectedPanel&) = delete;

 private:
  smt::platform::Port<I>& port_;
  I* previous_;
};

}  // namespace smt::testing
