#include "vision/CDialogSetView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/LinkRuntime.h"
#include "vision/VisionSlots.h"
#include <algorithm>
#include "platform/FileCell.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "vision/CameraDS.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraCalib.h"
#include "vision/CvvMat.h"
#include "vision/FrameSocket.h"
#include "vision/RecognitionTypes.h"
#include "vision/SimulatedCamera.h"
#include "vision/VisionGlobals.h"

using smt::platform::ShowMessage;
using namespace smt::vision;

namespace {

struct TextKey {
  const char* key;
  const char* chinese;
};
// The texts that go on controls (first 14), then those used in code.
constexpr TextKey kTexts[] = {
    {"SetView.c_SelectCamera", "选择相机"},
    {"SetView.c_Feature", "图像特征"},
    {"SetView.c_BinaryImg", "二值图像"},
    {"SetView.c_VisualSize", "视框尺寸"},
    {"SetView.c_LightContrast", "对比度"},
    {"SetView.c_LightBrightness", "光亮度"},
    {"SetView.c_OpenOrCloseCamera", "打开相机"},
    {"SetView.c_ExternShow", "拓展显示"},
    {"SetView.c_VisionTest", "视觉测试"},
    {"SetView.c_QRCode", "二维识别"},
    {"SetView.c_OpenMarkCamera", "Mark 相机"},
    {"SetView.c_OpenVisualCamera_1", "视觉相机 1"},
    {"SetView.c_OpenVisualCamera_2", "视觉相机 2"},
    {"SetView.c_OpenVisualCamera_B", "视觉相机 B"},
    {"SetView.c_VideoNo", "视频编号"},
    {"SetView.c_OpenCamera", "打开相机"},
    {"SetView.c_CloseCamera", "关闭相机"},
    {"SetView.c_Message_01", "无法打开摄像头 !\r\n请检查是否有摄像头 !"},
    {"SetView.c_Message_02", "无法打开摄像头 !\r\n请检查是否掉线了 !"},
    {"SetView.c_IdentifyError", "识别失败"},
    {"SetView.c_Message_03", "视觉相机 1 不存在 !"},
    {"SetView.c_Message_04", "视觉相机 2 不存在 !"},
    {"SetView.c_Message_05", "视框宽度与高度超过范围 !"},
    // A template without contrast is refused when taken and when searched.
    {"SetView.c_TemplateNoContrast", "模板没有对比度（画面平坦），无法匹配，请把视框对准有特征的位置 !"},
    // The status line until a camera reports; the same words in Chinese.
    {"SetView.c_CameraDescribe", "Camera describe"},
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

const char* RoleTitle(int mode) {
  switch (mode) {
    case 0: return "Mark_Camera";
    case 1: return "Visual_Camera_1";
    case 2: return "Visual_Camera_2";
    default: return "";
  }
}

bool RoleFitted(const smt::Machine& machine, int role) {
  switch (role) {
    case 0: return machine.camera.highSpeedMarkCamera.load();
    case 1: return machine.camera.highSpeedVisualCamera1.load();
    case 2: return machine.camera.highSpeedVisualCamera2.load();
    default: return false;
  }
}

// Parses an edit the operator types into: the whole text must be a number.
bool ParseInt(const QString& text, int& out) {
  const auto v = smt::platform::ParseOperatorInteger(text.toStdString());
  if (v) out = static_cast<int>(*v);
  return v.has_value();
}

bool ParseDouble(const QString& text, double& out) {
  const auto v = smt::platform::ParseOperatorNumber(text.toStdString());
  if (v) out = *v;
  return v.has_value();
}


}  // namespace

int SimulatedCameraCount(const char* text) {
  if (!text) return 0;
  if (const auto n = smt::platform::ParseCellInteger(text, 0, 3)) return static_cast<int>(*n);
  CLogFile::Instance().Write(true, "SMT_SIMULATED_CAMERAS=\"%s\" is no count in 0..3: no simulated camera", text);
  return 0;
}

std::shared_ptr<ICameraSystem> DefaultCameraSystem() {
  auto system = std::make_shared<SimulatedCameraSystem>();
  const int count = SimulatedCameraCount(std::getenv("SMT_SIMULATED_CAMERAS"));
  const char* socket = std::getenv("SMT_SIM_CAMERA_SOCKET");
  for (int role = 0; role < count; ++role) {
    auto cam = std::make_shared<SimulatedCamera>(CameraRoleName(role), CameraCapability{1280, 1024, false});
    if (socket && *socket) {
      // What the board simulator's cameras see, one frame per request.
      auto client = std::make_shared<FrameSocketClient>(socket, CameraRoleName(role));
      const auto camera = static_cast<uint32_t>(role);
      // An ask gets the whole frame wait, however little of the caller's own
      // wait is left (a camera that was paused has used most of it): one
      // given up early loses its frame, which the next ask drops as older
      // than itself. The cameras closing (the stop) end it at once.
      cam->SetTimedFrameSource([client, camera](std::chrono::milliseconds, std::stop_token stop) {
        const auto frame = client->Fetch({camera, kFrameKindLive}, kSimulatorFrameTimeout, stop);
        return frame ? *frame : cv::Mat();
      });
      if (role == 1) {
        // Vision camera 1 is the fly camera: in trigger mode its frames are
        // the fly-pass views the simulator took at its trigger pulses, asked
        // for in turn on a connection of their own.
        auto fly = std::make_shared<FrameSocketClient>(socket, std::string(CameraRoleName(role)) + " fly");
        // When the current trigger mode began: a view shot before it is a
        // pulse of an earlier pass (left in the simulator's queue, or the
        // late reply to an ask that ran out of time) and belongs to no frame
        // of this pass.
        auto since = std::make_shared<std::atomic<uint64_t>>(FrameClockNowNs());
        // A fly view that comes late stays owed and answers the next ask, so
        // an ask takes only the caller's time; older views are dropped within
        // that time and the ask goes on for the next.
        auto take = [fly, since](std::chrono::milliseconds left, std::stop_token stop) {
          using Clock = std::chrono::steady_clock;
          const auto end = Clock::now() + std::min(left, kSimulatorFrameTimeout);
          for (;;) {
            const auto rest = std::max(std::chrono::milliseconds(1),
                                       std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
            uint64_t shotAt = 0;
            const auto frame = fly->Fetch({1, kFrameKindFly}, rest, stop, &shotAt);
            if (!frame || frame->empty()) return cv::Mat();
            if (shotAt >= since->load()) return *frame;
            CLogFile::Instance().Write(true, "Fly camera: a view from before this trigger mode dropped");
            if (Clock::now() >= end || stop.stop_requested()) return cv::Mat();
          }
        };
        // A mode change notes its time only: nothing is asked of the
        // simulator, so the caller (the window thread when the cameras start)
        // never waits for it.
        auto forget = [since] { since->store(FrameClockNowNs()); };
        cam->SetPolledTriggerSource(take, forget);
      }
      system->Add(cam);
      continue;
    }
    auto scene = std::make_shared<SimulatedScene>(1280, 1024, 20.0);
    scene->SetNoise(2.0, 7 + role);
    if (role == 0)
      scene->AddMark({0.3, -0.2}, 1.0);
    else
      scene->AddChip({0.1, 0.1}, 3.2, 1.6, 0.5, 5.0);
    cam->SetScene(scene);
    system->Add(cam);
  }
  return system;
}

CDialogSetView::CDialogSetView(smt::Machine& machine, QWidget* parent)
    : QWidget(parent), machine_(machine), m_engine(std::make_unique<CameraEngine>()), m_alive(std::make_shared<std::atomic<bool>>(true)) {
  setObjectName("CDialogSetView");
  m_VisualSize = 0.1;
  BuildControls();
  m_timer0 = new QTimer(this);
  m_timer1 = new QTimer(this);
  auto tick = [this] {
    if (machine_.camera.highSpeedCamera.load() == 1)
      ShowCameraStatus();
    else if (machine_.camera.highSpeedCamera.load() == 0)
      ShowDirectShowFrame();
  };
  connect(m_timer0, &QTimer::timeout, this, tick);
  connect(m_timer1, &QTimer::timeout, this, tick);
}

CDialogSetView::~CDialogSetView() {
  *m_alive = false;
  CloseCameras();
}

void CDialogSetView::SetCameraSystem(std::shared_ptr<ICameraSystem> system) { m_system = std::move(system); }

void CDialogSetView::SetTextOf(QWidget* w, const std::string& text) {
  if (auto* l = qobject_cast<QLabel*>(w))
    l->setText(Q(text));
  else if (auto* b = qobject_cast<QPushButton*>(w))
    b->setText(Q(text));
  else if (auto* c = qobject_cast<QCheckBox*>(w))
    c->setText(Q(text));
}

namespace {
// A camera without a new picture for this long is told as silent.
constexpr std::chrono::seconds kCameraSilentAfter{3};
constexpr int kWorkImageSide = 80;  // the work images' squares at full size (pixels)

// The live picture with the work images: images 1..4 along the top, 5..8
// down the left, 0 in the corner. At full size the squares are 80 pixels
// and the picture 408 x 306 at least; on a short screen all of it shrinks
// together, keeping its proportions, so that the jog panel below stays in
// sight.
class CameraPictureArea : public QWidget {
 public:
  explicit CameraPictureArea(QWidget* parent) : QWidget(parent) {
    setObjectName("cameraPicture");
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  }
  void Set(QLabel* live, const std::array<QLabel*, 9>& work) {
    live_ = live;
    work_ = work;
  }
  QSize sizeHint() const override { return {520, kWorkImageSide + 1 + 4 * kWorkImageSide + 2}; }
  QSize minimumSizeHint() const override { return {520, kMinimumHeight}; }
  static constexpr int kMinimumHeight = 150;

 protected:
  void resizeEvent(QResizeEvent*) override { Place(); }

 private:
  void Place() {
    if (!live_) return;
    // The side of a square: the picture is four squares high and about
    // five and a half wide, one row of squares above it.
    const int side = std::clamp(std::min((height() - 1) / 5, (width() - 1) * 4 / 22), 16, kWorkImageSide);
    // The picture keeps the camera's 4:3 where the room is narrower or
    // shorter than that.
    int pictureH = height() - side - 1;
    int pictureW = std::min(width() - side - 1, pictureH * 4 / 3);
    if (height() < sizeHint().height()) pictureH = std::min(pictureH, pictureW * 3 / 4);
    work_[0]->setGeometry(0, 0, side, side);
    const int cell = pictureW / 4;
    for (int k = 1; k <= 4; ++k)
      work_[static_cast<size_t>(k)]->setGeometry(side + 1 + (k - 1) * cell + (cell - side) / 2, 0, side, side);
    for (int k = 5; k <= 8; ++k) work_[static_cast<size_t>(k)]->setGeometry(0, side + 1 + (k - 5) * side, side, side);
    live_->setGeometry(side + 1, side + 1, pictureW, pictureH);
  }
  QLabel* live_ = nullptr;
  std::array<QLabel*, 9> work_{};
};
}  // namespace

void CDialogSetView::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(2, 2, 2, 2);
  outer->setSpacing(2);
  auto* picture = new CameraPictureArea(this);
  for (int k = 0; k < 9; ++k) {
    auto* l = new QLabel(picture);
    l->setObjectName(QString("workImage%1").arg(k));
    l->setFrameShape(QFrame::Box);
    l->setScaledContents(true);
    m_work[k] = l;
  }
  m_live = new QLabel(picture);
  m_live->setObjectName("liveView");
  m_live->setAlignment(Qt::AlignCenter);
  m_live->setStyleSheet("background: black");
  m_live->installEventFilter(this);
  picture->Set(m_live, m_work);
  m_work[0]->hide();
  outer->addWidget(picture, 1);

  m_status = new QLabel("Camera describe", this);
  m_status->setObjectName("status");
  outer->addWidget(m_status);

  auto* row1 = new QHBoxLayout;
  auto label = [this](const char* key, QLayout* lay) {
    auto* l = new QLabel(this);
    l->setObjectName(key);
    m_labels[key] = l;
    lay->addWidget(l);
    return l;
  };
  auto button = [this](const char* name, QLayout* lay) {
    auto* b = new QPushButton(this);
    b->setObjectName(name);
    lay->addWidget(b);
    return b;
  };
  label("SetView.c_SelectCamera", row1);
  m_comboDirectShow = new QComboBox(this);
  m_comboDirectShow->setObjectName("directShowCameras");
  row1->addWidget(m_comboDirectShow);
  m_btnOpenCamera = button("openCamera", row1);
  outer->addLayout(row1);
  // The camera buttons have a row of their own, so that their texts fit in
  // every language.
  auto* cameraRow = new QHBoxLayout;
  m_btnMark = button("markCamera", cameraRow);
  m_btnVisual1 = button("visualCamera1", cameraRow);
  m_btnVisual2 = button("visualCamera2", cameraRow);
  m_btnVisualB = button("visualCameraB", cameraRow);
  m_btnVisualB->hide();
  outer->addLayout(cameraRow);

  auto* row2 = new QHBoxLayout;
  label("SetView.c_VisualSize", row2);
  m_editVisualSize = new QLineEdit(this);
  m_editVisualSize->setObjectName("visualSize");
  row2->addWidget(m_editVisualSize);
  row2->addWidget(new QLabel("mm", this));
  label("SetView.c_LightContrast", row2);
  m_editContrast = new QLineEdit(this);
  m_editContrast->setObjectName("lightContrast");
  row2->addWidget(m_editContrast);
  m_sliderContrast = new QSlider(Qt::Horizontal, this);
  m_sliderContrast->setObjectName("contrastSlider");
  m_sliderContrast->setRange(0, 255);
  row2->addWidget(m_sliderContrast);
  label("SetView.c_LightBrightness", row2);
  m_editBrightness = new QLineEdit(this);
  m_editBrightness->setObjectName("lightBrightness");
  row2->addWidget(m_editBrightness);
  m_sliderBrightness = new QSlider(Qt::Horizontal, this);
  m_sliderBrightness->setObjectName("brightnessSlider");
  m_sliderBrightness->setRange(0, 255);
  row2->addWidget(m_sliderBrightness);
  outer->addLayout(row2);

  auto* row3 = new QHBoxLayout;
  label("SetView.c_Feature", row3);
  m_comboFeature = new QComboBox(this);
  m_comboFeature->setObjectName("featureType");
  row3->addWidget(m_comboFeature);
  m_checkBinary = new QCheckBox(this);
  m_checkBinary->setObjectName("binaryImage");
  row3->addWidget(m_checkBinary);
  m_btnVisionTest = button("visionTest", row3);
  outer->addLayout(row3);
  auto* toolRow = new QHBoxLayout;
  m_btnQr = button("qrCode", toolRow);
  m_btnExtended = button("extendedDisplay", toolRow);
  m_btnZoomIn = button("zoomIn", toolRow);
  m_btnZoomIn->setText("+");
  m_btnZoomOut = button("zoomOut", toolRow);
  m_btnZoomOut->setText("-");
  m_btnExpand = button("expand", toolRow);
  m_btnExpand->setText("∨");
  outer->addLayout(toolRow);

  connect(m_btnOpenCamera, &QPushButton::clicked, this, [this] { OnBnClickedOpenCamera(); });
  connect(m_btnMark, &QPushButton::clicked, this, [this] { OnBnClickedOpenMarkCamera(); });
  connect(m_btnVisual1, &QPushButton::clicked, this, [this] { OnBnClickedOpenVisualCamera1(); });
  connect(m_btnVisual2, &QPushButton::clicked, this, [this] { OnBnClickedOpenVisualCamera2(); });
  connect(m_btnVisualB, &QPushButton::clicked, this, [this] { OnBnClickedOpenVisualCameraB(); });
  connect(m_btnVisionTest, &QPushButton::clicked, this, [this] { OnBnClickedVisionTest(); });
  connect(m_btnQr, &QPushButton::clicked, this, [this] { OnQrCodeRecognition(); });
  connect(m_btnExtended, &QPushButton::clicked, this, [this] { OnBnClickedExtendedDisplay(); });
  connect(m_btnZoomIn, &QPushButton::clicked, this, [this] { OnBnClickedZoomIn(); });
  connect(m_btnZoomOut, &QPushButton::clicked, this, [this] { OnBnClickedZoomOut(); });
  connect(m_btnExpand, &QPushButton::clicked, this, [this] { OnBnClickedExpand(); });
  connect(m_checkBinary, &QCheckBox::toggled, this, [this] { OnBnClickedBinaryImg(); });
  connect(m_editVisualSize, &QLineEdit::textEdited, this, [this] { OnEnChangeVisualSize(); });
  // While typing, a text that is no value yet is left as typed; leaving the
  // box with one names the field and its range.
  connect(m_editVisualSize, &QLineEdit::editingFinished, this, [this] {
    double v = 0;
    const double hi = VisualSizeLimit();
    if (!ParseDouble(m_editVisualSize->text(), v) || v < 0 || v > hi)
      smt::platform::RefuseOperatorNumber(m_editVisualSize, 0, hi);
  });
  for (QLineEdit* e : {m_editContrast, m_editBrightness})
    connect(e, &QLineEdit::editingFinished, this, [e] {
      if (!smt::platform::OperatorNumberInRange(e->text().toStdString(), 0, 255, true))
        smt::platform::RefuseOperatorNumber(e, 0, 255);
    });
  connect(m_editContrast, &QLineEdit::textEdited, this, [this] { OnEnChangeLightContrast(); });
  connect(m_editBrightness, &QLineEdit::textEdited, this, [this] { OnEnChangeLightBrightness(); });
  connect(m_sliderContrast, &QSlider::valueChanged, this, [this](int v) {
    m_Light_Contrast = v;
    m_editContrast->setText(QString::number(v));
  });
  connect(m_sliderBrightness, &QSlider::valueChanged, this, [this](int v) {
    m_Light_Brightness = v;
    m_editBrightness->setText(QString::number(v));
  });
  // Releasing the brightness slider sends the light like the edit does.
  connect(m_sliderBrightness, &QSlider::sliderReleased, this, [this] { OnEnChangeLightBrightness(); });
  setContextMenuPolicy(Qt::ActionsContextMenu);
  // The object name is the language key of the item's text. Bar code and
  // text recognition have no handler here, so they are not offered.
  auto addMenu = [this](const char* key, const char* text, std::function<void()> fn) {
    auto* a = new QAction(QString::fromUtf8(text), this);
    a->setObjectName(QString::fromUtf8(key));
    connect(a, &QAction::triggered, this, std::move(fn));
    addAction(a);
  };
  addMenu("SetView.c_QRCode", "二维码识别", [this] { OnQrCodeRecognition(); });
  addMenu("FeedList.c_GetTemplate", "获取模板", [this] { OnGetTemplate(); });
  addMenu("FeedList.c_FindTemplate", "查找模板", [this] { OnFindTemplate(); });
}

void CDialogSetView::FillFeatureTypes() {
  // The feature names follow the window's language; the chosen type stays.
  const int keep = m_comboFeature->currentIndex();
  const QSignalBlocker block(m_comboFeature);
  m_comboFeature->clear();
  for (int t = 0; t < kRecognitionTypeCount; ++t) m_comboFeature->addItem(Q(RecognitionTypeName(t, m_nLanguage == 0)));
  m_comboFeature->setCurrentIndex(keep >= 0 && keep < kRecognitionTypeCount ? keep : 0);
}

void CDialogSetView::SetupImageWindows() {
  m_btnVisualB->setVisible(machine_.machineType.load() == 5 && m_bExpanded);
  m_btnVisual2->setEnabled(machine_.machineType.load() != 4);
}

void CDialogSetView::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection lang(appDir, language, "SetViewConfig");
  for (const auto& t : kTexts) m_texts[t.key] = lang.Text(t.key, t.chinese);
  // The popup's template items use the feeder list's texts for the same commands.
  smt::platform::LanguageSection feed(appDir, language, "FeedListConfig");
  m_texts["FeedList.c_GetTemplate"] = feed.Text("FeedList.c_GetTemplate", "获取模板");
  m_texts["FeedList.c_FindTemplate"] = feed.Text("FeedList.c_FindTemplate", "查找模板");
  m_nLanguage = language == "Chinese" ? 0 : language == "German" ? 2 : 1;
}

void CDialogSetView::ApplyLanguageTexts() {
  if (m_texts.empty())
    for (const auto& t : kTexts) m_texts[t.key] = t.chinese;
  for (auto& [key, w] : m_labels) SetTextOf(w, m_texts[key]);
  if (!m_bStatusShown) SetTextOf(m_status, m_texts["SetView.c_CameraDescribe"]);
  SetTextOf(m_checkBinary, m_texts["SetView.c_BinaryImg"]);
  const bool open = m_pDirectShowCamera[0] != nullptr;
  SetTextOf(m_btnOpenCamera, m_texts[open ? "SetView.c_CloseCamera" : "SetView.c_OpenOrCloseCamera"]);
  SetTextOf(m_btnExtended, m_texts["SetView.c_ExternShow"]);
  SetTextOf(m_btnVisionTest, m_texts["SetView.c_VisionTest"]);
  SetTextOf(m_btnQr, m_texts["SetView.c_QRCode"]);
  SetTextOf(m_btnMark, m_texts["SetView.c_OpenMarkCamera"]);
  SetTextOf(m_btnVisual1, m_texts["SetView.c_OpenVisualCamera_1"]);
  SetTextOf(m_btnVisual2, m_texts["SetView.c_OpenVisualCamera_2"]);
  SetTextOf(m_btnVisualB, m_texts["SetView.c_OpenVisualCamera_B"]);
  for (QAction* a : actions())
    if (auto it = m_texts.find(a->objectName().toStdString()); it != m_texts.end()) a->setText(Q(it->second));
  if (m_comboFeature->count() > 0) FillFeatureTypes();
  for (int i = 0; i < m_comboDirectShow->count(); ++i)
    m_comboDirectShow->setItemText(i, Q(m_texts["SetView.c_VideoNo"]) + QString::number(i + 1));
}

void CDialogSetView::LoadConfig(const std::string& appDir) {
  m_strAppDir = appDir;
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SetViewConfig");
  m_BinaryImg = s.ReadInt("m_BinaryImg");
  m_bBinaryImg = m_BinaryImg != 0;
  // The box side is a size in mm (the box edit's check bounds it by the
  // image later); the light values fit their byte.
  m_VisualSize = s.ReadNumber("m_VisualSize", 0, 10000, 0);
  m_Light_Contrast = static_cast<int>(s.ReadInteger("m_Light_Contrast", 0, 255, 0));
  m_Light_Brightness = static_cast<int>(s.ReadInteger("m_Light_Brightness", 0, 255, 0));
  const smt::vision::CameraSwitches w = smt::vision::LoadCameraSwitches(appDir);
  machine_.camera.highSpeedCamera = w.highSpeed;
  machine_.camera.highSpeedMarkCamera = w.mark;
  machine_.camera.highSpeedVisualCamera1 = w.visual1;
  machine_.camera.flyCamera = w.fly;
  machine_.camera.highSpeedVisualCamera2 = w.visual2;
  const std::string lang =
      smt::platform::SettingsSection(smt::platform::ConfigPath(appDir), "LanguageSetConfig").ReadText("LanguageSet", "Chinese");
  if (lang == "Chinese")
    m_nLanguage = 0;
  else if (lang == "English")
    m_nLanguage = 1;
  else if (lang == "German")
    m_nLanguage = 2;
  m_checkBinary->blockSignals(true);
  m_checkBinary->setChecked(m_bBinaryImg);
  m_checkBinary->blockSignals(false);
  m_editVisualSize->setText(Q(smt::platform::FormatDouble(m_VisualSize, 2)));
  m_editContrast->setText(QString::number(m_Light_Contrast));
  m_editBrightness->setText(QString::number(m_Light_Brightness));
  m_sliderContrast->blockSignals(true);
  m_sliderBrightness->blockSignals(true);
  m_sliderContrast->setValue(std::clamp(m_Light_Contrast, 0, 255));
  m_sliderBrightness->setValue(std::clamp(m_Light_Brightness, 0, 255));
  m_sliderContrast->blockSignals(false);
  m_sliderBrightness->blockSignals(false);
}

void CDialogSetView::SaveViewConfig(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SetViewConfig");
  s.WriteInt("m_BinaryImg", m_BinaryImg);
  s.WriteDouble("m_VisualSize", m_VisualSize, 2);
  s.WriteInt("m_Light_Contrast", m_Light_Contrast);
  s.WriteInt("m_Light_Brightness", m_Light_Brightness);
}

void CDialogSetView::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!m_bInitialized) OnInitDialog(m_strAppDir);
}

void CDialogSetView::OnInitDialog(const std::string& appDir) {
  if (m_bInitialized) return;
  m_bInitialized = true;
  m_strAppDir = appDir;
  ApplyLanguageTexts();
  SetupImageWindows();
  auto alive = m_alive;
  QPointer<CDialogSetView> self(this);
  CameraEngine::Callbacks cb;
  cb.runJob = [this](int role, int job, const cv::Mat& frame, int workImage) {
    (void)role;
    RunJobOnFrame(job, frame, workImage);
  };
  cb.showLive = [this, alive, self](int role, const cv::Mat& view) {
    if (role != machine_.camera.visionMode.load() && machine_.machineType.load() != 4) return;
    QImage img = MatToQImage(view);
    {
      std::lock_guard lk(m_liveM);
      m_pendingLive = img;
    }
    // One paint queued at a time; a slow window drops frames, never queues them.
    if (m_livePaintQueued.exchange(true)) return;
    smt::platform::PostToGui([this, alive, self] {
      if (!*alive || !self) return;
      m_livePaintQueued = false;
      QImage img;
      {
        std::lock_guard lk(m_liveM);
        img = m_pendingLive;
      }
      PaintLive(img);
    });
  };
  cb.sizeChanged = [this, alive, self](int, int, int) {
    smt::platform::PostToGui([this, alive, self] {
      if (*alive && self) update();
    });
  };
  cb.flyFrame = [this](int head, const cv::Mat& frame) {
    if (m_engine->m_bFlyVisionTest.load())
      RunVisionTest(head, frame, false);
    else
      recognizeLiveFrame(head, frame);
  };
  cb.showWorkImage = [this, alive, self](int slot, const cv::Mat& picture) {
    QImage img = MatToQImage(picture);
    smt::platform::PostToGui([this, alive, self, slot, img] {
      if (*alive && self) PaintWorkImage(slot, img);
    });
  };
  m_engine->SetCallbacks(cb);
  UpdateViewParameters();
  const int mode = machine_.camera.highSpeedCamera.load();
  bool listCaptureDevices = mode == 0;
  if (mode == 1) {
    if (!m_system) m_system = DefaultCameraSystem();
    if (m_engine->StartCameras(*m_system, machine_.machineType.load()) != 0) m_timer0->start(1000);
    if (machine_.camera.highSpeedMarkCamera && machine_.camera.highSpeedVisualCamera1 && machine_.camera.highSpeedVisualCamera2)
      m_btnOpenCamera->setEnabled(false);
    else
      listCaptureDevices = true;
  }
  if (listCaptureDevices) {
    const auto devices = ListCaptureDevices();
    m_comboDirectShow->clear();
    for (size_t i = 0; i < devices.size(); ++i)
      m_comboDirectShow->addItem(Q(m_texts["SetView.c_VideoNo"]) + QString::number(i + 1));
    const int count = m_comboDirectShow->count();
    if (count > 0)
      m_comboDirectShow->setCurrentIndex(m_nDirectShowCamera >= 1 && m_nDirectShowCamera <= count ? m_nDirectShowCamera - 1 : 0);
  }
  m_engine->StartDisplayWorker();
  m_comboFeature->clear();
  for (int t = 0; t < kRecognitionTypeCount; ++t) m_comboFeature->addItem(Q(RecognitionTypeName(t, m_nLanguage == 0)));
  m_comboFeature->setCurrentIndex(0);
}

void CDialogSetView::CloseCameras() {
  if (m_timer1) m_timer1->stop();
  if (m_timer0) m_timer0->stop();
  for (auto& c : m_pDirectShowCamera)
    if (c) {
      c->CloseCamera();
      c.reset();
    }
  m_engine->Shutdown();
}

// ---------------------------------------------------------------------------
// Painting and status

void CDialogSetView::PaintLive(const QImage& image) {
  m_lastLive = image;
  if (m_bExtendedDisplay || image.isNull()) return;
  m_live->setPixmap(QPixmap::fromImage(image.scaled(m_live->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

void CDialogSetView::PaintWorkImage(int slot, const QImage& image) {
  if (slot < 0 || slot > 8 || image.isNull()) return;
  m_work[slot]->setPixmap(QPixmap::fromImage(image));
  if (m_bExtendedDisplay && slot == (machine_.camera.visionMode.load() == 0 ? 0 : m_nWorkImage.load()))
    m_live->setPixmap(QPixmap::fromImage(image.scaled(m_live->size())));
}

QImage CDialogSetView::LivePicture() const { return m_lastLive; }

QString CDialogSetView::StatusText() const { return m_status->text(); }

void CDialogSetView::ShowCameraStatus() {
  m_bStatusShown = true;
  const int mode = machine_.camera.visionMode.load();
  const std::string name = RoleTitle(mode);
  if (mode < 0 || mode > 2) {
    m_status->setText(Q(name) + QString(" | Size:0*0 | Display FPS:0.00 | Capture FPS:0.00"));
    m_nImageWidth = m_nImageHeight = 0;
    return;
  }
  if (!RoleFitted(machine_, mode)) {
    m_status->setText(Q(name));
    ShowDirectShowFrame();
    return;
  }
  if (!m_engine->HasRole(mode)) {
    // No camera of that role: no picture of another camera under its name.
    const std::string none = mode == 1   ? m_texts["SetView.c_Message_03"]
                             : mode == 2 ? m_texts["SetView.c_Message_04"]
                                         : smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_NoCameraFound", "没有找到相机 !");
    m_status->setText(Q(name + " | " + none));
    m_live->clear();
    m_lastLive = QImage();
    return;
  }
  const auto stats = m_engine->Stats(mode);
  const auto now = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastTick).count();
  if (elapsed <= 0) return;
  const bool first = m_lastTick.time_since_epoch().count() == 0;
  m_lastTick = now;
  const float capture = first ? 0.f : static_cast<float>((stats.captured - m_lastCaptured[mode]) * 1000.0 / elapsed);
  const float display = first ? 0.f : static_cast<float>((stats.frameCount - m_lastCount[mode]) * 1000.0 / elapsed);
  char buf[160];
  std::snprintf(buf, sizeof buf, " | Size:%d*%d | Display FPS:%4.2f | Capture FPS:%4.2f", stats.width, stats.height,
                display, capture);
  // A camera that sends no new picture says so beside its figures, and once
  // in the information box in sight (the picture shown is an old one).
  if (first || stats.captured != m_lastCaptured[mode] || m_lastNewFrame[mode].time_since_epoch().count() == 0) {
    m_lastNewFrame[mode] = now;
    if (m_silenceTold[mode] && !first) {
      m_silenceTold[mode] = false;
      InfoLine(smt::platform::FillText(
          smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_CameraSendsAgain", "%1 又送来图像了。"), {name}));
    }
  }
  std::string silence;
  if (const auto quiet = std::chrono::duration_cast<std::chrono::seconds>(now - m_lastNewFrame[mode]);
      quiet >= kCameraSilentAfter) {
    silence = smt::platform::FillText(
        smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_CameraSilent",
                                  "%1 已有 %2 秒没有送来新图像：画面是旧的。请检查相机和连线。"),
        {name, std::to_string(quiet.count())});
    if (!m_silenceTold[mode]) {
      m_silenceTold[mode] = true;
      smt::link::RuntimeOf(machine_).Hooks().ShowNotice(silence);
    }
  }
  m_status->setText(Q(name + buf + (silence.empty() ? std::string() : " | " + silence)));
  m_lastCaptured[mode] = stats.captured;
  m_lastCount[mode] = stats.frameCount;
  m_nImageWidth = stats.width;
  m_nImageHeight = stats.height;
}

void CDialogSetView::ShowDirectShowFrame() {
  const int idx = std::clamp(m_iDirectShowCamera, 0, 7);
  CCameraDS* cam = m_pDirectShowCamera[idx].get();
  if (!cam) return;
  cv::Mat frame;
  if (!cam->QueryFrame(frame, std::chrono::milliseconds(200)) || frame.empty()) return;
  cv::Mat view = CutCentredView(frame, m_dDisplayZoom);
  if (!m_bExtendedDisplay) {
    cv::Mat shown = view.clone();
    if (machine_.camera.visionMode.load() == 2 && m_bLensCorrection) {
      cv::Mat corrected;
      if (machine_.Part<CCameraCalib>().Undistort(corrected, shown)) shown = corrected;
    }
    DrawCrossCursor(shown, static_cast<int>(m_VisualSize * m_dPixelPerMm));
    PaintLive(MatToQImage(shown));
  }
  m_nImageWidth = view.cols;
  m_nImageHeight = view.rows;
}

void CDialogSetView::StartLiveTimer(int ms) { m_timer1->start(ms); }
void CDialogSetView::StopLiveTimer() { m_timer1->stop(); }
bool CDialogSetView::LiveTimerActive() const { return m_timer1->isActive(); }

void CDialogSetView::UpdateViewParameters() {
  m_engine->SetViewParameters(m_dDisplayZoom, static_cast<int>(m_VisualSize * m_dPixelPerMm));
}

// ---------------------------------------------------------------------------
// Capture cameras

void CDialogSetView::OnBnClickedOpenCamera() {
  const int mode = machine_.camera.highSpeedCamera.load();
  if (mode == 1) {
    if (!(machine_.camera.highSpeedMarkCamera && machine_.camera.highSpeedVisualCamera1 && machine_.camera.highSpeedVisualCamera2)) OpenOrCloseCamera(true);
  } else if (mode == 0) {
    OpenOrCloseCamera(false);
  }
}

void CDialogSetView::OpenOrCloseCamera(bool pauseIndustrial) {
  const int type = machine_.machineType.load();
  const bool open = m_btnOpenCamera->text() == Q(m_texts["SetView.c_OpenCamera"]);
  if (open) {
    if (type == 4 || type == 5) {
      m_nDirectShowCount = m_comboDirectShow->count();
      if (m_nDirectShowCount == 0) {
        ShowMessage(m_texts["SetView.c_Message_01"]);
        return;
      }
      const int limit = std::min(m_nDirectShowCount, type == 4 ? 8 : 2);
      for (int i = 0; i < limit; ++i) {
        m_pDirectShowCamera[i] = OpenDirectShowCamera(i);
        if (!m_pDirectShowCamera[i]) {
          ShowMessage(m_texts["SetView.c_Message_02"]);
          return;
        }
      }
    } else {
      const int sel = m_comboDirectShow->currentIndex();
      if (sel < 0) {
        ShowMessage(m_texts["SetView.c_Message_01"]);
        return;
      }
      m_nDirectShowCamera = sel + 1;
      m_pDirectShowCamera[0] = OpenDirectShowCamera(sel);
      if (!m_pDirectShowCamera[0]) {
        ShowMessage(m_texts["SetView.c_Message_02"]);
        return;
      }
    }
    m_work[0]->show();
    m_bLensCorrection = neighbours->LensCorrection();
    m_timer1->start(40);
    m_btnOpenCamera->setText(Q(m_texts["SetView.c_CloseCamera"]));
    if (type != 4 && type != 5 && pauseIndustrial &&
        (machine_.camera.highSpeedMarkCamera || machine_.camera.highSpeedVisualCamera1 || machine_.camera.highSpeedVisualCamera2))
      for (int r = 0; r < 3; ++r) m_engine->Pause(r);
    return;
  }
  m_timer1->stop();
  for (auto& c : m_pDirectShowCamera)
    if (c) {
      c->CloseCamera();
      c.reset();
    }
  m_work[0]->hide();
  m_btnOpenCamera->setText(Q(m_texts["SetView.c_OpenCamera"]));
  m_live->clear();
}

// ---------------------------------------------------------------------------
// Camera buttons

bool CDialogSetView::SwitchCamera(int role, int triggerMode) { return m_engine->SwitchCamera(role, triggerMode); }

void CDialogSetView::ApplyCameraParameters(int mode, double pixelPerMm, double visualSize, int contrast,
                                           int brightness) {
  machine_.camera.visionMode = mode;
  machine_.camera.channelVisionMode = mode;
  m_dPixelPerMm = pixelPerMm > 0 ? pixelPerMm : m_dPixelPerMm;
  m_VisualSize = visualSize;
  m_Light_Contrast = contrast;
  m_Light_Brightness = brightness;
  m_editVisualSize->setText(Q(smt::platform::FormatDouble(m_VisualSize, 2)));
  m_editContrast->setText(QString::number(contrast));
  m_editBrightness->setText(QString::number(brightness));
  m_sliderContrast->blockSignals(true);
  m_sliderBrightness->blockSignals(true);
  m_sliderContrast->setValue(std::clamp(contrast, 0, 255));
  m_sliderBrightness->setValue(std::clamp(brightness, 0, 255));
  m_sliderContrast->blockSignals(false);
  m_sliderBrightness->blockSignals(false);
  UpdateViewParameters();
  // Writing the light boxes sends the light with the camera's channel; the
  // channel switch makes the chosen industrial camera the playing one. A
  // running task selects its own cameras and lights.
  if (machine_.camera.highSpeedCamera.load() == 1 && machine_.connected.load() && !machine_.machineBusy.load()) SendBrightness();
}

void CDialogSetView::OnBnClickedOpenMarkCamera() {
  if (!machine_.connected.load()) {
    ShowMessage(smt::link::kNotConnected);
    return;
  }
  const bool waiver = neighbours->HomingWaiver();
  if (!waiver && !machine_.resetDone.load()) {
    ShowMessage(smt::link::kNotReset);
    return;
  }
  ShowMarkCamera();
}

void CDialogSetView::ShowMarkCamera() {
  const int mode = machine_.camera.highSpeedCamera.load();
  if (mode == 1) m_timer1->start(machine_.camera.highSpeedMarkCamera ? 100 : 40);
  const bool needsCapture = mode == 0 || (mode == 1 && machine_.machineType.load() == 5);
  if (needsCapture && !m_pDirectShowCamera[0]) return;
  m_iDirectShowCamera = 0;
  const BoardMarkView b = neighbours->BoardMark();
  if (m_bKeepZoom)
    m_bKeepZoom = false;
  else
    m_dDisplayZoom = 1.0;
  double box = b.visualBox;
  int contrast = b.contrast, brightness = b.brightness;
  if (b.secondMarkActive) {
    box = b.secondMarkBox;
    contrast = b.secondMarkContrast;
    brightness = b.secondMarkBrightness;
  } else if (b.usePanelLight) {
    contrast = m_Light_Contrast;
    brightness = m_Light_Brightness;
  }
  if (m_bFeederLight) {
    brightness = m_FeedBrightness;
    m_bFeederLight = false;
  }
  ApplyCameraParameters(0, b.visualZoom, box, contrast, brightness);
}

void CDialogSetView::OnBnClickedOpenVisualCamera1() {
  if (!smt::link::CheckMachineGuards(machine_, true, false)) return;
  const CameraRecord r = neighbours->CameraRecordOf(1);
  if (r.CameraNumber == 0) {
    ShowMessage(m_texts["SetView.c_Message_03"]);
    return;
  }
  const int mode = machine_.camera.highSpeedCamera.load();
  if (mode == 1) m_timer1->start(machine_.camera.highSpeedVisualCamera1 ? 100 : 40);
  const int ds = machine_.machineType.load() == 4 ? 1 : 0;
  if (mode == 0 && !m_pDirectShowCamera[ds]) return;
  m_iDirectShowCamera = ds;
  m_dDisplayZoom = 1.0;
  ApplyCameraParameters(1, r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness);
}

void CDialogSetView::OnBnClickedOpenVisualCamera2() {
  if (machine_.machineType.load() == 4) return;
  if (!smt::link::CheckMachineGuards(machine_, true, false)) return;
  const CameraRecord r = neighbours->CameraRecordOf(2);
  if (r.CameraNumber == 0) {
    ShowMessage(m_texts["SetView.c_Message_04"]);
    return;
  }
  const int mode = machine_.camera.highSpeedCamera.load();
  if (mode == 1) m_timer1->start(machine_.camera.highSpeedVisualCamera2 ? 100 : 40);
  if (mode == 0 && !m_pDirectShowCamera[0]) return;
  m_iDirectShowCamera = 0;
  m_dDisplayZoom = 1.0;
  ApplyCameraParameters(2, r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness);
}

void CDialogSetView::OnBnClickedOpenVisualCameraB() {
  if (machine_.machineType.load() != 5) return;
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return;
  if (!m_pDirectShowCamera[1]) return;
  const CameraRecord r = neighbours->CameraRecordOf(1);
  m_iDirectShowCamera = 1;
  m_dDisplayZoom = 1.0;
  ApplyCameraParameters(1, r.VisualZoom, r.VisualSize, r.Light_Contrast, r.Light_Brightness);
}

void CDialogSetView::ShowVisualParameters(int contrast, int brightness, int featureType, double pixelPerMm,
                                          double visualSize) {
  auto apply = [=, this] {
    m_dPixelPerMm = pixelPerMm > 0 ? pixelPerMm : m_dPixelPerMm;
    m_VisualSize = visualSize;
    m_Light_Contrast = contrast;
    m_Light_Brightness = brightness;
    m_editVisualSize->setText(Q(smt::platform::FormatDouble(visualSize, 2)));
    m_editContrast->setText(QString::number(contrast));
    m_editBrightness->setText(QString::number(brightness));
    if (featureType != -1 && featureType >= 0 && featureType < m_comboFeature->count())
      m_comboFeature->setCurrentIndex(featureType);
    UpdateViewParameters();
  };
  smt::platform::RunOnGui(apply);
}

bool CDialogSetView::CurrentCameraUsable() const {
  const int mode = machine_.camera.visionMode.load();
  if (machine_.camera.highSpeedCamera.load() == 1) {
    if (RoleFitted(machine_, mode)) return m_engine->HasRole(mode);
    return m_pDirectShowCamera[0] != nullptr;
  }
  return m_pDirectShowCamera[0] != nullptr;
}

// ---------------------------------------------------------------------------
// Edits, sliders, zoom, fold

double CDialogSetView::VisualSizeLimit() const {
  // The box fits the picture's height; shown with two decimals.
  if (m_dPixelPerMm <= 0) return 10000;
  return std::floor(m_nImageHeight / m_dPixelPerMm * 100) / 100;
}

void CDialogSetView::OnEnChangeVisualSize() {
  // Only a whole number that fits is taken; the text is left as typed (the
  // next keystroke must not replace it), and leaving the box names the field.
  double v = 0;
  if (!ParseDouble(m_editVisualSize->text(), v) || v < 0 || v * m_dPixelPerMm > m_nImageHeight) return;
  m_VisualSize = v;
  UpdateViewParameters();
}

void CDialogSetView::OnEnChangeLightContrast() {
  int v = 0;
  if (!ParseInt(m_editContrast->text(), v) || v < 0 || v > 255) return;  // named when the box is left
  m_Light_Contrast = v;
  m_sliderContrast->blockSignals(true);
  m_sliderContrast->setValue(v);
  m_sliderContrast->blockSignals(false);
}

void CDialogSetView::OnEnChangeLightBrightness() {
  int v = 0;
  if (!ParseInt(m_editBrightness->text(), v) || v < 0 || v > 255) return;  // named when the box is left
  m_Light_Brightness = v;
  m_sliderBrightness->blockSignals(true);
  m_sliderBrightness->setValue(v);
  m_sliderBrightness->blockSignals(false);
  if (!machine_.connected.load()) {
    ShowMessage(smt::link::kNotConnected);
    return;
  }
  SendBrightness();
}

void CDialogSetView::TypeContrast(int value) {
  m_editContrast->setText(QString::number(value));
  OnEnChangeLightContrast();
}

void CDialogSetView::TypeBrightness(int value) {
  m_editBrightness->setText(QString::number(value));
  OnEnChangeLightBrightness();
}

void CDialogSetView::SendBrightness() {
  const int v = m_Light_Brightness;
  switch (machine_.camera.visionMode.load()) {
    case 0:
      if (machine_.machineType.load() != 4) smt::link::SelectCamera(machine_, 1, v, -1);
      break;
    case 1:
      smt::link::SelectCamera(machine_, 2, v, -1);
      break;
    case 2:
      smt::link::SelectCamera(machine_, 3, v, -1);
      machine_.camera.visionMode = 2;
      if (machine_.camera.highSpeedCamera.load() == 1 && machine_.machineType.load() != 4) SwitchCamera(2, -1);
      break;
    case 3:
      smt::link::SelectCamera(machine_, 4, v, -1);
      break;
    default:
      break;
  }
}

void CDialogSetView::OnBnClickedZoomIn() {
  if (!CurrentCameraUsable()) return;
  if (m_dDisplayZoom > 0.2) m_dDisplayZoom -= 0.1;
  UpdateViewParameters();
}

void CDialogSetView::OnBnClickedZoomOut() {
  if (!CurrentCameraUsable()) return;
  if (m_dDisplayZoom < 1.0) m_dDisplayZoom = std::min(1.0, m_dDisplayZoom + 0.1);
  UpdateViewParameters();
}

void CDialogSetView::wheelEvent(QWheelEvent* e) {
  if (e->angleDelta().y() > 0)
    OnBnClickedZoomIn();
  else if (e->angleDelta().y() < 0)
    OnBnClickedZoomOut();
  e->accept();
}

void CDialogSetView::OnBnClickedExpand() {
  m_bExpanded = !m_bExpanded;
  const int left = machine_.machineType.load() == 4 ? 494 : 8;
  const int height = m_bExpanded ? 30 + 78 + 416 : 446;
  (void)left;
  m_btnVisualB->setVisible(machine_.machineType.load() == 5 && m_bExpanded);
  neighbours->HeightChanged(height);
}

void CDialogSetView::OnBnClickedExtendedDisplay() {
  if (!CurrentCameraUsable()) return;
  const int mode = machine_.camera.visionMode.load();
  const int slot = (mode == 1 || mode == 2) ? m_nWorkImage.load() : 0;
  if (VisionSlotImage(slot).empty()) return;
  if (!m_bExtendedDisplay) {
    m_engine->Pause(mode);
    m_live->setPixmap(QPixmap::fromImage(MatToQImage(VisionSlotImage(slot)).scaled(m_live->size())));
    m_bExtendedDisplay = true;
  } else {
    m_engine->Play(mode);
    m_bExtendedDisplay = false;
    PaintLive(m_lastLive);
  }
}

void CDialogSetView::OnBnClickedBinaryImg() {
  m_bBinaryImg = m_checkBinary->isChecked();
  m_BinaryImg = m_bBinaryImg ? 1 : 0;
}

bool CDialogSetView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_live && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton) ClickToCentre(me->position().toPoint());
  }
  return QWidget::eventFilter(watched, event);
}

void CDialogSetView::ClickToCentre(QPoint p) {
  if (!CurrentCameraUsable()) return;
  const int W = m_live->width(), H = m_live->height();
  if (p.x() < 0 || p.y() < 0 || p.x() >= W || p.y() >= H || W <= 0 || H <= 0) return;
  int iw = m_nImageWidth, ih = m_nImageHeight;
  if (machine_.machineType.load() == 4 && machine_.camera.highSpeedCamera.load() == 1) {
    const auto st = m_engine->Stats(0);
    iw = st.width;
    ih = st.height;
  }
  const int dx = ((p.x() - W / 2) * iw) / W;
  const int dy = ((p.y() - H / 2) * ih) / H;
  m_dClickOffsetX = dx / m_dPixelPerMm;
  m_dClickOffsetY = dy / m_dPixelPerMm;
  if (machine_.machineBusy.load()) return;
  const auto table = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table;
  m_nMoveX = -static_cast<int>(m_dClickOffsetX * m_dDisplayZoom * table.dXPulse);
  m_nMoveY = -static_cast<int>(m_dClickOffsetY * m_dDisplayZoom * table.dYPulse);
  m_nMoveZ = 0;
  if (!smt::link::CheckMachineGuards(machine_, true, false)) return;
  StartPanelMove(0);
}

void CDialogSetView::InfoLine(const std::string& text) const {
  smt::link::RuntimeOf(machine_).Hooks().AppendInfoLine(text, true);
}
