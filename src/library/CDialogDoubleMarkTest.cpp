#include "library/CDialogDoubleMarkTest.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/FieldReader.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

using smt::library::DoubleMarkTestFields;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_DoubleMarkTest", "两个Mark点坐标修改测试"}, {"c_Origin", "原点"}, {"c_Mark1", "Mark1"},
    {"c_Mark2", "Mark2"}, {"c_Coordinate", "元件坐标"}, {"c_OldA", "测出原始A"},
    {"c_SetMark1Offset", "预设Mark1偏差"}, {"c_Mark2Test", "Mark2测试"}, {"c_NewA", "测出新的A"},
    {"c_GetCoordinate", "元件坐标"}, {"c_Test", "测试"}, {"c_IDOK", "确  定"}, {"c_IDCANCEL", "取  消"},
};
struct Field {
  const char* key;
  double DoubleMarkTestFields::*member;
  bool readOnly;
};
const Field kFields[] = {
    {"m_Origin_X", &DoubleMarkTestFields::m_Origin_X, false},
    {"m_Origin_Y", &DoubleMarkTestFields::m_Origin_Y, false},
    {"m_Mark1_X", &DoubleMarkTestFields::m_Mark1_X, false},
    {"m_Mark1_Y", &DoubleMarkTestFields::m_Mark1_Y, false},
    {"m_Mark2_X", &DoubleMarkTestFields::m_Mark2_X, false},
    {"m_Mark2_Y", &DoubleMarkTestFields::m_Mark2_Y, false},
    {"m_Coordinate_X", &DoubleMarkTestFields::m_Coordinate_X, false},
    {"m_Coordinate_Y", &DoubleMarkTestFields::m_Coordinate_Y, false},
    {"m_Mark2_Mark1_A_Old", &DoubleMarkTestFields::m_Mark2_Mark1_A_Old, true},
    {"m_SetMark1Offset_X", &DoubleMarkTestFields::m_SetMark1Offset_X, false},
    {"m_SetMark1Offset_Y", &DoubleMarkTestFields::m_SetMark1Offset_Y, false},
    {"m_SetMark2Offset_X", &DoubleMarkTestFields::m_SetMark2Offset_X, false},
    {"m_SetMark2Offset_Y", &DoubleMarkTestFields::m_SetMark2Offset_Y, false},
    {"m_Mark2_Mark1_A_New", &DoubleMarkTestFields::m_Mark2_Mark1_A_New, true},
    {"m_GetCoordinate_X", &DoubleMarkTestFields::m_GetCoordinate_X, true},
    {"m_GetCoordinate_Y", &DoubleMarkTestFields::m_GetCoordinate_Y, true},
};
}  // namespace

CDialogDoubleMarkTest::CDialogDoubleMarkTest(DoubleMarkTestFields& fields, std::string appDir, std::string language,
                                             QWidget* parent)
    : QDialog(parent), fields_(fields), appDir_(std::move(appDir)), language_(std::move(language)) {
  const smt::platform::LanguageSection lang(appDir_, language_, "DoubleMarkTestConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("DoubleMarkTest.") + t.key, t.def);
  Build();
  ShowFields(fields_);
}

std::string CDialogDoubleMarkTest::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogDoubleMarkTest::Build() {
  setWindowTitle(Q(Text("c_DoubleMarkTest")));
  auto* grid = new QGridLayout;
  const char* rowLabels[8] = {"c_Origin", "c_Mark1", "c_Mark2", "c_Coordinate",
                              "c_OldA", "c_SetMark1Offset", "c_Mark2Test", "c_GetCoordinate"};
  // Rows of X/Y pairs; the two angles take one field.
  int field = 0;
  for (int r = 0; r < 8; ++r) {
    grid->addWidget(new QLabel(Q(Text(rowLabels[r])), this), r, 0);
    const int count = (r == 4) ? 1 : 2;
    for (int c = 0; c < count; ++c, ++field) {
      auto* e = new QLineEdit(this);
      e->setObjectName(kFields[field].key);
      e->setReadOnly(kFields[field].readOnly);
      // One label names the row's X and Y: a refusal names the axis too.
      if (count == 2) e->setProperty(smt::platform::kFieldNameProperty, Q(Text(rowLabels[r]) + (c == 0 ? " X" : " Y")));
      edits_[kFields[field].key] = e;
      grid->addWidget(e, r, 1 + c);
    }
    if (r == 6) {
      // After the Mark 2 deviation: the new angle.
      auto* e = new QLineEdit(this);
      e->setReadOnly(true);
      edits_[kFields[field].key] = e;
      grid->addWidget(new QLabel(Q(Text("c_NewA")), this), r, 3);
      grid->addWidget(e, r, 4);
      ++field;
    }
  }
  auto* test = new QPushButton(Q(Text("c_Test")), this);
  auto* ok = new QPushButton(Q(Text("c_IDOK")), this);
  auto* cancel = new QPushButton(Q(Text("c_IDCANCEL")), this);
  test->setAutoDefault(false);
  connect(test, &QPushButton::clicked, this, [this] { OnTest(); });
  connect(ok, &QPushButton::clicked, this, &CDialogDoubleMarkTest::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogDoubleMarkTest::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(test);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(grid);
  all->addLayout(buttons);
}

void CDialogDoubleMarkTest::ShowFields(const DoubleMarkTestFields& f) {
  for (const auto& k : kFields) edits_[k.key]->setText(Q(smt::platform::FormatDouble(f.*k.member)));
}

bool CDialogDoubleMarkTest::ReadFields(DoubleMarkTestFields& f) {
  smt::library::FieldReader r(appDir_, language_);
  // Each field takes what its reader at start-up takes (a position within
  // the machine's configured travel), so a value kept here comes back.
  const std::string config = smt::platform::ConfigPath(appDir_);
  for (const auto& k : kFields) {
    const auto* range = smt::settings::FindConfigKeyRange("DoubleMarkTestConfig", k.key);
    const auto [lo, hi] = range ? smt::settings::ConfigKeyBounds(*range, config) : std::pair{-1e300, 1e300};
    f.*k.member = r.Double(edits_[k.key], lo, hi);
  }
  return r.ok();
}

bool CDialogDoubleMarkTest::OnTest() {
  DoubleMarkTestFields f;
  if (!ReadFields(f)) return false;
  const auto result = smt::library::RunDoubleMarkTest(f);
  if (!result) {
    smt::platform::ShowMessage(smt::library::kMarksTooClose);
    return false;
  }
  auto show = [this](const char* key, double v) { edits_[key]->setText(Q(smt::platform::FormatDouble(v))); };
  show("m_Mark2_Mark1_A_Old", result->angleOld);
  show("m_Mark2_Mark1_A_New", result->angleNew);
  show("m_GetCoordinate_X", result->partX);
  show("m_GetCoordinate_Y", result->partY);
  return true;
}

bool CDialogDoubleMarkTest::TryAccept() {
  DoubleMarkTestFields f;
  if (!ReadFields(f)) return false;
  fields_ = f;
  smt::library::SaveDoubleMarkTest(appDir_, f);
  QDialog::accept();
  return true;
}

void CDialogDoubleMarkTest::accept() { TryAccept(); }
