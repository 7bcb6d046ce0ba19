#include "vision/CDialogCameraEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <map>
#include <vector>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogSetView.h"
#include "vision/VisionGlobals.h"

using namespace smt::vision;

namespace {
struct Key {
  const char* key;
  const char* chinese;
};
constexpr Key kKeys[] = {
    {"CameraEdit.c_CameraEdit", "摄像机编辑"},       {"CameraEdit.c_CameraName", "摄像机名称"},
    {"CameraEdit.c_CameraXCoordinates", "摄像机 X 坐标"}, {"CameraEdit.c_CameraYCoordinates", "摄像机 Y 坐标"},
    {"CameraEdit.c_VisionCorrection", "视觉修正补尝"}, {"CameraEdit.c_RectifyX", "校正 X"},
    {"CameraEdit.c_RectifyY", "校正 Y"},             {"CameraEdit.c_RectifyAngle", "校正角度"},
    {"CameraEdit.c_IDOK", "确  定"},                 {"CameraEdit.c_IDCANCEL", "取  消"},
    {"CameraEdit.c_VisualPreferencesSet", "视觉参数设置"}, {"CameraEdit.c_VisualZoom", "视觉比例"},
    {"CameraEdit.c_VisualSize", "视框尺寸"},         {"CameraEdit.c_Contrast", "对比度"},
    {"CameraEdit.c_Brightness", "光亮度"},           {"CameraEdit.c_CorrectionTimes", "视觉校正次数"},
    {"CameraEdit.c_Precision_XY", "X Y 校正精度"},    {"CameraEdit.c_Precision_A", "角度校正精度"},
    {"CameraEdit.c_CollectPictureTime", "采像时间"},  {"CameraEdit.c_Message_01", "请填入摄像机名称 !"},
    {"CameraEdit.c_Message_02", "摄像机名称已存在，请修改 !"}, {"CameraEdit.c_Message_03", "视觉宽度太大 !"},
    {"CameraEdit.c_Message_04", "视觉高度太大 !"},
};
QString Q(const std::string& s) { return QString::fromStdString(s); }
void FocusSelect(QLineEdit* e) {
  e->setFocus();
  e->selectAll();
}
}  // namespace

CDialogCameraEdit::CDialogCameraEdit(smt::Machine& machine, QWidget* parent) : QDialog(parent), machine_(machine) {
  setObjectName("CDialogCameraEdit");
  for (const auto& k : kKeys) m_texts[k.key] = k.chinese;
  // Before the first use the numbers are ones the dialog's own checks take:
  // a scale, a box and a collect time inside their ranges.
  values.visualZoom = 10;
  values.visualSize = 2;
  values.collectTime = 50;
  auto* outer = new QVBoxLayout(this);
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMinimumWidth(70);
    return e;
  };
  auto label = [this](const char* key) {
    auto* l = new QLabel(Q(Text(key)), this);
    l->setObjectName(QString("label.") + key);
    m_labels[key] = l;
    return l;
  };
  auto* top = new QGridLayout;
  editName = edit("name");
  editName->setEnabled(false);
  top->addWidget(label("CameraEdit.c_CameraName"), 0, 0);
  top->addWidget(editName, 0, 1, 1, 2);
  editX = edit("cameraX");
  editY = edit("cameraY");
  auto* bx = new QPushButton("X", this);
  bx->setObjectName("captureX");
  auto* by = new QPushButton("Y", this);
  by->setObjectName("captureY");
  top->addWidget(label("CameraEdit.c_CameraXCoordinates"), 1, 0);
  top->addWidget(editX, 1, 1);
  top->addWidget(new QLabel("mm", this), 1, 2);
  top->addWidget(bx, 1, 3);
  top->addWidget(label("CameraEdit.c_CameraYCoordinates"), 2, 0);
  top->addWidget(editY, 2, 1);
  top->addWidget(new QLabel("mm", this), 2, 2);
  top->addWidget(by, 2, 3);
  outer->addLayout(top);

  correctionGroup_ = new QGroupBox(this);
  auto* cg = new QGridLayout(correctionGroup_);
  cg->addWidget(label("CameraEdit.c_RectifyX"), 1, 0);
  cg->addWidget(label("CameraEdit.c_RectifyY"), 2, 0);
  for (int k = 0; k < 8; ++k) {
    auto* head = new QLabel(QString("A%1").arg(k + 1), correctionGroup_);
    head->setAlignment(Qt::AlignCenter);
    cg->addWidget(head, 0, 1 + k);
    editCorrection[2 * k] = edit(QString("correctionX%1").arg(k + 1).toLatin1().constData());
    editCorrection[2 * k + 1] = edit(QString("correctionY%1").arg(k + 1).toLatin1().constData());
    cg->addWidget(editCorrection[2 * k], 1, 1 + k);
    cg->addWidget(editCorrection[2 * k + 1], 2, 1 + k);
  }
  editAngle = edit("angle");
  cg->addWidget(label("CameraEdit.c_RectifyAngle"), 3, 0);
  cg->addWidget(editAngle, 3, 1);
  cg->addWidget(new QLabel("°", correctionGroup_), 3, 2);
  outer->addWidget(correctionGroup_);

  visionGroup_ = new QGroupBox(this);
  auto* vg = new QGridLayout(visionGroup_);
  editZoom = edit("visualZoom");
  editSize = edit("visualSize");
  editContrast = edit("contrast");
  editBrightness = edit("brightness");
  editTimes = edit("correctionTimes");
  editPrecisionXY = edit("precisionXY");
  editPrecisionA = edit("precisionA");
  editCollect = edit("collectTime");
  precisionXYMm = new QLabel(this);
  precisionXYMm->setObjectName("precisionXYMm");
  precisionADeg = new QLabel(this);
  precisionADeg->setObjectName("precisionADeg");
  struct Row { const char* key; QLineEdit* e; QWidget* after; };
  const Row rows[] = {
      {"CameraEdit.c_VisualZoom", editZoom, new QLabel("px/mm", this)},
      {"CameraEdit.c_VisualSize", editSize, new QLabel("mm", this)},
      {"CameraEdit.c_Contrast", editContrast, nullptr},
      {"CameraEdit.c_Brightness", editBrightness, nullptr},
      {"CameraEdit.c_CorrectionTimes", editTimes, nullptr},
      {"CameraEdit.c_Precision_XY", editPrecisionXY, precisionXYMm},
      {"CameraEdit.c_Precision_A", editPrecisionA, precisionADeg},
      {"CameraEdit.c_CollectPictureTime", editCollect, new QLabel("ms", this)},
  };
  int r = 0;
  for (const Row& row : rows) {
    vg->addWidget(label(row.key), r, 0);
    vg->addWidget(row.e, r, 1);
    if (row.after) vg->addWidget(row.after, r, 2);
    ++r;
  }
  outer->addWidget(visionGroup_);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(this);
  ok->setObjectName("ok");
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("cancel");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  ApplyTexts();
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(bx, &QPushButton::clicked, this, [this] { OnCaptureX(); });
  connect(by, &QPushButton::clicked, this, [this] { OnCaptureY(); });
  connect(editZoom, &QLineEdit::textEdited, this, [this] { OnZoomChange(); });
  connect(editSize, &QLineEdit::textEdited, this, [this] { OnVisualSizeChange(); });
  connect(editContrast, &QLineEdit::textEdited, this, [this] { OnContrastChange(); });
  connect(editBrightness, &QLineEdit::textEdited, this, [this] { OnBrightnessChange(); });
  connect(editPrecisionXY, &QLineEdit::textEdited, this, [this] { OnPrecisionXYChange(); });
  connect(editPrecisionA, &QLineEdit::textEdited, this, [this] { OnPrecisionAChange(); });
}

void CDialogCameraEdit::ApplyTexts() {
  setWindowTitle(Q(Text("CameraEdit.c_CameraEdit")));
  for (auto& [key, l] : m_labels) l->setText(Q(Text(key)));
  correctionGroup_->setTitle(Q(Text("CameraEdit.c_VisionCorrection")));
  visionGroup_->setTitle(Q(Text("CameraEdit.c_VisualPreferencesSet")));
  if (auto* ok = findChild<QPushButton*>("ok")) ok->setText(Q(Text("CameraEdit.c_IDOK")));
  if (auto* c = findChild<QPushButton*>("cancel")) c->setText(Q(Text("CameraEdit.c_IDCANCEL")));
}

void CDialogCameraEdit::LoadLanguage(const std::string& dir, const std::string& lang) {
  smt::platform::LanguageSection s(dir, lang, "CameraEditConfig");
  for (const auto& k : kKeys) m_texts[k.key] = s.Text(k.key, k.chinese);
}

std::string CDialogCameraEdit::Text(const std::string& key) const {
  auto it = m_texts.find(key);
  return it == m_texts.end() ? std::string() : it->second;
}

void CDialogCameraEdit::PutValues() {
  using smt::platform::FormatDouble;
  editName->setText(Q(values.name));
  editX->setText(Q(FormatDouble(values.x, 4)));
  editY->setText(Q(FormatDouble(values.y, 4)));
  for (int i = 0; i < 16; ++i) editCorrection[i]->setText(Q(FormatDouble(values.corrections[i], 4)));
  editAngle->setText(Q(FormatDouble(values.angle, 4)));
  editZoom->setText(Q(FormatDouble(values.visualZoom, 2)));
  editSize->setText(Q(FormatDouble(values.visualSize, 2)));
  editContrast->setText(QString::number(values.contrast));
  editBrightness->setText(QString::number(values.brightness));
  editTimes->setText(QString::number(values.correctionTimes));
  editPrecisionXY->setText(QString::number(values.precisionXY));
  editPrecisionA->setText(QString::number(values.precisionA));
  editCollect->setText(QString::number(values.collectTime));
  const auto t = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table;
  precisionXYMm->setText(Q(PrecisionText(values.precisionXY, t.dXPulse)));
  precisionADeg->setText(Q(PrecisionText(values.precisionA, t.dAPulse)));
}

void CDialogCameraEdit::OnInitDialog() {
  setResult(QDialog::Rejected);
  LoadLanguage(appDir, language);
  if (panel) {
    if (values.name == kCameraName1)
      panel->OnBnClickedOpenVisualCamera1();
    else if (values.name == kCameraName2)
      panel->OnBnClickedOpenVisualCamera2();
  }
  ApplyTexts();
  PutValues();
}

void CDialogCameraEdit::OnCaptureX() {
  editX->setText(Q(CapturePositionText(machine_.curX.load(), smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dXPulse)));
}

void CDialogCameraEdit::OnCaptureY() {
  editY->setText(Q(CapturePositionText(machine_.curY.load(), smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dYPulse)));
}

void CDialogCameraEdit::BoxChanged(bool scaleEdit) {
  // While typing, the panel follows only a box that holds whole numbers and
  // fits the picture; the text is left as typed (a select-all here made the
  // next keystroke replace it), and the OK names what is wrong.
  const auto zoom = smt::platform::ParseOperatorNumber(editZoom->text().toStdString());
  const auto size = smt::platform::ParseOperatorNumber(editSize->text().toStdString());
  if (!zoom || !size) return;
  const int height = panel ? panel->m_nImageHeight : 480;
  const bool applies = BoxCheckAppliesWhileTyping(machine_.camera.highSpeedCamera.load(), machine_.camera.visionMode.load(),
                                                  machine_.camera.highSpeedMarkCamera.load(), machine_.camera.highSpeedVisualCamera1.load(),
                                                  machine_.camera.highSpeedVisualCamera2.load());
  if (applies && VisualBoxTooLarge(*zoom, *size, height)) return;
  if (!panel) return;
  if (scaleEdit) {
    panel->m_dPixelPerMm = *zoom;
  } else {
    panel->m_VisualSize = *size;
    panel->ShowVisualParameters(panel->m_Light_Contrast, panel->m_Light_Brightness, -1, panel->m_dPixelPerMm, *size);
  }
}

void CDialogCameraEdit::OnZoomChange() { BoxChanged(true); }
void CDialogCameraEdit::OnVisualSizeChange() { BoxChanged(false); }

void CDialogCameraEdit::OnContrastChange() {
  const auto v = smt::platform::OperatorNumberInRange(editContrast->text().toStdString(), 0, 255, true);
  if (v && panel) panel->TypeContrast(static_cast<int>(*v));
}

void CDialogCameraEdit::OnBrightnessChange() {
  const auto v = smt::platform::OperatorNumberInRange(editBrightness->text().toStdString(), 0, 255, true);
  if (v && panel) panel->TypeBrightness(static_cast<int>(*v));
}

// What a precision box shows in millimetres or degrees while it is typed:
// nothing while it holds no whole number (its range is judged at OK).
void CDialogCameraEdit::OnPrecisionXYChange() {
  const auto n = smt::platform::ParseOperatorInteger(editPrecisionXY->text().toStdString());
  if (n) values.precisionXY = static_cast<int>(*n);
  precisionXYMm->setText(n ? Q(PrecisionText(values.precisionXY, smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dXPulse))
                           : QString());
}

void CDialogCameraEdit::OnPrecisionAChange() {
  const auto n = smt::platform::ParseOperatorInteger(editPrecisionA->text().toStdString());
  if (n) values.precisionA = static_cast<int>(*n);
  precisionADeg->setText(n ? Q(PrecisionText(values.precisionA, smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dAPulse))
                           : QString());
}

bool CDialogCameraEdit::TakeValues() {
  // Every number box holds a whole number first (a word or trailing letters
  // are refused naming the field, not read as 0); the ranges follow. Each
  // box is read once, here.
  std::map<const QLineEdit*, double> read;
  {
    const double any = smt::platform::kAnyNumber;
    struct Box {
      QLineEdit* e;
      const char* key;
      double lo, hi;
      bool integer;
    };
    std::vector<Box> boxes = {{editX, "CameraEdit.c_CameraXCoordinates", -any, any, false},
                              {editY, "CameraEdit.c_CameraYCoordinates", -any, any, false},
                              {editAngle, "CameraEdit.c_RectifyAngle", -any, any, false},
                              {editZoom, "CameraEdit.c_VisualZoom", 1.0, 200.0, false},
                              {editSize, "CameraEdit.c_VisualSize", 1.0, 640.0, false},
                              {editContrast, "CameraEdit.c_Contrast", 0, 255, true},
                              {editBrightness, "CameraEdit.c_Brightness", 0, 255, true},
                              {editTimes, "CameraEdit.c_CorrectionTimes", 0, 20, true},
                              {editPrecisionA, "CameraEdit.c_Precision_A", 0, 30, true},
                              {editPrecisionXY, "CameraEdit.c_Precision_XY", 0, 10, true},
                              {editCollect, "CameraEdit.c_CollectPictureTime", 20, 10000, true}};
    for (QLineEdit* c : editCorrection) boxes.push_back({c, "", -any, any, false});
    for (const Box& b : boxes) {
      if (!b.e) continue;
      if (const auto n = smt::platform::OperatorNumberInRange(b.e->text().toStdString(), b.lo, b.hi, b.integer)) {
        read[b.e] = *n;
        continue;
      }
      smt::platform::NumberField spec;
      spec.lo = b.lo;
      spec.hi = b.hi;
      spec.integer = b.integer;
      spec.fallbackLabel = *b.key ? Text(b.key) : std::string();
      spec.appDir = appDir;
      spec.language = language;
      smt::platform::ReadOperatorNumber(b.e, spec);
      return false;
    }
  }
  CameraEditValues v;
  v.name = editName->text().toStdString();
  auto D = [&read](const QLineEdit* e) {
    const auto it = read.find(e);
    return it == read.end() ? 0.0 : it->second;
  };
  // Whole numbers in their ranges, so the conversions are exact.
  auto I = [&D](const QLineEdit* e) { return static_cast<int>(D(e)); };
  v.x = D(editX);
  v.y = D(editY);
  for (int i = 0; i < 16; ++i) v.corrections[i] = D(editCorrection[i]);
  v.angle = D(editAngle);
  v.visualZoom = D(editZoom);
  v.visualSize = D(editSize);
  v.contrast = I(editContrast);
  v.brightness = I(editBrightness);
  v.correctionTimes = I(editTimes);
  v.precisionXY = I(editPrecisionXY);
  v.precisionA = I(editPrecisionA);
  v.collectTime = I(editCollect);
  RangeFailure f;
  if (!CheckEditRanges(v, &f)) {
    // The refusal names the field by its label and focuses it.
    struct Field { const char* field; const char* key; QLineEdit* e; };
    const Field fields[] = {
        {"visualZoom", "CameraEdit.c_VisualZoom", editZoom},
        {"visualSize", "CameraEdit.c_VisualSize", editSize},
        {"contrast", "CameraEdit.c_Contrast", editContrast},
        {"brightness", "CameraEdit.c_Brightness", editBrightness},
        {"correctionTimes", "CameraEdit.c_CorrectionTimes", editTimes},
        {"precisionA", "CameraEdit.c_Precision_A", editPrecisionA},
        {"precisionXY", "CameraEdit.c_Precision_XY", editPrecisionXY},
        {"collectTime", "CameraEdit.c_CollectPictureTime", editCollect},
    };
    std::string label = f.field;
    QLineEdit* at = nullptr;
    for (const Field& x : fields)
      if (f.field == x.field) {
        label = Text(x.key);
        at = x.e;
      }
    smt::platform::ShowMessage(smt::platform::RangeRefusalText(appDir, language, label, f.min, f.max));
    if (at) FocusSelect(at);
    return false;
  }
  values = v;
  return true;
}

void CDialogCameraEdit::OnOK() {
  // Every number box first: a word or a value outside its range is named
  // before the checks that use the numbers.
  const CameraEditValues kept = values;
  if (!TakeValues()) return;
  const CameraEditValues taken = values;
  values = kept;
  CameraEditValues v = values;
  v.name = editName->text().toStdString();
  v.visualZoom = taken.visualZoom;
  v.visualSize = taken.visualSize;
  const int height = panel ? panel->m_nImageHeight : 480;
  switch (CameraEditRefusal(v, rowNames, selectedRow, BoxCheckAppliesAtOk(machine_.camera.highSpeedCamera.load(), machine_.camera.visionMode.load()), height)) {
    case 1:
      smt::platform::ShowMessage(Text("CameraEdit.c_Message_01"));
      FocusSelect(editName);
      return;
    case 2:
      smt::platform::ShowMessage(Text("CameraEdit.c_Message_02"));
      FocusSelect(editName);
      return;
    case 3:
      smt::platform::ShowMessage(Text("CameraEdit.c_Message_03"));
      FocusSelect(editSize);
      return;
    default:
      break;
  }
  if (!TakeValues()) return;
  accept();
}
