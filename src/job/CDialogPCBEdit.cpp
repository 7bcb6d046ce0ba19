#include "job/CDialogPCBEdit.h"
#include "platform/TableColumns.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <type_traits>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/JobRows.h"
#include "job/RowListModel.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "job/PcbEditSettings.h"
#include "platform/RefusalTexts.h"

using smt::job::PcbOpResult;
using smt::job::PcbRecord;
using smt::platform::LanguageSection;
using smt::platform::SettingsSection;

namespace {

// Language keys of the editor with their built-in texts.
const std::vector<std::pair<const char*, const char*>>& TextTable() {
  static const std::vector<std::pair<const char*, const char*>> t = {
      {"PcbEdit.c_PcbEdit", "PCB板操作"},
      {"PcbEdit.c_PCB_Name", "Pcb名称："},
      {"PcbEdit.c_Add", "添加"},
      {"PcbEdit.c_Delete", "删除"},
      {"PcbEdit.c_Paste", "粘贴"},
      {"PcbEdit.c_Edit", "编辑"},
      {"PcbEdit.c_PCBContent", "Pcb说明："},
      {"PcbEdit.c_ProducePcbPlate", "生成PCB拼板"},
      {"PcbEdit.c_RowColNo", "行列号"},
      {"PcbEdit.c_Row", "行数"},
      {"PcbEdit.c_Col", "列数"},
      {"PcbEdit.c_RowSpace", "行间距"},
      {"PcbEdit.c_ColSpace", "列间距"},
      {"PcbEdit.c_AllPCBArray", "选中全部PCB拼板"},
      {"PcbEdit.c_ArrayNumber", "拼板数量为："},
      {"PcbEdit.c_ImportFile", "导入PCB坐标文件"},
      {"PcbEdit.c_PcbCount", "PCB板数量"},
      {"PcbEdit.c_IDOK", "确定"},
      {"PcbEdit.c_IDCANCEL", "取消"},
      {"PcbEdit.c_GetLight", "Get"},
      {"PcbEdit.c_GetLight2", "Get"},
      {"PcbEdit.c_DoubleMarkTest", "DMT"},
      {"PcbEdit.c_PcbProper", "PCB板属性"},
      {"PcbEdit.c_Thickness", "厚度"},
      {"PcbEdit.c_OriginX", "原点 X"},
      {"PcbEdit.c_OriginY", "原点 Y"},
      {"PcbEdit.c_Mark", "启用Mark点"},
      {"PcbEdit.c_MarkManual", "使用手工Mark点设置"},
      {"PcbEdit.c_Mark1_X_Offset", "MarK1 X 偏差"},
      {"PcbEdit.c_Mark1_Y_Offset", "MarK1 Y 偏差"},
      {"PcbEdit.c_Mark2_X_Offset", "MarK2 X 偏差"},
      {"PcbEdit.c_Mark2_Y_Offset", "MarK2 Y 偏差"},
      {"PcbEdit.c_MarkParameter", "MARK相机参数设置"},
      {"PcbEdit.c_VisualZoom", "视觉比例"},
      {"PcbEdit.c_DetectPrecision", "检测精度"},
      {"PcbEdit.c_ImageColorReversal", "图像颜色反转"},
      {"PcbEdit.c_VisualBox", "视框尺寸"},
      {"PcbEdit.c_MarkDiameter", "Mark点直径"},
      {"PcbEdit.c_LightContrast", "对比度"},
      {"PcbEdit.c_LightBrightness", "光亮度"},
      {"PcbEdit.c_VisualTimes", "对中次数"},
      {"PcbEdit.c_MarkCollectTime", "采像时间"},
      {"PcbEdit.c_SpecialMark2", "独立Mark2"},
      {"PcbEdit.c_Mark2LightContrast", "Mark2对比度"},
      {"PcbEdit.c_Mark2LightBrightness", "Mark2光亮度"},
      {"PcbEdit.c_EachMark", "启用分板Mark点"},
      {"PcbEdit.c_Mark1", "Mark1 X / Y"},
      {"PcbEdit.c_Mark2", "Mark2 X / Y"},
      // Labels of each Mark box and the take buttons beside the boxes.
      {"PcbEdit.c_Mark1X", "Mark1 X"},
      {"PcbEdit.c_Mark1Y", "Mark1 Y"},
      {"PcbEdit.c_Mark2X", "Mark2 X"},
      {"PcbEdit.c_Mark2Y", "Mark2 Y"},
      {"PcbEdit.c_TakeNozzle", "取吸嘴位置"},
      {"PcbEdit.c_TakeCamera", "取相机位置"},
      {"PcbEdit.c_TakeFromZero", "取距零点"},
      {"PcbEdit.c_Message_01", "请选择Pcb板 !"},
      {"PcbEdit.c_Message_02", "Pcb板不能没有名称 !"},
      {"PcbEdit.c_Message_03", "修改的Pcb板已经存在 !"},
      {"PcbEdit.c_Message_04", "Pcb名称已存在，请重新输入 !"},
      {"PcbEdit.c_Message_05", "请选择要删除的Pcb板 !"},
      {"PcbEdit.c_Message_06", "没有选择要复制Pcb板 !"},
      {"PcbEdit.c_Message_07", "Pcb名称和说明不能包含制表符 !"},
  };
  return t;
}

constexpr double kAny = 1e7;
constexpr const char* kEnabled = "1/";
constexpr const char* kSkipped = "0/";

}  // namespace

CDialogPCBEdit::CDialogPCBEdit(smt::Machine& machine, smt::job::JobModel& job, smt::job::MarkCameraPanelSlot& camera,
                               QWidget* parent)
    : QDialog(parent), machine_(machine), job_(job), camera_(camera) {
  setObjectName("CDialogPCBEdit");
  for (const auto& [k, v] : TextTable()) texts_[k] = v;
  Build();
  ApplyLanguageTexts();
}

int CDialogPCBEdit::Type() const { return machine_.machineType.load(); }

std::string CDialogPCBEdit::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogPCBEdit::Message(const std::string& key) { smt::platform::ShowMessage(Text(key)); }

void CDialogPCBEdit::Build() {
  auto* top = new QHBoxLayout(this);
  // Left: names and list buttons.
  auto* left = new QVBoxLayout;
  names_ = new QListWidget(this);
  names_->setObjectName("c_1000");
  names_->setSortingEnabled(true);
  left->addWidget(names_);
  auto* nameRow = new QGridLayout;
  auto addLabel = [&](QGridLayout* g, const char* key, int r, int c) {
    auto* l = new QLabel(this);
    textTargets_[key] = l;
    g->addWidget(l, r, c);
  };
  nameBox_ = new QLineEdit(this);
  nameBox_->setObjectName("c_1092");
  noteBox_ = new QLineEdit(this);
  noteBox_->setObjectName("c_1093");
  addLabel(nameRow, "PcbEdit.c_PCB_Name", 0, 0);
  nameRow->addWidget(nameBox_, 0, 1);
  addLabel(nameRow, "PcbEdit.c_PCBContent", 1, 0);
  nameRow->addWidget(noteBox_, 1, 1);
  left->addLayout(nameRow);
  auto addButton = [&](const char* key, QLayout* lay, auto slot) {
    auto* b = new QPushButton(this);
    textTargets_[key] = b;
    lay->addWidget(b);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  // Two rows of list buttons leave the width to the values on the right.
  auto* buttons = new QGridLayout;
  auto* row1 = new QHBoxLayout;
  auto* row2 = new QHBoxLayout;
  addButton("PcbEdit.c_Add", row1, [this] { OnAddPcb(); });
  addButton("PcbEdit.c_Delete", row1, [this] { OnDeletePcb(); });
  addButton("PcbEdit.c_Paste", row2, [this] { OnPastePcb(); });
  addButton("PcbEdit.c_Edit", row2, [this] { OnEditPcb(); });
  buttons->addLayout(row1, 0, 0);
  buttons->addLayout(row2, 1, 0);
  left->addLayout(buttons);
  top->addLayout(left, 1);

  // Middle: panel array.
  auto* panelBox = new QGroupBox(this);
  textTargets_["PcbEdit.c_ProducePcbPlate"] = panelBox;
  auto* pg = new QGridLayout(panelBox);
  // Rows and columns: at most 1000 each, so a typing slip cannot build a
  // grid of millions of cells.
  rows_ = new smt::platform::NumberEdit(this, 0, 1000, -1);
  rows_->setObjectName("c_1217");
  cols_ = new smt::platform::NumberEdit(this, 0, 1000, -1);
  cols_->setObjectName("c_1212");
  addLabel(pg, "PcbEdit.c_Row", 0, 0);
  pg->addWidget(rows_, 0, 1);
  addLabel(pg, "PcbEdit.c_Col", 1, 0);
  pg->addWidget(cols_, 1, 1);
  auto dbl = [&](const char* id, double lo, double hi, QGridLayout* g, const char* key, int r, int c,
                 bool mm = true) {
    auto* s = new smt::platform::NumberEdit(this, lo, hi, 4);
    s->setObjectName(id);
    // Room for a board's sizes ("-1234.5678"), not for the widest number the range allows.
    s->setMinimumWidth(s->fontMetrics().horizontalAdvance("-0000.0000") + 16);
    dbl_[id] = s;
    if (key) addLabel(g, key, r, c);
    if (mm) {
      auto* withUnit = new QHBoxLayout;
      withUnit->setSpacing(2);
      withUnit->addWidget(s, 1);
      withUnit->addWidget(new QLabel("mm", this));
      g->addLayout(withUnit, r, c + 1);
    } else {
      g->addWidget(s, r, c + 1);
    }
    return s;
  };
  // The take buttons beside a box: what they take is their text.
  auto takes = [&](QGridLayout* g, int r, int c, std::initializer_list<std::pair<int, const char*>> buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    for (const auto& [id, key] : buttons) row->addWidget(AddTakeButton(id, key));
    g->addLayout(row, r, c);
  };
  auto num = [&](const char* id, int lo, int hi, QGridLayout* g, const char* key, int r, int c) {
    auto* s = new smt::platform::NumberEdit(this, lo, hi, -1);
    s->setObjectName(id);
    int_[id] = s;
    addLabel(g, key, r, c);
    g->addWidget(s, r, c + 1);
    return s;
  };
  auto check = [&](const char* id, const char* key, QGridLayout* g, int r, int c) {
    auto* b = new QCheckBox(this);
    b->setObjectName(id);
    textTargets_[key] = b;
    g->addWidget(b, r, c, 1, 2);
    return b;
  };
  dbl("c_1101", -kAny, kAny, pg, "PcbEdit.c_RowSpace", 2, 0);
  takes(pg, 2, 2, {{1361, "PcbEdit.c_TakeFromZero"}});
  dbl("c_1102", -kAny, kAny, pg, "PcbEdit.c_ColSpace", 3, 0);
  takes(pg, 3, 2, {{1362, "PcbEdit.c_TakeFromZero"}});
  pg->setColumnStretch(3, 1);
  selectAll_ = check("c_1100", "PcbEdit.c_AllPCBArray", pg, 4, 0);
  arrayLabel_ = new QLabel(this);
  arrayLabel_->setObjectName("c_1099");
  pg->addWidget(arrayLabel_, 4, 2, 1, 2);
  grid_ = new QTableWidget(this);
  grid_->setObjectName("c_1076");
  smt::platform::KeepColumnsWideEnough(grid_);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->hide();
  grid_->horizontalHeader()->setSectionsClickable(false);
  pg->addWidget(grid_, 5, 0, 1, 4);
  num("c_1116", 1, 10000, pg, "PcbEdit.c_PcbCount", 6, 0);
  top->addWidget(panelBox, 2);

  // Right: board and Mark camera values.
  auto* right = new QVBoxLayout;
  auto* propBox = new QGroupBox(this);
  textTargets_["PcbEdit.c_PcbProper"] = propBox;
  auto* bg = new QGridLayout(propBox);
  bg->setHorizontalSpacing(4);
  // Each value: its label with the axis, the box in mm, then the buttons that
  // take it from the machine's position.
  // The origin, taken by the nozzle or the camera, has a row per axis.
  dbl("c_1110", 0.0, 500.0, bg, "PcbEdit.c_Thickness", 0, 3);
  dbl("c_1103", -kAny, kAny, bg, "PcbEdit.c_OriginX", 0, 0);
  takes(bg, 0, 2, {{1233, "PcbEdit.c_TakeNozzle"}, {1011, "PcbEdit.c_TakeCamera"}});
  dbl("c_1104", -kAny, kAny, bg, "PcbEdit.c_OriginY", 1, 0);
  takes(bg, 1, 2, {{1234, "PcbEdit.c_TakeNozzle"}, {1012, "PcbEdit.c_TakeCamera"}});
  markEnable_ = check("c_1105", "PcbEdit.c_Mark", bg, 2, 0);
  eachMark_ = check("c_1256", "PcbEdit.c_EachMark", bg, 2, 3);
  dbl("c_1106", -kAny, kAny, bg, "PcbEdit.c_Mark1X", 3, 0);
  takes(bg, 3, 2, {{1019, "PcbEdit.c_TakeCamera"}});
  dbl("c_1107", -kAny, kAny, bg, "PcbEdit.c_Mark1Y", 3, 3);
  takes(bg, 3, 5, {{1020, "PcbEdit.c_TakeCamera"}});
  dbl("c_1108", -kAny, kAny, bg, "PcbEdit.c_Mark2X", 4, 0);
  takes(bg, 4, 2, {{1025, "PcbEdit.c_TakeCamera"}});
  dbl("c_1109", -kAny, kAny, bg, "PcbEdit.c_Mark2Y", 4, 3);
  takes(bg, 4, 5, {{1026, "PcbEdit.c_TakeCamera"}});
  manualMark_ = check("c_1111", "PcbEdit.c_MarkManual", bg, 5, 0);
  dbl("c_1112", -3.0, 3.0, bg, "PcbEdit.c_Mark1_X_Offset", 6, 0);
  takes(bg, 6, 2, {{1022, "PcbEdit.c_TakeCamera"}});
  dbl("c_1113", -3.0, 3.0, bg, "PcbEdit.c_Mark1_Y_Offset", 6, 3);
  takes(bg, 6, 5, {{1024, "PcbEdit.c_TakeCamera"}});
  dbl("c_1114", -3.0, 3.0, bg, "PcbEdit.c_Mark2_X_Offset", 7, 0);
  takes(bg, 7, 2, {{1027, "PcbEdit.c_TakeCamera"}});
  dbl("c_1115", -3.0, 3.0, bg, "PcbEdit.c_Mark2_Y_Offset", 7, 3);
  takes(bg, 7, 5, {{1028, "PcbEdit.c_TakeCamera"}});
  right->addWidget(propBox);
  auto* camBox = new QGroupBox(this);
  textTargets_["PcbEdit.c_MarkParameter"] = camBox;
  auto* cg = new QGridLayout(camBox);
  reversal_ = check("c_1253", "PcbEdit.c_ImageColorReversal", cg, 0, 0);
  specialMark2_ = check("c_1252", "PcbEdit.c_SpecialMark2", cg, 0, 2);
  dbl("c_1119", 1.0, 200.0, cg, "PcbEdit.c_VisualZoom", 1, 0, false);
  num("c_1121", 1, 100, cg, "PcbEdit.c_DetectPrecision", 1, 2);
  dbl("c_1051", 0.2, 50.0, cg, "PcbEdit.c_VisualBox", 2, 0);
  dbl("c_1120", 0.1, 20.0, cg, "PcbEdit.c_MarkDiameter", 2, 2);
  num("c_1248", 0, 255, cg, "PcbEdit.c_LightContrast", 3, 0);
  num("c_1053", 0, 255, cg, "PcbEdit.c_LightBrightness", 3, 2);
  num("c_1054", 1, 10, cg, "PcbEdit.c_VisualTimes", 4, 0);
  num("c_1045", 10, 1000, cg, "PcbEdit.c_MarkCollectTime", 4, 2);
  num("c_1125", 0, 255, cg, "PcbEdit.c_Mark2LightContrast", 5, 0);
  num("c_1129", 0, 255, cg, "PcbEdit.c_Mark2LightBrightness", 5, 2);
  right->addWidget(camBox);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch();
  auto* ok = addButton("PcbEdit.c_IDOK", okRow, [this] { OnOK(); });
  ok->setObjectName("IDOK");
  ok->setDefault(true);
  auto* cancel = addButton("PcbEdit.c_IDCANCEL", okRow, [] {});
  cancel->setObjectName("IDCANCEL");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  BuildCommands(right);
  right->addLayout(okRow);
  top->addLayout(right, 2);

  connect(names_, &QListWidget::currentRowChanged, this, [this](int r) {
    if (!building_ && r >= 0) OnSelchangePcbList(r);
  });
  // The grid follows the rows and columns as soon as they hold a number in range.
  connect(rows_, &QLineEdit::textChanged, this, [this] {
    if (!building_ && rows_->Valid()) OnPanelSizeChanged();
  });
  connect(cols_, &QLineEdit::textChanged, this, [this] {
    if (!building_ && cols_->Valid()) OnPanelSizeChanged();
  });
  connect(selectAll_, &QCheckBox::clicked, this, [this](bool on) { OnSelectAllPanels(on); });
  connect(grid_, &QTableWidget::cellClicked, this, [this](int r, int c) { OnClickPanelGrid(r, c); });
  WriteFieldsToControls();
}

void CDialogPCBEdit::LoadLanguage(const std::string& appDir, const std::string& language) {
  LanguageSection s(appDir, language, "PcbEditConfig");
  for (const auto& [k, v] : TextTable()) texts_[k] = s.Text(k, v);
}

void CDialogPCBEdit::ApplyLanguageTexts() {
  setWindowTitle(QString::fromStdString(Text("PcbEdit.c_PcbEdit")));
  for (const auto& [key, w] : textTargets_) {
    std::string t = Text(key);
    if (key == "PcbEdit.c_Thickness" && Type() == 9) t = "钻孔高度";
    const QString q = QString::fromStdString(t);
    if (auto* l = qobject_cast<QLabel*>(w))
      l->setText(q);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
      b->setText(q);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
      g->setTitle(q);
  }
  for (const auto& [button, key] : takeTexts_) button->setText(QString::fromStdString(Text(key)));
  if (grid_->columnCount() > 0)
    grid_->setHorizontalHeaderItem(0, new QTableWidgetItem(QString::fromStdString(Text("PcbEdit.c_RowColNo"))));
  arrayLabel_->setText(ArrayLabelText());
}

void CDialogPCBEdit::LoadConfig(const std::string& appDir) {
  appDir_ = appDir;
  // The zero values read as the smallest working ones.
  const smt::job::PcbEditSettings p = smt::job::LoadPcbEditSettings(appDir);
  f_.m_PcbBoardCount = p.m_PcbBoardCount;
  f_.m_VisualZoom = p.m_VisualZoom;
  f_.m_DetectPrecision = p.m_DetectPrecision;
  f_.m_ImageColorReversal = p.m_ImageColorReversal;
  f_.m_VisualBox = p.m_VisualBox;
  f_.m_MarkDiameter = p.m_MarkDiameter;
  f_.m_LightContrast = p.m_LightContrast;
  f_.m_LightBrightness = p.m_LightBrightness;
  f_.m_VisualTimes = p.m_VisualTimes;
  f_.m_MarkCollectTime = p.m_MarkCollectTime;
  f_.m_SpecialMark2 = p.m_SpecialMark2;
  f_.m_Mark2LightContrast = p.m_Mark2LightContrast;
  f_.m_Mark2LightBrightness = p.m_Mark2LightBrightness;
  WriteFieldsToControls();
}

void CDialogPCBEdit::SaveConfig(const std::string& appDir) const {
  SettingsSection s(smt::platform::ConfigPath(appDir), "PcbEditConfig");
  s.WriteInt("m_PcbBoardCount", f_.m_PcbBoardCount);
  s.WriteDouble("m_VisualZoom", f_.m_VisualZoom);
  s.WriteInt("m_DetectPrecision", f_.m_DetectPrecision);
  s.WriteInt("m_ImageColorReversal", f_.m_ImageColorReversal);
  s.WriteDouble("m_VisualBox", f_.m_VisualBox);
  s.WriteDouble("m_MarkDiameter", f_.m_MarkDiameter);
  s.WriteInt("m_LightContrast", f_.m_LightContrast);
  s.WriteInt("m_LightBrightness", f_.m_LightBrightness);
  s.WriteInt("m_VisualTimes", f_.m_VisualTimes);
  s.WriteInt("m_MarkCollectTime", f_.m_MarkCollectTime);
  s.WriteInt("m_SpecialMark2", f_.m_SpecialMark2);
  s.WriteInt("m_Mark2LightContrast", f_.m_Mark2LightContrast);
  s.WriteInt("m_Mark2LightBrightness", f_.m_Mark2LightBrightness);
}

void CDialogPCBEdit::WriteFieldsToControls() {
  building_ = true;
  nameBox_->setText(QString::fromStdString(f_.name));
  noteBox_->setText(QString::fromStdString(f_.note));
  rows_->setValue(f_.rows);
  cols_->setValue(f_.cols);
  const std::pair<const char*, double> d[] = {
      {"c_1101", f_.rowSpace},      {"c_1102", f_.colSpace},      {"c_1103", f_.originX},
      {"c_1104", f_.originY},       {"c_1106", f_.mark1X},        {"c_1107", f_.mark1Y},
      {"c_1108", f_.mark2X},        {"c_1109", f_.mark2Y},        {"c_1110", f_.thickness},
      {"c_1112", f_.manualMark1X},  {"c_1113", f_.manualMark1Y},  {"c_1114", f_.manualMark2X},
      {"c_1115", f_.manualMark2Y},  {"c_1119", f_.m_VisualZoom},  {"c_1051", f_.m_VisualBox},
      {"c_1120", f_.m_MarkDiameter}};
  for (const auto& [id, v] : d) dbl_[id]->setValue(v);
  const std::pair<const char*, int> n[] = {
      {"c_1248", f_.m_LightContrast},      {"c_1053", f_.m_LightBrightness},     {"c_1054", f_.m_VisualTimes},
      {"c_1045", f_.m_MarkCollectTime},    {"c_1125", f_.m_Mark2LightContrast},  {"c_1129", f_.m_Mark2LightBrightness},
      {"c_1121", f_.m_DetectPrecision},    {"c_1116", f_.m_PcbBoardCount}};
  for (const auto& [id, v] : n) int_[id]->setValue(v);
  markEnable_->setChecked(f_.markEnable);
  manualMark_->setChecked(f_.manualMark);
  reversal_->setChecked(f_.m_ImageColorReversal);
  specialMark2_->setChecked(f_.m_SpecialMark2);
  eachMark_->setChecked(f_.eachMark);
  building_ = false;
}

bool CDialogPCBEdit::ReadControlsToFields(bool refuse) {
  // Every box first, so a refused one leaves all fields as they were.
  std::map<std::string, double> v;
  std::vector<std::pair<std::string, smt::platform::NumberEdit*>> boxes = {{"c_1217", rows_}, {"c_1212", cols_}};
  for (const auto& [id, box] : dbl_) boxes.emplace_back(id, box);
  for (const auto& [id, box] : int_) boxes.emplace_back(id, box);
  for (const auto& [id, box] : boxes) {
    if (const auto value = refuse ? box->Read() : box->Valid())
      v[id] = *value;
    else if (refuse)
      return false;
  }
  f_.name = nameBox_->text().toStdString();
  f_.note = noteBox_->text().toStdString();
  auto take = [&](const char* id, auto& field) {
    if (auto it = v.find(id); it != v.end()) field = static_cast<std::remove_reference_t<decltype(field)>>(it->second);
  };
  take("c_1217", f_.rows);
  take("c_1212", f_.cols);
  const std::pair<const char*, double*> d[] = {
      {"c_1101", &f_.rowSpace},     {"c_1102", &f_.colSpace},     {"c_1103", &f_.originX},
      {"c_1104", &f_.originY},      {"c_1106", &f_.mark1X},       {"c_1107", &f_.mark1Y},
      {"c_1108", &f_.mark2X},       {"c_1109", &f_.mark2Y},       {"c_1110", &f_.thickness},
      {"c_1112", &f_.manualMark1X}, {"c_1113", &f_.manualMark1Y}, {"c_1114", &f_.manualMark2X},
      {"c_1115", &f_.manualMark2Y}, {"c_1119", &f_.m_VisualZoom}, {"c_1051", &f_.m_VisualBox},
      {"c_1120", &f_.m_MarkDiameter}};
  for (const auto& [id, p] : d) take(id, *p);
  const std::pair<const char*, int*> n[] = {
      {"c_1248", &f_.m_LightContrast},   {"c_1053", &f_.m_LightBrightness},    {"c_1054", &f_.m_VisualTimes},
      {"c_1045", &f_.m_MarkCollectTime}, {"c_1125", &f_.m_Mark2LightContrast}, {"c_1129", &f_.m_Mark2LightBrightness},
      {"c_1121", &f_.m_DetectPrecision}, {"c_1116", &f_.m_PcbBoardCount}};
  for (const auto& [id, p] : n) take(id, *p);
  f_.markEnable = markEnable_->isChecked();
  f_.manualMark = manualMark_->isChecked();
  f_.m_ImageColorReversal = reversal_->isChecked();
  f_.m_SpecialMark2 = specialMark2_->isChecked();
  f_.eachMark = eachMark_->isChecked();
  return true;
}

QString CDialogPCBEdit::ArrayLabelText() const {
  return QString::fromStdString(Text("PcbEdit.c_ArrayNumber")) + QString::number(m_nArrayNumber);
}

// --- name list ---

void CDialogPCBEdit::RebuildNameList(const std::string& checkedName) {
  building_ = true;
  names_->clear();
  for (const auto& r : job_.pcbs.m_Records) {
    auto* it = new QListWidgetItem(QString::fromStdString(r.m_strName), names_);
    it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
    it->setCheckState(!checkedName.empty() && r.m_strName == checkedName ? Qt::Checked : Qt::Unchecked);
  }
  names_->sortItems();
  building_ = false;
}

int CDialogPCBEdit::FindPcbListItem(const std::string& name) const {
  const int n = std::min(names_->count(), job_.pcbs.Count());
  for (int i = 0; i < n; ++i)
    if (names_->item(i)->text().toStdString() == name) return i;
  return -1;
}

bool CDialogPCBEdit::IsAnyPcbChecked() const {
  const int n = std::min(names_->count(), job_.pcbs.Count());
  for (int i = 0; i < n; ++i)
    if (names_->item(i)->checkState() == Qt::Checked) return true;
  return false;
}

std::vector<std::string> CDialogPCBEdit::ListNames() const {
  std::vector<std::string> v;
  for (int i = 0; i < names_->count(); ++i) v.push_back(names_->item(i)->text().toStdString());
  return v;
}

// --- panel grid view ---

void CDialogPCBEdit::SetGridView(const std::vector<std::vector<std::string>>& grid, int cols) {
  grid_->clear();
  const int c = std::max(cols, 0);
  grid_->setColumnCount(grid.empty() ? 0 : c + 1);
  grid_->setRowCount(static_cast<int>(grid.size()));
  if (!grid.empty()) {
    grid_->setHorizontalHeaderItem(0, new QTableWidgetItem(QString::fromStdString(Text("PcbEdit.c_RowColNo"))));
    grid_->setColumnWidth(0, 60);
    for (int k = 1; k <= c; ++k) {
      grid_->setHorizontalHeaderItem(k, new QTableWidgetItem(QString::number(k)));
      grid_->setColumnWidth(k, 33);
    }
  }
  for (int r = 0; r < static_cast<int>(grid.size()); ++r)
    for (int k = 0; k <= c; ++k) {
      const auto& row = grid[static_cast<size_t>(r)];
      auto p = smt::job::SplitPrefix(static_cast<size_t>(k) < row.size() ? row[static_cast<size_t>(k)] : "");
      auto* it = new QTableWidgetItem(QString::fromStdString(p.text));
      it->setTextAlignment(Qt::AlignCenter);
      const bool on = p.hasSlash && p.prefix == "1";
      it->setData(Qt::UserRole, on ? 1 : (k == 0 ? 0 : -1));
      if (on) it->setIcon(RowListModel::Image(smt::job::kImgYes));
      grid_->setItem(r, k, it);
    }
  CountGrid();
}

void CDialogPCBEdit::CountGrid() {
  int n = 0;
  for (int r = 0; r < grid_->rowCount() && r < f_.rows; ++r)
    for (int c = 1; c <= f_.cols && c < grid_->columnCount(); ++c) {
      auto* it = grid_->item(r, c);
      n += (it && it->data(Qt::UserRole).toInt() == 1);
    }
  m_nArrayNumber = n;
  arrayLabel_->setText(ArrayLabelText());
}

std::vector<std::vector<std::string>> CDialogPCBEdit::GridFromView() const {
  std::vector<std::vector<std::string>> g;
  if (f_.rows <= 0) return g;
  g.resize(static_cast<size_t>(f_.rows));
  for (int r = 0; r < f_.rows; ++r) {
    auto& row = g[static_cast<size_t>(r)];
    row.resize(static_cast<size_t>(std::max(f_.cols, 0)) + 1);
    for (int c = 0; c <= f_.cols; ++c) {
      auto* it = grid_->item(r, c);
      const bool on = it && it->data(Qt::UserRole).toInt() == 1;
      row[static_cast<size_t>(c)] = (on ? kEnabled : kSkipped) + (it ? it->text().toStdString() : std::string());
    }
  }
  return g;
}

void CDialogPCBEdit::CopyRecordToFields(const PcbRecord& rec, bool includeCamera) {
  f_.name = rec.m_strName;
  f_.note = rec.m_strNote;
  f_.rows = rec.m_nRows;
  f_.cols = rec.m_nCols;
  f_.rowSpace = rec.m_dRowSpace;
  f_.colSpace = rec.m_dColSpace;
  f_.thickness = rec.m_dThickness;
  f_.originX = rec.m_dOriginX;
  f_.originY = rec.m_dOriginY;
  f_.markEnable = rec.m_bMarkEnable;
  f_.mark1X = rec.m_dMark1X;
  f_.mark1Y = rec.m_dMark1Y;
  f_.mark2X = rec.m_dMark2X;
  f_.mark2Y = rec.m_dMark2Y;
  if (!includeCamera) return;
  f_.m_ImageColorReversal = rec.m_bImageColorReversal;
  f_.m_VisualBox = rec.m_dVisualBox;
  f_.m_MarkDiameter = rec.m_dMarkDiameter;
  f_.m_LightContrast = rec.m_nLightContrast;
  f_.m_LightBrightness = rec.m_nLightBrightness;
  f_.m_VisualTimes = rec.m_nVisualTimes;
  f_.m_MarkCollectTime = rec.m_nMarkCollectTime;
  f_.m_SpecialMark2 = rec.m_bSpecialMark2;
  f_.m_Mark2LightContrast = rec.m_nMark2LightContrast;
  f_.m_Mark2LightBrightness = rec.m_nMark2LightBrightness;
  f_.eachMark = rec.m_bEachMark;
  // A board whose camera values were never set holds zeros: they show as the
  // editor's own replacements of a zero setting (any other value shows as
  // it is, and an OK refuses it when it is outside its field's range).
  if (f_.m_VisualBox == 0) f_.m_VisualBox = 0.2;
  if (f_.m_MarkDiameter == 0) f_.m_MarkDiameter = 0.1;
  if (f_.m_VisualTimes == 0) f_.m_VisualTimes = 1;
  if (f_.m_MarkCollectTime == 0) f_.m_MarkCollectTime = 10;
}

void CDialogPCBEdit::InitFromTable() {
  const std::string cur = job_.pcbs.m_strCurPcbName;
  RebuildNameList(cur);
  SetGridView({}, 0);
  if (const PcbRecord* rec = job_.pcbs.Find(cur); rec && !cur.empty()) {
    CopyRecordToFields(*rec, rec->m_dVisualZoom != 0.0);
    WriteFieldsToControls();
    SetGridView(rec->m_PanelGrid, rec->m_nCols);
  } else {
    WriteFieldsToControls();
  }
  ApplyLanguageTexts();
}

void CDialogPCBEdit::showEvent(QShowEvent* e) {
  importUndo_.reset();
  InitFromTable();
  LockCameraFields();
  camera_->OpenMarkCamera();
  QDialog::showEvent(e);
}

// --- OK ---

void CDialogPCBEdit::OnOK() {
  // A box that holds no number in its range stops the OK before anything is written.
  if (!ReadControlsToFields(true)) return;
  SaveConfig(appDir_);
  if (!IsAnyPcbChecked()) return Message("PcbEdit.c_Message_01");
  if (f_.name.empty()) {
    nameBox_->setFocus();
    return Message("PcbEdit.c_Message_02");
  }
  if (!smt::job::IsCellText(f_.name) || !smt::job::IsCellText(f_.note)) {
    nameBox_->setFocus();
    return Message("PcbEdit.c_Message_07");
  }
  CountGrid();
  if (m_nArrayNumber <= 0) return Message("PcbEdit.c_Message_01");
  if (static_cast<long long>(std::trunc(f_.m_VisualZoom * f_.m_VisualBox)) > camera_->LiveImageHeight()) {
    dbl_["c_1051"]->setFocus();
    dbl_["c_1051"]->selectAll();
    smt::platform::ShowMessage(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_ParameterTooBig", "参数太大 !"));
    return;
  }
  const std::string& cur = job_.pcbs.m_strCurPcbName;
  const int curItem = FindPcbListItem(cur);
  for (int i = 0; i < names_->count(); ++i)
    if (i != curItem && names_->item(i)->text().toStdString() == f_.name) {
      nameBox_->setFocus();
      return Message("PcbEdit.c_Message_03");
    }
  PcbRecord* rec = job_.pcbs.Find(cur);
  if (!rec) return Message("PcbEdit.c_Message_01");  // the checked item names no board

  rec->m_strName = cur;  // the name box renames nothing: that is Edit's work
  rec->m_strNote = f_.note;
  rec->m_nRows = f_.rows;
  rec->m_nCols = f_.cols;
  rec->m_dRowSpace = f_.rowSpace;
  rec->m_dColSpace = f_.colSpace;
  rec->m_dThickness = f_.thickness;
  rec->m_dOriginX = f_.originX;
  rec->m_dOriginY = f_.originY;
  rec->m_bMarkEnable = f_.markEnable;
  rec->m_dMark1X = f_.mark1X;
  rec->m_dMark1Y = f_.mark1Y;
  rec->m_dMark2X = f_.mark2X;
  rec->m_dMark2Y = f_.mark2Y;
  rec->m_dVisualZoom = f_.m_VisualZoom;
  rec->m_bImageColorReversal = f_.m_ImageColorReversal;
  rec->m_dVisualBox = f_.m_VisualBox;
  rec->m_dMarkDiameter = f_.m_MarkDiameter;
  rec->m_nLightContrast = f_.m_LightContrast;
  rec->m_nLightBrightness = f_.m_LightBrightness;
  rec->m_nVisualTimes = f_.m_VisualTimes;
  rec->m_nMarkCollectTime = f_.m_MarkCollectTime;
  rec->m_bSpecialMark2 = f_.m_SpecialMark2;
  rec->m_nMark2LightContrast = f_.m_Mark2LightContrast;
  rec->m_nMark2LightBrightness = f_.m_Mark2LightBrightness;
  rec->m_bEachMark = f_.eachMark;
  rec->m_PanelGrid = GridFromView();
  // The shown board's rows go back to their own record before this board's
  // rows are shown.
  job_.ApplyCurrentRecord();
  // OK keeps what was imported while the editor was open.
  KeepImport();
  if (f_.manualMark) {
    auto in = [](double v) { return v >= -3.0 && v <= 3.0; };
    if (in(f_.manualMark1X) && in(f_.manualMark1Y) && in(f_.manualMark2X) && in(f_.manualMark2Y))
      smt::job::ConvertPointToSteps(machine_, f_.manualMark1X, f_.manualMark1Y, f_.manualMark2X, f_.manualMark2Y);
  }
  if (!m_bCloseOnOK) {
    m_bCloseOnOK = true;
    return;
  }
  camera_->ShowMarkValues(f_.m_VisualBox, f_.m_LightContrast, f_.m_LightBrightness);
  accept();
}

bool CDialogPCBEdit::RequestClose() {
  if (job_.pcbs.Count() != 0 && job_.pcbs.m_strCurPcbName.empty()) {
    Message("PcbEdit.c_Message_01");
    return false;
  }
  reject();
  return true;
}

void CDialogPCBEdit::closeEvent(QCloseEvent* e) {
  if (job_.pcbs.Count() != 0 && job_.pcbs.m_strCurPcbName.empty()) {
    Message("PcbEdit.c_Message_01");
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void CDialogPCBEdit::reject() {
  // Cancel: an import made while the editor was open is taken back.
  UndoImport();
  // A board chosen but not applied does not stay current: the current board
  // is again the one whose rows the part list shows.
  if (job_.pcbs.FindPcbIndex(job_.shownPcbName) >= 0 && !job_.shownPcbName.empty())
    job_.pcbs.m_strCurPcbName = job_.shownPcbName;
  QDialog::reject();
}

// --- list operations ---

void CDialogPCBEdit::OnAddPcb() {
  if (!ReadControlsToFields(true)) return;
  if (f_.name.empty()) {
    nameBox_->setFocus();
    return Message("PcbEdit.c_Message_02");
  }
  if (!smt::job::IsCellText(f_.name)) {
    nameBox_->setFocus();
    return Message("PcbEdit.c_Message_07");
  }
  if (job_.pcbs.NameTaken(f_.name)) {
    nameBox_->setFocus();
    nameBox_->selectAll();
    return Message("PcbEdit.c_Message_04");
  }
  const std::string name = f_.name;
  if (job_.pcbs.Add(name) != PcbOpResult::Ok) return;
  RebuildNameList(name);
  f_.note.clear();
  f_.rows = f_.cols = 1;
  f_.rowSpace = f_.colSpace = f_.thickness = 0;
  f_.markEnable = false;
  f_.originX = f_.originY = f_.mark1X = f_.mark1Y = f_.mark2X = f_.mark2Y = 0;
  WriteFieldsToControls();
  SetGridView(smt::job::FullPanelGrid(1, 1), 1);
  m_nArrayNumber = 1;
  arrayLabel_->setText(ArrayLabelText());
  m_bCloseOnOK = false;
  OnOK();
  m_bCloseOnOK = true;
}

void CDialogPCBEdit::OnDeletePcb() {
  if (FindPcbListItem(job_.pcbs.m_strCurPcbName) < 0) return Message("PcbEdit.c_Message_05");
  if (job_.DeleteCurrentBoard() != PcbOpResult::Ok) return Message("PcbEdit.c_Message_05");
  RebuildNameList("");
  f_.name.clear();
  f_.note.clear();
  f_.rows = f_.cols = 0;
  f_.rowSpace = f_.colSpace = f_.thickness = 0;
  f_.markEnable = false;
  f_.originX = f_.originY = f_.mark1X = f_.mark1Y = f_.mark2X = f_.mark2Y = 0;
  WriteFieldsToControls();
  SetGridView({}, 0);
}

void CDialogPCBEdit::OnPastePcb() {
  if (!IsAnyPcbChecked()) return Message("PcbEdit.c_Message_06");
  switch (job_.PasteCurrentBoard()) {
    case PcbOpResult::Ok: break;
    case PcbOpResult::AlreadyCopied: smt::platform::ShowMessage(smt::platform::WindowText("JobMessagesConfig", "JobMessages.c_PcbAlreadyCopied", "PCB 已经复制过 !")); return;
    default: return Message("PcbEdit.c_Message_06");
  }
  RebuildNameList(job_.pcbs.m_strCurPcbName);
}

void CDialogPCBEdit::OnEditPcb() {
  if (FindPcbListItem(job_.pcbs.m_strCurPcbName) < 0) return Message("PcbEdit.c_Message_01");
  const std::string name = nameBox_->text().toStdString();
  const std::string note = noteBox_->text().toStdString();
  switch (job_.RenameCurrentBoard(name, note)) {
    case PcbOpResult::Ok: break;
    case PcbOpResult::EmptyName: return Message("PcbEdit.c_Message_02");
    case PcbOpResult::HasTab: return Message("PcbEdit.c_Message_07");
    case PcbOpResult::NameInUse:
      nameBox_->setFocus();
      nameBox_->selectAll();
      return Message("PcbEdit.c_Message_04");
    default: return Message("PcbEdit.c_Message_01");
  }
  f_.name = name;
  f_.note = note;
  RebuildNameList(name);
}

void CDialogPCBEdit::OnPanelSizeChanged() {
  ReadControlsToFields();
  SetGridView(smt::job::FullPanelGrid(f_.rows, f_.cols), f_.cols);
}

void CDialogPCBEdit::OnSelectAllPanels(bool on) {
  ReadControlsToFields();
  for (int r = 0; r < grid_->rowCount() && r < f_.rows; ++r)
    for (int c = 1; c <= f_.cols && c < grid_->columnCount(); ++c)
      if (auto* it = grid_->item(r, c)) {
        it->setData(Qt::UserRole, on ? 1 : -1);
        it->setIcon(on ? RowListModel::Image(smt::job::kImgYes) : QIcon());
      }
  CountGrid();
}

void CDialogPCBEdit::OnClickPanelGrid(int row, int column) {
  if (column <= 0) return;
  auto* it = grid_->item(row, column);
  if (!it) return;
  const bool on = it->data(Qt::UserRole).toInt() == 1;
  it->setData(Qt::UserRole, on ? -1 : 1);
  it->setIcon(on ? QIcon() : RowListModel::Image(smt::job::kImgYes));
  ReadControlsToFields();
  CountGrid();
}

void CDialogPCBEdit::OnSelchangePcbList(int listRow) {
  if (listRow < 0 || listRow >= names_->count()) return;
  building_ = true;
  const int n = std::min(names_->count(), job_.pcbs.Count());
  for (int i = 0; i < n; ++i) {
    names_->item(i)->setCheckState(i == listRow ? Qt::Checked : Qt::Unchecked);
    if (i == listRow) job_.pcbs.m_strCurPcbName = names_->item(i)->text().toStdString();
  }
  building_ = false;
  const PcbRecord* rec = job_.pcbs.Current();
  if (!rec) return;
  const double zoom = f_.m_VisualZoom;
  CopyRecordToFields(*rec, true);
  f_.m_VisualZoom = zoom;  // the editor keeps its own zoom
  WriteFieldsToControls();
  SetGridView(rec->m_PanelGrid, rec->m_nCols);
}
