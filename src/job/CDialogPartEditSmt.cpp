#include "job/CDialogPartEditSmt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/CurrentBoard.h"
#include "job/DropDownLists.h"
#include "job/FeederView.h"
#include "job/PartEditorSupport.h"
#include "job/PartListTexts.h"
#include "job/TakePosition.h"
#include "job/WorkRecords.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"

using namespace smt::job;

namespace smt::job {

bool CameraPartCoordinate(smt::Machine& machine, const JobModel& job, const MarkMeasurement& m, bool xAxis,
                          double& value) {
  int pr = 0, pc = 0;
  if (job.pcbs.FindPcbIndex(job.shownPcbName) < 0 || !FirstBoardNotSkipped(machine.board, pr, pc)) return false;
  auto& store = machine.Part<smt::settings::SettingsStores>().machine;
  const auto basic = store.Basic();
  const auto pulse = store.Pulse();
  const double px = pulse->m_X_Pulse != 0 ? pulse->m_X_Pulse : 1, py = pulse->m_Y_Pulse != 0 ? pulse->m_Y_Pulse : 1;
  const double colOff = pc * machine.board.panelColPitch, rowOff = pr * machine.board.panelRowPitch;
  auto T = [](double v) { return static_cast<int32_t>(std::trunc(v)); };
  if (machine.machineType == 4) {
    const auto [ox, oy] = EditorOrigin(machine);
    if (xAxis) {
      value = (machine.motion.curPlatform[0] - T(px * ox) + T(px * basic->m_X_CameraToNozzle1)) / px;
    } else {
      const int32_t y = PlatformSelect(machine) == 1 ? machine.curY.load() : machine.motion.curPlatform[1].load();
      value = (y - T(py * oy) + T(py * basic->m_Y_CameraToNozzle1)) / py;
    }
    return true;
  }
  const double xs = machine.steps.xPulsePerMm, ys = machine.steps.yPulsePerMm;
  if (!machine.board.useMarks || !m.m_bMarkMeasured) {
    value = xAxis ? (machine.steps.cameraOffsetX - T((colOff + machine.board.originX) * xs) + machine.curX) / px
                  : (machine.steps.cameraOffsetY - T((rowOff + machine.board.originY) * ys) + machine.curY) / py;
    return true;
  }
  if (machine.board.mark2X == 0 && machine.board.mark2Y == 0) {
    value = xAxis ? (machine.steps.cameraOffsetX - T((colOff + machine.board.originX) * xs) - machine.correction.mark1DevStepsX + machine.curX) / px
                  : (machine.steps.cameraOffsetY - T((rowOff + machine.board.originY) * ys) - machine.correction.mark1DevStepsY + machine.curY) / py;
    return true;
  }
  double vx, vy;
  if (machine.board.marksPerPanel) {
    vx = (machine.steps.cameraOffsetX - T((colOff + machine.board.originX) * xs) - machine.correction.mark1DevStepsX - machine.board.mark1StepsX + machine.curX) / xs;
    vy = (machine.steps.cameraOffsetY - T((rowOff + machine.board.originY) * ys) - machine.correction.mark1DevStepsY - machine.board.mark1StepsY + machine.curY) / ys;
  } else {
    vx = (machine.steps.cameraOffsetX - machine.board.originStepsX - machine.correction.mark1DevStepsX - machine.board.mark1StepsX + machine.curX) / xs - colOff;
    vy = (machine.steps.cameraOffsetY - machine.board.originStepsY - machine.correction.mark1DevStepsY - machine.board.mark1StepsY + machine.curY) / ys - rowOff;
  }
  const auto [bx, by] = CorrectPointByTwoMarksForEditor(machine.board.mark1X, machine.board.mark1Y, machine.board.mark2X, machine.board.mark2Y, m.m_dMark1DevX,
                                                        m.m_dMark1DevY, m.m_dMark2DevX, m.m_dMark2DevY, vx, vy);
  value = xAxis ? bx + machine.board.mark1X : by + machine.board.mark1Y;
  return true;
}

}  // namespace smt::job

namespace {

const std::vector<std::pair<std::string, std::string>>& SmtTexts() {
  static const std::vector<std::pair<std::string, std::string>> t = {
      {"PartProper.c_PartProper", "元件属性"},     {"PartProper.c_SerialNumber", "序号"},
      {"PartProper.c_PartName", "元件名称"},       {"PartProper.c_PartType", "元件类型"},
      {"PartProper.c_PartPacking", "元件封装"},    {"PartProper.c_X_Coordinates", "X坐标"},
      {"PartProper.c_Y_Coordinates", "Y坐标"},     {"PartProper.c_Offset_X", "偏移量X"},
      {"PartProper.c_Offset_Y", "偏移量Y"},        {"PartProper.c_PartAngle", "旋转角度"},
      {"PartProper.c_PartValue", "元件数值"},      {"PartProper.c_SelectFeed", "对应料架"},
      {"PartProper.c_OpenFeed", "打开料架>>"},     {"PartProper.c_SMT", "是否贴装"},
      {"PartProper.c_SpecifyMark", "是否独立Mark"}, {"PartProper.c_IDOK", "确  定"},
      {"PartProper.c_IDCANCEL", "取  消"},
      {"PartProper.c_Message_01", "没找到对应的料架编号，请删除此料架重新创建 !"}};
  return t;
}

std::string FirstCell(const std::string& row) { return row.substr(0, row.find('\t')); }

}  // namespace

CDialogPartEditSmt::CDialogPartEditSmt(smt::Machine& machine, JobModel& job, QWidget* parent)
    : QDialog(parent), machine_(machine), job_(job) {
  setObjectName("CDialogPartEditSmt");
  for (const auto& [k, v] : SmtTexts()) texts_[k] = v;
  auto* lay = new QVBoxLayout(this);
  auto* g = new QGridLayout;
  int row = 0;
  auto label = [&](const char* key) {
    auto* l = new QLabel(this);
    targets_[key] = l;
    g->addWidget(l, row, 0);
  };
  auto edit = [&](const char* key, int id, int flag) {
    label(key);
    auto* e = new QLineEdit(this);
    e->setObjectName(QString("c_%1").arg(id));
    boxes_[id] = e;
    g->addWidget(e, row++, 1);
    if (flag >= 0)
      connect(e, &QLineEdit::textChanged, this, [this, flag] {
        if (!loading_) f_.changed[static_cast<size_t>(flag)] = true;
      });
  };
  auto combo = [&](const char* key, int id, bool editable, int flag) {
    if (key) label(key);
    auto* c = new QComboBox(this);
    c->setObjectName(QString("c_%1").arg(id));
    c->setEditable(editable);
    combos_[id] = c;
    g->addWidget(c, row++, 1);
    if (flag >= 0) {
      connect(c, &QComboBox::currentIndexChanged, this, [this, flag] {
        if (!loading_) f_.changed[static_cast<size_t>(flag)] = true;
      });
      if (editable)
        connect(c, &QComboBox::editTextChanged, this, [this, flag] {
          if (!loading_) f_.changed[static_cast<size_t>(flag)] = true;
        });
    }
    return c;
  };
  using F = SmtEditFields;
  edit("PartProper.c_SerialNumber", 1009, -1);
  combo("PartProper.c_PartName", 1085, true, F::kName);
  combo("PartProper.c_PartType", 1020, true, F::kType);
  combo("PartProper.c_PartPacking", 1040, true, F::kPackage);
  edit("PartProper.c_X_Coordinates", 1005, F::kX);
  edit("PartProper.c_Y_Coordinates", 1006, F::kY);
  edit("PartProper.c_Offset_X", 1007, -1);
  edit("PartProper.c_Offset_Y", 1010, -1);
  combo("PartProper.c_PartAngle", 1025, false, F::kAngle);
  edit("PartProper.c_PartValue", 1008, F::kValue);
  auto* feeder = combo("PartProper.c_SelectFeed", 1023, false, -1);
  connect(feeder, &QComboBox::currentIndexChanged, this, [this] {
    if (!loading_) OnFeederChanged();
  });
  place_ = new QCheckBox(this);
  place_->setObjectName("c_1015");
  targets_["PartProper.c_SMT"] = place_;
  connect(place_, &QCheckBox::clicked, this, [this] { f_.changed[F::kPlace] = true; });
  g->addWidget(place_, row++, 0, 1, 2);
  ownMark_ = new QCheckBox(this);
  ownMark_->setObjectName("c_1472");
  targets_["PartProper.c_SpecifyMark"] = ownMark_;
  connect(ownMark_, &QCheckBox::clicked, this, [this] { OnOwnMarkClicked(); });
  g->addWidget(ownMark_, row++, 0);
  combo(nullptr, 1024, false, -1);
  lay->addLayout(g);

  auto* take = new QHBoxLayout;
  const std::pair<int, const char*> takes[] = {{1238, "X"}, {1239, "Y"}, {1240, "CX"}, {1241, "CY"}};
  for (const auto& [id, t] : takes) {
    auto* b = new QPushButton(t, this);
    b->setObjectName(QString("c_%1").arg(id));
    take->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, id = id] {
      if (id == 1238) OnTakeX();
      else if (id == 1239) OnTakeY();
      else if (id == 1240) OnCameraX();
      else OnCameraY();
    });
  }
  auto* open = new QPushButton(this);
  open->setObjectName("c_1218");
  targets_["PartProper.c_OpenFeed"] = open;
  connect(open, &QPushButton::clicked, this, [this] { OnOpenFeeder(); });
  take->addWidget(open);
  lay->addLayout(take);
  lay->addWidget(MakeJogPad(this, machine_, true));
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(this);
  auto* cancel = new QPushButton(this);
  targets_["PartProper.c_IDOK"] = ok;
  targets_["PartProper.c_IDCANCEL"] = cancel;
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

std::string CDialogPartEditSmt::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogPartEditSmt::LoadLanguage(const std::string& appDir, const std::string& language) {
  LoadEditorTexts(this, appDir, language, "PartProperConfig", SmtTexts(), "PartProper.c_PartProper", texts_, targets_);
}

void CDialogPartEditSmt::FillDropDownLists() {
  const std::pair<size_t, int> boxes[] = {{0, 1085}, {1, 1020}, {3, 1025}};
  for (const auto& [index, id] : boxes) {
    combos_[id]->clear();
    for (const auto& item : DropDownChoices(machine_, index)) combos_[id]->addItem(QString::fromStdString(item));
  }
}

void CDialogPartEditSmt::SetFields(const SmtEditFields& f) {
  loading_ = true;
  f_ = f;
  FillDropDownLists();
  combos_[1040]->clear();
  if (packageRows)
    for (const auto& r : packageRows()) combos_[1040]->addItem(QString::fromStdString(FirstCell(r)));
  combos_[1024]->clear();
  if (markRows)
    for (const auto& r : markRows()) combos_[1024]->addItem(QString::fromStdString(FirstCell(r)));
  combos_[1023]->clear();
  for (const auto& fr : FeederListRows(machine_)) {
    const QString entry = QString::fromStdString(fr.Number() + "-" + fr.Value());
    if (combos_[1023]->findText(entry) < 0) combos_[1023]->addItem(entry);
  }
  auto select = [&](int id, const std::string& text) {
    QComboBox* c = combos_[id];
    const int i = c->findText(QString::fromStdString(text));
    c->setCurrentIndex(i);
    if (c->isEditable()) c->setEditText(QString::fromStdString(text));
  };
  select(1085, f.name);
  select(1020, f.type);
  select(1040, f.package);
  select(1023, f.feeder);
  select(1024, f.markName);
  if (combos_[1025]->findText(QString::fromStdString(f.angle)) < 0)
    combos_[1025]->addItem(QString::fromStdString(f.angle));
  select(1025, f.angle);
  boxes_[1009]->setText(QString::number(f.serial));
  boxes_[1005]->setText(NumberText(f.x));
  boxes_[1006]->setText(NumberText(f.y));
  boxes_[1007]->setText("0");
  boxes_[1010]->setText("0");
  boxes_[1008]->setText(QString::fromStdString(f.value));
  place_->setChecked(f.place);
  ownMark_->setChecked(f.ownMark);
  combos_[1024]->setEnabled(f.ownMark);
  f_.changed.fill(false);
  f_.offsetX = f_.offsetY = 0;
  loading_ = false;
}

void CDialogPartEditSmt::ReadControls() {
  f_.name = combos_[1085]->currentText().toStdString();
  f_.type = combos_[1020]->currentText().toStdString();
  f_.package = combos_[1040]->currentText().toStdString();
  f_.angle = combos_[1025]->currentText().toStdString();
  f_.feeder = combos_[1023]->currentText().toStdString();
  f_.markName = combos_[1024]->currentText().toStdString();
  f_.value = boxes_[1008]->text().toStdString();
  f_.place = place_->isChecked();
  f_.ownMark = ownMark_->isChecked();
}

bool CDialogPartEditSmt::OnOK() {
  SmtEditFields keep = f_;
  // The point and its offsets in the placement's own range: what the run
  // would refuse is refused here, with the range named.
  if (!ReadInt(boxes_[1009], 0, 10000, f_.serial) || !ReadDouble(boxes_[1005], -kMaxBoardMm, kMaxBoardMm, f_.x) ||
      !ReadDouble(boxes_[1006], -kMaxBoardMm, kMaxBoardMm, f_.y) ||
      !ReadDouble(boxes_[1007], -kMaxBoardMm, kMaxBoardMm, f_.offsetX) ||
      !ReadDouble(boxes_[1010], -kMaxBoardMm, kMaxBoardMm, f_.offsetY)) {
    keep.changed = f_.changed;
    f_ = keep;
    return false;
  }
  ReadControls();
  if (acceptFields && !acceptFields(f_)) {
    keep.changed = f_.changed;
    f_ = keep;
    return false;
  }
  return true;
}

bool CDialogPartEditSmt::Edit(SmtEditFields& f) {
  SetFields(f);
  if (exec() != QDialog::Accepted) return false;
  f = f_;
  return true;
}

void CDialogPartEditSmt::OnFeederChanged() {
  f_.changed[SmtEditFields::kFeeder] = true;
  const std::string number = FeederNumberOf(combos_[1023]->currentText().toStdString());
  for (const auto& fr : FeederListRows(machine_))
    if (fr.Number() == number) {
      ownMark_->setChecked(fr.flyImage == 1);
      combos_[1024]->setEnabled(ownMark_->isChecked());
      break;
    }
}

void CDialogPartEditSmt::OnOwnMarkClicked() {
  f_.changed[SmtEditFields::kOwnMark] = true;
  combos_[1024]->setEnabled(ownMark_->isChecked());
}

void CDialogPartEditSmt::OnOpenFeeder() {
  const std::string number = FeederNumberOf(combos_[1023]->currentText().toStdString());
  const bool inGroup = [&] {
    for (const auto& g : FeederGroupRows(machine_))
      if (g.Number() == number) return true;
    return false;
  }();
  if (!inGroup) {
    smt::platform::ShowMessage(Text("PartProper.c_Message_01"));
    return;
  }
  if (const auto& open = FeederSourceOf(machine_).openFeederEditor) open(number);
}

void CDialogPartEditSmt::OnTakeX() {
  const auto p = machine_.Part<smt::settings::SettingsStores>().machine.Pulse();
  boxes_[1005]->setText(QString::fromStdString(NudgedText(EditorTakeAxis(machine_.curX, EditorOrigin(machine_).first, p->m_X_Pulse))));
}

void CDialogPartEditSmt::OnTakeY() {
  const auto p = machine_.Part<smt::settings::SettingsStores>().machine.Pulse();
  boxes_[1006]->setText(QString::fromStdString(NudgedText(EditorTakeAxis(machine_.curY, EditorOrigin(machine_).second, p->m_Y_Pulse))));
}

void CDialogPartEditSmt::OnCameraX() {
  static const MarkMeasurement none;
  double v = 0;
  if (!CameraPartCoordinate(machine_, job_, marks ? *marks : none, true, v)) {
    smt::platform::ShowMessage(partListText ? partListText("PartList.c_Message_06")
                                            : PartListBuiltinText("PartList.c_Message_06"));
    return;
  }
  boxes_[1005]->setText(QString::fromStdString(NudgedText(v)));
}

void CDialogPartEditSmt::OnCameraY() {
  static const MarkMeasurement none;
  double v = 0;
  if (!CameraPartCoordinate(machine_, job_, marks ? *marks : none, false, v)) {
    smt::platform::ShowMessage(partListText ? partListText("PartList.c_Message_06")
                                            : PartListBuiltinText("PartList.c_Message_06"));
    return;
  }
  boxes_[1006]->setText(QString::fromStdString(NudgedText(v)));
}
