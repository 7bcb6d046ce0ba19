// The PCB editor's commands beside its list operations: the take-position
// buttons, the mark check boxes' interlocks, the live checks of the Mark
// camera values, the two hidden unlocks, and the import and two-mark test.
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/MachineState.h"
#include "job/CDialogPCBEdit.h"
#include "job/TakePosition.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

using smt::job::PcbTake;

namespace {
}

QWidget* CDialogPCBEdit::Control(const std::string& id) const {
  if (auto it = dbl_.find(id); it != dbl_.end()) return it->second;
  if (auto it = int_.find(id); it != int_.end()) return it->second;
  return findChild<QWidget*>(QString::fromStdString(id));
}

QPushButton* CDialogPCBEdit::AddTakeButton(int id, const char* key) {
  auto* p = new QPushButton(QString::fromStdString(Text(key)), this);
  p->setObjectName(QString("c_%1").arg(id));
  takeTexts_.emplace_back(p, key);
  connect(p, &QPushButton::clicked, this, [this, id] { OnTakePosition(id); });
  return p;
}

void CDialogPCBEdit::BuildCommands(QVBoxLayout* into) {
  auto* g = new QGridLayout;
  auto* get1 = new QPushButton("Get", this);
  get1->setObjectName("c_1096");
  textTargets_["PcbEdit.c_GetLight"] = get1;
  auto* get2 = new QPushButton("Get", this);
  get2->setObjectName("c_1097");
  textTargets_["PcbEdit.c_GetLight2"] = get2;
  auto* import = new QPushButton(this);
  import->setObjectName("c_1084");
  textTargets_["PcbEdit.c_ImportFile"] = import;
  auto* dmt = new QPushButton("DMT", this);
  dmt->setObjectName("c_1095");
  textTargets_["PcbEdit.c_DoubleMarkTest"] = dmt;
  g->addWidget(get1, 0, 0);
  g->addWidget(get2, 0, 1);
  g->addWidget(import, 0, 2, 1, 3);
  g->addWidget(dmt, 0, 5);
  connect(get1, &QPushButton::clicked, this, [this] { OnGetLight(false); });
  connect(get2, &QPushButton::clicked, this, [this] { OnGetLight(true); });
  connect(import, &QPushButton::clicked, this, [this] { OnImportFile(); });
  connect(dmt, &QPushButton::clicked, this, [this] { OnDoubleMarkTest(); });
  into->addLayout(g);

  connect(markEnable_, &QCheckBox::clicked, this, [this] { OnMarkEnableClicked(); });
  connect(eachMark_, &QCheckBox::clicked, this, [this] { OnEachMarkClicked(); });
  connect(manualMark_, &QCheckBox::clicked, this, [this] { OnManualMarkClicked(); });
  // The camera follows a box as soon as it holds a number in its range;
  // anything else waits for the OK, which names the field.
  connect(dbl_["c_1119"], &QLineEdit::textChanged, this, [this] {
    if (!building_ && dbl_["c_1119"]->Valid() && dbl_["c_1051"]->Valid()) OnVisualZoomChanged();
  });
  connect(dbl_["c_1051"], &QLineEdit::textChanged, this, [this] {
    if (!building_ && dbl_["c_1119"]->Valid() && dbl_["c_1051"]->Valid()) OnVisualBoxChanged();
  });
  connect(int_["c_1248"], &QLineEdit::textChanged, this, [this] {
    if (!building_ && int_["c_1248"]->Valid()) OnContrastChanged();
  });
  connect(int_["c_1053"], &QLineEdit::textChanged, this, [this] {
    if (!building_ && int_["c_1053"]->Valid()) OnBrightnessChanged();
  });
  for (const char* key : {"PcbEdit.c_VisualZoom", "PcbEdit.c_DetectPrecision"})
    if (auto it = textTargets_.find(key); it != textTargets_.end()) it->second->installEventFilter(this);
  LockCameraFields();
}

void CDialogPCBEdit::LockCameraFields() {
  dbl_["c_1119"]->setEnabled(false);
  int_["c_1121"]->setEnabled(false);
}

bool CDialogPCBEdit::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick) {
    if (o == textTargets_["PcbEdit.c_VisualZoom"]) OnUnlockVisualZoom();
    else if (o == textTargets_["PcbEdit.c_DetectPrecision"]) OnUnlockDetectPrecision();
  }
  return QDialog::eventFilter(o, e);
}

void CDialogPCBEdit::OnUnlockVisualZoom() { dbl_["c_1119"]->setEnabled(true); }
void CDialogPCBEdit::OnUnlockDetectPrecision() { int_["c_1121"]->setEnabled(true); }

void CDialogPCBEdit::OnTakePosition(int id) {
  auto& store = machine_.Part<smt::settings::SettingsStores>().machine;
  const auto pulse = store.Pulse();
  const auto basic = store.Basic();
  const double xp = pulse->m_X_Pulse, yp = pulse->m_Y_Pulse;
  const bool lamp = Type() == 4;
  const int platform = smt::link::RuntimeOf(machine_).headGroup.load();  // the jog panel's platform (1 or 2)
  // X readings: the second platform's X on the lamp machine (but the plain
  // origin X button); Y readings: the platform the jog panel drives.
  auto xPos = [&](bool second) { return lamp && second ? machine_.motion.curPlatform[0].load() : machine_.curX.load(); };
  auto yPos = [&]() -> int32_t {
    if (!lamp || platform == 1) return machine_.curY;
    if (platform == 2) return machine_.motion.curPlatform[1];
    return 0;  // no platform chosen: no defined reading
  };
  // An origin box that holds no number counts as 0 for the Mark readings.
  const double orgX = dbl_["c_1103"]->Valid().value_or(0), orgY = dbl_["c_1104"]->Valid().value_or(0);
  auto put = [&](const char* box, double v) { dbl_[box]->setValue(smt::job::NudgedValue(v)); };
  auto offset = [&](const char* box, const char* mark, int32_t pos, double pulseMm, double cam, double org) {
    dbl_[box]->setValue(smt::job::PcbMarkOffset(pos, pulseMm, cam, org, dbl_[mark]->Valid().value_or(0)));
  };
  const double camX = basic->m_X_CameraToNozzle1, camY = basic->m_Y_CameraToNozzle1;
  switch (id) {
    case 1361:
      put("c_1101", smt::job::PcbTakeValue(PcbTake::RowPitch, yPos(), lamp && platform == 2 ? m_nZeroY2 : m_nZeroY, yp, 0, 0));
      break;
    case 1362:
      put("c_1102", smt::job::PcbTakeValue(PcbTake::ColPitch, xPos(true), lamp ? m_nZeroX2 : m_nZeroX, xp, 0, 0));
      break;
    case 1233: put("c_1103", smt::job::PcbTakeValue(PcbTake::OriginX, xPos(false), 0, xp, 0, 0)); break;
    case 1234: put("c_1104", smt::job::PcbTakeValue(PcbTake::OriginY, yPos(), 0, yp, 0, 0)); break;
    case 1011: put("c_1103", smt::job::PcbTakeValue(PcbTake::OriginCamX, xPos(true), 0, xp, camX, 0)); break;
    case 1012: put("c_1104", smt::job::PcbTakeValue(PcbTake::OriginCamY, yPos(), 0, yp, camY, 0)); break;
    case 1019: put("c_1106", smt::job::PcbTakeValue(PcbTake::MarkCamX, xPos(true), 0, xp, camX, orgX)); break;
    case 1020: put("c_1107", smt::job::PcbTakeValue(PcbTake::MarkCamY, yPos(), 0, yp, camY, orgY)); break;
    case 1025: put("c_1108", smt::job::PcbTakeValue(PcbTake::MarkCamX, xPos(true), 0, xp, camX, orgX)); break;
    case 1026: put("c_1109", smt::job::PcbTakeValue(PcbTake::MarkCamY, yPos(), 0, yp, camY, orgY)); break;
    case 1022: offset("c_1112", "c_1106", machine_.curX, xp, camX, orgX); break;
    case 1024: offset("c_1113", "c_1107", machine_.curY, yp, camY, orgY); break;
    case 1027: offset("c_1114", "c_1108", machine_.curX, xp, camX, orgX); break;
    case 1028: offset("c_1115", "c_1109", machine_.curY, yp, camY, orgY); break;
    default: break;
  }
}

void CDialogPCBEdit::OnMarkEnableClicked() {
  if (markEnable_->isChecked()) return;
  manualMark_->setChecked(false);
  eachMark_->setChecked(false);
}

void CDialogPCBEdit::OnEachMarkClicked() {
  if (!markEnable_->isChecked()) eachMark_->setChecked(false);
}

void CDialogPCBEdit::OnManualMarkClicked() {
  if (!markEnable_->isChecked()) manualMark_->setChecked(false);
}

void CDialogPCBEdit::OnVisualZoomChanged() {
  const double zoom = dbl_["c_1119"]->value(), box = dbl_["c_1051"]->value();
  const int height = camera_->LiveImageHeight();
  if (static_cast<long long>(std::trunc(zoom * box)) > height) {
    smt::platform::ShowMessage(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_ParameterTooBig", "参数太大 !"));
    dbl_["c_1119"]->setFocus();
    dbl_["c_1119"]->selectAll();
    return;
  }
  camera_->ShowZoom(zoom);
}

void CDialogPCBEdit::OnVisualBoxChanged() {
  const double zoom = dbl_["c_1119"]->value(), box = dbl_["c_1051"]->value();
  const int height = camera_->LiveImageHeight();
  if (static_cast<long long>(std::trunc(zoom * box)) > height) {
    smt::platform::ShowMessage(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_ParameterTooBig", "参数太大 !"));
    dbl_["c_1051"]->setFocus();
    dbl_["c_1051"]->selectAll();
    return;
  }
  camera_->ShowBox(box);
}

void CDialogPCBEdit::OnContrastChanged() {
  const int v = int_["c_1248"]->value();
  if (v < 0 || v > 255) return int_["c_1248"]->selectAll();
  camera_->ShowContrast(v);
}

void CDialogPCBEdit::OnBrightnessChanged() {
  const int v = int_["c_1053"]->value();
  if (v < 0 || v > 255) return int_["c_1053"]->selectAll();
  camera_->ShowBrightness(v);
}

void CDialogPCBEdit::OnGetLight(bool mark2) {
  const auto [contrast, brightness] = camera_->Light();
  int_[mark2 ? "c_1125" : "c_1248"]->setValue(contrast);
  int_[mark2 ? "c_1129" : "c_1053"]->setValue(brightness);
}

void CDialogPCBEdit::OnImportFile() {
  if (job_.pcbs.m_strCurPcbName.empty()) return Message("PcbEdit.c_Message_01");
  // The import goes into the job only with this editor's OK: what it
  // replaces is kept until then.
  const std::string board = job_.pcbs.m_strCurPcbName;
  // The job's changes not saved are asked about before an import can
  // replace them (the editor's OK keeps the import); once asked, a second
  // import in the same opening of the editor asks nothing more.
  if (!importUndo_ && askBeforeImport && !askBeforeImport()) return;
  if (!importUndo_) importUndo_ = ImportUndo{{}, job_.shownPcbName, job_.placementRows};
  if (const smt::job::PcbRecord* rec = job_.pcbs.Find(board); rec && !importUndo_->parts.count(board))
    importUndo_->parts[board] = rec->m_Parts;
  openImportDialog();
}

void CDialogPCBEdit::UndoImport() {
  if (!importUndo_) return;
  ImportUndo undo = std::move(*importUndo_);
  importUndo_.reset();
  for (auto& [name, parts] : undo.parts)
    if (smt::job::PcbRecord* rec = job_.pcbs.Find(name)) rec->m_Parts = std::move(parts);
  if (job_.shownPcbName == undo.shownPcbName) {
    job_.placementRows = std::move(undo.shownRows);
    job_.NotifyRows(smt::job::RowKind::Placement);
  }
}

void CDialogPCBEdit::OnDoubleMarkTest() {
  openDoubleMarkTest();
}
