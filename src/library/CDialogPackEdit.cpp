#include "library/CDialogPackEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "library/FieldReader.h"
#include "library/PackEditChoices.h"
#include "platform/MessageService.h"
#include "platform/OperatorNumber.h"
#include "platform/SettingsSection.h"

using smt::library::PackEditFields;
using smt::platform::FormatDouble;
using smt::platform::FormatInt;
using smt::platform::ShowMessage;

namespace {

// Ranges of the precision boxes (steps; -1: the camera's own value).
constexpr long long kPrecisionXYMin = -1, kPrecisionXYMax = 10;
constexpr long long kPrecisionAMin = -1, kPrecisionAMax = 30;

struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_PackEdit", "封装编辑"},         {"c_PartPack", "元件封装"},         {"c_PackLength", "元度长度"},
    {"c_PackWidth", "元件宽度"},        {"c_PackThick", "元件厚度"},        {"c_VisualContrast", "视觉对比度"},
    {"c_VisualBright", "视觉亮度"},     {"c_PickDelay", "取料延时"},        {"c_SmtDelay", "贴装延时"},
    {"c_SelectCamera", "选择相机"},     {"c_SelectNozzle", "选择吸嘴"},     {"c_NoVisual", "无视觉"},
    {"c_VisualAlign", "视觉对中"},      {"c_RunAlign", "飞行对中"},         {"c_ImageFeature", "图像特征"},
    {"c_GetData", "获得"},              {"c_SpecialSpeed", "是否独立速度"}, {"c_SynchronousModify", "同步修改料架表单"},
    {"c_IDOK", "确  定"},               {"c_IDCANCEL", "取  消"},           {"c_FeedSet", "送料设置"},
    {"c_VisualAlignSet", "视觉对中设置"}, {"c_VacuumTestSet", "吸嘴真空检测设置"},
    {"c_SelectFeedMode", "选择送料方式"}, {"c_FeedTimes", "送料次数"},      {"c_FeedTime", "送料时间"},
    {"c_OpenLength", "松皮长度"},       {"c_CloseLength", "紧皮长度"},      {"c_Precision_XY", "X Y 校正精度"},
    {"c_Precision_A", "角度校正精度"},  {"c_CollectPictureTime", "采像时间"}, {"c_NozzleHeight", "吸嘴取料高度"},
    {"c_smtBeforeCloseVacuum", "提前关闭真空"}, {"c_VacuumTestValue", "真空检测值"},
    {"c_PickBeforeOpenValve", "取料提前打开阀"},
    {"c_Message_01", "元件封装已存在，请修改 !"}, {"c_Message_02", "请选择相机 !"},
    {"c_Message_03", "请选择吸嘴 !"},   {"c_Message_04", "请选择速度 !"},   {"c_Message_05", "请选择送料方式 !"},
};

// The eleven pass-on switches: check-box key, language key, member.
struct SwitchBox {
  const char* key;
  int smt::library::PackEditSwitches::*member;
};
const SwitchBox kFieldSwitches[] = {
    {"m_SelectFeedMode", &smt::library::PackEditSwitches::m_SelectFeedMode},
    {"m_FeedTimes", &smt::library::PackEditSwitches::m_FeedTimes},
    {"m_FeedTime", &smt::library::PackEditSwitches::m_FeedTime},
    {"m_OpenLength", &smt::library::PackEditSwitches::m_OpenLength},
    {"m_CloseLength", &smt::library::PackEditSwitches::m_CloseLength},
    {"m_Precision_XY", &smt::library::PackEditSwitches::m_Precision_XY},
    {"m_Precision_A", &smt::library::PackEditSwitches::m_Precision_A},
    {"m_CollectPictureTime", &smt::library::PackEditSwitches::m_CollectPictureTime},
    {"m_NozzleHeight", &smt::library::PackEditSwitches::m_NozzleHeight},
    {"m_VacuumTestValue", &smt::library::PackEditSwitches::m_VacuumTestValue},
    {"m_smtBeforeCloseVacuum", &smt::library::PackEditSwitches::m_smtBeforeCloseVacuum},
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<std::string> Items(const QComboBox* c) {
  std::vector<std::string> v;
  for (int i = 0; i < c->count(); ++i) v.push_back(c->itemText(i).toStdString());
  return v;
}

std::string Chosen(const QComboBox* c) { return c->currentIndex() < 0 ? std::string() : c->currentText().toStdString(); }

}  // namespace

CDialogPackEdit::CDialogPackEdit(PackEditFields& fields, Environment env, QWidget* parent)
    : QDialog(parent), fields_(fields), env_(std::move(env)) {
  LoadLanguage();
  switches_ = smt::library::LoadPackEditSwitches(env_.appDir);
  if (fields_.length == 0) fields_.length = 0.1;
  if (fields_.width == 0) fields_.width = 0.1;
  if (fields_.thickness == 0) fields_.thickness = 0.1;
  Build();
  FillLists();
  ShowFields();
}

void CDialogPackEdit::LoadLanguage() {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "PackEditConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("PackEdit.") + t.key, t.def);
}

std::string CDialogPackEdit::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

QString CDialogPackEdit::T(const char* key) const { return Q(Text(key)); }

void CDialogPackEdit::Build() {
  setWindowTitle(T("c_PackEdit"));
  auto edit = [this](const char* key) {
    auto* e = new QLineEdit(this);
    e->setObjectName(key);
    edits_[key] = e;
    return e;
  };
  auto combo = [this](const char* key) {
    auto* c = new QComboBox(this);
    c->setObjectName(key);
    combos_[key] = c;
    return c;
  };
  auto check = [this](const char* key, const QString& label) {
    auto* c = new QCheckBox(label, this);
    checks_[key] = c;
    return c;
  };

  // Left column: size and delays, the feed group, the synchronous modify.
  auto* left = new QGridLayout;
  int r = 0;
  auto row = [&](QGridLayout* g, int& rr, const QString& label, QWidget* w, QWidget* extra = nullptr) {
    g->addWidget(new QLabel(label, this), rr, 0);
    g->addWidget(w, rr, 1);
    if (extra) g->addWidget(extra, rr, 2);
    ++rr;
  };
  row(left, r, T("c_PartPack"), edit("name"));
  row(left, r, T("c_PackLength"), edit("length"));
  row(left, r, T("c_PackWidth"), edit("width"));
  row(left, r, T("c_PackThick"), edit("thickness"));
  row(left, r, T("c_PickDelay"), edit("pickDelay"));
  row(left, r, T("c_SmtDelay"), edit("placeDelay"));

  auto* feedBox = new QGroupBox(T("c_FeedSet"), this);
  auto* feed = new QGridLayout(feedBox);
  int f = 0;
  auto checkRow = [&](QGridLayout* g, int& rr, const char* key, const char* textKey, QWidget* w, QWidget* extra) {
    g->addWidget(check(key, T(textKey)), rr, 0);
    g->addWidget(w, rr, 1);
    if (extra) g->addWidget(extra, rr, 2);
    ++rr;
  };
  combo("feedMode")->setMinimumWidth(130);
  checkRow(feed, f, "m_SelectFeedMode", "c_SelectFeedMode", combos_["feedMode"], nullptr);
  countMm_ = new QLabel("mm", this);
  checkRow(feed, f, "m_FeedTimes", "c_FeedTimes", edit("feedCount"), countMm_);
  checkRow(feed, f, "m_FeedTime", "c_FeedTime", edit("feedTime"), new QLabel("ms", this));
  checkRow(feed, f, "m_OpenLength", "c_OpenLength", edit("slack"), new QLabel("mm", this));
  checkRow(feed, f, "m_CloseLength", "c_CloseLength", edit("tension"), new QLabel("mm", this));
  left->addWidget(feedBox, r++, 0, 1, 3);
  left->addWidget(check("m_SynchronousModify", T("c_SynchronousModify")), r++, 0, 1, 3);

  // Right column: the vision group over the vacuum group.
  auto* visionBox = new QGroupBox(T("c_VisualAlignSet"), this);
  auto* vision = new QGridLayout(visionBox);
  int v = 0;
  row(vision, v, T("c_SelectCamera"), combo("camera"));
  radios_[0] = new QRadioButton(T("c_NoVisual"), this);
  radios_[1] = new QRadioButton(T("c_VisualAlign"), this);
  radios_[2] = new QRadioButton(T("c_RunAlign"), this);
  auto* group = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) group->addButton(radios_[i], i);
  mmDisplay_ = new QLabel(this);
  degDisplay_ = new QLabel(this);
  vision->addWidget(radios_[0], v, 0);
  vision->addWidget(check("m_Precision_XY", T("c_Precision_XY")), v, 1);
  vision->addWidget(edit("precisionXY"), v, 2);
  vision->addWidget(mmDisplay_, v++, 3);
  vision->addWidget(radios_[1], v, 0);
  vision->addWidget(check("m_Precision_A", T("c_Precision_A")), v, 1);
  vision->addWidget(edit("precisionA"), v, 2);
  vision->addWidget(degDisplay_, v++, 3);
  vision->addWidget(radios_[2], v, 0);
  vision->addWidget(check("m_CollectPictureTime", T("c_CollectPictureTime")), v, 1);
  vision->addWidget(edit("captureTime"), v, 2);
  vision->addWidget(new QLabel("ms", this), v++, 3);
  row(vision, v, T("c_ImageFeature"), combo("recognition"));
  auto* light = new QPushButton(T("c_GetData"), this);
  light->setAutoDefault(false);
  connect(light, &QPushButton::clicked, this, &CDialogPackEdit::OnGetLight);
  row(vision, v, T("c_VisualContrast"), edit("contrast"), light);
  row(vision, v, T("c_VisualBright"), edit("brightness"));

  auto* vacuumBox = new QGroupBox(T("c_VacuumTestSet"), this);
  auto* vacuum = new QGridLayout(vacuumBox);
  int u = 0;
  noteDisplay_ = new QLabel(this);
  row(vacuum, u, T("c_SelectNozzle"), combo("nozzle"), noteDisplay_);
  checkRow(vacuum, u, "m_NozzleHeight", "c_NozzleHeight", edit("pickHeight"), new QLabel("mm", this));
  checkRow(vacuum, u, "m_VacuumTestValue", env_.machineType == 8 ? "c_PickBeforeOpenValve" : "c_VacuumTestValue",
           edit("vacuumTest"), new QLabel("-kPa", this));
  checkRow(vacuum, u, "m_smtBeforeCloseVacuum", "c_smtBeforeCloseVacuum", edit("closeEarly"), new QLabel("mm", this));

  auto* right = new QVBoxLayout;
  right->addWidget(visionBox);
  right->addWidget(vacuumBox);

  auto* bottom = new QHBoxLayout;
  auto* ok = new QPushButton(T("c_IDOK"), this);
  auto* cancel = new QPushButton(T("c_IDCANCEL"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CDialogPackEdit::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogPackEdit::reject);
  bottom->addWidget(ok);
  bottom->addWidget(cancel);
  bottom->addStretch();
  combo("speed")->setMinimumWidth(130);
  bottom->addWidget(combos_["speed"]);
  bottom->addWidget(check("ownSpeed", T("c_SpecialSpeed")));

  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  auto* all = new QVBoxLayout(this);
  all->addLayout(columns);
  all->addLayout(bottom);

  connect(edits_["precisionXY"], &QLineEdit::textChanged, this, &CDialogPackEdit::OnChangePrecisionXY);
  connect(edits_["precisionA"], &QLineEdit::textChanged, this, &CDialogPackEdit::OnChangePrecisionA);
  connect(combos_["nozzle"], &QComboBox::activated, this, &CDialogPackEdit::OnSelchangeNozzle);
  connect(combos_["feedMode"], &QComboBox::activated, this, &CDialogPackEdit::OnSelchangeFeedMode);
  if (env_.machineType == 4) radios_[1]->setEnabled(false);
}

void CDialogPackEdit::FillLists() {
  auto fill = [](QComboBox* c, std::vector<std::string> items, bool sorted) {
    if (sorted) std::sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
      });
    c->clear();
    for (const auto& i : items) c->addItem(Q(i));
    c->setCurrentIndex(-1);
  };
  fill(combos_["camera"], env_.cameraNames, true);
  fill(combos_["feedMode"], smt::library::FeedModesForMachine(env_.machineType, env_.feedModeNames), false);
  std::vector<std::string> rec(smt::library::RecognitionNames(0).begin(), smt::library::RecognitionNames(0).end());
  {
    // The names in the window's language.
    const smt::platform::LanguageSection lang(env_.appDir, env_.language, "CommonConfig");
    for (size_t i = 0; i < rec.size(); ++i) {
      const std::string key = std::string("Common.c_ImageFeature_") + (i < 10 ? "0" : "") + std::to_string(i);
      rec[i] = lang.Text(key, rec[i]);
    }
  }
  fill(combos_["recognition"], rec, true);
  fill(combos_["nozzle"], smt::library::NozzleChoices(env_.machineType, env_.autoChangeNozzle, env_.nineteenSeat),
       false);
  fill(combos_["speed"], env_.speedNames, true);
}

void CDialogPackEdit::ShowFields() {
  const PackEditFields& f = fields_;
  auto select = [](QComboBox* c, const std::string& field) {
    c->setCurrentIndex(smt::library::MatchEntry(Items(c), field));
  };
  select(combos_["camera"], f.camera);
  select(combos_["feedMode"], f.feedMode);
  if (!f.recognition.empty()) {
    const auto type = smt::library::RecognitionTypeOf(f.recognition);
    combos_["recognition"]->setCurrentIndex(type ? *type : -1);
  }
  select(combos_["nozzle"], f.nozzle);
  OnSelchangeNozzle();
  select(combos_["speed"], f.speedName);
  for (const auto& s : kFieldSwitches) checks_[s.key]->setChecked(false);
  checks_["m_SynchronousModify"]->setChecked(switches_.m_SynchronousModify != 0);
  checks_["ownSpeed"]->setChecked(f.ownSpeed != 0);
  radios_[std::clamp(f.visionMode, 0, 2)]->setChecked(true);
  edits_["name"]->setText(Q(f.name));
  edits_["length"]->setText(Q(FormatDouble(f.length)));
  edits_["width"]->setText(Q(FormatDouble(f.width)));
  edits_["thickness"]->setText(Q(FormatDouble(f.thickness)));
  edits_["contrast"]->setText(Q(FormatInt(f.contrast)));
  edits_["brightness"]->setText(Q(FormatInt(f.brightness)));
  edits_["pickDelay"]->setText(Q(FormatInt(f.pickDelay)));
  edits_["placeDelay"]->setText(Q(FormatInt(f.placeDelay)));
  edits_["feedCount"]->setText(Q(FormatInt(f.feedCount)));
  edits_["feedTime"]->setText(Q(FormatInt(f.feedTime)));
  edits_["slack"]->setText(Q(FormatInt(f.slackLength)));
  edits_["tension"]->setText(Q(FormatInt(f.tensionLength)));
  edits_["precisionXY"]->setText(Q(FormatInt(f.precisionXY)));
  edits_["precisionA"]->setText(Q(FormatInt(f.precisionA)));
  edits_["captureTime"]->setText(Q(FormatInt(f.captureTime)));
  edits_["pickHeight"]->setText(Q(FormatDouble(f.pickHeight)));
  edits_["vacuumTest"]->setText(Q(FormatDouble(f.vacuumTest)));
  edits_["closeEarly"]->setText(Q(FormatDouble(f.closeEarly)));
  // At opening the displays stay empty for -1.
  mmDisplay_->setText(f.precisionXY != -1 && env_.xPulse != 0 ? Q(FormatDouble(f.precisionXY / env_.xPulse)) : "");
  degDisplay_->setText(f.precisionA != -1 && env_.aPulse != 0 ? Q(FormatDouble(f.precisionA / env_.aPulse)) : "");
  countMm_->setVisible(false);
}

// The millimetres (degrees) of a precision in steps, shown while it is typed:
// empty while the box holds no whole number in its range.
void CDialogPackEdit::OnChangePrecisionXY() {
  const auto v = smt::platform::OperatorNumberInRange(edits_["precisionXY"]->text().toStdString(), kPrecisionXYMin,
                                                      kPrecisionXYMax, true);
  mmDisplay_->setText(v && env_.xPulse != 0 ? Q(FormatDouble(*v / env_.xPulse)) : "");
}

void CDialogPackEdit::OnChangePrecisionA() {
  const auto v = smt::platform::OperatorNumberInRange(edits_["precisionA"]->text().toStdString(), kPrecisionAMin,
                                                      kPrecisionAMax, true);
  degDisplay_->setText(v && env_.aPulse != 0 ? Q(FormatDouble(*v / env_.aPulse)) : "");
}

void CDialogPackEdit::OnSelchangeNozzle() {
  const int i = combos_["nozzle"]->currentIndex();
  if (i < 0 || !env_.autoChangeNozzle) return;
  noteDisplay_->setText(i < static_cast<int>(env_.nozzleNotes.size()) ? Q(env_.nozzleNotes[i]) : QString());
}

void CDialogPackEdit::OnGetLight() {
  if (!env_.lightValues) return;
  const auto [contrast, brightness] = env_.lightValues();
  edits_["contrast"]->setText(Q(FormatInt(contrast)));
  edits_["brightness"]->setText(Q(FormatInt(brightness)));
}

void CDialogPackEdit::OnSelchangeFeedMode() {
  const std::string chosen = Chosen(combos_["feedMode"]);
  int mode = -1;
  for (int m = 0; m < 9; ++m)
    if (!chosen.empty() && env_.feedModeNames[m] == chosen) mode = m;
  const auto e = smt::library::EffectOfFeedMode(mode);
  if (!e.change) return;
  edits_["feedCount"]->setEnabled(e.countOn);
  edits_["feedTime"]->setEnabled(e.timeOn);
  edits_["slack"]->setEnabled(e.slackOn);
  edits_["tension"]->setEnabled(e.tensionOn);
  if (e.countText) edits_["feedCount"]->setText(Q(*e.countText));
  if (e.timeText) edits_["feedTime"]->setText(Q(*e.timeText));
  countMm_->setVisible(e.mmShown);
}

bool CDialogPackEdit::ReadFields(PackEditFields& f) {
  smt::library::FieldReader r(env_.appDir, env_.language);
  f.name = smt::library::CellText(edits_["name"]);
  f.length = r.Double(edits_["length"], 0.1, 50);
  f.width = r.Double(edits_["width"], 0.1, 50);
  f.thickness = r.Double(edits_["thickness"], 0.1, 12);
  f.contrast = r.Int(edits_["contrast"], 0, 255);
  f.brightness = r.Int(edits_["brightness"], 0, 255);
  f.pickDelay = r.Int(edits_["pickDelay"], 0, 10000);
  f.placeDelay = r.Int(edits_["placeDelay"], 0, 10000);
  f.feedCount = r.Int(edits_["feedCount"], 0, 10);
  f.feedTime = r.Int(edits_["feedTime"], 0, 10000);
  f.slackLength = r.Int(edits_["slack"], 0, 10000);
  f.tensionLength = r.Int(edits_["tension"]);
  f.precisionXY = r.Int(edits_["precisionXY"], kPrecisionXYMin, kPrecisionXYMax);
  f.precisionA = r.Int(edits_["precisionA"], kPrecisionAMin, kPrecisionAMax);
  f.captureTime = r.Int(edits_["captureTime"], -1, 3000);
  f.pickHeight = r.Double(edits_["pickHeight"], -1000, 0);
  f.vacuumTest = r.Double(edits_["vacuumTest"], 0, 100);
  f.closeEarly = r.Double(edits_["closeEarly"], 0, 100);
  if (!r.ok()) return false;
  f.camera = Chosen(combos_["camera"]);
  f.feedMode = Chosen(combos_["feedMode"]);
  f.recognition = Chosen(combos_["recognition"]);
  f.nozzle = Chosen(combos_["nozzle"]);
  f.speedName = Chosen(combos_["speed"]);
  f.ownSpeed = checks_["ownSpeed"]->isChecked() ? 1 : 0;
  f.visionMode = radios_[2]->isChecked() ? 2 : radios_[1]->isChecked() ? 1 : 0;
  switches_.m_SynchronousModify = checks_["m_SynchronousModify"]->isChecked() ? 1 : 0;
  for (const auto& s : kFieldSwitches) switches_.*s.member = checks_[s.key]->isChecked() ? 1 : 0;
  return true;
}

bool CDialogPackEdit::TryAccept() {
  PackEditFields f;
  if (!ReadFields(f)) return false;
  fields_ = f;  // a refused OK keeps what was taken from the controls
  if (env_.nameTaken && env_.nameTaken(f.name)) {
    ShowMessage(Text("c_Message_01"));
    smt::library::FocusAndSelect(edits_["name"]);
    return false;
  }
  const char* refusal = nullptr;
  if (f.feedMode.empty()) refusal = "c_Message_05";
  else if (f.visionMode != 0 && f.camera.empty()) refusal = "c_Message_02";
  else if (f.nozzle.empty()) refusal = "c_Message_03";
  else if (f.ownSpeed && f.speedName.empty()) refusal = "c_Message_04";
  if (refusal) {
    ShowMessage(Text(refusal));
    return false;
  }
  smt::library::SavePackEditSwitches(env_.appDir, switches_);
  QDialog::accept();
  return true;
}

void CDialogPackEdit::accept() { TryAccept(); }
