#include "vision/CDialogCameraEdit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/core/MachineState.h"
#include "platform/MessageService.h"
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
double D(QLineEdit* e) { return smt::platform::TextToDouble(e->text().toStdString()); }
void FocusSelect(QLineEdit* e) {
  e->setFocus();
  e->selectAll();
}
}  // namespace

CDialogCameraEdit::CDialogCameraEdit(QWidget* parent) : QDialog(parent) {
  setObjectName("CDialogCameraEdit");
  for (const auto& k : kKeys) m_texts[k.key] = k.chinese;
  auto* g = new QGridLayout(this);
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
  };
  int row = 0;
  editName = edit("name");
  editName->setEnabled(false);
  g->addWidget(new QLabel(this), row, 0);
  g->addWidget(editName, row++, 1, 1, 3);
  editX = edit("cameraX");
  editY = edit("cameraY");
  auto* bx = new QPushButton("X", this);
  bx->setObjectName("captureX");
  auto* by = new QPushButton("Y", this);
  by->setObjectName("captureY");
  g->addWidget(editX, row, 1);
  g->addWidget(bx, row++, 2);
  g->addWidget(editY, row, 1);
  g->addWidget(by, row++, 2);
  for (int k = 0; k < 8; ++k) {
    g->addWidget(new QLabel(QString("A%1").arg(k + 1), this), row, 1 + k);
    editCorrection[2 * k] = edit(QString("correctionX%1").arg(k + 1).toLatin1().constData());
    editCorrection[2 * k + 1] = edit(QString("correctionY%1").arg(k + 1).toLatin1().constData());
    g->addWidget(editCorrection[2 * k], row + 1, 1 + k);
    g->addWidget(editCorrection[2 * k + 1], row + 2, 1 + k);
  }
  row += 3;
  editAngle = edit("angle");
  g->addWidget(editAngle, row++, 1);
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
  for (QLineEdit* e : {editZoom, editSize, editContrast, editBrightness, editTimes, editPrecisionXY, editPrecisionA,
                       editCollect})
    g->addWidget(e, row++, 1);
  g->addWidget(precisionXYMm, row - 3, 2);
  g->addWidget(precisionADeg, row - 2, 2);
  auto* ok = new QPushButton(this);
  ok->setObjectName("ok");
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("cancel");
  g->addWidget(ok, row, 1);
  g->addWidget(cancel, row, 2);
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
  const auto t = smt::settings::SettingsStores::Instance().machine.Geometry()->table;
  precisionXYMm->setText(Q(PrecisionText(values.precisionXY, t.g_dXPulse)));
  precisionADeg->setText(Q(PrecisionText(values.precisionA, t.g_dAPulse)));
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
  setWindowTitle(Q(Text("CameraEdit.c_CameraEdit")));
  if (auto* ok = findChild<QPushButton*>("ok")) ok->setText(Q(Text("CameraEdit.c_IDOK")));
  if (auto* c = findChild<QPushButton*>("cancel")) c->setText(Q(Text("CameraEdit.c_IDCANCEL")));
  PutValues();
}

void CDialogCameraEdit::OnCaptureX() {
  editX->setText(Q(CapturePositionText(g_nCurX.load(), smt::settings::SettingsStores::Instance().machine.Geometry()->table.g_dXPulse)));
}

void CDialogCameraEdit::OnCaptureY() {
  editY->setText(Q(CapturePositionText(g_nCurY.load(), smt::settings::SettingsStores::Instance().machine.Geometry()->table.g_dYPulse)));
}

void CDialogCameraEdit::BoxChanged(bool scaleEdit) {
  const int height = panel ? panel->m_nImageHeight : 480;
  const bool applies = BoxCheckAppliesWhileTyping(g_nHighSpeedCamera.load(), g_nVisionMode.load(),
                                                  g_bHighSpeedMarkCamera.load(), g_bHighSpeedVisualCamera1.load(),
                                                  g_bHighSpeedVisualCamera2.load());
  if (applies && VisualBoxTooLarge(D(editZoom), D(editSize), height)) {
    smt::platform::ShowMessage(Text("CameraEdit.c_Message_03"));
    FocusSelect(editSize);
    if (scaleEdit) FocusSelect(editZoom);
    return;
  }
  if (!panel) return;
  if (scaleEdit) {
    panel->m_dPixelPerMm = D(editZoom);
  } else {
    panel->m_VisualSize = D(editSize);
    panel->ShowVisualParameters(panel->m_Light_Contrast, panel->m_Light_Brightness, -1, panel->m_dPixelPerMm,
                                D(editSize));
  }
}

void CDialogCameraEdit::OnZoomChange() { BoxChanged(true); }
void CDialogCameraEdit::OnVisualSizeChange() { BoxChanged(false); }

void CDialogCameraEdit::OnContrastChange() {
  bool ok = false;
  const int v = editContrast->text().trimmed().toInt(&ok);
  if (!ok || v < 0 || v > 255) {
    FocusSelect(editContrast);
    return;
  }
  if (panel) panel->TypeContrast(v);
}

void CDialogCameraEdit::OnBrightnessChange() {
  bool ok = false;
  const int v = editBrightness->text().trimmed().toInt(&ok);
  if (!ok || v < 0 || v > 255) {
    FocusSelect(editBrightness);
    return;
  }
  if (panel) panel->TypeBrightness(v);
}

void CDialogCameraEdit::OnPrecisionXYChange() {
  values.precisionXY = editPrecisionXY->text().toInt();
  precisionXYMm->setText(Q(PrecisionText(values.precisionXY, smt::settings::SettingsStores::Instance().machine.Geometry()->table.g_dXPulse)));
}

void CDialogCameraEdit::OnPrecisionAChange() {
  values.precisionA = editPrecisionA->text().toInt();
  precisionADeg->setText(Q(PrecisionText(values.precisionA, smt::settings::SettingsStores::Instance().machine.Geometry()->table.g_dAPulse)));
}

bool CDialogCameraEdit::TakeValues() {
  CameraEditValues v;
  v.name = editName->text().toStdString();
  v.x = D(editX);
  v.y = D(editY);
  for (int i = 0; i < 16; ++i) v.corrections[i] = D(editCorrection[i]);
  v.angle = D(editAngle);
  v.visualZoom = D(editZoom);
  v.visualSize = D(editSize);
  v.contrast = editContrast->text().toInt();
  v.brightness = editBrightness->text().toInt();
  v.correctionTimes = editTimes->text().toInt();
  v.precisionXY = editPrecisionXY->text().toInt();
  v.precisionA = editPrecisionA->text().toInt();
  v.collectTime = editCollect->text().toInt();
  RangeFailure f;
  if (!CheckEditRanges(v, &f)) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Please enter a number between %g and %g.", f.min, f.max);
    smt::platform::ShowMessage(buf);
    return false;
  }
  values = v;
  return true;
}

void CDialogCameraEdit::OnOK() {
  CameraEditValues v = values;
  v.name = editName->text().toStdString();
  v.visualZoom = D(editZoom);
  v.visualSize = D(editSize);
  const int height = panel ? panel->m_nImageHeight : 480;
  switch (CameraEditRefusal(v, rowNames, selectedRow, BoxCheckAppliesAtOk(g_nHighSpeedCamera.load(), g_nVisionMode.load()), height)) {
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
