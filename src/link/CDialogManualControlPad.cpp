// The jog panel's jog side: its controls, their layout per machine type, the
// press-and-hold filter, the menus, the pump buttons and the position boxes.
#include <QCheckBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "core/MachineState.h"
#include "link/CDialogManualControl.h"
#include "link/JogPanelLayout.h"
#include "link/LinkRuntime.h"
#include "link/MachineHoming.h"
#include "link/ManualMarkOffsets.h"
#include "link/MotionSettings.h"
#include "link/PumpButtons.h"
#include "platform/QueuedCall.h"
#include "platform/SettingsSection.h"
#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"

namespace jogid = smt::link::jogid;

namespace {

struct ButtonDef {
  int id;
  const char* text;
};

// Every push button of the jog area with its resource text.
constexpr ButtonDef kButtons[] = {
    {1058, "复位"}, {1139, "X+"},  {1138, "X-"},  {1147, "Y+"},  {1148, "Y-"},  {1145, "Z1+"}, {1149, "Z1-"},
    {1146, "Z2+"},  {1150, "Z2-"}, {1154, "Z3+"}, {1155, "Z3-"}, {1157, "Z4+"}, {1158, "Z4-"}, {1160, "Z5+"},
    {1161, "Z5-"},  {1162, "Z6+"}, {1163, "Z6-"}, {1164, "Z7+"}, {1166, "Z7-"}, {1165, "Z8+"}, {1167, "Z8-"},
    {1022, "A1+"},  {1151, "A1-"}, {1152, "A2+"}, {1153, "A2-"}, {1023, "A3+"}, {1156, "A3-"}, {1024, "A4+"},
    {1159, "A4-"},  {1025, "A5+"}, {1168, "A5-"}, {1026, "A6+"}, {1169, "A6-"}, {1027, "A7+"}, {1171, "A7-"},
    {1028, "A8+"},  {1170, "A8-"}, {1227, "X+"},  {1228, "X-"},  {1229, "Y+"},  {1230, "Y-"},  {1231, "方位"},
    {1233, "S+"},   {1232, "S-"},  {1234, "1-4"},
};

bool IsFeederPad(int id) { return id >= jogid::kFeedXPlus && id <= jogid::kFeedDirection; }

// The head and XY buttons: they sit in the jog pad, where the machine type's
// table places them.
// A control's id: its object name (as the tests find it) and the property
// the event filter reads back, so no text is read as a number.
constexpr const char* kControlIdProperty = "jogControlId";
void SetControlId(QWidget* w, int id) {
  w->setObjectName(QString::number(id));
  w->setProperty(kControlIdProperty, id);
}

bool InJogPad(int id) {
  using namespace jogid;
  if (id == kXPlus || id == kXMinus || id == kYPlus || id == kYMinus) return true;
  for (int i = 0; i < 8; ++i)
    if (id == kZPlus[i] || id == kZMinus[i] || id == kAPlus[i] || id == kAMinus[i]) return true;
  return false;
}

}  // namespace

QPushButton* CDialogManualControl::AddButton(int id, const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent ? parent : this);
  SetControlId(b, id);
  b->installEventFilter(this);
  b->setFocusPolicy(Qt::NoFocus);
  m_controls[id] = b;
  return b;
}

void CDialogManualControl::BuildControls() {
  m_padArea = new QWidget(this);
  m_padArea->setObjectName("JogPad");
  for (const ButtonDef& d : kButtons) {
    QPushButton* b = AddButton(d.id, QString::fromUtf8(d.text), InJogPad(d.id) ? m_padArea : nullptr);
    b->setEnabled(false);  // axis buttons start disabled until homed
  }
  connect(static_cast<QPushButton*>(m_controls[jogid::kHeadGroup]), &QPushButton::clicked, this,
          [this] { OnHeadGroup(); });
  for (int i = 0; i < 8; ++i) {
    QPushButton* p = AddButton(jogid::kPump[i], QString::fromStdString(m_PanelTexts["c_SolenoidSalve" + std::to_string(i + 1)]));
    p->setCheckable(true);
    m_pumps[i] = p;
    connect(p, &QPushButton::clicked, this, [this, i] { OnPump(i + 1); });
  }
  m_btnOnline = new QPushButton(this);
  m_btnOnline->setObjectName("ManualControl.c_Online");
  m_btnOnline->setDefault(true);
  m_controls[jogid::kConnect] = m_btnOnline;

  m_checkInfo = new QCheckBox(this);
  SetControlId(m_checkInfo, jogid::kShowInformation);
  m_checkInfo->setChecked(m_bShowInformation != 0);
  connect(m_checkInfo, &QCheckBox::clicked, this, [this] { OnShowInformation(); });
  m_controls[jogid::kShowInformation] = m_checkInfo;

  m_stepDisplay = new QLabel("XY1000, Z1000, A1000, F1000", this);
  SetControlId(m_stepDisplay, jogid::kStepDisplay);
  m_controls[jogid::kStepDisplay] = m_stepDisplay;

  m_groupCoordinates = new QGroupBox(this);
  m_coordinatesCaption = new QLabel(QString::fromStdString(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_ShowAbsolute", "显示绝对坐标")), m_groupCoordinates);
  m_coordinatesCaption->setObjectName("coordinatesCaption");
  SetControlId(m_groupCoordinates, jogid::kCoordinates);
  m_controls[jogid::kCoordinates] = m_groupCoordinates;
  const int posIds[4] = {jogid::kPosX, jogid::kPosY, jogid::kPosZ, jogid::kPosA};
  static const char* const kAxes[4] = {"X", "Y", "Z", "A"};
  for (int i = 0; i < 4; ++i) {
    m_posLabels[i] = new QLabel(kAxes[i], m_groupCoordinates);
    auto* e = new QLineEdit(m_groupCoordinates);
    m_posLabels[i]->setBuddy(e);
    SetControlId(e, posIds[i]);
    e->setReadOnly(true);
    e->setEnabled(false);
    m_posBoxes[i] = e;
    m_controls[posIds[i]] = e;
  }
  for (int i = 0; i < 8; ++i) {
    auto* e = new QLineEdit(this);
    SetControlId(e, jogid::kHeadBox[i]);
    e->setReadOnly(true);
    m_controls[jogid::kHeadBox[i]] = e;
  }
  m_editSendCount = new QLineEdit("0", this);
  m_editAckCount = new QLineEdit("0", this);
  for (auto [e, id] : {std::pair{m_editSendCount, jogid::kSendCount}, std::pair{m_editAckCount, jogid::kAckCount}}) {
    SetControlId(e, id);
    e->setReadOnly(true);
    e->setEnabled(false);
    m_controls[id] = e;
  }
  m_labelStatus = nullptr;

  m_editInfo = new QPlainTextEdit(this);
  m_editInfo->setReadOnly(true);
  m_editInfo->setObjectName("InfoBox1");
  m_controls[jogid::kInfo] = m_editInfo;
  m_editInfo2 = new QPlainTextEdit(this);
  m_editInfo2->setReadOnly(true);
  m_editInfo2->setObjectName("InfoBox2");
  m_controls[jogid::kInfo2] = m_editInfo2;
  BuildLayout();
}

// On top the home and connect buttons with the jog steps; below them the jog
// pad and beside it the counters, the feeder pad with the S axis and the
// bank switch, the pumps and the second information box; then the
// positions and the information box. Every control takes the room its text needs.
void CDialogManualControl::BuildLayout() {
  using namespace jogid;
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(2, 2, 2, 2);
  root->setSpacing(4);

  // Home and connect first: the first thing an operator presses, at the
  // top of the panel so that no screen puts them out of sight.
  auto* commands = new QHBoxLayout;
  commands->setSpacing(6);
  commands->addWidget(m_controls[kReset]);
  commands->addWidget(m_btnOnline);
  commands->addWidget(m_stepDisplay, 1);
  root->addLayout(commands);

  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  top->addWidget(m_padArea, 0, Qt::AlignTop);
  auto* middle = new QVBoxLayout;
  middle->setSpacing(4);
  auto* counters = new QHBoxLayout;
  counters->setSpacing(4);
  counters->addWidget(m_editSendCount);
  counters->addWidget(m_checkInfo);
  counters->addWidget(m_editAckCount);
  counters->addStretch(1);
  middle->addLayout(counters);
  auto* feed = new QGridLayout;
  feed->setSpacing(4);
  feed->addWidget(m_controls[kHeadGroup], 0, 3, 1, 2);
  feed->addWidget(m_controls[kFeedYPlus], 0, 1);
  feed->addWidget(m_controls[kFeedXMinus], 1, 0);
  feed->addWidget(m_controls[kFeedDirection], 1, 1);
  feed->addWidget(m_controls[kFeedXPlus], 1, 2);
  feed->addWidget(m_controls[kSMinus], 1, 3);
  feed->addWidget(m_controls[kSPlus], 1, 4);
  feed->addWidget(m_controls[kFeedYMinus], 2, 1);
  feed->setColumnStretch(5, 1);
  middle->addLayout(feed);
  // Pumps two to a row, each with its head's box.
  auto* pumps = new QGridLayout;
  pumps->setHorizontalSpacing(4);
  pumps->setVerticalSpacing(2);
  for (int i = 0; i < 8; ++i) {
    pumps->addWidget(m_controls[kHeadBox[i]], i / 2, (i % 2) * 2);
    pumps->addWidget(m_pumps[i], i / 2, (i % 2) * 2 + 1);
  }
  pumps->setColumnStretch(1, 1);
  pumps->setColumnStretch(3, 1);
  middle->addLayout(pumps);
  // The positions, two to a row, under their caption.
  auto* positions = new QGridLayout(m_groupCoordinates);
  positions->setContentsMargins(4, 2, 4, 2);
  positions->setHorizontalSpacing(4);
  positions->setVerticalSpacing(2);
  positions->addWidget(m_coordinatesCaption, 0, 0, 1, 4);
  for (int i = 0; i < 4; ++i) {
    positions->addWidget(m_posLabels[i], 1 + i / 2, (i % 2) * 2);
    positions->addWidget(m_posBoxes[i], 1 + i / 2, (i % 2) * 2 + 1);
  }
  positions->setColumnStretch(1, 1);
  positions->setColumnStretch(3, 1);
  middle->addWidget(m_groupCoordinates);
  middle->addWidget(m_editInfo2);
  // The information box beside the jog pad, below the positions, so that
  // on a short screen it stays in sight with the pad.
  middle->addWidget(m_editInfo, 1);
  top->addLayout(middle, 1);
  root->addLayout(top, 1);

  // Small fixed controls of the pads and counters.
  for (int id : {kFeedXPlus, kFeedXMinus, kFeedYPlus, kFeedYMinus}) m_controls[id]->setFixedSize(30, 22);
  for (int id : {kSMinus, kSPlus}) m_controls[id]->setFixedSize(24, 22);
  for (int i = 0; i < 8; ++i) m_controls[kHeadBox[i]]->setFixedWidth(24);
  m_editSendCount->setFixedWidth(54);
  m_editAckCount->setFixedWidth(54);
  m_editInfo->setMinimumHeight(48);
  // The box fills what the pad leaves beside it; it asks for no room of its own.
  m_editInfo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  m_editInfo2->setFixedHeight(70);
  m_controls[kReset]->setMinimumHeight(30);
  m_btnOnline->setMinimumHeight(30);
}

// Buttons whose text changes keep the width of their longest text, so a
// state or side change never cuts a text off.
void CDialogManualControl::FitButtonToTexts(QWidget* button, const std::vector<std::string>& texts) {
  auto* b = static_cast<QPushButton*>(button);
  const QString shown = b->text();
  int width = 0;
  for (const std::string& t : texts) {
    b->setText(QString::fromStdString(t));
    width = std::max(width, b->sizeHint().width());
  }
  b->setText(shown);
  b->setMinimumWidth(width);
}

QWidget* CDialogManualControl::Control(int id) const {
  auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

bool CDialogManualControl::PumpChecked(int pump) const {
  return pump >= 1 && pump <= 8 && m_pumps[pump - 1]->isChecked();
}

void CDialogManualControl::LayoutForMachineModel(int /*machineType*/, bool autoTransport) {
  const int type = machine_.machineType;
  m_bAutoTransport = autoTransport;
  QRect pad;
  for (const auto& [id, place] : smt::link::JogPanelLayout(type, autoTransport)) {
    QWidget* w = Control(id);
    if (!w) continue;
    if (place.moved) {
      w->setGeometry(place.rect.x, place.rect.y, place.rect.w, place.rect.h);
      if (place.visible) pad |= w->geometry();
    }
    w->setVisible(place.visible);
  }
  // The pad is as big as the buttons of this machine type need.
  m_padArea->setFixedSize(pad.isValid() ? QSize(pad.right() + 1, pad.bottom() + 1) : QSize(0, 0));
  // A new layout starts with the first bank (platform 1 on the lamp machine).
  m_Jog.m_nHeadGroup = 1;
  Runtime().headGroup = 1;
  static_cast<QPushButton*>(m_controls[jogid::kHeadGroup])->setText(type == 4 ? "1" : "1-4");
  m_btnOnline->show();
  update();
}

std::function<void()> CDialogManualControl::LayoutHook() {
  return [this] { LayoutForMachineModel(machine_.machineType, smt::link::GetMotionSettings(machine_).autoTransport); };
}

void CDialogManualControl::RefreshStepDisplay() {
  m_stepDisplay->setText(QString::fromStdString(smt::link::StepDisplayText(m_Jog.Steps())));
}

std::string CDialogManualControl::StepDisplay() const { return m_stepDisplay->text().toStdString(); }

void CDialogManualControl::SetDirectionIcon() {
  // Icons 382..385 by side; another side leaves the button without one.
  static const char* const kSides[4] = {"c_ID_Feed_East", "c_ID_Feed_South", "c_ID_Feed_West", "c_ID_Feed_North"};
  auto* b = static_cast<QPushButton*>(m_controls[jogid::kFeedDirection]);
  const int side = m_Jog.m_Feed_Direction;
  if (side >= 0 && side <= 3) {
    b->setProperty("sideIcon", 382 + side);
    b->setText(QString::fromStdString(m_PanelTexts[kSides[side]]));
  } else {
    b->setProperty("sideIcon", 0);
    b->setText(m_Language == "Chinese" ? QString::fromUtf8("方位")
                                       : QString::fromStdString(m_PanelTexts["c_F_PosSwitch"]));
  }
}

void CDialogManualControl::ApplyEnableStates(bool enable) {
  const int type = machine_.machineType;
  for (const auto& [id, on] : smt::link::JogEnableStates(type, enable, smt::link::GetMotionSettings(machine_).autoTransport))
    if (QWidget* w = Control(id)) w->setEnabled(on);
  if (onEnableToolbarButton) {
    // "Start" follows a full home; "Pcb Clamp" on the conveyor machines.
    if (smt::link::MachineHoming::Of(machine_).m_nResetMode == 0) onEnableToolbarButton(106, enable);
    if ((type == 3 && smt::link::GetMotionSettings(machine_).autoTransport) || type == 7 || type == 8)
      onEnableToolbarButton(110, enable);
  }
}

bool CDialogManualControl::Jog(int axis, bool positive, bool repeat, bool useSteps, int steps) {
  return m_Jog.Jog(axis, positive, repeat, useSteps, steps);
}

bool CDialogManualControl::JogByKey(int key) { return m_Jog.JogByKey(key); }

int CDialogManualControl::NextSpeedGear() { return m_Jog.NextSpeedGear(); }

bool CDialogManualControl::JogOnPlatform(int axis, bool positive, int platform) {
  if (m_Jog.m_nHeadGroup != platform) OnHeadGroup();
  return Jog(axis, positive, true);
}

void CDialogManualControl::ReleaseJog() { m_Jog.Release(); }

int CDialogManualControl::WidthJogSteps() { return m_Jog.Steps().m_S_RunSteps; }

void CDialogManualControl::ShowConveyorTrace(bool shown) {
  if (QWidget* trace = Control(jogid::kInfo2)) trace->setVisible(shown);
}

void CDialogManualControl::ClearLiftOnce() { m_Jog.m_bLiftOnce = false; }

void CDialogManualControl::PressControl(int id) {
  if (id == jogid::kReset) {
    smt::link::MachineHoming::Of(machine_).OnResetAll();
    return;
  }
  const int type = machine_.machineType;
  int axis = 0;
  bool positive = true;
  if (smt::link::AxisButtonJog(id, type, m_Jog.m_nHeadGroup, axis, positive)) {
    if (type == 9 && (id == jogid::kAPlus[0] || id == jogid::kAMinus[0])) {
      // The drill's A1 alternates: the pressed direction waits for the other.
      const bool plus = id == jogid::kAPlus[0];
      m_controls[jogid::kAPlus[0]]->setEnabled(!plus);
      m_controls[jogid::kAMinus[0]]->setEnabled(plus);
    }
    if (!m_Jog.Jog(axis, positive, true, false, 0)) SayWhyNothingMoved();
    return;
  }
  if (IsFeederPad(id)) m_Jog.FeederPadPress(id);
}

std::string CDialogManualControl::JogNothingToMoveText(bool zeroStep) const {
  smt::platform::LanguageSection s(m_AppDir, m_Language, "ManualControlConfig");
  return zeroStep ? s.Text("ManualControl.c_JogZeroStep",
                           "点动步距为 0，轴没有移动：请在速度设置中设定点动步距，或用右键菜单选择点动档位。")
                  : s.Text("ManualControl.c_JogAtLimit",
                           "轴没有移动：此方向已到行程限位，剩余行程小于一个点动步距。行程限位在基本设置中设定。");
}

void CDialogManualControl::SayWhyNothingMoved() {
  using Nothing = smt::link::JogRunner::NothingToMove;
  const Nothing why = m_Jog.LastNothingToMove();
  if (why == Nothing::None) return;
  if (why == Nothing::Busy) {
    // A click while the machine still works on the last move is not sent:
    // said in the information box in sight, without a box to close at every click.
    smt::platform::LanguageSection s(m_AppDir, m_Language, "ManualControlConfig");
    const std::string busy = s.Text("ManualControl.c_JogBusy",
                                    "机器忙：上一个动作尚未完成，这次点动没有发送。请稍候再点。");
    AppendNotice(busy);
    return;
  }
  const std::string text = JogNothingToMoveText(why == Nothing::ZeroStep);
  // After the press has been handled: the box must not take the button's release.
  smt::platform::PostTo(this, [text] { smt::platform::ShowMessage(text); });
}

void CDialogManualControl::ReleaseControl(int id) {
  m_Jog.Release();
  if (id == jogid::kFeedDirection) m_Jog.FeederButtonRelease();
}

bool CDialogManualControl::HandleKey(QKeyEvent* e, bool down) {
  const bool arrow = e->key() == Qt::Key_Left || e->key() == Qt::Key_Right || e->key() == Qt::Key_Up ||
                     e->key() == Qt::Key_Down;
  if (!down) {
    if (arrow && !e->isAutoRepeat()) m_Jog.Release();
    return arrow;
  }
  // Ctrl+Shift: the second of the two keys arrives with the first as modifier.
  const auto mods = e->modifiers();
  if ((e->key() == Qt::Key_Shift && (mods & Qt::ControlModifier)) ||
      (e->key() == Qt::Key_Control && (mods & Qt::ShiftModifier)))
    NextSpeedGear();
  int key = 0;
  switch (e->key()) {
    case Qt::Key_Left: key = 2; break;
    case Qt::Key_Up: key = 3; break;
    case Qt::Key_Right: key = 1; break;
    case Qt::Key_Down: key = 4; break;
    default: return false;
  }
  if (!m_Jog.JogByKey(key) && !e->isAutoRepeat()) SayWhyNothingMoved();
  return true;
}

void CDialogManualControl::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e, true)) QWidget::keyPressEvent(e);
}

void CDialogManualControl::keyReleaseEvent(QKeyEvent* e) {
  if (!HandleKey(e, false)) QWidget::keyReleaseEvent(e);
}

bool CDialogManualControl::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  const int id = w ? w->property(kControlIdProperty).toInt() : 0;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::LeftButton) PressControl(id);
      else if (me->button() == Qt::RightButton && id == jogid::kReset) {
        QMenu* menu = BuildResetMenu(this);
        menu->exec(QCursor::pos());
        menu->deleteLater();
        return true;
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) ReleaseControl(id);
      break;
    case QEvent::KeyPress:
      if (HandleKey(static_cast<QKeyEvent*>(event), true)) return true;
      break;
    case QEvent::KeyRelease:
      if (HandleKey(static_cast<QKeyEvent*>(event), false)) return true;
      break;
    default: break;  // a double click only passes on
  }
  return QWidget::eventFilter(watched, event);
}

void CDialogManualControl::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    QMenu* menu = BuildPanelMenu(this);
    menu->exec(e->globalPosition().toPoint());
    menu->deleteLater();
    return;
  }
  QWidget::mousePressEvent(e);
}

QMenu* CDialogManualControl::BuildPanelMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  auto text = [this](const char* key) { return QString::fromStdString(m_PanelTexts[key]); };
  auto add = [this](QMenu* m, const QString& t, int command) {
    QAction* a = m->addAction(t);
    a->setData(command);
    connect(a, &QAction::triggered, this, [this, command] { OnMenuCommand(command); });
    return a;
  };
  struct Popup {
    const char* title;
    const char* items[4];
    int commands[4];
  };
  static constexpr Popup kPopups[5] = {
      {"c_XY_RunPositioning", {"c_ID_XY_RunFast", "c_ID_XY_RunMedium", "c_ID_XY_RunSlow", "c_ID_XY_RunFine"},
       {32954, 32955, 32956, 32957}},
      {"c_Z_RunPositioning", {"c_ID_Z_RunFast", "c_ID_Z_RunMedium", "c_ID_Z_RunSlow", "c_ID_Z_RunFine"},
       {32967, 32964, 32963, 32958}},
      {"c_A_RunPositioning", {"c_ID_A_RunFast", "c_ID_A_RunMedium", "c_ID_A_RunSlow", "c_ID_A_RunFine"},
       {32968, 32965, 32962, 32959}},
      {"c_F_RunPositioning", {"c_ID_Feed_RunFast", "c_ID_Feed_RunMedium", "c_ID_Feed_RunSlow", "c_ID_Feed_RunFine"},
       {32969, 32966, 32961, 32960}},
      {"c_S_RunPositioning", {"c_ID_S_RunFast", "c_ID_S_RunMedium", "c_ID_S_RunSlow", "c_ID_S_RunFine"},
       {33111, 33112, 33113, 33114}},
  };
  const int type = machine_.machineType;
  const bool eight = type == 7 || type == 8;
  for (int p = 0; p < 5; ++p) {
    QMenu* sub = menu->addMenu(text(kPopups[p].title));
    for (int i = 0; i < 4; ++i) add(sub, text(kPopups[p].items[i]), kPopups[p].commands[i]);
    if (eight && (p == 3 || p == 4)) sub->menuAction()->setEnabled(false);
  }
  menu->addSeparator();
  QMenu* side = menu->addMenu(text("c_F_PosSwitch"));
  add(side, text("c_ID_Feed_East"), 32970);
  add(side, text("c_ID_Feed_South"), 32971)->setEnabled(false);
  add(side, text("c_ID_Feed_West"), 32972);
  add(side, text("c_ID_Feed_North"), 32973);
  if (eight) side->menuAction()->setEnabled(false);
  menu->addSeparator();
  add(menu, text("c_CameraGetMark1Offset"), 33083);
  add(menu, text("c_CameraGetMark2Offset"), 33085);
  add(menu, text("c_CameraGetMarkOffset"), 33329);
  add(menu, text("c_ResetMarkOffset"), 33330);
  return menu;
}

QMenu* CDialogManualControl::BuildResetMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  auto add = [this, menu](const char* key, int command, bool enabled) {
    QAction* a = menu->addAction(QString::fromStdString(m_PanelTexts[key]));
    a->setData(command);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, [this, command] { OnMenuCommand(command); });
  };
  const int type = machine_.machineType;
  const bool feeds = type == 4 || (type != 7 && type != 8 && !smt::link::GetMotionSettings(machine_).autoTransport);
  add("c_ID_Reset_X", 33043, true);
  add("c_ID_Reset_Y", 33044, true);
  add("c_ID_Reset_Z", 32992, true);
  add("c_ID_Reset_XYZ", 33045, true);
  add(type == 4 ? "c_ID_Reset_X2" : "c_ID_Reset_EastWalk", 32988, feeds);
  add(type == 4 ? "c_ID_Reset_Y2" : "c_ID_Reset_WestWalk", 32986, feeds);
  add(type == 4 ? "c_ID_Reset_Z2" : "c_ID_Reset_NorthWalk", 32989, feeds);
  add("c_ID_Reset_SouthWalk", 32987, false);
  add("c_ID_SetAllZero", 32990, true);
  return menu;
}

void CDialogManualControl::OnMenuCommand(int command) {
  if (m_Jog.StepMenuCommand(command)) return;
  auto& homing = smt::link::MachineHoming::Of(machine_);
  switch (command) {
    case 32970: case 32971: case 32972: case 32973:
      m_Jog.m_Feed_Direction = command - 32970;
      SetDirectionIcon();
      break;
    case 33083:
    case 33085:
      smt::link::TakeMarkOffset(machine_, command == 33083 ? 1 : 2, m_PanelTexts["c_Message_19"],
                                smt::link::CurrentMarkCameraGeometry(machine_));
      break;
    case 33329:
      smt::link::StartMarkToMark(machine_, [this](int box, const std::string& t) { SetInfoBoxText(box, t); });
      break;
    case 33330: smt::link::ResetMarkOffsets(machine_); break;
    case 33043: homing.OnResetX(); break;
    case 33044: homing.OnResetY(); break;
    case 32992: homing.OnResetZ(); break;
    case 33045: homing.OnResetXYZ(); break;
    case 32988: homing.OnEastFeedReset(); break;
    case 32986: homing.OnWestFeedReset(); break;
    case 32989: homing.OnNorthFeedReset(); break;
    case 32987: homing.OnSouthFeedReset(); break;
    case 32990:
      if (onSetAllZero) onSetAllZero();
      break;
    default: break;
  }
}

void CDialogManualControl::SetInfoBoxText(int box, const std::string& text) {
  {
    std::lock_guard lk(m_TextMutex);
    (box == 2 ? m_Info2 : m_Info) = text;
  }
  (box == 2 ? m_editInfo2 : m_editInfo)->setPlainText(QString::fromStdString(text));
}

void CDialogManualControl::OnHeadGroup() {
  const int type = machine_.machineType;
  auto* b = static_cast<QPushButton*>(m_controls[jogid::kHeadGroup]);
  if (type == 4) {
    const int group = m_Jog.m_nHeadGroup == 1 ? 2 : 1;
    m_Jog.m_nHeadGroup = group;
    Runtime().headGroup = group;
    b->setText(QString::number(group));
    return;
  }
  if (type != 7 && type != 8) return;
  const int group = m_Jog.m_nHeadGroup != 1 ? 1 : 2;
  m_Jog.m_nHeadGroup = group;
  Runtime().headGroup = group;
  b->setText(group == 1 ? "1-4" : "5-8");
  for (int id : smt::link::HeadBankControls(group)) m_controls[id]->setVisible(true);
  for (int id : smt::link::HeadBankControls(group == 1 ? 2 : 1)) m_controls[id]->setVisible(false);
}

void CDialogManualControl::OnShowInformation() { m_bShowInformation = m_checkInfo->isChecked() ? 1 : 0; }

void CDialogManualControl::OnPump(int pump) {
  if (pump < 1 || pump > 8) return;
  // Offline the click only changes the mark.
  if (!machine_.connected) return;
  const bool on = m_pumps[pump - 1]->isChecked();
  smt::link::SwitchPump(machine_, pump, on);
  m_pumps[pump - 1]->setChecked(on);
}

void CDialogManualControl::ShowPositions(bool showX, int32_t x, bool showY, int32_t y, bool showZ, int32_t z,
                                         bool showA, int32_t a) {
  const smt::link::MotionSettings m = smt::link::GetMotionSettings(machine_);
  const bool pulses = m.showPulse;
  auto put = [&](int box, bool show, int32_t v, double scale) {
    if (!show) return;
    char b[48];
    if (pulses || scale == 0) std::snprintf(b, sizeof b, "%d", v);
    else std::snprintf(b, sizeof b, "%0.2f", v / scale);
    m_posBoxes[box]->setText(QString::fromUtf8(b));
  };
  put(0, showX, x, m.xPulse);
  put(1, showY, y, m.yPulse);
  put(2, showZ, z, m.zPulse);
  put(3, showA, a, m.aPulse);
}

std::string CDialogManualControl::PositionText(int which) const {
  if (which < 0 || which > 3) return {};
  return m_posBoxes[which]->text().toStdString();
}
