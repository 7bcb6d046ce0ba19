#include "library/CDialogNozzleEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/MachineState.h"
#include "library/FieldReader.h"
#include "library/LibraryRows.h"
#include "link/JogPad.h"
#include "link/LinkRuntime.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

using smt::library::CaptureMillimetres;
using smt::library::FieldReader;
using smt::library::NozzleEditFields;
using smt::platform::FormatDouble;
using smt::platform::FormatInt;
using smt::platform::ShowMessage;

namespace {

struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_NozzleEdit", "吸嘴编辑"},
    {"c_NozzleNumber", "吸嘴编号"},
    {"c_Nozzle_X", "吸嘴 X 坐标"},
    {"c_Nozzle_Y", "吸嘴 Y 坐标"},
    {"c_Nozzle_Z", "吸嘴到吸料高度 - 统一"},
    {"c_Nozzle_X_Exit", "进出口 X 坐标"},
    {"c_Nozzle_Y_Exit", "进出口 Y 坐标"},
    {"c_Nozzle_Z_Exit", "吸嘴进出口Z高度 - 统一"},
    {"c_VacuumValue", "真空检测值 - 统一"},
    {"c_Note", "备  注"},
    {"c_IDOK", "确  定"},
    {"c_IDCANCEL", "取  消"},
    {"c_Message_01", "吸嘴座名称已存在，请修改 !"},
    {"c_Message_02", "吸嘴座X坐标不一致，确定吗 ?"},
    {"c_Message_03", "吸嘴备注不能为空 !"},
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CDialogNozzleEdit::CDialogNozzleEdit(NozzleEditFields& fields, smt::Machine& machine, Environment env, QWidget* parent)
    : QDialog(parent), fields_(fields), machine_(machine), env_(std::move(env)) {
  LoadLanguage();
  Build();
  if (env_.nineteenSeat) {
    fields_.entranceX = fields_.x;
    fields_.entranceY = fields_.y;
  }
  ShowFields();
}

void CDialogNozzleEdit::LoadLanguage() {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "NozzleEditConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("NozzleEdit.") + t.key, t.def);
}

std::string CDialogNozzleEdit::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogNozzleEdit::Build() {
  building_ = true;
  setWindowTitle(Q(Text("c_NozzleEdit")));
  auto* grid = new QGridLayout;
  int r = 0;
  auto addEdit = [&](const std::string& key, const std::string& label) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Q(key));
    edits_[key] = e;
    grid->addWidget(new QLabel(Q(label), this), r, 0);
    grid->addWidget(e, r, 1);
    return e;
  };
  auto addButton = [&](const char* text, int column, std::function<void()> f) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setAutoDefault(false);
    grid->addWidget(b, r, column);
    connect(b, &QPushButton::clicked, this, f);
    return b;
  };

  addEdit("number", Text("c_NozzleNumber"));
  ++r;
  QLineEdit* seatX = addEdit("x", Text("c_Nozzle_X"));
  addButton("X", 2, [this] { OnCapture(Capture::SeatX); });
  addButton("CX", 3, [this] { OnCapture(Capture::CameraX); });
  ++r;
  QLineEdit* seatY = addEdit("y", Text("c_Nozzle_Y"));
  addButton("Y", 2, [this] { OnCapture(Capture::SeatY); });
  addButton("CY", 3, [this] { OnCapture(Capture::CameraY); });
  ++r;
  auto makeUnify = [&](Unify u, const std::string& label) {
    auto* c = new QCheckBox(Q(label), this);
    unify_[static_cast<int>(u)] = c;
    grid->addWidget(c, r, 0);
    connect(c, &QCheckBox::toggled, this, [this, u](bool on) { OnUnify(u, on); });
  };
  {
    auto* e = new QLineEdit(this);
    edits_["pickHeight"] = e;
    makeUnify(Unify::PickHeight, Text("c_Nozzle_Z"));
    grid->addWidget(e, r, 1);
    addButton("Z", 2, [this] { OnCapture(Capture::PickZ); });
    ++r;
  }
  QLineEdit* entX = addEdit("entranceX", Text("c_Nozzle_X_Exit"));
  QPushButton* bx = addButton("X", 2, [this] { OnCapture(Capture::EntranceX); });
  ++r;
  QLineEdit* entY = addEdit("entranceY", Text("c_Nozzle_Y_Exit"));
  QPushButton* by = addButton("Y", 2, [this] { OnCapture(Capture::EntranceY); });
  ++r;
  {
    auto* e = new QLineEdit(this);
    edits_["entranceZ"] = e;
    makeUnify(Unify::EntranceHeight, Text("c_Nozzle_Z_Exit"));
    grid->addWidget(e, r, 1);
    addButton("Z", 2, [this] { OnCapture(Capture::EntranceZ); });
    ++r;
  }
  {
    auto* e = new QLineEdit(this);
    edits_["vacuum"] = e;
    makeUnify(Unify::Vacuum, Text("c_VacuumValue"));
    grid->addWidget(e, r, 1);
    grid->addWidget(new QLabel("-kPa", this), r, 2);
    ++r;
  }
  addEdit("note", Text("c_Note"));
  ++r;
  if (env_.nineteenSeat) {
    entX->setEnabled(false);
    entY->setEnabled(false);
    bx->setEnabled(false);
    by->setEnabled(false);
  }
  // Seat X and Y are copied, as typed, into the entrance fields.
  connect(seatX, &QLineEdit::textChanged, this, [entX](const QString& t) { entX->setText(t); });
  connect(seatY, &QLineEdit::textChanged, this, [entY](const QString& t) { entY->setText(t); });

  // Jog pad.
  auto* pad = new QGridLayout;
  auto padButton = [&](const char* text, Pad p, int row, int col) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setAutoDefault(false);
    pad->addWidget(b, row, col);
    connect(b, &QPushButton::pressed, this, [this, p] { OnPad(p, true); });
    connect(b, &QPushButton::released, this, [this, p] { OnPad(p, false); });
  };
  padButton("Y+", Pad::YPlus, 0, 1);
  padButton("X-", Pad::XMinus, 1, 0);
  padButton("Set", Pad::Set, 1, 1);
  padButton("X+", Pad::XPlus, 1, 2);
  padButton("Y-", Pad::YMinus, 2, 1);
  padButton("Z↑", Pad::ZUp, 0, 3);
  padButton("Z↓", Pad::ZDown, 2, 3);
  padButton("↓↑", Pad::HomeZ, 1, 3);
  padButton("To=Z", Pad::ToZ, 3, 3);

  auto* ok = new QPushButton(Q(Text("c_IDOK")), this);
  auto* cancel = new QPushButton(Q(Text("c_IDCANCEL")), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CDialogNozzleEdit::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogNozzleEdit::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* top = new QHBoxLayout;
  top->addLayout(grid);
  top->addLayout(pad);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addLayout(buttons);
  building_ = false;
}

void CDialogNozzleEdit::ShowFields() {
  building_ = true;
  edits_["number"]->setText(Q(FormatInt(fields_.number)));
  edits_["x"]->setText(Q(FormatDouble(fields_.x)));
  edits_["y"]->setText(Q(FormatDouble(fields_.y)));
  // After seat X/Y (whose change copies into the entrance fields).
  edits_["entranceX"]->setText(Q(FormatDouble(fields_.entranceX)));
  edits_["entranceY"]->setText(Q(FormatDouble(fields_.entranceY)));
  edits_["pickHeight"]->setText(Q(FormatDouble(fields_.pickHeight)));
  edits_["entranceZ"]->setText(Q(FormatDouble(fields_.entranceZ)));
  edits_["vacuum"]->setText(Q(FormatInt(fields_.vacuum)));
  edits_["note"]->setText(Q(fields_.note));
  building_ = false;
}

bool CDialogNozzleEdit::ReadFields(NozzleEditFields& f) {
  FieldReader r(env_.appDir, env_.language);
  f.number = r.Int(edits_["number"], 1, 19);
  f.x = r.Double(edits_["x"], 0.0, 1000.0);
  f.y = r.Double(edits_["y"], -1000.0, 0.0);
  f.pickHeight = r.Double(edits_["pickHeight"], -100.0, 0.0);
  f.entranceX = r.Double(edits_["entranceX"], 0.0, 1000.0);
  f.entranceY = r.Double(edits_["entranceY"], -1000.0, 0.0);
  f.entranceZ = r.Double(edits_["entranceZ"], -100.0, 0.0);
  f.vacuum = r.Int(edits_["vacuum"], 0, 100);
  f.note = smt::library::CellText(edits_["note"]);
  return r.ok();
}

void CDialogNozzleEdit::SetField(const std::string& key, double v) { edits_[key]->setText(Q(FormatDouble(v))); }

void CDialogNozzleEdit::OnCapture(Capture c) {
  auto& store = smt::settings::SettingsStores::Of(machine_).machine;
  const auto p = store.Pulse();
  const auto b = store.Basic();
  switch (c) {
    case Capture::SeatX: SetField("x", CaptureMillimetres(machine_.curX.load(), p->m_X_Pulse)); break;
    case Capture::SeatY: SetField("y", CaptureMillimetres(machine_.curY.load(), p->m_Y_Pulse)); break;
    case Capture::CameraX:
      SetField("x", CaptureMillimetres(
                        double(smt::library::ToSteps(b->m_X_CameraToNozzle1, p->m_X_Pulse)) + machine_.curX.load(),
                        p->m_X_Pulse));
      break;
    case Capture::CameraY:
      SetField("y", CaptureMillimetres(
                        double(smt::library::ToSteps(b->m_Y_CameraToNozzle1, p->m_Y_Pulse)) + machine_.curY.load(),
                        p->m_Y_Pulse));
      break;
    case Capture::EntranceX: SetField("entranceX", CaptureMillimetres(machine_.curX.load(), p->m_X_Pulse)); break;
    case Capture::EntranceY: SetField("entranceY", CaptureMillimetres(machine_.curY.load(), p->m_Y_Pulse)); break;
    case Capture::PickZ:
    case Capture::EntranceZ: {
      const int32_t z = machine_.curZ[0].load();
      const int64_t limit = -std::llabs(static_cast<long long>(store.Geometry()->limits.m_nZLimitPulse));
      if (z < limit || z > 0) {
        ShowMessage(smt::platform::WindowText("LibraryMessagesConfig", "LibraryMessages.c_ZPosError", "Z 位置错误 !"));
        return;
      }
      SetField(c == Capture::PickZ ? "pickHeight" : "entranceZ", CaptureMillimetres(z, p->m_Z_Pulse));
      break;
    }
  }
}

void CDialogNozzleEdit::OnUnify(Unify u, bool checked) {
  if (!checked || building_) return;
  NozzleEditFields probe;
  if (!ReadFields(probe)) return;
  if (ShowMessage(smt::platform::WindowText("LibraryMessagesConfig", "LibraryMessages.c_UniformModify", "是否统一修改该列 ?"), smt::platform::MsgButtons::YesNoCancel,
                  smt::platform::MsgIcon::Question) != smt::platform::MsgAnswer::Yes)
    return;
  const double value = u == Unify::PickHeight       ? probe.pickHeight
                      : u == Unify::EntranceHeight ? probe.entranceZ
                                                   : static_cast<double>(probe.vacuum);
  if (env_.setColumnValue) env_.setColumnValue(static_cast<int>(u), value);
}

bool CDialogNozzleEdit::ZJogAxis(bool down, int& axis, bool& positive) const {
  const int type = machine_.machineType.load();
  const int k = env_.selectedHead + 1;
  if (type == 7 || type == 8) {
    if (k < 1 || k > 8) return false;
    axis = 31 + k;
    positive = !down;
    return true;
  }
  if (type == 9 || k < 1 || k > 4) return false;
  axis = k <= 2 ? 2 : 3;
  const bool odd = k % 2 == 1;
  positive = odd ? !down : down;
  return true;
}

bool CDialogNozzleEdit::OnPad(Pad p, bool press) {
  smt::link::JogRunner* jog = env_.jog;
  if (!press) {
    if (jog) jog->Release();
    return false;
  }
  const int type = machine_.machineType.load();
  const bool platform2 = type == 4 && machine_.Part<smt::link::LinkRuntime>().headGroup.load() == 2;
  switch (p) {
    case Pad::XPlus: case Pad::XMinus:
      return jog && jog->Jog(platform2 ? 9 : 0, p == Pad::XPlus, true, false, 0);
    case Pad::YPlus: case Pad::YMinus:
      return jog && jog->Jog(platform2 ? 12 : 1, p == Pad::YPlus, true, false, 0);
    case Pad::Set:
      if (jog) jog->NextSpeedGear();
      return false;
    case Pad::ZUp: case Pad::ZDown: {
      int axis = 0;
      bool positive = false;
      if (!ZJogAxis(p == Pad::ZDown, axis, positive)) return false;
      return jog && jog->Jog(axis, positive, true, false, 0);
    }
    case Pad::HomeZ:
      if (env_.homeZ) env_.homeZ();
      return false;
    case Pad::ToZ: {
      const double zp = smt::settings::SettingsStores::Of(machine_).machine.Pulse()->m_Z_Pulse;
      const auto v = smt::library::ParseDoubleField(edits_["entranceZ"]->text().toStdString());
      const int32_t target = smt::library::ToSteps(v.value_or(0), zp);
      if (target > 0) {
        ShowMessage(smt::platform::WindowText("LibraryMessagesConfig", "LibraryMessages.c_DataNegative", "该数值应为负数 !"));
        return false;
      }
      const int k = env_.selectedHead + 1;
      if (k < 1 || k > 8) return false;
      const bool eight = type == 7 || type == 8;
      static const int kAxis[8] = {2, 2, 3, 3, 10, 10, 38, 39};
      const int axis = eight ? 31 + k : kAxis[k - 1];
      const int32_t steps = target - machine_.curZ[k - 1].load();
      bool positive = steps >= 0;
      if (!eight && (k == 2 || k == 4 || k == 6)) positive = steps < 0;
      return jog && jog->Jog(axis, positive, false, true, std::abs(steps));
    }
  }
  return false;
}

bool CDialogNozzleEdit::TryAccept() {
  // 1. The number must be free.
  const auto number = smt::library::ParseIntField(edits_["number"]->text().toStdString());
  if (number && env_.numberTaken && env_.numberTaken(static_cast<int>(*number))) {
    ShowMessage(Text("c_Message_01"));
    smt::library::FocusAndSelect(edits_["number"]);
    return false;
  }
  // 2. Every field in its range.
  NozzleEditFields f;
  if (!ReadFields(f)) return false;
  // 3. Seat and entrance X apart: ask.
  if (f.x != f.entranceX &&
      ShowMessage(Text("c_Message_02"), smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question) !=
          smt::platform::MsgAnswer::Yes)
    return false;
  // 4. A note is required.
  if (f.note.empty()) {
    ShowMessage(Text("c_Message_03"));
    smt::library::FocusAndSelect(edits_["note"]);
    return false;
  }
  fields_ = f;
  QDialog::accept();
  return true;
}

void CDialogNozzleEdit::accept() { TryAccept(); }

void CDialogNozzleEdit::keyPressEvent(QKeyEvent* e) {
  if (e->modifiers() & Qt::ControlModifier) {
    if ((e->modifiers() & Qt::ShiftModifier) && !e->isAutoRepeat()) {
      if (env_.jog) env_.jog->NextSpeedGear();
      return;
    }
    if (e->isAutoRepeat()) return;
    switch (e->key()) {
      case Qt::Key_Left: OnPad(Pad::XMinus, true); return;
      case Qt::Key_Right: OnPad(Pad::XPlus, true); return;
      case Qt::Key_Up: OnPad(Pad::YPlus, true); return;
      case Qt::Key_Down: OnPad(Pad::YMinus, true); return;
      default: break;
    }
  }
  QDialog::keyPressEvent(e);
}

void CDialogNozzleEdit::keyReleaseEvent(QKeyEvent* e) {
  if (!e->isAutoRepeat() &&
      (e->key() == Qt::Key_Left || e->key() == Qt::Key_Right || e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)) {
    if (env_.jog) env_.jog->Release();
  }
  QDialog::keyReleaseEvent(e);
}
