#include "stations/CDialogLabelingSet.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/NumberEdit.h"
#include "platform/Hooks.h"
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/WindowPanels.h"
#include "platform/DecimalRounding.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "stations/StationTexts.h"
#include "stations/LabelingMachine.h"
#include "platform/RefusalTexts.h"

using namespace smt::stations;

namespace {
struct Field {
  const char* key;
  const char* label;
  int decimals;
};
const Field kFields[] = {
    {"m_StartX", "起始点X", 2},       {"m_StartY", "起始点Y", 2},        {"m_EndX", "结束点X", 2},
    {"m_EndY", "结束点Y", 2},         {"m_DistanceX", "间距X", 2},        {"m_DistanceY", "间距Y", 2},
    {"m_SerialX", "序列号X", 0},      {"m_SerialY", "序列号Y", 0},        {"m_ThimbleX", "顶针中心X", 2},
    {"m_ThimbleY", "顶针中心Y", 2},   {"m_NozzlePickHeight", "吸嘴取料高度", 2},
    {"m_ThimblePickHeight", "顶针顶料高度", 2}, {"m_LiftAwayDistance", "抬升脱离距离", 2},
    {"m_ComponentLenght", "元件长度", 2}, {"m_ComponentWidth", "元件宽度", 2}, {"m_AllowableError", "允许误差", 0},
    {"m_CheckTimes", "检查时间", 0},  {"m_VisualBoxSize", "视框尺寸", 2},   {"m_Brightness", "光源亮度", 0},
    {"m_Threshold", "识别阀值", 0},   {"m_GlassSheets", "标签纸", 0},       {"m_Pause", "翻面启用暂停", 0},
};

double& Member(LabelingSettings& s, const std::string& k, double& scratch) {
  if (k == "m_StartX") return s.m_StartX;
  if (k == "m_StartY") return s.m_StartY;
  if (k == "m_EndX") return s.m_EndX;
  if (k == "m_EndY") return s.m_EndY;
  if (k == "m_DistanceX") return s.m_DistanceX;
  if (k == "m_DistanceY") return s.m_DistanceY;
  if (k == "m_ThimbleX") return s.m_ThimbleX;
  if (k == "m_ThimbleY") return s.m_ThimbleY;
  if (k == "m_NozzlePickHeight") return s.m_NozzlePickHeight;
  if (k == "m_ThimblePickHeight") return s.m_ThimblePickHeight;
  if (k == "m_LiftAwayDistance") return s.m_LiftAwayDistance;
  if (k == "m_ComponentLenght") return s.m_ComponentLenght;
  if (k == "m_ComponentWidth") return s.m_ComponentWidth;
  if (k == "m_VisualBoxSize") return s.m_VisualBoxSize;
  return scratch;
}
int* IntMember(LabelingSettings& s, const std::string& k) {
  if (k == "m_SerialX") return &s.m_SerialX;
  if (k == "m_SerialY") return &s.m_SerialY;
  if (k == "m_AllowableError") return &s.m_AllowableError;
  if (k == "m_CheckTimes") return &s.m_CheckTimes;
  if (k == "m_Brightness") return &s.m_Brightness;
  if (k == "m_Threshold") return &s.m_Threshold;
  if (k == "m_GlassSheets") return &s.m_GlassSheets;
  if (k == "m_Pause") return &s.m_Pause;
  return nullptr;
}

// Two decimals, nudged 0.0001 away from zero, two decimals again.
double Taught(double v) {
  double r = smt::platform::RoundDecimals(v, 2);
  if (r > 0) r += 0.0001;
  else if (r < 0) r -= 0.0001;
  return smt::platform::RoundDecimals(r, 2);
}
}  // namespace

CDialogLabelingSet::CDialogLabelingSet(smt::Machine& machine, std::string appDir, QWidget* parent)
    : QDialog(parent), machine_(machine), appDir_(std::move(appDir)) {
  // The texts of section [LabelingSetConfig] in the window's language.
  StationTexts texts(LabelingTextTable());
  texts.Load(appDir_, smt::platform::RefusalLanguage(), "LabelingSetConfig", LabelingTextTable());
  auto T = [&texts](const std::string& key) { return QString::fromStdString(texts.Text("LabelingSet." + key)); };
  setWindowTitle(T("c_LabelingSet"));
  auto* grid = new QGridLayout;
  int row = 0;
  LabelingSettings s = LabelingMachine::Of(machine_).Settings();
  for (const Field& f : kFields) {
    double scratch = 0;
    int* im = IntMember(s, f.key);
    double lo = -smt::platform::kAnyNumber, hi = smt::platform::kAnyNumber;
    LabelingSettings::RangeOf(f.key, lo, hi);
    auto* box = new smt::platform::NumberEdit(nullptr, lo, hi, im ? -1 : f.decimals);
    box->setValue(im ? *im : Member(s, f.key, scratch));
    m_fields[f.key] = box;
    box->setObjectName(f.key);
    grid->addWidget(new QLabel(T("c_" + std::string(f.key).substr(2))), row, 0);
    grid->addWidget(box, row, 1);
    ++row;
  }
  // The values on the left, the teach and test buttons in the middle, the
  // jog pad on the right: the window fits a 768-line screen.
  auto* teach = new QGridLayout;
  int taskAt = 0;
  m_head = new QLabel("A1");
  teach->addWidget(m_head, taskAt / 2, taskAt % 2);
  ++taskAt;
  auto addButton = [&](const QString& text, std::function<void()> fn) {
    auto* b = new QPushButton(text);
    connect(b, &QPushButton::clicked, this, fn);
    teach->addWidget(b, taskAt / 2, taskAt % 2);
    ++taskAt;
  };
  addButton("A1/A2", [this] { ToggleHead(); });
  addButton(T("c_TeachStartX"), [this] { OnTeach("m_StartX"); });
  addButton(T("c_TeachStartY"), [this] { OnTeach("m_StartY"); });
  addButton(T("c_TeachEndX"), [this] { OnTeach("m_EndX"); });
  addButton(T("c_TeachEndY"), [this] { OnTeach("m_EndY"); });
  addButton("CX", [this] { OnTeach("m_ThimbleX"); });
  addButton("CY", [this] { OnTeach("m_ThimbleY"); });
  for (int i = 0; i < 5; ++i) addButton(QString("T%1").arg(i), [this, i] { OnTestPoint(i); });
  const std::pair<int, const char*> tasks[] = {{6, "底部相机"}, {7, "吸嘴到顶针中心"}, {8, "相机到顶针中心"},
                                               {9, "取料测试"}, {10, "抬升测试"},     {11, "取料拔离"},
                                               {12, "循环测试"}, {13, "当前识别"}};
  for (const auto& [task, text] : tasks)
    addButton(T("c_Task" + std::to_string(task)), [this, task = task] { OnTask(task); });
  // Jogs (held), resets, speed step, Mark camera, recognition loop, vacuum.
  const std::pair<int, const char*> pads[] = {
      {1002, "移动X+"}, {1592, "移动X-"}, {1004, "移动Y+"}, {1593, "移动Y-"}, {1007, "移动Z+"}, {1006, "移动Z-"},
      {1054, "前进>>>"}, {1053, "<<<后退"}, {1005, "复位"}, {1013, "复位X"}, {1014, "复位Y"}, {1015, "复位Z"},
      {1255, "Set"}, {1041, "Mark相机"}, {1039, "循环识别"}, {1045, "真空阀"}};
  auto* pad = new QGridLayout;
  int padAt = 0;
  for (const auto& [id, text] : pads) {
    auto* b = new QPushButton(id == 1255 ? QString::fromUtf8(text) : T("c_" + std::to_string(id)));
    b->setObjectName(QString("btn%1").arg(id));
    connect(b, &QPushButton::pressed, this,
            [this, id = id] { smt::platform::GuardAction("labeling settings", [this, id] { Press(id); }); });
    connect(b, &QPushButton::released, this, [this] { Release(); });
    buttons_[id] = b;
    pad->addWidget(b, padAt / 2, padAt % 2);
    ++padAt;
  }
  auto* ok = new QPushButton(T("c_IDOK"));
  connect(ok, &QPushButton::clicked, this, &CDialogLabelingSet::accept);
  auto* columns = new QHBoxLayout;
  columns->addLayout(grid);
  teach->setRowStretch(teach->rowCount(), 1);
  columns->addLayout(teach);
  pad->setRowStretch(pad->rowCount(), 1);
  columns->addLayout(pad);
  auto* v = new QVBoxLayout(this);
  v->addLayout(columns);
  v->addWidget(ok);
}

bool CDialogLabelingSet::TakeValues(LabelingSettings& out) {
  out = LabelingMachine::Of(machine_).Settings();
  // Each box whole and in its range, or the refusal naming it; nothing taken before all pass.
  for (const Field& f : kFields)
    if (!m_fields[f.key]->Read()) return false;
  for (const Field& f : kFields) {
    const double v = m_fields[f.key]->value();
    if (int* im = IntMember(out, f.key)) *im = static_cast<int>(v);
    else {
      double scratch = 0;
      Member(out, f.key, scratch) = v;
    }
  }
  const std::string bad = out.CheckRanges();
  if (!bad.empty()) {
    // The field by its label and its range, in the window's language.
    double lo = 0, hi = 0;
    LabelingSettings::RangeOf(bad, lo, hi);
    smt::platform::ShowMessage(smt::platform::RangeRefusalText(smt::platform::FieldLabelOf(m_fields[bad]), lo, hi));
    m_fields[bad]->setFocus();
    return false;
  }
  return true;
}

void CDialogLabelingSet::OnTeach(const std::string& key) {
  const LabelingScales k = LabelingMachine::Of(machine_).Scales();
  double v = 0;
  if (key == "m_StartX" || key == "m_EndX") v = machine_.motion.curAxis9.load() / (k.sheetX == 0 ? 1 : k.sheetX);
  else if (key == "m_StartY" || key == "m_EndY") v = machine_.motion.curAxis8.load() / (k.sheetY == 0 ? 1 : k.sheetY);
  else if (key == "m_ThimbleX") v = (machine_.curX.load() + std::trunc(k.px * k.cameraToNozzleX)) / (k.px == 0 ? 1 : k.px);
  else if (key == "m_ThimbleY") v = (machine_.curY.load() + std::trunc(k.py * k.cameraToNozzleY)) / (k.py == 0 ? 1 : k.py);
  m_fields[key]->setValue(Taught(v));
}

void CDialogLabelingSet::OnTestPoint(int which) {
  LabelingSettings s;
  if (!TakeValues(s)) {
    smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_XYLimitError", "X 或 Y 超出限位 !"));
    return;
  }
  const LabelingScales k = LabelingMachine::Of(machine_).Scales();
  const double x = which == 2 || which == 4 ? s.m_EndX : s.m_StartX;
  const double y = which == 3 || which == 4 ? s.m_EndY : s.m_StartY;
  if (x > k.northFeedLimit) {
    smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_XLimitError", "X 超出限位 !"));
    return;
  }
  if (y < k.westFeedLimit) {
    smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_YLimitError", "Y 超出限位 !"));
    return;
  }
  LabelingMachine::Of(machine_).SetSettings(s);
  LabelingMachine::Of(machine_).StartTest(which, head1_ ? 1 : 2);
}

void CDialogLabelingSet::OnTask(int task) {
  if (task == 12 || task == 13 || task == 14) LabelingMachine::Of(machine_).loop = false;
  LabelingSettings s;
  if (!TakeValues(s)) return;
  LabelingMachine::Of(machine_).SetSettings(s);
  LabelingMachine::Of(machine_).StartTest(task, head1_ ? 1 : 2);
}

QPushButton* CDialogLabelingSet::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool CDialogLabelingSet::Press(int id) {
  auto& m = LabelingMachine::Of(machine_);
  // Press-and-hold jogs of a sheet, Z or axis-14 axis through the jog panel.
  auto jog = [this](int axis, bool positive) { return smt::link::JogPanelPortOf(machine_)->Jog(axis, positive, true, false, 0); };
  switch (id) {
    case 1002: case 1592: return jog(9, id == 1002);
    case 1004: case 1593: return jog(8, id == 1004);
    case 1007: case 1006: return jog(3, id == 1006);
    case 1054: case 1053: return jog(14, id == 1054);
    case 1005: return m.Home(0);
    case 1013: return m.Home(6);
    case 1014: return m.Home(5);
    case 1015: return m.Home(3);
    case 1255: smt::link::JogPanelPortOf(machine_)->NextSpeedGear(); return true;
    case 1041: OnTask(5); return true;
    case 1039: OnTask(14); return true;
    case 1045: m.ToggleVacuum(head1_ ? 1 : 2); return true;
    default: return false;
  }
}

void CDialogLabelingSet::Release() {
  if (auto* jog = smt::link::JogPanelPortOf(machine_).get()) jog->ReleaseJog();
}

void CDialogLabelingSet::ToggleHead() {
  head1_ = !head1_;
  m_head->setText(head1_ ? "A1" : "A2");
}

void CDialogLabelingSet::accept() {
  LabelingSettings s;
  if (!TakeValues(s)) return;
  LabelingMachine::Of(machine_).SetSettings(s);
  if (!s.Save(appDir_)) smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_LabelingNotSaved", "标签机设置无法保存 !"));
  QDialog::accept();
}

void OpenLabelingDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  CDialogLabelingSet dlg(machine, appDir, parent);
  dlg.exec();
}
