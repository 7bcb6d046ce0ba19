#include "job/CDialogPartEditDrill.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "job/PartEditorSupport.h"
#include "job/TakePosition.h"
#include "job/WorkRecords.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

using namespace smt::job;

namespace {
// Locked fields: label id -> box id.
const std::pair<int, int> kLocks[] = {{1581, 1582}, {1583, 1584}, {1586, 1591}, {1590, 1587}, {1589, 1578}, {1576, 1588}};
}  // namespace

CDialogPartEditDrill::CDialogPartEditDrill(smt::Machine& machine, QWidget* parent) : QDialog(parent), machine_(machine) {
  setObjectName("CDialogPartEditDrill");
  setWindowTitle(QString::fromStdString(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_DrillEdit", "钻孔编辑")));
  auto* lay = new QVBoxLayout(this);
  auto* g = new QGridLayout;
  struct Field {
    const char* label;
    int labelId, id, flag;
  } fields[] = {{"序号", 1388, 1009, 0},        {"名称", 1013, 1012, 1},         {"直径", 1026, 1027, 2},
                {"X坐标", 1391, 1005, 3},       {"Y坐标", 1392, 1006, 4},        {"Z坐标", 1393, 1008, 5},
                {"钻孔深度", 1579, 1580, 6},    {"进给量", 1581, 1582, 7},       {"抬刀高度", 1583, 1584, 8},
                {"进给启动速度", 1586, 1591, 10}, {"进给运行速度", 1590, 1587, 11}, {"抬刀启动速度", 1589, 1578, 12},
                {"抬刀运行速度", 1576, 1588, 13}, {"偏移量X", 1454, 1007, -1},     {"偏移量Y", 1455, 1010, -1},
                {"偏移量Z", 1456, 1011, -1}};
  int row = 0;
  for (const auto& fd : fields) {
    auto* l = new QLabel(QString::fromUtf8(fd.label), this);
    l->setObjectName(QString("c_%1").arg(fd.labelId));
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("c_%1").arg(fd.id));
    boxes_[fd.id] = e;
    g->addWidget(l, row, 0);
    g->addWidget(e, row, 1);
    for (const auto& [lab, box] : kLocks)
      if (lab == fd.labelId) {
        unlockLabels_[l] = lab;
        l->installEventFilter(this);
      }
    const int flag = fd.flag;
    if (flag >= 0)
      connect(e, &QLineEdit::textChanged, this, [this, flag] {
        if (!loading_) f_.changed[static_cast<size_t>(flag)] = true;
      });
    ++row;
  }
  liftToTop_ = new QCheckBox(QString::fromStdString(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_LiftToTop", "抬刀到顶部")), this);
  liftToTop_->setObjectName("c_1585");
  connect(liftToTop_, &QCheckBox::clicked, this, [this] { f_.changed[9] = true; });
  g->addWidget(liftToTop_, row, 0, 1, 2);
  lay->addLayout(g);
  lay->addLayout(MakeTakeButtons(this, {[this] { OnTakeX(); }, [this] { OnTakeY(); }, [this] { OnTakeZ(); },
                                         [this] { OnCameraX(); }, [this] { OnCameraY(); }}));
  lay->addWidget(MakeJogPad(this, machine_, false));
  auto* buttons = new QHBoxLayout;
  auto* ok = ok_ = new QPushButton(QString::fromStdString(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_OK", "确  定")), this);
  auto* cancel = cancel_ = new QPushButton(QString::fromStdString(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_Cancel", "取  消")), this);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  lay->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (OnOK()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDialogPartEditDrill::LoadLanguage(const std::string& appDir, const std::string& language) {
  static const std::pair<const char*, const char*> kTexts[] = {
      {"PartEditDrill.c_Title", "钻孔编辑"},
      {"PartEditDrill.c_1388", "序号"},
      {"PartEditDrill.c_1013", "名称"},
      {"PartEditDrill.c_1026", "直径"},
      {"PartEditDrill.c_1391", "X坐标"},
      {"PartEditDrill.c_1392", "Y坐标"},
      {"PartEditDrill.c_1393", "Z坐标"},
      {"PartEditDrill.c_1579", "钻孔深度"},
      {"PartEditDrill.c_1581", "进给量"},
      {"PartEditDrill.c_1583", "抬刀高度"},
      {"PartEditDrill.c_1586", "进给启动速度"},
      {"PartEditDrill.c_1590", "进给运行速度"},
      {"PartEditDrill.c_1589", "抬刀启动速度"},
      {"PartEditDrill.c_1576", "抬刀运行速度"},
      {"PartEditDrill.c_1454", "偏移量X"},
      {"PartEditDrill.c_1455", "偏移量Y"},
      {"PartEditDrill.c_1456", "偏移量Z"},
      {"PartEditDrill.c_1585", "抬刀到顶部"},
      {"PartEditDrill.c_IDOK", "确  定"},
      {"PartEditDrill.c_IDCANCEL", "取  消"},
  };
  const smt::platform::LanguageSection lang(appDir, language, "PartEditDrillConfig");
  for (const auto& [key, def] : kTexts) {
    const QString text = QString::fromStdString(lang.Text(key, def));
    const std::string name = std::string(key).substr(std::string("PartEditDrill.").size());
    if (name == "c_Title") setWindowTitle(text);
    else if (name == "c_IDOK") ok_->setText(text);
    else if (name == "c_IDCANCEL") cancel_->setText(text);
    else if (name == "c_1585") liftToTop_->setText(text);
    else if (auto* l = findChild<QLabel*>(QString::fromStdString(name))) l->setText(text);
  }
}

bool CDialogPartEditDrill::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    auto it = unlockLabels_.find(o);
    if (it != unlockLabels_.end()) OnUnlockField(it->second);
  }
  return QDialog::eventFilter(o, e);
}

void CDialogPartEditDrill::OnUnlockField(int labelId) {
  for (const auto& [lab, box] : kLocks)
    if (lab == labelId) boxes_[box]->setEnabled(true);
}

void CDialogPartEditDrill::SetFields(const DrillEditFields& f) {
  loading_ = true;
  f_ = f;
  boxes_[1009]->setText(QString::number(f.serial));
  boxes_[1012]->setText(QString::fromStdString(f.name));
  const std::pair<int, double> d[] = {{1027, f.diameter}, {1005, f.x},          {1006, f.y},       {1008, f.z},
                                      {1580, f.depth},    {1582, f.feed},       {1584, f.liftHeight},
                                      {1007, f.offsetX},  {1010, f.offsetY},    {1011, f.offsetZ}};
  for (const auto& [id, v] : d) boxes_[id]->setText(NumberText(v));
  const std::pair<int, int> n[] = {{1591, f.feedStart}, {1587, f.feedRun}, {1578, f.liftStart}, {1588, f.liftRun}};
  for (const auto& [id, v] : n) boxes_[id]->setText(QString::number(v));
  liftToTop_->setChecked(f.liftToTop);
  for (const auto& [lab, box] : kLocks) boxes_[box]->setEnabled(false);
  f_.changed.fill(false);
  loading_ = false;
}

bool CDialogPartEditDrill::OnOK() {
  DrillEditFields f = f_;
  // Every field in the drill row's own range.
  if (!ReadInt(boxes_[1009], 0, static_cast<int>(kMaxSerial), f.serial) || !ReadDouble(boxes_[1027], 0, 32, f.diameter) ||
      !ReadDouble(boxes_[1005], -kMaxBoardMm, kMaxBoardMm, f.x) ||
      !ReadDouble(boxes_[1006], -kMaxBoardMm, kMaxBoardMm, f.y) ||
      !ReadDouble(boxes_[1008], -100, 0, f.z) || !ReadDouble(boxes_[1580], 0, 100, f.depth) ||
      !ReadDouble(boxes_[1582], 0, 100, f.feed) || !ReadDouble(boxes_[1584], 0, 100, f.liftHeight) ||
      !ReadInt(boxes_[1591], 1, 255, f.feedStart) || !ReadInt(boxes_[1587], 1, 255, f.feedRun) ||
      !ReadInt(boxes_[1578], 1, 255, f.liftStart) || !ReadInt(boxes_[1588], 1, 255, f.liftRun) ||
      !ReadDouble(boxes_[1007], -kMaxBoardMm, kMaxBoardMm, f.offsetX) ||
      !ReadDouble(boxes_[1010], -kMaxBoardMm, kMaxBoardMm, f.offsetY) || !ReadDouble(boxes_[1011], -100, 100, f.offsetZ))
    return false;
  f.name = boxes_[1012]->text().toStdString();
  f.liftToTop = liftToTop_->isChecked();
  f_ = f;
  return true;
}

bool CDialogPartEditDrill::Edit(DrillEditFields& f) {
  SetFields(f);
  if (exec() != QDialog::Accepted) return false;
  f = f_;
  return true;
}

namespace {
double P(double v) { return v != 0 ? v : 1.0; }
}  // namespace

void CDialogPartEditDrill::OnTakeX() {
  const auto p = machine_.Part<smt::settings::SettingsStores>().machine.Pulse();
  boxes_[1005]->setText(QString::fromStdString(NudgedTextG(EditorTakeAxis(machine_.curX, EditorOrigin(machine_).first, p->m_X_Pulse))));
}
void CDialogPartEditDrill::OnTakeY() {
  const auto p = machine_.Part<smt::settings::SettingsStores>().machine.Pulse();
  boxes_[1006]->setText(QString::fromStdString(NudgedTextG(EditorTakeAxis(machine_.curY, EditorOrigin(machine_).second, p->m_Y_Pulse))));
}
void CDialogPartEditDrill::OnTakeZ() {
  const auto p = machine_.Part<smt::settings::SettingsStores>().machine.Pulse();
  boxes_[1008]->setText(QString::fromStdString(NudgedTextG(machine_.curZ[0] / P(p->m_Z_Pulse))));
}
void CDialogPartEditDrill::OnCameraX() {
  auto& m = machine_.Part<smt::settings::SettingsStores>().machine;
  boxes_[1005]->setText(QString::fromStdString(NudgedTextG(
      EditorTakeCamera(machine_.curX, EditorOrigin(machine_).first, m.Basic()->m_X_CameraToNozzle1, m.Pulse()->m_X_Pulse))));
}
void CDialogPartEditDrill::OnCameraY() {
  auto& m = machine_.Part<smt::settings::SettingsStores>().machine;
  boxes_[1006]->setText(QString::fromStdString(NudgedTextG(
      EditorTakeCamera(machine_.curY, EditorOrigin(machine_).second, m.Basic()->m_Y_CameraToNozzle1, m.Pulse()->m_Y_Pulse))));
}
