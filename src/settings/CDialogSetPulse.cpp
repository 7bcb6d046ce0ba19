#include "settings/CDialogSetPulse.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/DialogSupport.h"
#include "settings/MachineSettingsStore.h"
#include "core/Machine.h"
#include "platform/RefusalTexts.h"

namespace smt::settings {

namespace {

// Values of the generator and check fields and the run-axis choice: kept
// while the program runs, never stored.
struct CalculatorMemory {
  QString stepAngle = "0", microsteps = "0", diameter = "0", linear = "0", angle = "0";
  QString testDistance = "0", measured = "0", check = "0";
  int driveMode = -1;
  int runAxis = 0;
};
CalculatorMemory& Memory(smt::Machine& machine) { return machine.Part<CalculatorMemory>(); }

const char* kScaleLabels[12][2] = {
    {"X_Pulse", "X  轴脉冲"},           {"Y_Pulse", "Y  轴脉冲"},          {"Z_Pulse", "Z  轴脉冲"},
    {"A_Pulse", "A 轴脉冲"},            {"WestWalk_Pulse", "西面走位脉冲"}, {"WestLift_Pulse", "西面拉皮脉冲"},
    {"NorthWalk_Pulse", "北面走位脉冲"}, {"NorthLift_Pulse", "北面拉皮脉冲"}, {"EastWalk_Pulse", "东面走位脉冲"},
    {"EastLift_Pulse", "东面拉皮脉冲"},  {"AutoWalk1_Pulse", "自动进料1脉冲"}, {"AutoWalk2_Pulse", "自动进料2脉冲"}};

const char* kMotorNames[kPulseMotorCount][2] = {
    {"X_Motor", "X 轴电机"},           {"X2_Motor", "X2 轴电机"},         {"Y_Motor", "Y 轴电机"},
    {"Y2_Motor", "Y2 轴电机"},         {"Z1_Motor", "Z1 轴电机"},         {"Z2_Motor", "Z2 轴电机"},
    {"Z3_Motor", "Z3 轴电机"},         {"A1_Motor", "A1 轴电机"},         {"A2_Motor", "A2 轴电机"},
    {"A3_Motor", "A3 轴电机"},         {"A4_Motor", "A4 轴电机"},         {"WestWalk_Motor", "西面走位电机"},
    {"WestLift_Motor", "西面拉皮电机"}, {"NorthWalk_Motor", "北面走位电机"}, {"NorthLift_Motor", "北面拉皮电机"},
    {"EastWalk_Motor", "东面走位电机"}, {"EastLift_Motor", "东面拉皮电机"},  {"AutoWalk1_Motor", "自动进料1电机"},
    {"AutoWalk2_Motor", "自动进料2电机"}};

QString CalcErrorText(PulseCalcError e) {
  switch (e) {
    case PulseCalcError::ZeroStepAngle: return "步进角不能为 0 !\r\nThe step angle must not be 0.";
    case PulseCalcError::ZeroDiameter: return "直径或螺距不能为 0 !\r\nThe diameter or pitch must not be 0.";
    case PulseCalcError::ZeroMeasuredDistance:
      return "测量距离不能为 0 !\r\nThe measured distance must not be 0.";
    default: return {};
  }
}

}  // namespace

QString CDialogSetPulse::Text(const char* name, const char* def) const {
  platform::LanguageSection lang(appDir_, language_, "SetPulseConfig");
  return QString::fromStdString(lang.Text(std::string("SetPulse.c_") + name, def));
}

CDialogSetPulse::CDialogSetPulse(smt::Machine& machine, MachineSettingsStore& store, std::string appDir,
                                 std::string language, QWidget* parent, PulseTestRunner* runner)
    : QDialog(parent), machine_(machine), store_(store), appDir_(std::move(appDir)), language_(std::move(language)), runner_(runner) {
  setObjectName("CDialogSetPulse");
  setWindowTitle(Text("SetPulse", "脉冲设置"));
  const int type = machine_.machineType.load();
  const auto p = store_.Pulse();
  auto* outer = new QHBoxLayout(this);

  auto* values = new QGroupBox(Text("PulseParameters", "脉冲参数"), this);
  auto* vg = new QGridLayout(values);
  for (int i = 0; i < 12; ++i) {
    const auto& f = PulseFields()[i];
    auto* e = new QLineEdit(NumberText(p.get()->*f.member), values);
    e->setObjectName(f.key);
    edits_[f.key] = e;
    vg->addWidget(new QLabel(Text(kScaleLabels[i][0], kScaleLabels[i][1]), values), i, 0);
    vg->addWidget(e, i, 1);
    const bool feeder = i >= 4;
    if ((type == 4 || type == 6) && feeder) e->setEnabled(false);
    if ((type == 7 || type == 8) && (i == 4 || i == 6 || i == 8)) e->setEnabled(false);
  }
  auto* note = new QLabel(Text("Note", "脉冲设置注意事项: 已校准的脉冲值不要随意修改。"), values);
  note->setWordWrap(true);
  vg->addWidget(note, 12, 0, 1, 2);
  outer->addWidget(values);

  auto& mem = Memory(machine_);
  auto* right = new QVBoxLayout;
  auto* gen = new QGroupBox(Text("PulseGenerate", "脉冲生成器"), this);
  auto* gg = new QGridLayout(gen);
  auto addEdit = [&](QGridLayout* g, const char* name, const QString& label, const QString& value, int row) {
    auto* e = new QLineEdit(value, gen);
    e->setObjectName(name);
    edits_[name] = e;
    g->addWidget(new QLabel(label), row, 0);
    g->addWidget(e, row, 1);
    return e;
  };
  addEdit(gg, "stepAngle", Text("StepAngle", "步进电机步进角"), mem.stepAngle, 0);
  addEdit(gg, "microsteps", Text("SubDivide", "步进驱动器细分值"), mem.microsteps, 1);
  addEdit(gg, "diameter", Text("DiameterOrScrewPitch", "同步轮直径或丝杆螺距"), mem.diameter, 2);
  pulley_ = new QRadioButton(Text("SynchronousWheel", "同步轮"), gen);
  screw_ = new QRadioButton(Text("ScrewRod", "丝杆"), gen);
  auto* modes = new QButtonGroup(gen);
  modes->addButton(pulley_, 0);
  modes->addButton(screw_, 1);
  if (mem.driveMode == 0) pulley_->setChecked(true);
  if (mem.driveMode == 1) screw_->setChecked(true);
  gg->addWidget(new QLabel(Text("DriveModel", "传动方式")), 3, 0);
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(pulley_);
  modeRow->addWidget(screw_);
  gg->addLayout(modeRow, 3, 1);
  addEdit(gg, "linear", Text("LinearPulse", "线性运动1mm所需脉冲数为"), mem.linear, 4);
  addEdit(gg, "angle", Text("AnglePulse", "转角运动1度所需脉冲数为"), mem.angle, 5);
  auto* genButton = new QPushButton(Text("ProducePulse", "生成脉冲"), gen);
  connect(genButton, &QPushButton::clicked, this, &CDialogSetPulse::OnGenerate);
  gg->addWidget(genButton, 6, 1);
  right->addWidget(gen);

  auto* ver = new QGroupBox(Text("PulseVerify", "脉冲校验"), this);
  auto* cg = new QGridLayout(ver);
  runAxis_ = new QComboBox(ver);
  for (auto m : RunAxisList(type)) {
    const auto& n = kMotorNames[static_cast<int>(m)];
    runAxis_->addItem(Text(n[0], n[1]));
  }
  if (mem.runAxis >= 0 && mem.runAxis < runAxis_->count()) runAxis_->setCurrentIndex(mem.runAxis);
  cg->addWidget(new QLabel(Text("SelectAxis", "运行轴选择")), 0, 0);
  cg->addWidget(runAxis_, 0, 1);
  addEdit(cg, "testDistance", Text("RunTest", "测试运行"), mem.testDistance, 1);
  auto* run = new QPushButton(Text("Execute", "执行"), ver);
  connect(run, &QPushButton::clicked, this, &CDialogSetPulse::OnTestRun);
  cg->addWidget(run, 1, 2);
  addEdit(cg, "measured", Text("DistanceTest", "测量距离"), mem.measured, 2);
  addEdit(cg, "check", Text("VerifyPulseValue", "脉冲校验值"), mem.check, 3);
  auto* check = new QPushButton(Text("VerifyPulse", "校验脉冲"), ver);
  connect(check, &QPushButton::clicked, this, &CDialogSetPulse::OnCheck);
  cg->addWidget(check, 3, 2);
  right->addWidget(ver);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text("IDOK", "确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(Text("IDCANCEL", "取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDialogSetPulse::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDialogSetPulse::reject);
  right->addWidget(buttons);
  outer->addLayout(right);
}

bool CDialogSetPulse::TakeScratch(PulseSettings& p) {
  for (const auto& f : PulseFields()) {
    auto v = TakeNumber(edits_.at(f.key), kPulseMin, kPulseMax, false);
    if (!v) return false;
    p.*f.member = *v;
  }
  return true;
}

void CDialogSetPulse::OnGenerate() {
  const int mode = pulley_->isChecked() ? 0 : screw_->isChecked() ? 1 : -1;
  if (mode < 0) {
    platform::ShowMessage(Text("Message_01", "请选择传动方式 !").toStdString());
    return;
  }
  auto a = TakeNumber(edits_["stepAngle"], 1, 0, false);
  if (!a) return;
  auto m = TakeNumber(edits_["microsteps"], 1, 0, true);
  if (!m) return;
  auto d = TakeNumber(edits_["diameter"], 1, 0, false);
  if (!d) return;
  const auto r = GeneratePulses(mode, *a, static_cast<int>(*m), *d);
  if (r.error != PulseCalcError::None) {
    platform::ShowMessage(CalcErrorText(r.error).toStdString());
    return;
  }
  edits_["linear"]->setText(NumberText(r.value.pulsesPerMm));
  edits_["angle"]->setText(NumberText(r.value.pulsesPerDegree));
}

void CDialogSetPulse::OnCheck() {
  PulseSettings scratch;
  if (!TakeScratch(scratch)) return;
  auto test = TakeNumber(edits_["testDistance"], -10000, 10000, false);
  if (!test) return;
  auto measured = TakeNumber(edits_["measured"], -10000, 10000, false);
  if (!measured) return;
  auto scale = CheckScaleAt(scratch, machine_.machineType.load(), runAxis_->currentIndex());
  if (!scale) return;
  const auto r = CheckPulseValue(*test, *scale, *measured);
  if (r.error != PulseCalcError::None) {
    platform::ShowMessage(CalcErrorText(r.error).toStdString());
    return;
  }
  edits_["check"]->setText(NumberText(r.value));
}

void CDialogSetPulse::OnTestRun() {
  if (!CheckMachineReady(machine_)) return;
  PulseSettings scratch;
  if (!TakeScratch(scratch)) return;
  auto test = TakeNumber(edits_["testDistance"], -10000, 10000, false);
  if (!test) return;
  TestRunPositions pos;
  if (runner_) pos = runner_->CurrentPositions();
  pos.x = machine_.curX.load();
  pos.y = machine_.curY.load();
  for (int i = 0; i < 8; ++i) pos.z[i] = machine_.curZ[i].load();
  const auto plan = PlanTestRun(machine_.machineType.load(), runAxis_->currentIndex(), *test, scratch, *store_.Basic(), pos);
  if (!plan.valid) return;
  if (!runner_) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NoFunction", "此功能不可用 !"));
    return;
  }
  if (plan.outputOff) runner_->SwitchOutputOff(plan.outputOff);
  if (plan.refusedByLimit) {
    platform::ShowMessage(Text("Message_02", "测试的数据越限 !").toStdString());
    return;
  }
  runner_->Jog(plan.jogAxis, plan.direction, plan.steps);
}

bool CDialogSetPulse::TryAccept() {
  PulseSettings edited;
  if (!TakeScratch(edited)) return false;
  for (const char* name : {"testDistance", "measured"})
    if (!TakeNumber(edits_[name], -10000, 10000, false)) return false;
  if (!store_.CommitPulse(appDir_, edited).ok) return false;
  auto& mem = Memory(machine_);
  mem.stepAngle = edits_["stepAngle"]->text();
  mem.microsteps = edits_["microsteps"]->text();
  mem.diameter = edits_["diameter"]->text();
  mem.linear = edits_["linear"]->text();
  mem.angle = edits_["angle"]->text();
  mem.testDistance = edits_["testDistance"]->text();
  mem.measured = edits_["measured"]->text();
  mem.check = edits_["check"]->text();
  mem.driveMode = pulley_->isChecked() ? 0 : screw_->isChecked() ? 1 : -1;
  mem.runAxis = runAxis_->currentIndex();
  return true;
}

void CDialogSetPulse::accept() {
  if (TryAccept()) QDialog::accept();
}

}  // namespace smt::settings
