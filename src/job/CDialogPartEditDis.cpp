#include "job/CDialogPartEditDis.h"

#include <QCheckBox>
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

using namespace smt::job;

namespace {

const std::vector<std::pair<std::string, std::string>>& DisTexts() {
  static const std::vector<std::pair<std::string, std::string>> t = {
      {"PartEditDis.c_PartEditDis", "点胶元件编辑"}, {"PartEditDis.c_SerialNumber", "序号"},
      {"PartEditDis.c_X_Coordinates", "X坐标"},     {"PartEditDis.c_Y_Coordinates", "Y坐标"},
      {"PartEditDis.c_Z_Coordinates", "Z坐标"},     {"PartEditDis.c_Offset_X", "偏移量X"},
      {"PartEditDis.c_Offset_Y", "偏移量Y"},        {"PartEditDis.c_Offset_Z", "偏移量Z"},
      {"PartEditDis.c_Dis", "是否点胶"},            {"PartEditDis.c_ValveOpenTime", "阀打开时机"},
      {"PartEditDis.c_ValveCloseTime", "阀关闭时机"}, {"PartEditDis.c_ValveCloseDelay", "阀关闭延时"},
      {"PartEditDis.c_BottomDelay", "底部延时"},    {"PartEditDis.c_SudtionBackDelay", "回吸时间"},
      {"PartEditDis.c_Note", "备注"},               {"PartEditDis.c_IDOK", "确  定"},
      {"PartEditDis.c_IDCANCEL", "取  消"}};
  return t;
}

}  // namespace

CDialogPartEditDis::CDialogPartEditDis(smt::Machine& machine, QWidget* parent) : QDialog(parent), machine_(machine) {
  setObjectName("CDialogPartEditDis");
  for (const auto& [k, v] : DisTexts()) texts_[k] = v;
  auto* lay = new QVBoxLayout(this);
  auto* g = new QGridLayout;
  // (label key, box id, changed flag index or -1)
  struct Field {
    const char* key;
    int id;
    int flag;
  } fields[] = {{"PartEditDis.c_SerialNumber", 1009, 0}, {"PartEditDis.c_X_Coordinates", 1005, 1},
                {"PartEditDis.c_Y_Coordinates", 1006, 2}, {"PartEditDis.c_Z_Coordinates", 1008, 3},
                {"PartEditDis.c_Offset_X", 1007, -1},     {"PartEditDis.c_Offset_Y", 1010, -1},
                {"PartEditDis.c_Offset_Z", 1011, -1},     {"PartEditDis.c_ValveOpenTime", 1569, 5},
                {"PartEditDis.c_ValveCloseTime", 1570, 6}, {"PartEditDis.c_ValveCloseDelay", 1572, 7},
                {"PartEditDis.c_BottomDelay", 1577, 8},   {"PartEditDis.c_SudtionBackDelay", 1574, 9},
                {"PartEditDis.c_Note", 1133, 10}};
  int row = 0;
  for (const auto& fd : fields) {
    auto* l = new QLabel(this);
    targets_[fd.key] = l;
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("c_%1").arg(fd.id));
    boxes_[fd.id] = e;
    g->addWidget(l, row, 0);
    g->addWidget(e, row, 1);
    const int flag = fd.flag;
    if (flag >= 0)
      connect(e, &QLineEdit::textChanged, this, [this, flag] {
        if (!loading_) f_.changed[static_cast<size_t>(flag)] = true;
      });
    ++row;
  }
  dispense_ = new QCheckBox(this);
  dispense_->setObjectName("c_1576");
  targets_["PartEditDis.c_Dis"] = dispense_;
  connect(dispense_, &QCheckBox::clicked, this, [this] { f_.changed[4] = true; });
  g->addWidget(dispense_, row++, 0, 1, 2);
  lay->addLayout(g);

  lay->addLayout(MakeTakeButtons(this, {[this] { OnTakeX(); }, [this] { OnTakeY(); }, [this] { OnTakeZ(); },
                                         [this] { OnCameraX(); }, [this] { OnCameraY(); }}));
  lay->addWidget(MakeJogPad(this, machine_, true));
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(this);
  ok->setObjectName("c_1");
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("c_2");
  targets_["PartEditDis.c_IDOK"] = ok;
  targets_["PartEditDis.c_IDCANCEL"] = cancel;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  lay->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (OnOK()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  LoadLanguage("", "");
}

std::string CDialogPartEditDis::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogPartEditDis::LoadLanguage(const std::string& appDir, const std::string& language) {
  LoadEditorTexts(this, appDir, language, "PartEditDisConfig", DisTexts(), "PartEditDis.c_PartEditDis", texts_, targets_);
}

void CDialogPartEditDis::SetFields(const DisEditFields& f) {
  loading_ = true;
  f_ = f;
  boxes_[1009]->setText(QString::number(f.serial));
  boxes_[1005]->setText(NumberText(f.x));
  boxes_[1006]->setText(NumberText(f.y));
  boxes_[1008]->setText(NumberText(f.z));
  boxes_[1007]->setText(NumberText(f.offsetX));
  boxes_[1010]->setText(NumberText(f.offsetY));
  boxes_[1011]->setText(NumberText(f.offsetZ));
  boxes_[1569]->setText(NumberText(f.valveOpen));
  boxes_[1570]->setText(NumberText(f.valveClose));
  boxes_[1572]->setText(QString::number(f.valveCloseDelay));
  boxes_[1577]->setText(QString::number(f.bottomDelay));
  boxes_[1574]->setText(QString::number(f.suckBack));
  boxes_[1133]->setText(QString::fromStdString(f.note));
  dispense_->setChecked(f.dispense);
  f_.changed.fill(false);
  loading_ = false;
}

bool CDialogPartEditDis::OnOK() {
  DisEditFields f = f_;
  // The dot and its offsets in the dispensing point's own ranges.
  if (!ReadInt(boxes_[1009], 0, 10000, f.serial) || !ReadDouble(boxes_[1005], -kMaxBoardMm, kMaxBoardMm, f.x) ||
      !ReadDouble(boxes_[1006], -kMaxBoardMm, kMaxBoardMm, f.y) || !ReadDouble(boxes_[1008], -255.0, 0.0, f.z) ||
      !ReadDouble(boxes_[1007], -kMaxBoardMm, kMaxBoardMm, f.offsetX) ||
      !ReadDouble(boxes_[1010], -kMaxBoardMm, kMaxBoardMm, f.offsetY) ||
      !ReadDouble(boxes_[1011], -255.0, 255.0, f.offsetZ) || !ReadDouble(boxes_[1569], 0, 65535, f.valveOpen) ||
      !ReadDouble(boxes_[1570], 0, 65535, f.valveClose) || !ReadInt(boxes_[1572], 0, 65535, f.valveCloseDelay) ||
      !ReadInt(boxes_[1577], 0, 65535, f.bottomDelay) || !ReadInt(boxes_[1574], 0, 65535, f.suckBack))
    return false;
  f.note = boxes_[1133]->text().toStdString();
  f.dispense = dispense_->isChecked();
  f_ = f;
  return true;
}

bool CDialogPartEditDis::Edit(DisEditFields& f) {
  SetFields(f);
  if (exec() != QDialog::Accepted) return false;
  f = f_;
  return true;
}

namespace {
// The machine's settings as they are now; the pointer keeps them for the
// expression that reads them.
std::shared_ptr<const smt::settings::PulseSettings> Pulse(smt::Machine& m) {
  return m.Part<smt::settings::SettingsStores>().machine.Pulse();
}
std::shared_ptr<const smt::settings::BasicSettings> Basic(smt::Machine& m) {
  return m.Part<smt::settings::SettingsStores>().machine.Basic();
}
}  // namespace

void CDialogPartEditDis::OnTakeX() {
  boxes_[1005]->setText(QString::fromStdString(NudgedText(EditorTakeAxis(machine_.curX, EditorOrigin(machine_).first, Pulse(machine_)->m_X_Pulse))));
}
void CDialogPartEditDis::OnTakeY() {
  boxes_[1006]->setText(QString::fromStdString(NudgedText(EditorTakeAxis(machine_.curY, EditorOrigin(machine_).second, Pulse(machine_)->m_Y_Pulse))));
}
void CDialogPartEditDis::OnTakeZ() {
  boxes_[1008]->setText(QString::fromStdString(NudgedText(DispenseHeadZ(machine_, machine_.machineType) / (Pulse(machine_)->m_Z_Pulse != 0 ? Pulse(machine_)->m_Z_Pulse : 1.0))));
}
void CDialogPartEditDis::OnCameraX() {
  boxes_[1005]->setText(QString::fromStdString(
      NudgedText(EditorTakeCamera(machine_.curX, EditorOrigin(machine_).first, Basic(machine_)->m_X_CameraToNozzle1, Pulse(machine_)->m_X_Pulse))));
}
void CDialogPartEditDis::OnCameraY() {
  boxes_[1006]->setText(QString::fromStdString(
      NudgedText(EditorTakeCamera(machine_.curY, EditorOrigin(machine_).second, Basic(machine_)->m_Y_CameraToNozzle1, Pulse(machine_)->m_Y_Pulse))));
}
