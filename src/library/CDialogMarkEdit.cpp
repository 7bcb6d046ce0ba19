#include "library/CDialogMarkEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "library/FieldReader.h"
#include "link/LinkRuntime.h"
#include "platform/MessageService.h"
#include "platform/OperatorNumber.h"
#include "platform/SettingsSection.h"
#include "platform/TextCodec.h"
#include "settings/SettingsStores.h"

using smt::library::MarkEditFields;
using smt::platform::FormatDouble;
using smt::platform::FormatInt;

namespace {

// Range of the allowed deviation (steps).
constexpr long long kAllowedMin = 0, kAllowedMax = 100;
QString Q(const std::string& s) { return QString::fromStdString(s); }
struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_MarkEdit", "Mark点编辑"},       {"c_PartName", "元件名称"},         {"c_VisualSize", "视框尺寸"},
    {"c_MarkDiameter", "Mark点直径"},   {"c_DetectPrecision", "检测精度"},  {"c_LightContrast", "对比度"},
    {"c_LightBrightness", "光亮度"},    {"c_MarkCollectTime", "采像时间"},  {"c_VisualTimes", "对中次数"},
    {"c_ImageColorReversal", "图像颜色反转"}, {"c_PlatformOffset_1", "平台1补尝"},
    {"c_PlatformOffset_2", "平台2补尝"}, {"c_AllowOffset", "允许公差"},
    {"c_MarkOffset", "Mark点坐标偏移量(mm)"}, {"c_IDOK", "确  定"}, {"c_IDCANCEL", "取  消"},
    {"c_Message_01", "元件名称已存在，请修改 !"},
};
}  // namespace

CDialogMarkEdit::CDialogMarkEdit(MarkEditFields& fields, smt::Machine& machine, Environment env, QWidget* parent)
    : QDialog(parent), fields_(fields), machine_(machine), env_(std::move(env)) {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "MarkEditConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("MarkEdit.") + t.key, t.def);
  Build();
  ShowFields();
}

std::string CDialogMarkEdit::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogMarkEdit::Build() {
  setWindowTitle(Q(Text("c_MarkEdit")));
  auto* grid = new QGridLayout;
  int r = 0;
  auto field = [&](const char* key, const QString& label, QWidget* extra = nullptr) {
    auto* e = new QLineEdit(this);
    e->setObjectName(key);
    edits_[key] = e;
    grid->addWidget(new QLabel(label, this), r, 0);
    grid->addWidget(e, r, 1);
    if (extra) grid->addWidget(extra, r, 2);
    ++r;
    return e;
  };
  field("name", Q(Text("c_PartName")))->setMaxLength(20);
  auto* cx = new QPushButton("CX", this);
  auto* cy = new QPushButton("CY", this);
  cx->setAutoDefault(false);
  cy->setAutoDefault(false);
  connect(cx, &QPushButton::clicked, this, &CDialogMarkEdit::OnCaptureX);
  connect(cy, &QPushButton::clicked, this, &CDialogMarkEdit::OnCaptureY);
  grid->addWidget(new QLabel(Q(Text("c_MarkOffset")), this), r++, 0, 1, 3);
  field("mark1X", "Mark1-X", cx);
  field("mark1Y", "Mark1-Y", cy);
  field("mark2X", "Mark2-X")->setEnabled(false);
  field("mark2Y", "Mark2-Y")->setEnabled(false);
  allowedMm_ = new QLabel(this);
  field("allowed", Q(Text("c_AllowOffset")), allowedMm_);
  field("viewBox", Q(Text("c_VisualSize")));
  field("diameter", Q(Text("c_MarkDiameter")));
  field("precision", Q(Text("c_DetectPrecision")));
  field("contrast", Q(Text("c_LightContrast")));
  field("brightness", Q(Text("c_LightBrightness")));
  field("captureTime", Q(Text("c_MarkCollectTime")));
  field("repeats", Q(Text("c_VisualTimes")));
  reversal_ = new QCheckBox(Q(Text("c_ImageColorReversal")), this);
  grid->addWidget(reversal_, r++, 0, 1, 2);
  field("platform1", Q(Text("c_PlatformOffset_1")));
  field("platform2", Q(Text("c_PlatformOffset_2")));
  connect(edits_["allowed"], &QLineEdit::textChanged, this, &CDialogMarkEdit::OnChangeAllowed);
  auto* ok = new QPushButton(Q(Text("c_IDOK")), this);
  auto* cancel = new QPushButton(Q(Text("c_IDCANCEL")), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CDialogMarkEdit::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogMarkEdit::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(grid);
  all->addLayout(buttons);
}

void CDialogMarkEdit::ShowFields() {
  const MarkEditFields& f = fields_;
  edits_["name"]->setText(Q(f.name));
  edits_["mark1X"]->setText(Q(FormatDouble(f.mark1X)));
  edits_["mark1Y"]->setText(Q(FormatDouble(f.mark1Y)));
  edits_["mark2X"]->setText(Q(FormatDouble(f.mark2X)));
  edits_["mark2Y"]->setText(Q(FormatDouble(f.mark2Y)));
  edits_["allowed"]->setText(Q(FormatInt(f.allowedDeviation)));
  edits_["viewBox"]->setText(Q(FormatDouble(f.viewBox)));
  edits_["diameter"]->setText(Q(FormatDouble(f.diameter)));
  edits_["precision"]->setText(Q(FormatInt(f.precision)));
  edits_["contrast"]->setText(Q(FormatInt(f.contrast)));
  edits_["brightness"]->setText(Q(FormatInt(f.brightness)));
  edits_["captureTime"]->setText(Q(FormatInt(f.captureTime)));
  edits_["repeats"]->setText(Q(FormatInt(f.repeats)));
  reversal_->setChecked(f.colourReversal);
  edits_["platform1"]->setText(Q(FormatDouble(f.platform1)));
  edits_["platform2"]->setText(Q(FormatDouble(f.platform2)));
  OnChangeAllowed();
}

void CDialogMarkEdit::OnChangeAllowed() {
  const double xp = smt::settings::SettingsStores::Of(machine_).machine.Pulse()->m_X_Pulse;
  // Empty while the box holds no whole number in its range.
  const auto v =
      smt::platform::OperatorNumberInRange(edits_["allowed"]->text().toStdString(), kAllowedMin, kAllowedMax, true);
  allowedMm_->setText(v && xp != 0 ? Q(FormatDouble(*v / xp)) : QString());
}

void CDialogMarkEdit::OnCaptureX() {
  const auto v = smt::library::CaptureMarkX(machine_, machine_.Part<smt::link::LinkRuntime>().headGroup.load());
  if (v) edits_["mark1X"]->setText(Q(FormatDouble(*v)));
}

void CDialogMarkEdit::OnCaptureY() {
  const auto v = smt::library::CaptureMarkY(machine_, machine_.Part<smt::link::LinkRuntime>().headGroup.load());
  if (v) edits_["mark1Y"]->setText(Q(FormatDouble(*v)));
}

bool CDialogMarkEdit::ReadFields(MarkEditFields& f) {
  smt::library::FieldReader r(env_.appDir, env_.language);
  f.name = smt::library::CellText(edits_["name"]);
  // Coordinates the mark file takes back (+-10000 mm).
  const double any = smt::library::mark_range::kOffsetMax;
  f.mark1X = r.Double(edits_["mark1X"], -any, any);
  f.mark1Y = r.Double(edits_["mark1Y"], -any, any);
  f.mark2X = r.Double(edits_["mark2X"], -any, any);
  f.mark2Y = r.Double(edits_["mark2Y"], -any, any);
  f.allowedDeviation = r.Int(edits_["allowed"], kAllowedMin, kAllowedMax);
  f.viewBox = r.Double(edits_["viewBox"], 0.0, 48.0);
  f.diameter = r.Double(edits_["diameter"], 0.0, 10.0);
  f.precision = r.Int(edits_["precision"], 0, 100);
  f.contrast = r.Int(edits_["contrast"], 0, 255);
  f.brightness = r.Int(edits_["brightness"], 0, 255);
  f.captureTime = r.Int(edits_["captureTime"], 0, 10000);
  f.repeats = r.Int(edits_["repeats"], 0, 10);
  f.colourReversal = reversal_->isChecked();
  f.platform1 = r.Double(edits_["platform1"], -2.0, 2.0);
  f.platform2 = r.Double(edits_["platform2"], -2.0, 2.0);
  return r.ok();
}

bool CDialogMarkEdit::TryAccept() {
  const std::string name = smt::library::CellText(edits_["name"]);
  if (env_.nameTaken && env_.nameTaken(name)) {
    smt::platform::ShowMessage(Text("c_Message_01"));
    smt::library::FocusAndSelect(edits_["name"]);
    return false;
  }
  MarkEditFields f;
  if (!ReadFields(f)) return false;
  fields_ = f;
  QDialog::accept();
  return true;
}

void CDialogMarkEdit::accept() { TryAccept(); }
