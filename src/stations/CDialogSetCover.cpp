#include "stations/CDialogSetCover.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "platform/NumberEdit.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "stations/CoverTapeUnit.h"
#include "platform/RefusalTexts.h"

using namespace smt::stations;

namespace {
struct Field {
  const char* label;
  int CoverTapeSettings::*member;
  int lo, hi;
};
const Field kFields[7] = {
    {"SetCover.c_StepPulse", &CoverTapeSettings::m_StepPulse, 1, 10000},
    {"SetCover.c_CoverTotal", &CoverTapeSettings::m_CoverTotal, 1, 100000},
    {"SetCover.c_CoverOnceTotal", &CoverTapeSettings::m_CoverOnceTotal, 1, 100},
    {"SetCover.c_BlankTotal", &CoverTapeSettings::m_BlankTotal, 1, 1000},
    {"SetCover.c_CoverDelay", &CoverTapeSettings::m_CoverDelay, 1, 100000},
    {"SetCover.c_CoverTotalCount", &CoverTapeSettings::m_CoverTotalCount, 0, 100000},
    {"SetCover.c_CoverCount", &CoverTapeSettings::m_CoverCount, 0, 1000},
};
const char* kTestKeys[6] = {"SetCover.C_StepTest",  "SetCover.C_CollectTest",    "SetCover.C_BlankTest",
                            "SetCover.C_CoverTest", "SetCover.C_BlankCoverTest", "SetCover.C_LockTest"};
}  // namespace

CDialogSetCover::CDialogSetCover(smt::Machine& machine, std::string appDir, const std::string& language, QWidget* parent)
    : QDialog(parent), machine_(machine), appDir_(std::move(appDir)), texts_(CoverTapeTextTable()) {
  auto* grid = new QGridLayout;
  for (int i = 0; i < 7; ++i) {
    m_labels[i] = new QLabel;
    m_edits[i] = new smt::platform::NumberEdit(nullptr, kFields[i].lo, kFields[i].hi, -1);
    m_edits[i]->setObjectName(QString::fromUtf8(kFields[i].label).section('.', 1).replace("c_", "m_"));
    grid->addWidget(m_labels[i], i, 0);
    grid->addWidget(m_edits[i], i, 1);
  }
  for (int i = 0; i < 6; ++i) {
    m_tests[i] = new QPushButton;
    grid->addWidget(m_tests[i], i, 2);
    connect(m_tests[i], &QPushButton::clicked, this, [this, i] { OnTest(i + 1); });
  }
  m_ok = new QPushButton("OK");
  connect(m_ok, &QPushButton::clicked, this, &CDialogSetCover::accept);
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addWidget(m_ok);
  LoadConfig(appDir_);
  LoadLanguage(appDir_, language);
}

void CDialogSetCover::LoadConfig(const std::string& appDir) {
  const CoverTapeSettings s = CoverTapeSettings::Load(appDir);
  for (int i = 0; i < 7; ++i) m_edits[i]->setValue(s.*kFields[i].member);
}

void CDialogSetCover::LoadLanguage(const std::string& appDir, const std::string& language) {
  texts_.Load(appDir, language, "SetCoverConfig", CoverTapeTextTable());
  setWindowTitle(QString::fromStdString(texts_.Text("SetCover.c_SetCover")));
  for (int i = 0; i < 7; ++i) m_labels[i]->setText(QString::fromStdString(texts_.Text(kFields[i].label)));
  for (int i = 0; i < 6; ++i) m_tests[i]->setText(QString::fromStdString(texts_.Text(kTestKeys[i])));
}

bool CDialogSetCover::TakeValues(CoverTapeSettings& out) {
  // Each box whole and in its range, or the refusal naming it; nothing taken before all pass.
  for (auto* e : m_edits)
    if (!e->Read()) return false;
  for (int i = 0; i < 7; ++i) out.*kFields[i].member = static_cast<int>(m_edits[i]->value());
  return true;
}

void CDialogSetCover::OnTest(int test) {
  // Guards first, in their order, then the values.
  if (!machine_.connected.load() || !machine_.resetDone.load() || machine_.machineBusy.load()) {
    StartCoverTest(machine_, test, {}, DefaultCoverTapeIo(machine_));  // reports the refusal
    return;
  }
  CoverTapeSettings s;
  if (!TakeValues(s)) return;
  CoverTapeIo io = DefaultCoverTapeIo(machine_);
  QPointer<CDialogSetCover> self(this);
  io.enableDialog = [self](bool on) {
    smt::platform::PostToGui([self, on] {
      if (self) self->setEnabled(on);
    });
  };
  StartCoverTest(machine_, test, s, io);
}

void CDialogSetCover::accept() {
  CoverTapeSettings s;
  if (!TakeValues(s)) return;
  if (!s.Save(appDir_)) smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_CoverNotSaved", "盖带设置无法保存 !"));
  QDialog::accept();
}
