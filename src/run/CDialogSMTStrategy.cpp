#include "run/CDialogSMTStrategy.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>

#include "core/MachineState.h"
#include "job/ListNumbers.h"
#include "job/PartListData.h"
#include "library/NozzleSeats.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/SettingsSection.h"
#include "platform/RefusalTexts.h"

namespace smt::run {
const std::vector<int>& HeadModeIds() {
  static const std::vector<int> ids{1018, 1019, 1027, 1030, 1031, 1035, 1053, 1054, 1052};
  return ids;
}
const std::vector<int>& RunModeIds() {
  static const std::vector<int> ids{1022, 1023, 1032, 1024, 1025, 1029, 1026, 1028, 1034, 1038, 1044, 1042, 1043};
  return ids;
}
const std::vector<int>& ChangeNozzleIds() {
  static const std::vector<int> ids{1039, 1040, 1041};
  return ids;
}
}  // namespace smt::run

namespace {

using smt::platform::ShowMessage;
using smt::run::SmtStrategy;

struct TextDef {
  const char* key;
  const char* def;
};

const TextDef kTexts[] = {
    {"Title", "贴装方案选择"},
    {"IDCANCEL", "Cancel"},
    {"Order0", "元件编号"}, {"Order1", "X坐标"}, {"Order2", "Y坐标"}, {"Order3", "元件角度"},
    {"Order4", "元件名称"}, {"Order5", "元件类型"}, {"Order6", "元件封装"}, {"Order7", "元件高度"},
    {"Order8", "料架编号"}, {"Order9", "贴装头编号"},
    {"1018", "单头单个贴装"}, {"1019", "双头相同吸嘴"}, {"1027", "双头不同吸嘴"}, {"1030", "四头相同吸嘴"},
    {"1031", "四头不同吸嘴"}, {"1035", "指定第4头吸嘴"}, {"1053", "八头相同吸嘴"}, {"1054", "八头不同吸嘴"},
    {"1052", "指定吸嘴开始于"},
    {"1022", "贴装"}, {"1023", "点胶"}, {"1032", "点胶->贴装"}, {"1024", "吸嘴模拟"}, {"1025", "相机元件坐标检查"},
    {"1029", "相机模拟料架->元件"}, {"1026", "送料运行->相机检查"}, {"1028", "相机料架坐标检查"}, {"1034", "注胶"},
    {"1038", "点红胶->点锡盘Y1"}, {"1044", "点红胶->点锡盘Y1Y2"}, {"1042", "点胶贴片->Y1"}, {"1043", "点胶贴片->Y1Y2"},
    {"1039", "更换A1A2"}, {"1040", "不更换A1"}, {"1041", "不更换A2"},
    {"1055", "启用连发指令"}, {"1060", "区分相机"}, {"1036", "启用自动换吸嘴"}, {"1051", "19位吸嘴库"},
    {"1037", "2号贴装头避开1号相机"}, {"1458", "封皮"}, {"1459", "设置"}, {"1513", "启用"}, {"1141", "重置序号"},
    {"1460", "点胶方式2"},
    {"1005", "检查时间间隔"}, {"1006", "点胶延时"}, {"1059", "指定吸嘴开始于"},
    {"GroupOrder", "贴装顺序"}, {"GroupHead", "贴装头方式"}, {"GroupRun", "运行方式"}, {"GroupDispense", "点胶参数"},
    {"1021", "XY起始速度"}, {"1020", "XY运行速度"}, {"1057", "Z起始速度"}, {"1058", "Z运行速度"},
    {"1050", "点胶点数"}, {"1045", "焊盘距离1"}, {"1049", "焊盘距离2"}, {"1007", "开阀点1"}, {"1008", "关阀点1"},
    {"1010", "关阀后延时1"}, {"1046", "开阀点2"}, {"1047", "关阀点2"}, {"1048", "关阀后延时2"},
    {"Message_01", "启用自动换吸嘴后，请把贴片头上的吸嘴放到吸嘴库上去 !"},
    {"Message_02", "修改选项后必须重新启动软件 !"},
};

// Edits: id, integer member or double member, range.
struct EditDef {
  int id;
  int SmtStrategy::*i;
  double SmtStrategy::*d;
  double lo, hi;
};
const EditDef kEdits[] = {
    {1059, &SmtStrategy::m_SpecialHead, nullptr, 2, 8},
    {1005, &SmtStrategy::m_Interval, nullptr, 0, 10000},
    {1006, &SmtStrategy::m_DropsGlueDelay, nullptr, 0, 10000},
    {1021, &SmtStrategy::m_DisSpeedStart_XY, nullptr, 1, 255},
    {1020, &SmtStrategy::m_DisSpeedNormal_XY, nullptr, 1, 255},
    {1057, &SmtStrategy::m_DisSpeedStart_Z, nullptr, 1, 255},
    {1058, &SmtStrategy::m_DisSpeedNormal_Z, nullptr, 1, 255},
    {1050, &SmtStrategy::m_DropsGluePoint, nullptr, 1, 4},
    {1045, nullptr, &SmtStrategy::m_WeldDistance_1, 0, 30},
    {1049, nullptr, &SmtStrategy::m_WeldDistance_2, 0, 30},
    {1007, nullptr, &SmtStrategy::m_DropsGlueOpen1, 0, 100},
    {1008, nullptr, &SmtStrategy::m_DropsGlueClose1, 0, 100},
    {1010, &SmtStrategy::m_AfterCloseDelay1, nullptr, 0, 10000},
    {1046, nullptr, &SmtStrategy::m_DropsGlueOpen2, 0, 100},
    {1047, nullptr, &SmtStrategy::m_DropsGlueClose2, 0, 100},
    {1048, &SmtStrategy::m_AfterCloseDelay2, nullptr, 0, 10000},
};

struct CheckDef {
  int id;
  int SmtStrategy::*member;
};
const CheckDef kChecks[] = {{1055, &SmtStrategy::m_TogetherCode}, {1060, &SmtStrategy::m_Camera},
                            {1036, &SmtStrategy::m_AutoChangeNozzle}, {1051, &SmtStrategy::m_19NozzleLibrary},
                            {1037, &SmtStrategy::m_Head2AvoidCamera1}, {1458, &SmtStrategy::m_Cover},
                            {1460, &SmtStrategy::m_bDisMode2}};

const std::vector<int>& DisabledOfType(int type) {
  static const std::map<int, std::vector<int>> t{
      {0, {1052, 1019, 1027, 1030, 1031, 1035, 1053, 1054, 1023, 1034, 1032, 1038, 1044, 1042, 1043, 1055}},
      {1, {1052, 1019, 1027, 1030, 1031, 1035, 1053, 1054, 1038, 1044, 1042, 1043, 1055}},
      {2, {1052, 1030, 1031, 1035, 1053, 1054, 1034, 1038, 1044, 1042, 1043, 1055}},
      {3, {1053, 1054, 1034, 1458, 1459, 1038, 1044, 1042, 1043, 1055}},
      {4, {1052, 1035, 1053, 1054, 1022, 1023, 1034, 1032, 1458, 1459, 1024, 1025, 1029, 1026, 1028, 1036, 1055}},
      {5, {1052, 1030, 1031, 1035, 1053, 1054, 1023, 1034, 1032, 1038, 1044, 1042, 1043, 1055}},
      {6, {1052, 1053, 1054, 1034, 1458, 1459, 1038, 1044, 1042, 1043, 1055}},
      {7, {1052, 1034, 1458, 1459, 1038, 1044, 1042, 1043}},
  };
  static const std::vector<int> none;
  const int key = type == 10 ? 2 : type == 8 ? 7 : type;
  auto it = t.find(key);
  return it == t.end() ? none : it->second;
}

}  // namespace

CDialogSMTStrategy::CDialogSMTStrategy(SmtStrategy values, smt::Machine& machine, Environment env, QWidget* parent)
    : QDialog(parent), values_(std::move(values)), machine_(machine), env_(std::move(env)) {
  LoadLanguage();
  Build();
  ShowValues();
  ApplyMachineType();
}

void CDialogSMTStrategy::LoadLanguage() {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, smt::run::kStrategySection);
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("SmtStrategy.c_") + t.key, t.def);
}

std::string CDialogSMTStrategy::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

QAbstractButton* CDialogSMTStrategy::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

QLineEdit* CDialogSMTStrategy::Edit(int id) const {
  auto it = edits_.find(id);
  return it == edits_.end() ? nullptr : it->second;
}

void CDialogSMTStrategy::Build() {
  setWindowTitle(QString::fromStdString(Text("Title")));
  auto q = [this](const std::string& k) { return QString::fromStdString(Text(k)); };
  auto* top = new QGridLayout(this);
  auto radioGroup = [&](const char* titleKey, const std::vector<int>& ids, int row, int col) {
    auto* box = new QGroupBox(q(titleKey), this);
    auto* lay = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (int id : ids) {
      auto* r = new QRadioButton(q(std::to_string(id)), box);
      group->addButton(r, id);
      lay->addWidget(r);
      buttons_[id] = r;
      connect(r, &QRadioButton::clicked, this, [this, id] { OnControl(id); });
    }
    top->addWidget(box, row, col);
    return lay;
  };
  {
    auto* box = new QGroupBox(q("GroupOrder"), this);
    auto* lay = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < 10; ++i) {
      auto* r = new QRadioButton(q("Order" + std::to_string(i)), box);
      group->addButton(r, i);
      lay->addWidget(r);
      orderRadios_.push_back(r);
    }
    top->addWidget(box, 0, 0);
  }
  auto* headLay = radioGroup("GroupHead", smt::run::HeadModeIds(), 0, 1);
  {
    auto* e = new QLineEdit(this);
    edits_[1059] = e;
    headLay->addWidget(e);
    auto* nozzleBox = new QGroupBox(this);
    auto* nl = new QVBoxLayout(nozzleBox);
    auto* g = new QButtonGroup(nozzleBox);
    for (int id : smt::run::ChangeNozzleIds()) {
      auto* r = new QRadioButton(q(std::to_string(id)), nozzleBox);
      g->addButton(r, id);
      nl->addWidget(r);
      buttons_[id] = r;
      connect(r, &QRadioButton::clicked, this, [this, id] { OnControl(id); });
    }
    headLay->addWidget(nozzleBox);
  }
  radioGroup("GroupRun", smt::run::RunModeIds(), 0, 2);
  auto* checks = new QVBoxLayout;
  for (int id : {1055, 1060, 1036, 1513, 1051, 1037, 1458}) {
    auto* c = new QCheckBox(q(std::to_string(id)), this);
    buttons_[id] = c;
    checks->addWidget(c);
    connect(c, &QCheckBox::clicked, this, [this, id] { OnControl(id); });
  }
  // The two page buttons sit on the bottom row beside OK and Cancel.
  auto* bottom = new QHBoxLayout;
  for (int id : {1459, 1141}) {
    auto* b = new QPushButton(q(std::to_string(id)), this);
    buttons_[id] = b;
    bottom->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, id] { OnControl(id); });
  }
  bottom->addStretch(1);
  // The options under the order, the dispensing values across the foot of
  // the head and run modes: the page fits a 768-line screen.
  checks->addStretch(1);
  top->addLayout(checks, 1, 0);
  auto* disBox = new QGroupBox(q("GroupDispense"), this);
  auto* grid = new QGridLayout(disBox);
  int n = 0;
  for (const auto& e : kEdits) {
    if (e.id == 1059) continue;
    auto* edit = new QLineEdit(disBox);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("0000.0000") + 12);
    edits_[e.id] = edit;
    grid->addWidget(new QLabel(q(std::to_string(e.id)), disBox), n / 4, (n % 4) * 2);
    grid->addWidget(edit, n / 4, (n % 4) * 2 + 1);
    ++n;
  }
  {
    auto* c = new QCheckBox(q("1460"), disBox);
    buttons_[1460] = c;
    grid->addWidget(c, (n + 3) / 4, 0, 1, 2);
  }
  top->addWidget(disBox, 1, 1, 1, 2);
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(ok, &QDialogButtonBox::accepted, this, &CDialogSMTStrategy::accept);
  connect(ok, &QDialogButtonBox::rejected, this, &CDialogSMTStrategy::reject);
  ok->button(QDialogButtonBox::Cancel)->setText(q("IDCANCEL"));
  bottom->addWidget(ok);
  top->addLayout(bottom, 2, 0, 1, 3);
  Button(1051)->setEnabled(false);  // "启用" unlocks it
}

void CDialogSMTStrategy::ShowValues() {
  const auto& v = values_;
  for (int i = 0; i < 10; ++i) orderRadios_[static_cast<size_t>(i)]->setChecked(v.m_SmtOrder == i);
  auto pick = [this](const std::vector<int>& ids, int value) {
    for (size_t i = 0; i < ids.size(); ++i) Button(ids[i])->setChecked(static_cast<int>(i) == value);
  };
  pick(smt::run::HeadModeIds(), v.m_HeaderSelect);
  pick(smt::run::RunModeIds(), v.m_RunSelect);
  pick(smt::run::ChangeNozzleIds(), v.m_ChangeNozzleSelect);
  for (const auto& c : kChecks) Button(c.id)->setChecked(v.*(c.member) != 0);
  for (const auto& e : kEdits) {
    char buf[32];
    if (e.i) std::snprintf(buf, sizeof buf, "%d", v.*(e.i));
    else std::snprintf(buf, sizeof buf, "%0.4f", v.*(e.d));
    Edit(e.id)->setText(buf);
  }
  Button(1459)->setEnabled(v.m_Cover != 0);
}

int CDialogSMTStrategy::CheckedIn(const std::vector<int>& ids) const {
  for (size_t i = 0; i < ids.size(); ++i)
    if (Button(ids[i])->isChecked()) return static_cast<int>(i);
  return -1;
}

bool CDialogSMTStrategy::ReadValues(SmtStrategy& out) {
  out = values_;
  out.m_SmtOrder = -1;
  for (int i = 0; i < 10; ++i)
    if (orderRadios_[static_cast<size_t>(i)]->isChecked()) out.m_SmtOrder = i;
  out.m_HeaderSelect = CheckedIn(smt::run::HeadModeIds());
  out.m_RunSelect = std::max(0, CheckedIn(smt::run::RunModeIds()));
  out.m_ChangeNozzleSelect = std::max(0, CheckedIn(smt::run::ChangeNozzleIds()));
  for (const auto& c : kChecks) out.*(c.member) = Button(c.id)->isChecked() ? 1 : 0;
  for (const auto& e : kEdits) {
    // The field by its label and its range, in the page's language.
    smt::platform::NumberField spec;
    spec.lo = e.lo;
    spec.hi = e.hi;
    spec.integer = e.i != nullptr;
    spec.appDir = env_.appDir;
    spec.language = env_.language;
    const auto v = smt::platform::ReadOperatorNumber(Edit(e.id), spec);
    if (!v) return false;
    if (e.i)
      out.*(e.i) = static_cast<int>(*v);
    else
      out.*(e.d) = *v;
  }
  return true;
}

void CDialogSMTStrategy::ApplyMachineType() {
  const int type = env_.machineType;
  SmtStrategy v = values_;
  smt::run::ApplyMachineTypeLimits(v, type);
  values_ = v;
  ShowValues();
  for (auto& [id, b] : buttons_) b->setEnabled(true);
  Button(1051)->setEnabled(false);
  for (int id : DisabledOfType(type))
    if (auto* b = Button(id)) b->setEnabled(false);
  const bool cover = smt::run::CoverAllowed(values_, type);
  Button(1458)->setEnabled(cover);
  Button(1459)->setEnabled(cover && values_.m_Cover);
  if (!cover) Button(1458)->setChecked(false);
}

void CDialogSMTStrategy::OnControl(int id) {
  auto select = [this](int which) {
    for (int c : smt::run::ChangeNozzleIds()) Button(c)->setChecked(c == which);
  };
  auto resetNozzles = [this] { ResetNozzleHolders(); };
  switch (id) {
    case 1018: case 1019: select(1039); break;
    case 1039: ShowMessage(Text("Message_02")); break;
    case 1040: case 1041:
      if (!Button(1027)->isChecked()) select(1039);
      ShowMessage(Text("Message_02"));
      break;
    case 1036:
      if (Button(1036)->isChecked()) {
        const auto a = ShowMessage(Text("Message_01"), smt::platform::MsgButtons::YesNoCancel,
                                   smt::platform::MsgIcon::Question);
        if (a != smt::platform::MsgAnswer::Yes) Button(1036)->setChecked(false);
        else resetNozzles();
      }
      break;
    case 1051:
      if (Button(1036)->isChecked()) {
        if (env_.machineType == 3) Button(1051)->setChecked(true);
        else if (env_.machineType == 4 || env_.machineType == 6) Button(1051)->setChecked(false);
        resetNozzles();
      }
      break;
    case 1513: Button(1051)->setEnabled(true); break;
    case 1458: Button(1459)->setEnabled(Button(1458)->isChecked()); break;
    case 1459: env_.openCoverDialog(); break;
    case 1141: smt::job::RenumberLists(smt::job::PartListOf(machine_).job); break;
    default: break;
  }
}

void CDialogSMTStrategy::ResetNozzleHolders() {
  auto& nozzles = machine_.Part<smt::library::NozzleState>();
  for (auto& h : nozzles.headNozzle) h = 0;
  nozzles.seats.FillAll();
}

// The placement list sorted by `key` (a sort code of the list).
void CDialogSMTStrategy::SortList(int key) {
  smt::job::PartListLogic& logic = smt::job::PartListOf(machine_).logic;
  logic.sortCode = key;
  logic.SortList(smt::job::RowKind::Placement);
}

bool CDialogSMTStrategy::TryAccept() {
  SmtStrategy v;
  if (!ReadValues(v)) return false;
  values_ = v;
  const int key = smt::run::SortKeyOfOrder(v.m_SmtOrder);
  if (key >= 0) SortList(key);
  machine_.headCount = smt::run::HeadCountOfMode(v.m_HeaderSelect);
  smt::job::PartListData& list = smt::job::PartListOf(machine_);
  if (v.m_HeaderSelect == 1) {
    SortList(9);
    list.logic.CheckFeederOrder();
  } else if (v.m_HeaderSelect == 2) {
    SortList(12);
  }
  if (v.m_RunSelect == 1 || v.m_RunSelect == 2) {
    if (list.job.dispenseRows.empty() && !list.job.placementRows.empty()) list.logic.FillDispenseFromSmt();
    list.job.SetVisible(smt::job::VisibleList::Dispense);
  } else if (v.m_RunSelect == 5 || v.m_RunSelect == 6) {
    list.job.SetVisible(smt::job::VisibleList::Placement);
  }
  if (!smt::run::SaveStrategy(env_.appDir, v)) ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_StrategyNotSaved", "配置保存失败 !"));
  smt::run::SetStrategy(machine_, v);
  return true;
}

void CDialogSMTStrategy::accept() {
  if (TryAccept()) QDialog::accept();
}
