#include "stations/CDialogLampMachineList.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <mutex>

#include "core/Machine.h"
#include "link/LinkRuntime.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/WindowPanels.h"
#include "platform/NumberEdit.h"
#include "platform/Hooks.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/RangeRefusal.h"
#include "platform/TableColumns.h"
#include "settings/SettingsStores.h"
#include "stations/LampTeach.h"
#include "stations/StationTexts.h"
#include "platform/RefusalTexts.h"
#include <cstdio>

using namespace smt::stations;

namespace {
// The machine's lamp counters.
smt::Guarded<LampCounters>& Counters(smt::Machine& machine) { return machine.Part<smt::Guarded<LampCounters>>(); }

// The texts of section [LampMachineListConfig], loaded by the list in the
// window's language (the point editor opens from the list).
struct LampListTexts {
  StationTexts texts{LampTextTable()};
};
StationTexts& LampTexts(smt::Machine& machine) { return machine.Part<LampListTexts>().texts; }
QString LT(smt::Machine& machine, const std::string& key) {
  return QString::fromStdString(LampTexts(machine).Text("LampMachineList." + key));
}
// A column's title in the loaded language ("---" for the spare cells).
QString ColumnTitle(smt::Machine& machine, int c) {
  if (c >= 35) return "---";
  char key[16];
  std::snprintf(key, sizeof key, "c_Col%02d", c);
  return LT(machine, key);
}

// Integer cells of a row; the others of 3..34 are reals.
// The range of a point cell; false for a cell that takes any number.
bool CellRange(int cell, double& lo, double& hi) {
  struct Range {
    int cell;
    double lo, hi;
  };
  static const Range kRanges[] = {
      {11, -3.0, 3.0}, {12, 1, 255},   {13, 1, 255},    {16, -100, 0}, {17, -100, 0}, {18, 0, 10000}, {19, 0, 100},
      {20, 0, 10000},  {23, -100, 0},  {24, -100, 0},   {25, 0, 10000}, {26, 0, 100}, {27, 0, 10000}, {30, -100, 0},
      {31, -100, 0},   {32, 0, 10000}, {33, 0, 100},    {34, 0, 10000}};
  for (const Range& r : kRanges)
    if (r.cell == cell) {
      lo = r.lo;
      hi = r.hi;
      return true;
    }
  return false;
}

}  // namespace

const std::vector<std::string>& CDialogLampMachineList::ColumnTitles() {
  static const std::vector<std::string> t = [] {
    std::vector<std::string> v = {"点号", "平台号", "启用检查", "Mark点X", "Y", "偏移量X", "Y", "坐标点X", "Y",
                                  "坐标偏移X", "Y", "Z", "点胶启动速度", "点胶运行速度", "红胶偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时", "1点银偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时", "2点银偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时"};

    while (v.size() < kLampCols) v.push_back("---");
    return v;
  }();
  return t;
}

CDialogLampMachineEdit::CDialogLampMachineEdit(smt::Machine& machine, QWidget* parent)
    : QDialog(parent), machine_(machine) {
  auto* form = new QFormLayout;
  m_point = new QLabel;
  m_platform = new QLabel;
  setWindowTitle(LT(machine_, "c_EditTitle"));
  form->addRow(ColumnTitle(machine_, 0), m_point);
  form->addRow(ColumnTitle(machine_, 1), m_platform);
  for (int c = 2; c <= 34; ++c) {
    QWidget* w;
    if (c == 2) {
      w = new QCheckBox;
    } else {
      // Number boxes keep what is typed; the ranges are checked on OK.
      double lo = -smt::platform::kAnyNumber, hi = smt::platform::kAnyNumber;
      CellRange(c, lo, hi);
      w = new smt::platform::NumberEdit(nullptr, lo, hi, LampPointValues::IntegerColumn(c) ? -1 : 4);
    }
    w->setObjectName(QString("cell%1").arg(c));
    m_fields.push_back(w);
    form->addRow(QString::number(c) + " " + ColumnTitle(machine_, c), w);
  }
  // The teach pendant.
  struct Pad { int id; const char* text; };
  static const Pad kPads[] = {
      {1051, "松压料测试"}, {1003, "提取 Mark"}, {1002, "提取 LED"}, {1255, "快速"},
      {1138, "X-"}, {1139, "X+"}, {1027, "Y1+"}, {1029, "Y1 -"}, {1028, "Y2+"}, {1030, "Y2 -"},
      {1160, "Z5 +"}, {1161, "Z5 -"}, {1035, "Z6 +"}, {1036, "Z6 -"}, {1038, "Z6 +"}, {1039, "Z6 -"},
      {1031, "提取 红胶"}, {1034, "提取 1点银"}, {1037, "提取 2点银"},
      {1004, "相机到达 Mark"}, {1040, "相机到达 LED"},
      {1259, "胶头到达 红胶"}, {1260, "胶头到达 1点银"}, {1261, "胶头到达 2点银"},
      {1045, "Z复位"}, {1046, "Z复位"}, {1047, "Z复位"},
      {1256, "点胶测试 红胶"}, {1257, "点胶测试 1点银"}, {1258, "点胶测试 2点银"},
      {1531, "开启Mark检查点红银胶测试"}};
  auto* pad = new QGridLayout;
  int n = 0;
  for (const Pad& p : kPads) {
    // The jog buttons keep their axis names; the others take the language's.
    const bool named = QString::fromUtf8(p.text).contains(QRegularExpression("[^ -~]"));
    const std::string key = p.id == 1255                  ? "c_Speed0"
                            : p.id == 1046 || p.id == 1047 ? "c_1045"
                                                           : "c_" + std::to_string(p.id);
    auto* b = new QPushButton(named ? LT(machine_, key) : QString::fromUtf8(p.text));
    b->setObjectName(QString("btn%1").arg(p.id));
    const int id = p.id;
    connect(b, &QPushButton::pressed, this,
            [this, id] { smt::platform::GuardAction("lamp point editor", [this, id] { Press(id); }); });
    connect(b, &QPushButton::released, this, [this] { Release(); });
    m_buttons[id] = b;
    pad->addWidget(b, n / 4, n % 4);
    ++n;
  }
  form->addRow(pad);
  auto* inner = new QWidget;
  inner->setLayout(form);
  auto* scroll = new QScrollArea;
  scroll->setWidget(inner);
  // The fields scroll up and down, never sideways.
  scroll->setWidgetResizable(true);
  scroll->setMinimumWidth(inner->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() +
                          2 * scroll->frameWidth());
  auto* ok = new QPushButton("OK");
  auto* cancel = new QPushButton(LT(machine_, "c_IDCANCEL"));
  connect(ok, &QPushButton::clicked, this, &CDialogLampMachineEdit::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogLampMachineEdit::reject);
  auto* v = new QVBoxLayout(this);
  v->addWidget(scroll);
  v->addWidget(ok);
  v->addWidget(cancel);
  SetValues(LampPointValues{}, 0, 0);
  ShowSpeedStep(smt::link::RuntimeOf(machine_).speedGear.load());
}

void CDialogLampMachineEdit::SetValues(const LampPointValues& v, int point, int platform) {
  m_pointNumber = point;
  m_platformNumber = platform;
  m_point->setText(point > 0 ? QString::number(point) : QString());
  m_platform->setText(platform == 1 ? QString::fromUtf8("平台1") : platform == 2 ? QString::fromUtf8("平台2") : QString());
  // The values as the table keeps them: reals to four decimals.
  const LampPointValues stored = v.Stored();
  for (int c = 2; c <= 34; ++c) {
    QWidget* w = m_fields[static_cast<size_t>(c - 2)];
    if (auto* cb = qobject_cast<QCheckBox*>(w)) cb->setChecked(stored.Number(c) == 1);
    else if (auto* e = dynamic_cast<smt::platform::NumberEdit*>(w)) e->setValue(stored.Number(c));
  }
}

LampPointValues CDialogLampMachineEdit::Values() const {
  // A field that holds no number in its range gives 0; the reals are kept
  // to four decimals, as the table keeps them.
  LampPointValues v = LampPointValues::Zero();
  for (int c = 2; c <= 34; ++c) {
    QWidget* w = m_fields[static_cast<size_t>(c - 2)];
    if (auto* cb = qobject_cast<QCheckBox*>(w)) v.SetNumber(c, cb->isChecked() ? 1 : 0);
    else if (auto* e = dynamic_cast<smt::platform::NumberEdit*>(w)) v.SetNumber(c, e->Valid().value_or(0));
  }
  return v.Stored();
}

QPushButton* CDialogLampMachineEdit::Button(int id) const {
  auto it = m_buttons.find(id);
  return it == m_buttons.end() ? nullptr : it->second;
}

int CDialogLampMachineEdit::Platform() const { return m_platformNumber == 2 ? 2 : 1; }

double CDialogLampMachineEdit::Field(int cell) const {
  if (cell < 2 || cell > 34) return 0;
  QWidget* w = m_fields[static_cast<size_t>(cell - 2)];
  if (auto* e = dynamic_cast<smt::platform::NumberEdit*>(w)) return e->Valid().value_or(0);
  return 0;
}

void CDialogLampMachineEdit::SetTaught(int cell, double v) {
  if (v > 0) v += 0.0001;
  else if (v < 0) v -= 0.0001;
  if (auto* e = dynamic_cast<smt::platform::NumberEdit*>(m_fields[static_cast<size_t>(cell - 2)]); e && !e->integer())
    e->setValue(v);
}

void CDialogLampMachineEdit::FocusCell(int cell) {
  m_nFocusCell = cell;
  m_fields[static_cast<size_t>(cell - 2)]->setFocus();
}

void CDialogLampMachineEdit::ShowSpeedStep(int gear) {
  if (gear >= 0 && gear <= 3) m_buttons[1255]->setText(LT(machine_, "c_Speed" + std::to_string(gear)));
}

namespace {
int32_t T(double v) { return static_cast<int32_t>(v); }
// Dot group of the fields: offset X/Y cells, height, valve open, valve close,
// bottom delay, close delay.
struct DotCells { int x, y, height, open, close, bottom, closeDelay; };
constexpr DotCells kDot[3] = {{14, 15, 16, 17, 19, 18, 20}, {21, 22, 23, 24, 26, 25, 27}, {28, 29, 30, 31, 33, 32, 34}};
}  // namespace

// The glue head of group `group` over its dot (with dispense: the test).
bool CDialogLampMachineEdit::DotTest(int group, bool dispense, bool silverCamera) {
  const LampScales s = LampScales::FromSettingsStore(machine_);
  const double hx = group == 0 ? s.nozzle5X : s.nozzle6X, hy = group == 0 ? s.nozzle5Y : s.nozzle6Y;
  const DotCells& c = kDot[group];
  LampDotTest t;
  t.glueX = T(Field(3) * s.px) + T(Field(7) * s.px) + T(Field(c.x) * s.px) - T(hx * s.px);
  t.targetY = T(Field(4) * s.py) + T(Field(8) * s.py) + T(Field(c.y) * s.py) - T(hy * s.py);
  t.moveSelector = Platform() == 1 ? 531 : 532;
  if (dispense) {
    LampDispense d;
    d.height = T(Field(c.height) * s.pz);
    d.valveOpen = T(Field(c.open) * s.pz);
    d.valveClose = T(Field(c.close) * s.pz);
    d.bottomDelay = static_cast<int32_t>(Field(c.bottom));
    d.closeDelay = static_cast<int32_t>(Field(c.closeDelay));
    d.startSpeed = static_cast<int32_t>(Field(12));
    d.runSpeed = static_cast<int32_t>(Field(13));
    const int bad = CheckDispenseTest(d);
    static const int kFocus[3][7] = {{12, 16, 17, 19, 18, 17, 19}, {12, 23, 24, 26, 25, 24, 26}, {12, 30, 31, 33, 32, 31, 33}};
    if (bad >= 0) {
      FocusCell(kFocus[group][bad]);
      return false;
    }
    t.params = d;
    t.dispense = group == 0 ? 1 : 2;
    m_nDispenseSelector = t.dispense;
    if (silverCamera) smt::link::CameraPanelPortOf(machine_)->OpenMarkCamera();
  }
  m_nMoveSelector = t.moveSelector;
  return StartLampDotTest(machine_, t);
}

bool CDialogLampMachineEdit::Press(int id) {
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return false;
  m_nDispenseSelector = 0;
  m_nFocusCell = -1;
  auto zClear = [this] {
    if (Z5(machine_) == 0 && Z6(machine_) == 0) return true;
    smt::platform::ShowMessage(kResetGlueHeadsFirst);
    return false;
  };
  const LampScales s = LampScales::FromSettingsStore(machine_);
  const auto basic = smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const double camX = basic->m_X_CameraToNozzle1, camY = basic->m_Y_CameraToNozzle1;
  const int platform = Platform();
  const int32_t platY = PlatformY(machine_, platform);
  auto camTo = [&](double x, double y) {
    LampDotTest t;
    t.glueX = T(x * s.px) - T(camX * s.px);
    t.targetY = T(y * s.py) - T(camY * s.py);
    t.moveSelector = m_nMoveSelector = platform == 1 ? 531 : 532;
    return StartLampDotTest(machine_, t);
  };
  switch (id) {
    case 1051: {
      m_bClampOn = !m_bClampOn;
      smt::link::SetOutput(machine_, platform == 1 ? 7 : 8, m_bClampOn ? 1 : 0, 5);
      return true;
    }
    case 1003:
      SetTaught(3, (T(camX * s.px) + GlueX(machine_)) / s.px);
      SetTaught(4, (T(camY * s.py) + platY) / s.py);
      return true;
    case 1002:
      SetTaught(7, (T(camX * s.px) + GlueX(machine_) - T(Field(3) * s.px)) / s.px);
      SetTaught(8, (T(camY * s.py) + platY - T(Field(4) * s.py)) / s.py);
      return true;
    case 1255:
      ShowSpeedStep(smt::link::JogPanelPortOf(machine_)->NextSpeedGear());
      return true;
    case 1138: case 1139:
      return zClear() && smt::link::JogPanelPortOf(machine_)->JogOnPlatform(9, id == 1139, 2);
    case 1027: case 1029:
      return zClear() && smt::link::JogPanelPortOf(machine_)->JogOnPlatform(1, id == 1027, 1);
    case 1028: case 1030:
      return zClear() && smt::link::JogPanelPortOf(machine_)->JogOnPlatform(12, id == 1028, 2);
    case 1160: case 1161:
      return smt::link::JogPanelPortOf(machine_)->JogOnPlatform(10, id == 1160, platform);
    case 1035: case 1036:
      m_nMoveSelector = 61;
      return smt::link::JogPanelPortOf(machine_)->JogOnPlatform(10, id == 1035, platform);
    case 1038: case 1039:
      m_nMoveSelector = 62;
      return smt::link::JogPanelPortOf(machine_)->JogOnPlatform(10, id == 1038, platform);
    case 1031:
      SetTaught(16, Z5(machine_) / s.pz);
      return true;
    case 1034:
      SetTaught(23, Z6(machine_) / s.pz);
      return true;
    case 1037:
      SetTaught(30, Z6(machine_) / s.pz);
      return true;
    case 1004:
      return zClear() && camTo(Field(3), Field(4));
    case 1040:
      return zClear() && camTo(Field(3) + Field(7), Field(4) + Field(8));
    case 1259: case 1260: case 1261:
      return zClear() && DotTest(id - 1259, false, false);
    case 1045: case 1046: case 1047:
      return smt::link::MachineHoming::Of(machine_).OnNorthFeedReset();
    case 1256: case 1257: case 1258:
      return zClear() && DotTest(id - 1256, true, id != 1256);
    case 1531: {
      if (!CheckFieldRanges()) return false;
      const LampPointValues v = Values();
      const int point = m_pointNumber - 1;
      if (point < 0 || point >= kLampMaxPoints) return false;
      return StartLampFullTest(machine_, v, platform, point);
    }
    default: return false;
  }
}

void CDialogLampMachineEdit::Release() {
  if (auto* jog = smt::link::JogPanelPortOf(machine_).get()) jog->ReleaseJog();
}

bool CDialogLampMachineEdit::CheckFieldRanges() {
  // Every number cell whole and in its range, or the refusal naming it.
  for (int c = 3; c <= 34; ++c)
    if (auto* e = dynamic_cast<smt::platform::NumberEdit*>(m_fields[static_cast<size_t>(c - 2)]); e && !e->Read()) {
      m_nFocusCell = c;
      return false;
    }
  return true;
}

void CDialogLampMachineEdit::accept() {
  if (!CheckFieldRanges()) return;
  const LampPointValues v = Values();
  // A dot whose height lies above its valve-open height: the field waits.
  for (int g = 0; g < 3; ++g) {
    const auto& d = v.dots[static_cast<size_t>(g)];
    if (d.height > d.valveOpen) {
      FocusCell(kDot[g].open);
      return;
    }
  }
  QDialog::accept();
}

CDialogLampMachineList::CDialogLampMachineList(smt::Machine& machine, std::string appDir, QWidget* parent)
    : QDialog(parent), machine_(machine), appDir_(std::move(appDir)) {
  LampTexts(machine_).Load(appDir_, smt::platform::RefusalLanguage(), "LampMachineListConfig", LampTextTable());
  setWindowTitle(LT(machine_, "c_Title"));
  m_list = new QTableWidget(kLampRows, kLampCols);
  QStringList headers;
  for (int c = 0; c < kLampCols; ++c) headers << ColumnTitle(machine_, c);
  m_list->setHorizontalHeaderLabels(headers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int c = 0; c < kLampCols; ++c) {
    int w = 60;
    if (c == 0) w = 40;
    if (c == 9 || c == 14 || c == 15) w = 70;
    if (c == 12 || c == 13) w = 80;
    if (c == 21 || c == 22 || c == 28 || c == 29) w = 75;
    m_list->setColumnWidth(c, w);
  }
  // Wider where a title in the window's language needs it.
  smt::platform::KeepColumnsWideEnough(m_list);
  connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { OnModify(); });
  auto mk = [](double lo, double hi) { return new smt::platform::NumberEdit(nullptr, lo, hi, -1); };
  m_editSet = mk(1, 1000000);
  m_editSet->setObjectName("m_CountSet");
  m_editFinish = mk(-2147483648.0, 2147483647.0);
  m_editUnfinish = mk(-2147483648.0, 2147483647.0);
  m_editChange = mk(-2147483648.0, 2147483647.0);
  m_editFinish->setEnabled(false);
  m_editUnfinish->setEnabled(false);
  auto* counts = new QFormLayout;
  counts->addRow(LT(machine_, "c_CountSet"), m_editSet);
  counts->addRow(LT(machine_, "c_CountFinish"), m_editFinish);
  counts->addRow(LT(machine_, "c_CountUnfinish"), m_editUnfinish);
  counts->addRow(LT(machine_, "c_CountChange"), m_editChange);
  auto* add = new QPushButton(LT(machine_, "c_Add"));
  auto* modify = new QPushButton(LT(machine_, "c_Modify"));
  auto* del = new QPushButton(LT(machine_, "c_Delete"));
  auto* confirm = new QPushButton(LT(machine_, "c_ConfirmCounts"));
  auto* ok = new QPushButton("OK");
  connect(add, &QPushButton::clicked, this, &CDialogLampMachineList::OnAdd);
  connect(modify, &QPushButton::clicked, this, &CDialogLampMachineList::OnModify);
  connect(del, &QPushButton::clicked, this, &CDialogLampMachineList::OnDelete);
  connect(confirm, &QPushButton::clicked, this, &CDialogLampMachineList::OnConfirmCounts);
  connect(ok, &QPushButton::clicked, this, &CDialogLampMachineList::accept);
  auto* buttons = new QHBoxLayout;
  for (auto* b : {add, modify, del, confirm, ok}) buttons->addWidget(b);
  auto* v = new QVBoxLayout(this);
  v->addWidget(m_list);
  v->addLayout(counts);
  v->addLayout(buttons);
  counters_ = CurrentLampCounters(machine_);
  m_editSet->setValue(counters_.m_CountSet);
  m_editFinish->setValue(counters_.m_CountFinish);
  m_editUnfinish->setValue(counters_.m_CountUnfinish);
  m_editChange->setValue(0);
  Refresh();
}

void CDialogLampMachineList::Refresh() {
  auto& t = LampPointTable::Of(machine_);
  for (int r = 0; r < kLampRows; ++r) {
    const auto row = t.Row(r);
    for (int c = 0; c < kLampCols; ++c) {
      std::string text = row[c];
      if (c == 0) text = row[1].empty() ? "" : std::to_string(r / 2 + 1);
      m_list->setItem(r, c, new QTableWidgetItem(QString::fromStdString(text)));
    }
  }
}

int CDialogLampMachineList::SelectedRow() const {
  const auto sel = m_list->selectionModel()->selectedRows();
  return sel.isEmpty() ? -1 : sel.front().row();
}

bool CDialogLampMachineList::RunEditor(CDialogLampMachineEdit& e) {
  return runEditor ? runEditor(e) : e.exec() == QDialog::Accepted;
}

void CDialogLampMachineList::OnAdd() {
  auto& t = LampPointTable::Of(machine_);
  if (t.PointCount() >= kLampMaxPoints) return;
  CDialogLampMachineEdit e(machine_, this);
  if (!RunEditor(e)) return;
  t.AddPoint(e.Values());
  Refresh();
}

void CDialogLampMachineList::OnModify() {
  const int r = SelectedRow();
  auto& t = LampPointTable::Of(machine_);
  if (r < 0 || !t.RowUsed(r)) return;
  CDialogLampMachineEdit e(machine_, this);
  e.SetValues(t.Values(r), r / 2 + 1, t.Platform(r));
  if (!RunEditor(e)) return;
  t.ModifyRow(r, e.Values());
  Refresh();
}

void CDialogLampMachineList::OnDelete() {
  const int r = SelectedRow();
  if (r < 0) return;
  if (LampPointTable::Of(machine_).DeleteRowPoint(r)) Refresh();
}

void CDialogLampMachineList::OnConfirmCounts() {
  // The two counts whole numbers first (a word is refused, not read as 0).
  const auto set = smt::platform::ReadOperatorNumber(m_editSet, -2147483648.0, 2147483647.0, true);
  if (!set) return;
  const auto change = m_editChange->Read();
  if (!change) return;
  const int result = counters_.Confirm(static_cast<int>(*set), static_cast<int>(*change));
  if (result == 1) {
    m_editSet->setValue(counters_.m_CountSet);
    m_editSet->setFocus();
    return;
  }
  m_editSet->setValue(counters_.m_CountSet);
  m_editUnfinish->setValue(counters_.m_CountUnfinish);
  if (result == 2) {
    m_editChange->setValue(0);
    m_editChange->setFocus();
  }
}

void CDialogLampMachineList::accept() {
  const auto set = m_editSet->Read();
  if (!set) return;
  // The change box is the confirm button's; junk in it is named, not kept.
  if (!m_editChange->Read()) return;
  counters_.m_CountSet = static_cast<int>(*set);
  {
    auto& kept = Counters(machine_);
    std::lock_guard lk(kept.mutex);
    kept.value = counters_;
  }
  if (!counters_.Save(appDir_)) smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_LampCountersNotSaved", "点灯机计数无法保存 !"));
  QDialog::accept();
}

void LoadLampMachineCounters(smt::Machine& machine, const std::string& appDir) {
  auto& kept = Counters(machine);
  std::lock_guard lk(kept.mutex);
  kept.value = LampCounters::Load(appDir);
}

LampCounters CurrentLampCounters(smt::Machine& machine) {
  auto& kept = Counters(machine);
  std::lock_guard lk(kept.mutex);
  return kept.value;
}

void SetCurrentLampCounters(smt::Machine& machine, const LampCounters& counters) {
  auto& kept = Counters(machine);
  std::lock_guard lk(kept.mutex);
  kept.value = counters;
}

void OpenLampMachineListDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  CDialogLampMachineList dlg(machine, appDir, parent);
  dlg.exec();
}
