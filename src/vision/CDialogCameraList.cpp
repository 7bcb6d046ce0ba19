#include "vision/CDialogCameraList.h"
#include "platform/TableColumns.h"

#include <QCheckBox>
#include <algorithm>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QPointer>

#include "core/MachineState.h"
#include "link/MachineGuards.h"
#include "platform/GuiDispatcher.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogCameraEdit.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraSettingsPage.h"
#include "vision/VisionGlobals.h"
#include "platform/RefusalTexts.h"

using namespace smt::vision;
using smt::platform::ShowMessage;

namespace {

struct Key {
  const char* key;
  const char* chinese;
};
constexpr Key kKeys[] = {
    {"CameraList.c_CameraList", "视觉对中摄像机管理"}, {"CameraList.c_CameraAdd", "添加相机"},
    {"CameraList.c_CameraEdit", "修改相机"},         {"CameraList.c_CameraDelete", "删除相机"},
    {"CameraList.c_IDOK", "确  定"},                 {"CameraList.c_IDCANCEL", "取  消"},
    {"CameraList.c_BaseSet", "标准片设置"},          {"CameraList.c_ChangeCameraDelay", "切换相机延时"},
    {"CameraList.c_TongCameraCorrect", "同步相机修正"}, {"CameraList.c_CameraConfig", "相机配置"},
    {"CameraList.c_HighSpeedCamera", "高速相机"},    {"CameraList.c_MarkCamera", "Mark相机"},
    {"CameraList.c_VisualCamera1", "视觉相机1"},     {"CameraList.c_VisualCamera2", "视觉相机2"},
    {"CameraList.c_FlyCamera", "飞行相机"},          {"CameraList.c_Set", "设置"},
    {"CameraList.c_Activation", "激活"},             {"CameraList.c_FlyTest", "飞行测试"},
    {"CameraList.c_VisualImageColorReversal", "视觉图像颜色反转"}, {"CameraList.c_TriggerInAdvance", "飞行提前触发"},
    {"CameraList.c_FlyCorrectY", "飞行修正Y"},       {"CameraList.c_FlyStartSpeed", "飞行启动速度"},
    {"CameraList.c_FlyNormalSpeed", "飞行运行速度"}, {"CameraList.c_VisualOffset", "启用识别偏差"},
    {"CameraList.c_NozzleToBase", "吸嘴到标准片"},   {"CameraList.c_CameraToBase", "相机到标准片"},
    {"CameraList.c_PickBaseToCamera", "取标准片到相机"}, {"CameraList.c_PlaceBase", "放回标准片位置"},
    {"CameraList.c_CameraScaleCorrect", "相机比例校准"}, {"CameraList.c_CameraCoordinatesCorrect", "相机位置校准"},
    {"CameraList.c_MarkCameraCorrect", "Mark相机位置校准"}, {"CameraList.c_NozzleCoordinatesCorrect", "吸嘴位置校准"},
    {"CameraList.c_CameraFlyTest", "相机飞行测试"},  {"CameraList.c_CameraFlyCorrect", "相机飞行校准"},
    {"CameraList.c_Exit", "退出"},
    {"CameraList.c_Message_01", "目前只支持 2 个摄相机 !"}, {"CameraList.c_Message_02", "未选择要修改的行 !"},
    {"CameraList.c_Message_03", "未选择要删除的行 !"},
};
// Column titles: keys 01..29 without 23.
const char* kTitles[28] = {"相机名称", "相机X坐标", "相机Y坐标", "校正X1", "校正Y1", "校正X2", "校正Y2", "校正X3",
                           "校正Y3",   "校正X4",    "校正Y4",    "校正X5", "校正Y5", "校正X6", "校正Y6", "校正X7",
                           "校正Y7",   "校正X8",    "校正Y8",    "校正角度", "视觉比例", "视框尺寸", "对比度", "光亮度",
                           "校正次数", "校正精度XY", "校正精度A", "采像时间"};
std::string TitleKey(int col) {
  const int n = col < 22 ? col + 1 : col + 2;
  char buf[40];
  std::snprintf(buf, sizeof buf, "CameraList.c_CameraList_%02d", n);
  return buf;
}
const char* kMenuKeys[10] = {"CameraList.c_NozzleToBase",          "CameraList.c_CameraToBase",
                             "CameraList.c_PickBaseToCamera",      "CameraList.c_PlaceBase",
                             "CameraList.c_CameraScaleCorrect",    "CameraList.c_CameraCoordinatesCorrect",
                             "CameraList.c_MarkCameraCorrect",     "CameraList.c_NozzleCoordinatesCorrect",
                             "CameraList.c_CameraFlyTest",         "CameraList.c_CameraFlyCorrect"};
QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CDialogCameraList::CDialogCameraList(smt::Machine& machine, QWidget* parent)
    : QDialog(parent), m_pEditor([this, &machine] {
        auto e = std::make_unique<CDialogCameraEdit>(machine);
        if (editorLanguage_) e->LoadLanguage(editorLanguage_->first, editorLanguage_->second);
        return e;
      }), machine_(machine) {
  setObjectName("CDialogCameraList");
  for (const auto& k : kKeys) m_texts[k.key] = k.chinese;
  for (int c = 0; c < 28; ++c) m_texts[TitleKey(c)] = kTitles[c];
  auto* g = new QGridLayout(this);
  list = new QTableWidget(0, 28, this);
  smt::platform::KeepColumnsWideEnough(list);
  list->setObjectName("cameraList");
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  g->addWidget(list, 0, 0, 1, 6);
  auto button = [this, g](const char* name, int r, int c) {
    auto* b = new QPushButton(this);
    b->setObjectName(name);
    g->addWidget(b, r, c);
    return b;
  };
  connect(button("add", 1, 0), &QPushButton::clicked, this, [this] { OnAddCamera(); });
  connect(button("modify", 1, 1), &QPushButton::clicked, this, [this] { OnModifyCamera(); });
  connect(button("delete", 1, 2), &QPushButton::clicked, this, [this] { OnDeleteCamera(); });
  connect(button("ok", 1, 4), &QPushButton::clicked, this, [this] { OnOK(); });
  connect(button("cancel", 1, 5), &QPushButton::clicked, this, [this] { OnCancel(); });
  connect(list, &QTableWidget::cellClicked, this, [this](int r, int) { OnListClick(r); });
  connect(list, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { OnListDblClk(r); });
  connect(list, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    const int r = list->rowAt(p.y());
    if (r >= 0) list->selectRow(r);
    if (QMenu* m = OnListRClick(r)) {
      m->exec(list->viewport()->mapToGlobal(p));
      delete m;
    }
  });
  int row = 2;
  auto edit = [this, g, &row](const std::string& key, int col) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Q(key));
    edits[key] = e;
    auto* l = new QLabel(this);
    l->setObjectName(Q("label." + key));
    fieldLabels_[key] = l;
    g->addWidget(l, row, col * 2);
    g->addWidget(e, row, col * 2 + 1);
    return e;
  };
  auto check = [this, g](const std::string& key, int r, int c) {
    auto* b = new QCheckBox(this);
    b->setObjectName(Q(key));
    checks[key] = b;
    g->addWidget(b, r, c);
    return b;
  };
  edit("m_BaseDiameter", 0);
  edit("m_BaseCoordinates_X", 1);
  edit("m_BaseCoordinates_Y", 2);
  ++row;
  edit("m_BaseCoordinates_Z", 0);
  edit("m_iChangeCameraDelay", 1);
  check("m_bChangeCameraDelay", row, 5);
  ++row;
  edit("m_Correct_X", 0);
  edit("m_Correct_Y", 1);
  edit("m_Correct_A", 2);
  ++row;
  check("m_HighSpeedCamera", row, 0);
  check("m_MarkCamera", row, 1);
  check("m_VisualCamera1", row, 2);
  check("m_VisualCamera2", row, 3);
  check("m_FlyCamera", row, 4);
  check("m_VisualImageColorReversal", row, 5);
  ++row;
  edit("m_iFlyStartSpeed", 0);
  edit("m_iFlyNormalSpeed", 1);
  check("m_bVisualOffset", row, 4)->hide();
  edit("m_AllowOffset", 2);
  ++row;
  for (int k = 1; k <= 8; ++k) {
    edit("m_iTriggerPulse" + std::to_string(k), (k - 1) % 3);
    if (k % 3 == 0) ++row;
  }
  ++row;
  for (int k = 1; k <= 8; ++k) {
    edit("m_dFlyCorrect_Y" + std::to_string(k), (k - 1) % 3);
    if (k % 3 == 0) ++row;
  }
  ++row;
  auto* cx = button("captureBaseX", row, 0);
  cx->setText("CX");
  auto* cy = button("captureBaseY", row, 1);
  cy->setText("CY");
  auto* cz = button("captureBaseZ", row, 2);
  cz->setText("Z");
  auto* set = button("cameraSettings", row, 3);
  flyTestButton = button("flyTest", row, 4);
  auto* activate = button("activate", row, 5);
  connect(cx, &QPushButton::clicked, this, [this] { OnCaptureBaseX(); });
  connect(cy, &QPushButton::clicked, this, [this] { OnCaptureBaseY(); });
  connect(cz, &QPushButton::clicked, this, [this] { OnCaptureBaseZ(); });
  connect(set, &QPushButton::clicked, this, [this] { OnCameraSettings(); });
  connect(activate, &QPushButton::clicked, this, [this] { OnActivate(); });
  connect(checks["m_HighSpeedCamera"], &QCheckBox::clicked, this, [this] { OnHighSpeedCameraClicked(); });
  connect(checks["m_FlyCamera"], &QCheckBox::clicked, this, [this] { OnFlyCameraClicked(); });
  edits["m_AllowOffset"]->hide();
  runEditor = [](CDialogCameraEdit& e) { return e.exec(); };
}

CDialogCameraList::~CDialogCameraList() { m_bCalibrationRunning = false; }

double CDialogCameraList::XPulse() const { return smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dXPulse; }
double CDialogCameraList::YPulse() const { return smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dYPulse; }

std::string CDialogCameraList::Text(const std::string& key) const {
  auto it = m_texts.find(key);
  return it == m_texts.end() ? std::string() : it->second;
}

void CDialogCameraList::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection s(appDir, language, "CameraListConfig");
  for (const auto& k : kKeys) m_texts[k.key] = s.Text(k.key, k.chinese);
  for (int c = 0; c < 28; ++c) m_texts[TitleKey(c)] = s.Text(TitleKey(c), kTitles[c]);
  if (m_pEditor.Built())
    m_pEditor->LoadLanguage(appDir, language);
  else
    editorLanguage_.emplace(appDir, language);
}

int CDialogCameraList::LoadTable(const std::vector<CameraRow>& rows) { return m_Table.LoadRows(rows); }

void CDialogCameraList::RebuildCameraRecords() {
  m_Table.RebuildRecords(XPulse(), YPulse());
  // The fly pass lies where the first camera is.
  neighbours->LayoutHeads();
}

void CDialogCameraList::SyncFeederVisionIcons() {
  const auto column = neighbours->FeederCameraColumn();
  if (column.empty()) return;
  const auto rows = FeedersWithoutVisionCamera(m_Table.Names(), column);
  if (!rows.empty()) neighbours->MarkFeedersWithoutVision(rows);
}

void CDialogCameraList::ShiftCameraPositions(double dx, double dy) {
  m_Table.ShiftPositions(dx, dy, XPulse(), YPulse());
  neighbours->RowsCommitted(m_Table.Rows());
  SaveConfig(m_strAppPath);
}

void CDialogCameraList::LoadConfig(const std::string& appDir) {
  LoadCameraListConfig(appDir, m_Settings, m_Table.m_Camera_first, m_Table.m_Camera_second);
}

bool CDialogCameraList::SaveConfig(const std::string& appDir) {
  return SaveCameraListConfig(machine_, appDir, m_Settings, m_Table.m_Camera_first, m_Table.m_Camera_second);
}

void CDialogCameraList::SetListRow(int row, const std::vector<std::string>& texts) {
  for (int c = 0; c < kCameraCellCount && c < static_cast<int>(texts.size()); ++c) {
    auto* item = new QTableWidgetItem(Q(texts[static_cast<size_t>(c)]));
    item->setTextAlignment(Qt::AlignCenter);
    item->setBackground(row % 2 == 0 ? QColor(250, 250, 200) : QColor(240, 250, 250));
    list->setItem(row, c, item);
  }
}

void CDialogCameraList::FillList() {
  list->setRowCount(0);
  list->setRowCount(m_Table.Count());
  for (int r = 0; r < m_Table.Count(); ++r) SetListRow(r, m_Table.Row(r).ShownTexts());
}

void CDialogCameraList::PutSettings() {
  using smt::platform::FormatDouble;
  const auto& s = m_Settings;
  auto set = [this](const std::string& k, const std::string& v) { edits[k]->setText(Q(v)); };
  set("m_BaseDiameter", FormatDouble(s.m_BaseDiameter, 4));
  set("m_BaseCoordinates_X", FormatDouble(s.m_BaseCoordinates_X, 4));
  set("m_BaseCoordinates_Y", FormatDouble(s.m_BaseCoordinates_Y, 4));
  set("m_BaseCoordinates_Z", FormatDouble(s.m_BaseCoordinates_Z, 4));
  set("m_iChangeCameraDelay", std::to_string(s.m_iChangeCameraDelay));
  set("m_Correct_X", FormatDouble(s.m_Correct_X, 4));
  set("m_Correct_Y", FormatDouble(s.m_Correct_Y, 4));
  set("m_Correct_A", FormatDouble(s.m_Correct_A, 4));
  set("m_iFlyStartSpeed", std::to_string(s.m_iFlyStartSpeed));
  set("m_iFlyNormalSpeed", std::to_string(s.m_iFlyNormalSpeed));
  set("m_AllowOffset", FormatDouble(s.m_AllowOffset, 4));
  for (int k = 0; k < 8; ++k) {
    set("m_iTriggerPulse" + std::to_string(k + 1), std::to_string(s.m_iTriggerPulse[k]));
    set("m_dFlyCorrect_Y" + std::to_string(k + 1), FormatDouble(s.m_dFlyCorrect_Y[k], 4));
  }
  checks["m_bChangeCameraDelay"]->setChecked(s.m_bChangeCameraDelay != 0);
  checks["m_HighSpeedCamera"]->setChecked(s.m_HighSpeedCamera != 0);
  checks["m_MarkCamera"]->setChecked(s.m_MarkCamera != 0);
  checks["m_VisualCamera1"]->setChecked(s.m_VisualCamera1 != 0);
  checks["m_VisualCamera2"]->setChecked(s.m_VisualCamera2 != 0);
  checks["m_FlyCamera"]->setChecked(s.m_FlyCamera != 0);
  checks["m_VisualImageColorReversal"]->setChecked(s.m_VisualImageColorReversal != 0);
  checks["m_bVisualOffset"]->setChecked(s.m_bVisualOffset != 0);
}

bool CDialogCameraList::TakeSettings() {
  CameraListSettings s = m_Settings;
  // Every box is read once, whole, through the operator-number reader in its
  // field's range ("5.5" in a whole-number field is refused, not cut to 5; a
  // word is refused, not read as 0). The first box refused names its field
  // and range, and nothing is taken.
  std::map<std::string, double> read;
  std::vector<std::string> order = CameraListFieldKeys();
  for (const auto& [key, edit] : edits)
    if (std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
  for (const std::string& key : order) {
    const auto it = edits.find(key);
    if (it == edits.end()) continue;
    double lo = -smt::platform::kAnyNumber, hi = smt::platform::kAnyNumber;
    CameraListFieldRange(key, lo, hi);
    const auto v = smt::platform::ReadOperatorNumber(it->second, lo, hi, CameraListFieldIsWhole(key));
    if (!v) return false;
    read[key] = *v;
  }
  auto d = [&read](const std::string& k) { return read.at(k); };
  auto i = [&read](const std::string& k) { return static_cast<int>(read.at(k)); };
  auto c = [this](const std::string& k) { return checks[k]->isChecked() ? 1 : 0; };
  s.m_BaseDiameter = d("m_BaseDiameter");
  s.m_BaseCoordinates_X = d("m_BaseCoordinates_X");
  s.m_BaseCoordinates_Y = d("m_BaseCoordinates_Y");
  s.m_BaseCoordinates_Z = d("m_BaseCoordinates_Z");
  s.m_iChangeCameraDelay = i("m_iChangeCameraDelay");
  s.m_bChangeCameraDelay = c("m_bChangeCameraDelay");
  s.m_Correct_X = d("m_Correct_X");
  s.m_Correct_Y = d("m_Correct_Y");
  s.m_Correct_A = d("m_Correct_A");
  s.m_HighSpeedCamera = c("m_HighSpeedCamera");
  s.m_MarkCamera = c("m_MarkCamera");
  s.m_VisualCamera1 = c("m_VisualCamera1");
  s.m_VisualCamera2 = c("m_VisualCamera2");
  s.m_FlyCamera = c("m_FlyCamera");
  s.m_iFlyStartSpeed = i("m_iFlyStartSpeed");
  s.m_iFlyNormalSpeed = i("m_iFlyNormalSpeed");
  for (int k = 0; k < 8; ++k) {
    s.m_iTriggerPulse[k] = i("m_iTriggerPulse" + std::to_string(k + 1));
    s.m_dFlyCorrect_Y[k] = d("m_dFlyCorrect_Y" + std::to_string(k + 1));
  }
  s.m_VisualImageColorReversal = c("m_VisualImageColorReversal");
  s.m_bVisualOffset = c("m_bVisualOffset");
  s.m_AllowOffset = d("m_AllowOffset");
  const std::string bad = FirstCameraListFieldOutOfRange(s);
  if (!bad.empty()) {
    // The field by its label and its range, in the window's language.
    double lo = 0, hi = 0;
    CameraListFieldRange(bad, lo, hi);
    ShowMessage(smt::platform::RangeRefusalText(edits.count(bad) ? smt::platform::FieldLabelOf(edits[bad]) : "", lo, hi));
    edits.count(bad) ? edits[bad]->setFocus() : void();
    return false;
  }
  m_Settings = s;
  return true;
}

void CDialogCameraList::OnInitDialog() {
  LoadLanguage(m_strAppPath, m_strLanguage);
  setWindowTitle(Q(Text("CameraList.c_CameraList")));
  auto btn = [this](const char* name, const char* key) {
    if (auto* b = findChild<QPushButton*>(name)) b->setText(Q(Text(key)));
  };
  btn("add", "CameraList.c_CameraAdd");
  btn("modify", "CameraList.c_CameraEdit");
  btn("delete", "CameraList.c_CameraDelete");
  btn("ok", "CameraList.c_IDOK");
  btn("cancel", "CameraList.c_IDCANCEL");
  btn("cameraSettings", "CameraList.c_Set");
  btn("flyTest", "CameraList.c_FlyTest");
  btn("activate", "CameraList.c_Activation");
  checks["m_HighSpeedCamera"]->setText(Q(Text("CameraList.c_HighSpeedCamera")));
  checks["m_MarkCamera"]->setText(Q(Text("CameraList.c_MarkCamera")));
  checks["m_VisualCamera1"]->setText(Q(Text("CameraList.c_VisualCamera1")));
  checks["m_VisualCamera2"]->setText(Q(Text("CameraList.c_VisualCamera2")));
  checks["m_FlyCamera"]->setText(Q(Text("CameraList.c_FlyCamera")));
  checks["m_bChangeCameraDelay"]->setText(Q(Text("CameraList.c_ChangeCameraDelay")));
  checks["m_VisualImageColorReversal"]->setText(Q(Text("CameraList.c_VisualImageColorReversal")));
  // Field labels: the group or setting text the language file has, with the
  // axis, head or unit that tells the fields of one group apart.
  auto label = [this](const std::string& field, const std::string& text) {
    if (auto it = fieldLabels_.find(field); it != fieldLabels_.end()) it->second->setText(Q(text));
  };
  const std::string base = Text("CameraList.c_BaseSet");
  label("m_BaseDiameter", base + " Ø (mm)");
  label("m_BaseCoordinates_X", base + " X (mm)");
  label("m_BaseCoordinates_Y", base + " Y (mm)");
  label("m_BaseCoordinates_Z", base + " Z (mm)");
  label("m_iChangeCameraDelay", Text("CameraList.c_ChangeCameraDelay") + " (ms)");
  const std::string sync = Text("CameraList.c_TongCameraCorrect");
  label("m_Correct_X", sync + " X (mm)");
  label("m_Correct_Y", sync + " Y (mm)");
  label("m_Correct_A", sync + " A (°)");
  label("m_iFlyStartSpeed", Text("CameraList.c_FlyStartSpeed"));
  label("m_iFlyNormalSpeed", Text("CameraList.c_FlyNormalSpeed"));
  label("m_AllowOffset", Text("CameraList.c_VisualOffset"));
  for (int k = 1; k <= 8; ++k) {
    label("m_iTriggerPulse" + std::to_string(k), Text("CameraList.c_TriggerInAdvance") + " A" + std::to_string(k));
    label("m_dFlyCorrect_Y" + std::to_string(k), Text("CameraList.c_FlyCorrectY") + " A" + std::to_string(k));
  }
  QStringList titles;
  for (int c = 0; c < 28; ++c) titles << Q(Text(TitleKey(c)));
  list->setHorizontalHeaderLabels(titles);
  const int widths[3] = {90, 70, 70};
  for (int c = 0; c < 28; ++c) list->setColumnWidth(c, c < 3 ? widths[c] : c <= 24 ? 60 : c == 25 ? 80 : c == 26 ? 70 : 60);
  list->verticalHeader()->setDefaultSectionSize(20);
  FillList();
  for (const char* k : {"m_HighSpeedCamera", "m_MarkCamera", "m_VisualCamera1", "m_VisualCamera2", "m_FlyCamera"})
    checks[k]->setEnabled(false);
  edits["m_iFlyStartSpeed"]->setEnabled(false);
  edits["m_iFlyNormalSpeed"]->setEnabled(false);
  for (int k = 1; k <= 8; ++k) {
    edits["m_iTriggerPulse" + std::to_string(k)]->setEnabled(false);
    edits["m_dFlyCorrect_Y" + std::to_string(k)]->setEnabled(false);
  }
  flyTestButton->setEnabled(false);
  PutSettings();
}

void CDialogCameraList::OnOK() {
  if (machine_.machineBusy.load()) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_MachineRunning", "机器正在运行 !"));
    return;
  }
  if (!TakeSettings()) return;
  RebuildCameraRecords();
  SyncFeederVisionIcons();
  try {
    smt::platform::WriteListFile(std::filesystem::path(m_strAppPath) / "config_camera.fig",
                                 {std::nullopt, m_Table.SaveTable()});
  } catch (const std::exception& e) {
    ShowMessage(smt::platform::FillText(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_CameraFileNotSaved", "相机表 config_camera.fig 无法保存：%1"), {e.what()}));
    return;
  }
  neighbours->RowsCommitted(m_Table.Rows());
  SaveConfig(m_strAppPath);
  accept();
}

void CDialogCameraList::OnCancel() {
  if (machine_.machineBusy.load()) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_MachineRunning", "机器正在运行 !"));
    return;
  }
  reject();
}

void CDialogCameraList::OnListClick(int row) { m_nSelectedRow = row >= 0 && row < m_Table.Count() ? row : -1; }

void CDialogCameraList::OnListDblClk(int row) {
  if (row < 0 || row >= m_Table.Count()) return;
  m_nSelectedRow = row;
  OnModifyCamera();
}

void CDialogCameraList::OnAddCamera() {
  const std::string name = m_Table.NewCameraName();
  if (name.empty()) {
    ShowMessage(Text("CameraList.c_Message_01"));
    return;
  }
  m_nSelectedRow = -1;
  CDialogCameraEdit& e = *m_pEditor;
  e.values.name = name;
  e.rowNames = m_Table.Names();
  e.selectedRow = -1;
  e.panel = m_pSetView;
  e.appDir = m_strAppPath;
  e.language = m_strLanguage;
  e.OnInitDialog();
  if (runEditor(e) != QDialog::Accepted) return;
  CameraRow row(e.values);
  if (!row.Readable()) return;  // the editor's ranges lie within the table's
  m_Table.AppendRow(std::move(row));
  FillList();
}

void CDialogCameraList::OnModifyCamera() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= m_Table.Count()) {
    ShowMessage(Text("CameraList.c_Message_02"));
    return;
  }
  CDialogCameraEdit& e = *m_pEditor;
  e.values = m_Table.Row(m_nSelectedRow).Values();
  e.rowNames = m_Table.Names();
  e.selectedRow = m_nSelectedRow;
  e.panel = m_pSetView;
  e.appDir = m_strAppPath;
  e.language = m_strLanguage;
  e.OnInitDialog();
  if (runEditor(e) != QDialog::Accepted) return;
  if (!m_Table.ModifyRow(m_nSelectedRow, e.values, XPulse(), YPulse())) return;
  SetListRow(m_nSelectedRow, m_Table.Row(m_nSelectedRow).ShownTexts());
}

void CDialogCameraList::OnDeleteCamera() {
  if (m_nSelectedRow < 0) {
    ShowMessage(Text("CameraList.c_Message_03"));
    return;
  }
  if (!m_Table.DeleteRow(m_nSelectedRow)) return;
  FillList();
}

QMenu* CDialogCameraList::OnListRClick(int row) {
  OnListClick(row);
  if (m_nSelectedRow < 0) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_SelectRow", "请选择一行 !"));
    return nullptr;
  }
  auto* menu = new QMenu(Q(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_CameraMenu", "相机操作")), this);
  for (int t = 0; t < 10; ++t) {
    QAction* a = menu->addAction(Q(Text(kMenuKeys[t])));
    connect(a, &QAction::triggered, this, [this, t] { OnCalibrationMenu(t); });
    if (t == 3 || t == 7 || t == 9) menu->addSeparator();
  }
  connect(menu->addAction(Q(Text("CameraList.c_Exit"))), &QAction::triggered, this, [this] { OnMenuExit(); });
  return menu;
}

void CDialogCameraList::OnCalibrationMenu(int task) {
  const bool fly = task == 8 || task == 9;
  const bool taken = TakeSettings();
  if (fly && !taken) return;
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return;
  if (fly) {
    if (m_nSelectedRow != 0) {
      ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_NoFlyCamera", "没有飞行相机 !"));
      return;
    }
    if (!(m_Settings.m_HighSpeedCamera && m_Settings.m_VisualCamera1 && m_Settings.m_FlyCamera)) {
      if (task == 9) ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_ConfigurationError", "相机配置错误 !"));
      return;
    }
  } else if (m_nSelectedRow < 0) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_SelectRow", "请选择一行 !"));
    return;
  }
  auto job = std::make_shared<CalibrationJob>();
  job->machine = &machine_;
  job->table = &m_Table;
  job->settings = &m_Settings;
  job->calibrationRunning = &m_bCalibrationRunning;
  job->panel = m_pSetView;
  job->task = task;
  job->selectedRow = m_nSelectedRow;
  job->appDir = m_strAppPath;
  // The shown board's Mark values, taken here on the window thread: the
  // task's worker reads this copy.
  {
    const BoardMarkView mark = neighbours->BoardMark();
    job->boardMark = [mark] { return mark; };
  }
  QPointer<CDialogCameraList> self(this);
  job->showRow = [self](int row, const std::vector<std::string>& texts) {
    smt::platform::PostToGui([self, row, texts] {
      if (self && row < self->list->rowCount()) self->SetListRow(row, texts);
    });
  };
  job->showTrigger = [self](int head, int value) {
    smt::platform::PostToGui([self, head, value] {
      if (self) self->edits["m_iTriggerPulse" + std::to_string(head)]->setText(QString::number(value));
    });
  };
  if (fly) {
    const auto t = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table;
    std::array<int32_t, 9> off{};
    for (int k = 2; k <= 8; ++k) off[k] = t.nNozzleToNozzle1X[k];
    job->fly = ComputeFlyLayout(machine_.machineType.load(), m_Table.m_Camera_first, off, m_Settings.m_iTriggerPulse);
    if (m_pSetView) {
      m_pSetView->Engine().m_nFlyHeadCount = job->fly.headCount;
      // The fly test watches the pass on vision camera 1.
      if (task == 8 && machine_.camera.visionMode.load() != 1) m_pSetView->OnBnClickedOpenVisualCamera1();
    }
  }
  m_nCalibrationTask = task;
  m_lastJob = job;
  StartCameraCalibration(job);
}

void CDialogCameraList::OnCaptureBaseX() {
  const auto b = smt::settings::SettingsStores::Of(machine_).machine.Basic();
  edits["m_BaseCoordinates_X"]->setText(Q(CaptureBaseX(machine_.curX.load(), b->m_X_CameraToNozzle1, XPulse())));
}

void CDialogCameraList::OnCaptureBaseY() {
  const auto b = smt::settings::SettingsStores::Of(machine_).machine.Basic();
  edits["m_BaseCoordinates_Y"]->setText(Q(CaptureBaseY(machine_.curY.load(), b->m_Y_CameraToNozzle1, YPulse())));
}

void CDialogCameraList::OnCaptureBaseZ() {
  const double z = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table.dZPulse;
  edits["m_BaseCoordinates_Z"]->setText(Q(CaptureBaseZ(machine_.curZ[0].load(), z)));
}

void CDialogCameraList::OnHighSpeedCameraClicked() {
  ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_RestartAfterCameraChange", "修改相机后必须重新启动软件 !"));
  if (!checks["m_HighSpeedCamera"]->isChecked()) checks["m_FlyCamera"]->setChecked(false);
}

void CDialogCameraList::OnFlyCameraClicked() {
  if (!checks["m_HighSpeedCamera"]->isChecked()) checks["m_FlyCamera"]->setChecked(false);
}

void CDialogCameraList::OnActivate() {
  for (const char* k : {"m_HighSpeedCamera", "m_MarkCamera", "m_VisualCamera1", "m_VisualCamera2", "m_FlyCamera"})
    checks[k]->setEnabled(true);
  edits["m_iFlyStartSpeed"]->setEnabled(true);
  edits["m_iFlyNormalSpeed"]->setEnabled(true);
  const int heads = FlyEditHeadsForMachineType(machine_.machineType.load());
  for (int k = 1; k <= heads; ++k) {
    edits["m_iTriggerPulse" + std::to_string(k)]->setEnabled(true);
    edits["m_dFlyCorrect_Y" + std::to_string(k)]->setEnabled(true);
  }
}

void CDialogCameraList::OnCameraSettings() {
  if (machine_.machineBusy.load()) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_MachineRunning", "机器正在运行 !"));
    return;
  }
  if (machine_.camera.highSpeedCamera.load() == 1 && m_pSetView) {
    if (auto cam = m_pSetView->Engine().Camera(machine_.camera.visionMode.load())) smt::vision::ShowCameraSettingsPage(*cam, this);
  }
  reject();
}
