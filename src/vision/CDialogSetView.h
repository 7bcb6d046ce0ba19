#pragma once
// The camera panel of the main window: the live picture of the selected
// camera with its cursor, the nine result pictures of the recognisers, the
// camera buttons, the visual box, light contrast and brightness, and the
// vision test, QR read and template commands. Works with the industrial
// cameras (through CameraEngine) or with capture cameras (CCameraDS).
#include <QWidget>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>

#include "core/Machine.h"
#include "platform/Hooks.h"
#include "platform/Port.h"
#include <map>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>

#include "vision/CameraEngine.h"
#include "vision/CameraTable.h"
#include "vision/PanelMove.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class QCheckBox;
class QSlider;
class QTimer;
class CCameraDS;

// The current board's Mark camera values (the part list's PCB record).
struct BoardMarkView {
  double visualZoom = 20.0;   // pixels per mm
  double visualBox = 2.0;     // mm
  int contrast = 0, brightness = 0;
  bool invert = false;
  bool usePanelLight = false;  // the board asks for the panel's own light
  int secondBrightness = 0;    // the view's second brightness
  bool secondMarkActive = false;
  double secondMarkBox = 0;
  int secondMarkContrast = 0, secondMarkBrightness = 0;
};

class CDialogSetView : public QWidget {
  Q_OBJECT
 public:
  // `machine`: the machine whose cameras the panel shows and whose head its
  // moves drive (camera mode, machine type, link and busy state).
  explicit CDialogSetView(smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogSetView() override;

  // What the panel reads of its neighbours (window thread): one interface
  // the shell connects and tests replace; used unconnected, it is named.
  class Neighbours {
   public:
    virtual ~Neighbours() = default;
    // Camera table records 1 and 2 (m_Camera_first / m_Camera_second).
    virtual smt::vision::CameraRecord CameraRecordOf(int camera) = 0;
    // The shown board's Mark camera values.
    virtual BoardMarkView BoardMark() = 0;
    // Package cell of the feeder list's selected row.
    virtual std::string SelectedFeederPackage() = 0;
    // The lens-correction switch (m_Calibrator2).
    virtual bool LensCorrection() = 0;
    // The camera list's colour reversal of the visual cameras.
    virtual bool VisualColourReversal() = 0;
    // The homing's waiver (the Mark button checks the link only).
    virtual bool HomingWaiver() = 0;
    // The view keeps the panel's height for its layout.
    virtual void HeightChanged(int height) = 0;
  };
  smt::platform::Port<Neighbours> neighbours{"CDialogSetView.neighbours"};
  // The run's recognition of a head's part in a triggered fly frame (head 1..8).
  smt::platform::Hook<void(int head, const cv::Mat& frame)> recognizeLiveFrame{"CDialogSetView.recognizeLiveFrame"};

  // The industrial cameras to look for (default: DefaultCameraSystem()).
  void SetCameraSystem(std::shared_ptr<smt::vision::ICameraSystem> system);

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "SetView.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
  // The image-feature names in the window's language, keeping the chosen one.
  void FillFeatureTypes();

  // Reads [SetViewConfig] (binary view, visual size, light contrast and
  // brightness), the camera kind of [CameraListConfig] and the language.
  void LoadConfig(const std::string& appDir);
  // Writes [SetViewConfig]; the main frame calls it at program exit.
  void SaveViewConfig(const std::string& appDir) const;

  // Set-up: cameras, capture device list, display worker, timers. Runs once
  // (also on the first show when nobody called it).
  void OnInitDialog(const std::string& appDir);
  bool Initialized() const { return m_bInitialized; }
  // Closes the capture cameras and stops the camera threads (shut-down).
  void CloseCameras();

  // Camera buttons and the operations other subsystems call.
  void OnBnClickedOpenCamera();
  void OpenOrCloseCamera(bool pauseIndustrial);
  void OnBnClickedOpenMarkCamera();
  // The Mark camera with the board's values, without the operator's
  // connected/homed checks (the run's own switch, asked while homed).
  void ShowMarkCamera();
  void OnBnClickedOpenVisualCamera1();
  void OnBnClickedOpenVisualCamera2();
  void OnBnClickedOpenVisualCameraB();
  // Makes one role the playing industrial camera (see CameraEngine).
  bool SwitchCamera(int role, int triggerMode);
  void ShowVisualParameters(int contrast, int brightness, int featureType, double pixelPerMm, double visualSize);

  // Vision commands.
  void OnBnClickedVisionTest();
  void OnQrCodeRecognition();
  void OnGetTemplate() { TemplateCommand(smt::vision::kJobGetTemplate, "template"); }
  void OnFindTemplate() { TemplateCommand(smt::vision::kJobFindTemplate, "template"); }
  void TemplateCommand(int job, const std::string& name);
  // Job routines (grab thread, vision loop or window thread).
  bool RunVisionTest(int workImage, const cv::Mat& frame, bool moveAfter);
  void ReadQrCode(const cv::Mat& frame);
  bool SaveTemplate(const cv::Mat& frame);
  bool FindTemplate(const cv::Mat& frame);
  // Says in the log and in the window's language that a template has no
  // contrast.
  void RefuseFlatTemplate(const char* command, const cv::Mat& templ);
  // Takes the values a queued vision command works with from the controls
  // (window thread); the job routines read only this copy.
  void TakeJobParameters();
  // Starts the move worker with mode 0 (click) or 1 (vision result).
  bool StartPanelMove(int mode);

  // A fresh frame of a camera role for the vision steps: the industrial
  // camera's next frame, or a capture camera's frame (live timer stopped
  // meanwhile): capture camera `captureIndex`, or with -1 the one the panel
  // shows. False when no frame came within `timeout`.
  bool GrabFrame(int role, cv::Mat& frame, std::chrono::milliseconds timeout, int captureIndex = -1);

  // Edits and zoom.
  void OnEnChangeVisualSize();
  // The largest visual box (mm) the picture holds.
  double VisualSizeLimit() const;
  void OnEnChangeLightContrast();
  void OnEnChangeLightBrightness();
  // Another window typed into the contrast or brightness edit: the value
  // goes to the live picture (and, for the brightness, to the light).
  void TypeContrast(int value);
  void TypeBrightness(int value);
  void OnBnClickedZoomIn();
  void OnBnClickedZoomOut();
  void OnBnClickedExpand();
  void OnBnClickedExtendedDisplay();
  void OnBnClickedBinaryImg();
  // A click at `pos` in live-area coordinates (click-to-centre).
  void ClickToCentre(QPoint pos);

  // Status line and the capture camera's live view (the timers' work).
  void ShowCameraStatus();
  void ShowDirectShowFrame();
  void StartLiveTimer(int ms);
  void StopLiveTimer();
  bool LiveTimerActive() const;
  // The status line text.
  QString StatusText() const;
  // The live area's last picture (tests).
  QImage LivePicture() const;

  smt::vision::CameraEngine& Engine() { return *m_engine; }
  bool CurrentCameraUsable() const;

  // Settings and view values.
  int m_BinaryImg = 0;
  bool m_bBinaryImg = false;
  double m_VisualSize = 0.0;
  int m_Light_Contrast = 0;
  int m_Light_Brightness = 0;
  double m_dPixelPerMm = 20.0;
  double m_dDisplayZoom = 1.0;
  int m_nImageWidth = 640, m_nImageHeight = 480;
  int m_nDirectShowCamera = 1;
  int m_nDirectShowCount = 0;
  int m_iDirectShowCamera = 0;
  std::array<std::unique_ptr<CCameraDS>, 8> m_pDirectShowCamera;
  bool m_bLensCorrection = false;
  bool m_bExpanded = false;
  bool m_bExtendedDisplay = false;
  std::atomic<bool> m_bPanelVisionTest{false};
  bool m_bKeepZoom = false;
  int m_FeedBrightness = 0;
  bool m_bFeederLight = false;  // one-shot: the Mark button uses m_FeedBrightness
  std::string m_strTemplateName = "template";
  double m_dClickOffsetX = 0, m_dClickOffsetY = 0;
  std::atomic<int> m_nMoveX{0}, m_nMoveY{0}, m_nMoveZ{0};
  std::atomic<double> m_dPartWidth{1.0}, m_dPartHeight{1.0};
  std::atomic<int> m_nReferenceHead{1};
  std::atomic<int> m_nReferenceMoveX{0};
  std::atomic<int> m_nWorkImage{1};
  int m_nLanguage = 1;
  std::string m_strAppDir = ".";
  // Fly fields: head index of the pass, offset measured (steps, 0 centred).
  std::atomic<int> m_nFlyHeadIndex{1};
  std::atomic<int> m_nFlyOffset{0};

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  smt::Machine& machine_;
  // Parameters of a queued job, taken on the window thread when it is
  // queued so the grab thread never reads the controls.
  struct JobParams {
    double visualSize = 0, pixelPerMm = 20;
    int contrast = 0;
    bool binary = false;
    int featureType = 0;
    std::string packageName;
    std::string templateName = "template";
    int visionMode = 0;
    bool colourReversal = false;
    bool lensCorrection = false;
  };
  JobParams SnapshotJobParams() const;
  JobParams CurrentJobParams() const;
  void BuildControls();
  void SetupImageWindows();
  bool CheckBoxForCommand(bool templateCommand, bool* directShowChecked);
  void QueueOrRunJob(int job);
  void RunJobOnFrame(int job, const cv::Mat& frame, int workImage);
  void RestartLiveTimerAfterVision();
  void ApplyCameraParameters(int mode, double pixelPerMm, double visualSize, int contrast, int brightness);
  void SendBrightness();
  void PaintLive(const QImage& image);
  void PaintWorkImage(int slot, const QImage& image);
  void UpdateViewParameters();
  int FeatureTypeFromCombo() const;
  void InfoLine(const std::string& text) const;
  void SetTextOf(QWidget* w, const std::string& text);

  std::unique_ptr<smt::vision::CameraEngine> m_engine;
  std::shared_ptr<smt::vision::ICameraSystem> m_system;
  bool m_bInitialized = false;
  mutable std::mutex m_jobM;
  JobParams m_jobParams;
  std::map<std::string, std::string> m_texts;

  // Controls.
  QLabel* m_live = nullptr;
  std::array<QLabel*, 9> m_work{};
  QLabel* m_status = nullptr;
  bool m_bStatusShown = false;  // a camera status has replaced the first text
  QLineEdit* m_editVisualSize = nullptr;
  QLineEdit* m_editContrast = nullptr;
  QLineEdit* m_editBrightness = nullptr;
  QSlider* m_sliderContrast = nullptr;
  QSlider* m_sliderBrightness = nullptr;
  QComboBox* m_comboDirectShow = nullptr;
  QComboBox* m_comboFeature = nullptr;
  QCheckBox* m_checkBinary = nullptr;
  QPushButton* m_btnOpenCamera = nullptr;
  QPushButton* m_btnVisionTest = nullptr;
  QPushButton* m_btnMark = nullptr;
  QPushButton* m_btnVisual1 = nullptr;
  QPushButton* m_btnVisual2 = nullptr;
  QPushButton* m_btnVisualB = nullptr;
  QPushButton* m_btnExpand = nullptr;
  QPushButton* m_btnExtended = nullptr;
  QPushButton* m_btnQr = nullptr;
  QPushButton* m_btnZoomIn = nullptr;
  QPushButton* m_btnZoomOut = nullptr;
  std::map<std::string, QWidget*> m_labels;
  QTimer* m_timer0 = nullptr;
  QTimer* m_timer1 = nullptr;
  QImage m_lastLive;
  std::atomic<bool> m_livePaintQueued{false};
  std::mutex m_liveM;
  QImage m_pendingLive;
  // Status line bookkeeping.
  std::chrono::steady_clock::time_point m_lastTick{};
  std::array<uint64_t, 3> m_lastCaptured{};
  std::array<uint32_t, 3> m_lastCount{};
  // When each role's camera last sent a new picture, and whether its
  // silence has been told (once per silence).
  std::array<std::chrono::steady_clock::time_point, 3> m_lastNewFrame{};
  std::array<bool, 3> m_silenceTold{};
  std::shared_ptr<std::atomic<bool>> m_alive;
};

// The industrial cameras of this machine: simulated ones when the
// environment variable SMT_SIMULATED_CAMERAS names how many (1..3, in the
// order Mark, visual 1, visual 2), none otherwise. They show fixed pictures,
// unless SMT_SIM_CAMERA_SOCKET names the board simulator's camera socket:
// then each frame is what the simulated machine's camera sees, asked for
// with a time-out of kSimulatorFrameTimeout (none in time: no frame).
std::shared_ptr<smt::vision::ICameraSystem> DefaultCameraSystem();
// The count SMT_SIMULATED_CAMERAS names: its whole text a whole number in
// 0..3; unset gives 0, and any other text gives 0 with a line in the log.
int SimulatedCameraCount(const char* text);
// How long a vision step waits for a camera's frame before it counts it as
// none. The frame is one the camera takes after the request (one already
// under way shows the machine before its last move), so up to two frame
// times pass; on a loaded PC a frame's transfer and hand-over take far longer
// than the camera's own frame time. A camera that gives nothing still ends
// the step within this, told as a frame that did not come.
inline constexpr std::chrono::milliseconds kVisionFrameWait{5000};
// A frame asked of the board simulator's camera socket gets as long as a
// vision step waits for it: the simulator renders it on the same loaded PC,
// and a frame given up early is a frame lost (a live picture that comes late
// is older than the next ask and is dropped), so a shorter wait would fail a
// step the machine's own camera would have served. Closing the cameras ends
// the wait at once.
inline constexpr std::chrono::milliseconds kSimulatorFrameTimeout = kVisionFrameWait;
