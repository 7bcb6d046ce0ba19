#include "feeder/CDialogFeedEdit.h"
#include "library/PackLibrary.h"
#include "platform/FileCell.h"

#include <QCheckBox>
#include <cmath>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "core/MachineState.h"
#include "feeder/FeederListPanel.h"
#include "feeder/CDialogGridBox.h"
#include "feeder/FeederNozzles.h"
#include "feeder/FeederServices.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineHoming.h"
#include "link/WindowPanels.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/PulseMath.h"
#include "settings/SettingsStores.h"
#include "feeder/AutoFeeders.h"
#include "feeder/FeederTestMotions.h"
#include "feeder/FeederEditorJog.h"
#include "platform/RefusalTexts.h"
#include <QKeyEvent>
#include "platform/SystemText.h"

using namespace smt::feeder;
using smt::platform::FormatDouble;
using smt::platform::FormatInt;
using smt::platform::ShowMessage;
using smt::settings::TruncToSteps;

namespace {

const std::vector<FeederTexts::Entry>& EditEntries() {
  static const std::vector<FeederTexts::Entry> e = {
      {"FeedEdit.c_GoFeed", "<¤>"}, {"FeedEdit.c_GoFeedTip", "走到送料坐标"},
      {"FeedEdit.c_FeedEdit", "料架编辑"}, {"FeedEdit.c_FeedNumber", "料架编号"}, {"FeedEdit.c_East", "东"},
      {"FeedEdit.c_South", "南"}, {"FeedEdit.c_West", "西"}, {"FeedEdit.c_North", "北"}, {"FeedEdit.c_Grid", "格"},
      {"FeedEdit.c_PartType", "元件类型"}, {"FeedEdit.c_PartPacking", "元件封装"}, {"FeedEdit.c_PartAngle", "元件角度"},
      {"FeedEdit.c_PartValue", "元件数值"}, {"FeedEdit.c_PartLength", "元件长度"}, {"FeedEdit.c_PartWidth", "元件宽度"},
      {"FeedEdit.c_PartHeight", "元件厚度"}, {"FeedEdit.c_PartRemainder", "元件余数"}, {"FeedEdit.c_Pcs", "只"},
      {"FeedEdit.c_X_Coordinates", "料架元件 X 坐标"}, {"FeedEdit.c_Y_Coordinates", "料架元件 Y 坐标"},
      {"FeedEdit.c_SelectFeedMode", "选择送料方式"}, {"FeedEdit.c_FeedTest", "送料测试"},
      {"FeedEdit.c_StepTest", "单步测试"}, {"FeedEdit.c_UpdatePack", "更新到数据库"},
      {"FeedEdit.c_PickToCamera", "取料到相机"}, {"FeedEdit.c_BackToFeed", "放回到料栈"},
      {"FeedEdit.c_CameraReach", "相机到达位置"}, {"FeedEdit.c_MeasurementHeight", "测量高度"},
      {"FeedEdit.c_FeedSet", "飞达设置"}, {"FeedEdit.c_Feed_Coordinates", "送料坐标"},
      {"FeedEdit.c_FeedTimes", "送料次数"}, {"FeedEdit.c_FeedTime", "送料时间"}, {"FeedEdit.c_OpenLength", "松皮长度"},
      {"FeedEdit.c_CloseLength", "紧皮长度"}, {"FeedEdit.c_DragTapeSet", "拖料设置"}, {"FeedEdit.c_FeedStep", "送料长度"},
      {"FeedEdit.c_ReturnStep", "回退距离"}, {"FeedEdit.c_FeedDelay", "送料延时"},
      {"FeedEdit.c_DragX_Coordinates", "拖料 X"}, {"FeedEdit.c_DragY_Coordinates", "拖料 Y"},
      {"FeedEdit.c_SuctionPutDelay", "取料放料延时"}, {"FeedEdit.c_SuctionDelay", "取料延时"},
      {"FeedEdit.c_PutDelay", "放料延时"}, {"FeedEdit.c_VisualAlignSet", "视觉对中设置"},
      {"FeedEdit.c_SelectCamera", "选择相机"}, {"FeedEdit.c_NoVisual", "无视觉"}, {"FeedEdit.c_VisualAlign", "视觉对中"},
      {"FeedEdit.c_RunAlign", "飞行对中"}, {"FeedEdit.c_ImageFeature", "图像特征"},
      {"FeedEdit.c_SeparateMark", "是否独立Mark点"}, {"FeedEdit.c_Contrast", "对比度"},
      {"FeedEdit.c_LightIntensity", "光亮度"}, {"FeedEdit.c_GetData", "获取"}, {"FeedEdit.c_Precision_XY", "X Y 校正精度"},
      {"FeedEdit.c_Precision_A", "角度校正精度"}, {"FeedEdit.c_CollectTime", "采像时间"},
      {"FeedEdit.c_VacuumTestSet", "吸嘴真空检测设置"}, {"FeedEdit.c_SelectNozzle", "选择贴装头"},
      {"FeedEdit.c_NozzleHeight", "吸嘴取料高度"}, {"FeedEdit.c_smtBeforeCloseVacuum", "提前关闭真空"},
      {"FeedEdit.c_VacuumTestValue", "真空检测值"}, {"FeedEdit.c_PickBeforeOpenValve", "取料提前打开阀"},
      {"FeedEdit.c_SeparateSpeedSet", "独立速度设置"}, {"FeedEdit.c_SeparateSpeed", "启用独立速度"},
      {"FeedEdit.c_Next", "下一个"}, {"FeedEdit.c_IDOK", "确定"}, {"FeedEdit.c_IDCANCEL", "取消"},
      {"FeedEdit.c_Message_01", "0402与托盘不能一起使用 !"}, {"FeedEdit.c_Message_02", "请选择送料方式 !"},
      {"FeedEdit.c_Message_03", "请选择相机 !"}, {"FeedEdit.c_Message_04", "请选择独立速度 !"},
      {"FeedEdit.c_Message_05", "请选择贴装头 !"}, {"FeedEdit.c_Message_06", "编号重复 !"},
      {"FeedEdit.c_Message_07", "没有复位A1或A2，提取坐标失败 !"}, {"FeedEdit.c_Message_08", "0402送料次数不能大于1 !"},
      {"FeedEdit.c_Message_09", "飞达坐标越限 !"}, {"FeedEdit.c_Message_10", "请确定此元件具有Mark标志 !"},
      {"FeedEdit.c_Message_11", "南面不能使用集中飞达或拖针 !"}, {"FeedEdit.c_Message_12", "南面自动飞达不能超过96 !"},
      {"FeedEdit.c_Message_13", "除南面外其他不能使用自动飞达 !"}, {"FeedEdit.c_Message_14", "方位与送料方式不匹配 !"}};
  return e;
}

constexpr smt::platform::SystemText kSaveFirst{"FeederMessagesConfig", "FeederMessages.c_SaveFirst", "Please click the OK button and save it before opening it !"};
constexpr smt::platform::SystemText kPickHeightError{"FeederMessagesConfig", "FeederMessages.c_PickHeightError", "pick height error!"};

std::vector<std::string> TabItems(const std::string& s) { return SplitTabCells(s); }

// A number edit's field and the list cell it is written to.
struct EditCell {
  const char* edit;
  int cell;
  double FeederEditFields::*real = nullptr;
  int FeederEditFields::*whole = nullptr;
  int decimals = 0;  // of the field's format (reals)
};
const std::vector<EditCell>& EditCells() {
  using F = FeederEditFields;
  static const std::vector<EditCell> cells = {
      {"number", kCellNumber, nullptr, &F::number},
      {"x", kCellX, &F::x, nullptr, 4},
      {"y", kCellY, &F::y, nullptr, 4},
      {"length", kCellLength, &F::length, nullptr, 2},
      {"width", kCellWidth, &F::width, nullptr, 2},
      {"height", kCellHeight, &F::height, nullptr, 2},
      {"vacuum", kCellVacuum, &F::vacuum, nullptr, 4},
      {"contrast", kCellFly, nullptr, &F::contrast},
      {"brightness", kCellFly, nullptr, &F::brightness},
      {"pickDelay", kCellPickDelay, nullptr, &F::pickDelay},
      {"placeDelay", kCellPlaceDelay, nullptr, &F::placeDelay},
      {"feedCoord", kCellFeedCoord, &F::feedCoord, nullptr, 4},
      {"feedCount", kCellFeedCount, nullptr, &F::feedCount},
      {"feedTime", kCellFeedTime, nullptr, &F::feedTime},
      {"slack", kCellSlack, &F::slack, nullptr, 4},
      {"tension", kCellTension, &F::tension, nullptr, 4},
      {"pickHeight", kCellPickHeight, &F::pickHeight, nullptr, 4},
      {"earlyVacuum", kCellEarlyVacuum, &F::earlyVacuum, nullptr, 4},
      {"remainder", kCellQuantity, nullptr, &F::remainder},
      {"precisionXY", kCellPrecisionXY, nullptr, &F::precisionXY},
      {"precisionA", kCellPrecisionA, nullptr, &F::precisionA},
      {"collectTime", kCellCollectTime, nullptr, &F::collectTime},
  };
  return cells;
}
double ValueOf(const FeederEditFields& f, const EditCell& c) { return c.real ? f.*c.real : f.*c.whole; }
std::string FormattedValue(const FeederEditFields& f, const EditCell& c) {
  return c.real ? FormatDouble(f.*c.real, c.decimals) : FormatInt(f.*c.whole);
}
// The text of a number edit's own part of a list cell ("60/80": contrast 60, brightness 80).
std::string EditTextOf(const FeederListRow& row, const EditCell& c) {
  const std::string& t = row.text[static_cast<size_t>(c.cell)];
  if (c.cell != kCellFly) return t;
  const size_t slash = t.find('/');
  if (std::string_view(c.edit) == "contrast") return t.substr(0, slash);
  return slash == std::string::npos ? std::string() : t.substr(slash + 1);
}

// A combo's choice, or with none the text it keeps (shown in the empty box).
std::string ComboText(const QComboBox* c) {
  return (c->currentIndex() < 0 ? c->placeholderText() : c->currentText()).toStdString();
}

}  // namespace

CDialogFeedEdit::CDialogFeedEdit(FeederListPanel* panel, smt::Machine& machine, QWidget* parent)
    : QDialog(parent), panel_(panel), machine_(machine) {
  setObjectName("CDialogFeedEdit");
  texts_.Defaults(EditEntries());
  Build();
  gridBox_ = new CDialogGridBox(panel, machine_, this);
}

CDialogFeedEdit::~CDialogFeedEdit() {
  if (panel_) panel_->m_bEditInProgress = false;
}

void CDialogFeedEdit::closeEvent(QCloseEvent* e) {
  QDialog::closeEvent(e);
}

QLineEdit* CDialogFeedEdit::Edit(const std::string& n) const {
  auto it = edits_.find(n);
  return it == edits_.end() ? nullptr : it->second;
}
QComboBox* CDialogFeedEdit::Combo(const std::string& n) const {
  auto it = combos_.find(n);
  return it == combos_.end() ? nullptr : it->second;
}
QPushButton* CDialogFeedEdit::Button(const std::string& n) const {
  auto it = buttons_.find(n);
  return it == buttons_.end() ? nullptr : it->second;
}
QRadioButton* CDialogFeedEdit::SideButton(int side) const { return side >= 0 && side < 5 ? sides_[side] : nullptr; }

void CDialogFeedEdit::Build() {
  auto* outer = new QVBoxLayout(this);
  auto* cols = new QHBoxLayout;
  outer->addLayout(cols);
  auto* left = new QGridLayout;
  auto* middle = new QVBoxLayout;
  auto* right = new QGridLayout;
  cols->addLayout(left);
  cols->addLayout(middle);
  cols->addLayout(right);
  int row = 0;
  auto label = [&](const std::string& key) {
    auto* l = new QLabel(this);
    labels_[key] = l;
    return l;
  };
  auto edit = [&](QGridLayout* g, const std::string& name, const std::string& key) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromStdString(name));
    edits_[name] = e;
    g->addWidget(label(key), row, 0);
    g->addWidget(e, row, 1);
    ++row;
    return e;
  };
  auto combo = [&](QGridLayout* g, const std::string& name, const std::string& key) {
    auto* c = new QComboBox(this);
    combos_[name] = c;
    g->addWidget(label(key), row, 0);
    g->addWidget(c, row, 1);
    ++row;
    return c;
  };
  auto button = [&](const std::string& name, const QString& text = QString()) {
    auto* b = new QPushButton(text, this);
    buttons_[name] = b;
    return b;
  };
  edit(left, "number", "FeedEdit.c_FeedNumber");
  auto* sideBox = new QHBoxLayout;
  const char* sideKeys[5] = {"FeedEdit.c_East", "FeedEdit.c_South", "FeedEdit.c_West", "FeedEdit.c_North", "FeedEdit.c_Grid"};
  sideGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 5; ++i) {
    sides_[i] = new QRadioButton(this);
    sideGroup_->addButton(sides_[i], i);
    sides_[i]->setObjectName(sideKeys[i]);
    sideBox->addWidget(sides_[i]);
    connect(sides_[i], &QRadioButton::clicked, this, [this, i] { OnSideClicked(i); });
  }
  left->addLayout(sideBox, row++, 0, 1, 2);
  combo(left, "partType", "FeedEdit.c_PartType");
  combo(left, "package", "FeedEdit.c_PartPacking");
  combo(left, "angle", "FeedEdit.c_PartAngle");
  edit(left, "value", "FeedEdit.c_PartValue");
  edit(left, "length", "FeedEdit.c_PartLength");
  edit(left, "width", "FeedEdit.c_PartWidth");
  edit(left, "height", "FeedEdit.c_PartHeight");
  edit(left, "remainder", "FeedEdit.c_PartRemainder");
  edit(left, "x", "FeedEdit.c_X_Coordinates");
  auto* teachX = new QHBoxLayout;
  teachX->addWidget(button("X", "X"));
  teachX->addWidget(button("CX", "CX"));
  left->addLayout(teachX, row++, 1);
  edit(left, "y", "FeedEdit.c_Y_Coordinates");
  auto* teachY = new QHBoxLayout;
  teachY->addWidget(button("Y", "Y"));
  teachY->addWidget(button("CY", "CY"));
  left->addLayout(teachY, row++, 1);
  auto* pad = new QHBoxLayout;
  for (const char* n : {"X-", "X+", "Y+", "Y-", "Set"}) pad->addWidget(button(n, n));
  left->addLayout(pad, row++, 1);
  combo(left, "feedMode", "FeedEdit.c_SelectFeedMode");
  edit(left, "feedCoord", "FeedEdit.c_Feed_Coordinates");
  auto* feedRow = new QHBoxLayout;
  feedRow->addWidget(button("L", "L"));
  for (const char* n : {"Lx-", "Lx+", "Ly+", "Ly-"}) feedRow->addWidget(button(n, n));
  left->addLayout(feedRow, row++, 1);
  // Going to the feed point has a row of its own, room for its name.
  auto* goRow = new QHBoxLayout;
  goRow->addWidget(button("GoFeed", QString::fromUtf8("<¤>")), 1);
  goRow->addWidget(button("DragCX", "CX"));
  goRow->addWidget(button("DragCY", "CY"));
  left->addLayout(goRow, row++, 1);
  edit(left, "feedCount", "FeedEdit.c_FeedTimes");
  edit(left, "feedTime", "FeedEdit.c_FeedTime");
  edit(left, "slack", "FeedEdit.c_OpenLength");
  edit(left, "tension", "FeedEdit.c_CloseLength");

  for (const char* n : {"UpdatePack", "PickToCamera", "BackToFeed", "CameraReach", "MeasureHeight", "Tray", "StepTest"})
    middle->addWidget(button(n));
  feedTestCheck_ = new QCheckBox(this);
  middle->addWidget(feedTestCheck_);
  middle->addStretch();

  row = 0;
  edit(right, "pickDelay", "FeedEdit.c_SuctionDelay");
  edit(right, "placeDelay", "FeedEdit.c_PutDelay");
  combo(right, "camera", "FeedEdit.c_SelectCamera");
  auto* visionBox = new QHBoxLayout;
  const char* visionKeys[3] = {"FeedEdit.c_NoVisual", "FeedEdit.c_VisualAlign", "FeedEdit.c_RunAlign"};
  visionGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    vision_[i] = new QRadioButton(this);
    visionGroup_->addButton(vision_[i], i);
    vision_[i]->setObjectName(visionKeys[i]);
    visionBox->addWidget(vision_[i]);
  }
  right->addLayout(visionBox, row++, 0, 1, 2);
  combo(right, "feature", "FeedEdit.c_ImageFeature");
  edit(right, "contrast", "FeedEdit.c_Contrast");
  edit(right, "brightness", "FeedEdit.c_LightIntensity");
  right->addWidget(button("GetData"), row++, 1);
  edit(right, "precisionXY", "FeedEdit.c_Precision_XY");
  precisionXY_ = new QLabel(this);
  right->addWidget(precisionXY_, row++, 1);
  edit(right, "precisionA", "FeedEdit.c_Precision_A");
  precisionA_ = new QLabel(this);
  right->addWidget(precisionA_, row++, 1);
  edit(right, "collectTime", "FeedEdit.c_CollectTime");
  combo(right, "head", "FeedEdit.c_SelectNozzle");
  nozzleNote_ = new QLabel(this);
  right->addWidget(nozzleNote_, row++, 1);
  // A choice and its value share a label and a row: the Z axis and its pick
  // height, the pump and its vacuum value.
  auto pair = [&](const std::string& comboName, const std::string& editName, const std::string& key) {
    auto* c = new QComboBox(this);
    combos_[comboName] = c;
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromStdString(editName));
    edits_[editName] = e;
    auto* both = new QHBoxLayout;
    both->addWidget(c);
    both->addWidget(e, 1);
    right->addWidget(label(key), row, 0);
    right->addLayout(both, row, 1);
    ++row;
  };
  pair("zAxis", "pickHeight", "FeedEdit.c_NozzleHeight");
  edit(right, "earlyVacuum", "FeedEdit.c_smtBeforeCloseVacuum");
  pair("pump", "vacuum", "FeedEdit.c_VacuumTestValue");
  auto* zPad = new QHBoxLayout;
  zPad->addWidget(button("Z+", "Z↑"));
  zPad->addWidget(button("Home", "↓↑"));
  zPad->addWidget(button("Z-", "Z↓"));
  zPad->addWidget(button("ToZ", "To=Z"));
  zPad->addWidget(button("T", "T"));
  right->addLayout(zPad, row++, 1);
  // The own-speed switch beside its speed choice, under their label.
  separateSpeed_ = new QCheckBox(this);
  auto* speed = new QComboBox(this);
  combos_["speed"] = speed;
  auto* speedRow = new QHBoxLayout;
  speedRow->addWidget(separateSpeed_);
  speedRow->addWidget(speed, 1);
  right->addWidget(label("FeedEdit.c_SeparateSpeedSet"), row, 0);
  right->addLayout(speedRow, row, 1);
  ++row;

  // The short jog and teach buttons may be narrower than a text button
  // usually is, so that the editor fits a small screen.
  for (auto& [name, b] : buttons_)
    if (!b->text().isEmpty() && b->text().size() <= 4) b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 16);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(button("Next"));
  bottom->addWidget(button("OK"));
  bottom->addWidget(button("Cancel"));
  outer->addLayout(bottom);

  for (const char* n : {"X-", "X+", "Y+", "Y-", "Set", "Z+", "Z-", "Home", "ToZ", "Lx-", "Lx+", "Ly+", "Ly-"}) {
    const std::string name = n;
    connect(Button(name), &QPushButton::pressed, this, [this, name] { OnJogPressed(name); });
    connect(Button(name), &QPushButton::released, this, [this] { OnJogReleased(); });
  }
  connect(Button("OK"), &QPushButton::clicked, this, [this] { OnOK(); });
  connect(Button("Cancel"), &QPushButton::clicked, this, [this] { reject(); });
  connect(Button("Next"), &QPushButton::clicked, this, [this] { OnNext(); });
  connect(Button("UpdatePack"), &QPushButton::clicked, this, [this] { OnUpdatePack(); });
  connect(Button("Tray"), &QPushButton::clicked, this, [this] { OnTrayButton(); });
  connect(Button("StepTest"), &QPushButton::clicked, this, [this] { OnStepTest(); });
  connect(feedTestCheck_, &QCheckBox::clicked, this, [this] { OnFeedTestCheck(); });
  connect(Button("PickToCamera"), &QPushButton::clicked, this, [this] { OnPickToCamera(); });
  connect(Button("BackToFeed"), &QPushButton::clicked, this, [this] { OnBackToFeed(); });
  connect(Button("CameraReach"), &QPushButton::clicked, this, [this] { OnCameraReach(); });
  connect(Button("MeasureHeight"), &QPushButton::clicked, this, [this] { OnMeasureHeight(); });
  connect(Button("T"), &QPushButton::clicked, this, [this] { OnReadVacuum(); });
  connect(Button("X"), &QPushButton::clicked, this, [this] { TeachX(false); });
  connect(Button("CX"), &QPushButton::clicked, this, [this] { TeachX(true); });
  connect(Button("Y"), &QPushButton::clicked, this, [this] { TeachY(false); });
  connect(Button("CY"), &QPushButton::clicked, this, [this] { TeachY(true); });
  connect(Button("DragCX"), &QPushButton::clicked, this, [this] { TeachDrag(true); });
  connect(Button("DragCY"), &QPushButton::clicked, this, [this] { TeachDrag(false); });
  connect(Button("L"), &QPushButton::clicked, this, [this] { TeachFeedCoordinate(); });
  connect(Button("GoFeed"), &QPushButton::clicked, this, [this] { GoToFeedCoordinate(); });
  connect(Button("GetData"), &QPushButton::clicked, this, [this] {
    const auto [c, b] = smt::link::CameraPanelPortOf(machine_)->ContrastBrightness();
    Edit("contrast")->setText(QString::number(c));
    Edit("brightness")->setText(QString::number(b));
  });
  connect(Combo("feedMode"), &QComboBox::textActivated, this,
          [this](const QString& t) { OnFeedModeSelected(t.toStdString()); });
  connect(Combo("package"), &QComboBox::textActivated, this,
          [this](const QString& t) { OnPackageSelected(t.toStdString()); });
  connect(Combo("zAxis"), qOverload<int>(&QComboBox::activated), this, [this](int i) { TeachPickHeight(i); });
  connect(Combo("head"), qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
    if (!filling_ && AutoChangeNozzle(machine_)) nozzleNote_->setText(QString::fromStdString(NozzleNote(machine_, i)));
  });
  connect(Edit("number"), &QLineEdit::textEdited, this, [this] { numberChanged = true; });
  connect(Edit("precisionXY"), &QLineEdit::textChanged, this, [this] { UpdatePrecisionBoxes(); });
  connect(Edit("precisionA"), &QLineEdit::textChanged, this, [this] { UpdatePrecisionBoxes(); });
  ApplyLanguage();
}

void CDialogFeedEdit::LoadLanguage(const std::string& appDir, const std::string& language) {
  texts_.Load(appDir, language, "FeedEditConfig", EditEntries());
}

void CDialogFeedEdit::ApplyLanguage() {
  setWindowTitle(texts_.Q("FeedEdit.c_FeedEdit"));
  for (auto& [key, l] : labels_) l->setText(texts_.Q(key));
  const char* sideKeys[5] = {"FeedEdit.c_East", "FeedEdit.c_South", "FeedEdit.c_West", "FeedEdit.c_North", "FeedEdit.c_Grid"};
  for (int i = 0; i < 5; ++i) sides_[i]->setText(texts_.Q(sideKeys[i]));
  const char* visionKeys[3] = {"FeedEdit.c_NoVisual", "FeedEdit.c_VisualAlign", "FeedEdit.c_RunAlign"};
  for (int i = 0; i < 3; ++i) vision_[i]->setText(texts_.Q(visionKeys[i]));
  const std::pair<const char*, const char*> b[] = {
      {"UpdatePack", "FeedEdit.c_UpdatePack"}, {"PickToCamera", "FeedEdit.c_PickToCamera"},
      {"BackToFeed", "FeedEdit.c_BackToFeed"}, {"CameraReach", "FeedEdit.c_CameraReach"},
      {"MeasureHeight", "FeedEdit.c_MeasurementHeight"}, {"StepTest", "FeedEdit.c_StepTest"},
      {"GetData", "FeedEdit.c_GetData"}, {"Next", "FeedEdit.c_Next"}, {"OK", "FeedEdit.c_IDOK"},
      {"Cancel", "FeedEdit.c_IDCANCEL"}};
  for (const auto& [n, k] : b) Button(n)->setText(texts_.Q(k));
  // The go-to-feed-point button: its symbol in Chinese, a name in the other
  // languages, and in every language a tip and an accessible name.
  Button("GoFeed")->setText(texts_.Q("FeedEdit.c_GoFeed"));
  Button("GoFeed")->setToolTip(texts_.Q("FeedEdit.c_GoFeedTip"));
  Button("GoFeed")->setAccessibleName(texts_.Q("FeedEdit.c_GoFeedTip"));
  feedTestCheck_->setText(texts_.Q("FeedEdit.c_FeedTest"));
  separateSpeed_->setText(texts_.Q("FeedEdit.c_SeparateSpeed"));
  Button("Tray")->setText(QString::fromStdString(NameTablesOf(machine_).Mode(kGridBox)));
  if (machine_.machineType == 8) labels_["FeedEdit.c_VacuumTestValue"]->setText(texts_.Q("FeedEdit.c_PickBeforeOpenValve"));
}

std::vector<std::string> CDialogFeedEdit::FeatureNames() const {
  return ImageFeatureNames(panel_ ? panel_->AppDir() : ".", panel_ ? panel_->Language() : "Chinese");
}

void CDialogFeedEdit::SelectText(QComboBox* c, const std::string& text, bool firstWhenMissing, bool keep) {
  // A kept text is shown in the empty box, not offered as a choice.
  c->setPlaceholderText(QString());
  const int i = c->findText(QString::fromStdString(text), Qt::MatchExactly);
  if (i >= 0) {
    c->setCurrentIndex(i);
  } else if (keep && !text.empty()) {
    c->setCurrentIndex(-1);
    c->setPlaceholderText(QString::fromStdString(text));
  } else {
    c->setCurrentIndex(firstWhenMissing && c->count() > 0 ? 0 : -1);
  }
}

void CDialogFeedEdit::FillCombos() {
  FeederNeighbours& sv = *FeederNeighboursPort(machine_);
  const FeederNameTables names = NameTablesOf(machine_);
  const int type = machine_.machineType;
  for (auto& [n, c] : combos_) c->clear();
  const auto drop = sv.DropDownLists();
  if (drop.size() > 1)
    for (const auto& s : TabItems(drop[1])) Combo("partType")->addItem(QString::fromStdString(s));
  // An angle item that is no angle (named when the file was read) is not offered.
  for (const auto& s : sv.DropDownAngleChoices()) Combo("angle")->addItem(QString::fromStdString(s));
  for (const auto& r : sv.PackRows()) {
      const auto cells = SplitTabCells(r);
      Combo("package")->addItem(QString::fromStdString(cells.empty() ? r.substr(0, r.find('\t')) : cells[0]));
    }
  for (int m : FeedModesForMachine(type)) Combo("feedMode")->addItem(QString::fromStdString(names.Mode(m)));
  for (const auto& n : sv.CameraNames()) Combo("camera")->addItem(QString::fromStdString(n));
  for (const auto& f : FeatureNames()) Combo("feature")->addItem(QString::fromStdString(f));
  const bool autoChange = AutoChangeNozzle(machine_);
  const bool lib19 = NozzleLibrary19(machine_);
  for (const auto& h : HeadItemsForMachine(type, autoChange, lib19)) Combo("head")->addItem(QString::fromStdString(h));
  for (int i = 1; i <= ZAxisCountForMachine(type); ++i) {
    Combo("zAxis")->addItem(QString("Z%1").arg(i));
    Combo("pump")->addItem(QString("P%1").arg(i));
  }
  const auto speed = smt::settings::SettingsStores::Of(machine_).speed.Get();
  for (const auto& row : speed->tiers.high) Combo("speed")->addItem(QString::fromStdString(row.Name()));
  vision_[1]->setEnabled(type != 4);
}

void CDialogFeedEdit::OnInitDialog() {
  filling_ = true;
  LoadLanguage(panel_ ? panel_->AppDir() : ".", panel_ ? panel_->Language() : "Chinese");
  ApplyLanguage();
  FillCombos();
  const FeederNameTables names = NameTablesOf(machine_);
  const int mode = names.ModeOf(fields.feedMode);
  // A new feeder gets the values its feed mode needs; a loaded row shows
  // what it holds.
  RowLoaded();
  if (!loadedRow && mode >= 0 && Combo("feedMode")->findText(QString::fromStdString(fields.feedMode)) >= 0) {
    if (mode == kIntegrationFeed || mode == k0402) {
      if (fields.slack == 0) fields.slack = kDefaultSlack;
      if (fields.tension == 0) fields.tension = kDefaultTension;
    }
    if (fields.feedCount == 0) fields.feedCount = 1;
  }
  ShowFields();
  ShowFeedModeControls(fields.feedMode);
  Button("MeasureHeight")->setEnabled(smt::settings::SettingsStores::Of(machine_).machine.Basic()->m_bMeasurementEffect != 0);
  Button("Next")->setEnabled(panel_ && panel_->m_bEditInProgress);
  Button("OK")->setEnabled(true);
  // Unlocked when no part list is connected.
  FeederPartList* partList = FeederPartListPort(machine_).get();
  if (partList && partList->EditLock()) {
    Edit("number")->setEnabled(false);
    for (auto* s : sides_) s->setEnabled(false);
  } else {
    Edit("number")->setEnabled(true);
    for (auto* s : sides_) s->setEnabled(true);
  }
  numberChanged = false;
  UpdatePrecisionBoxes();
  filling_ = false;
}

bool CDialogFeedEdit::Run() {
  OnInitDialog();
  const bool ok = exec() == QDialog::Accepted;
  // The editor's window ends here: the next-row button is off until the next menu edit.
  if (panel_) panel_->m_bEditInProgress = false;
  return ok;
}

void CDialogFeedEdit::UpdatePrecisionBoxes() {
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  // Nothing shown while a box holds no whole number (or -1, not set); its
  // range is judged at OK.
  const auto xy = smt::platform::ParseOperatorInteger(Edit("precisionXY")->text().toStdString());
  const auto a = smt::platform::ParseOperatorInteger(Edit("precisionA")->text().toStdString());
  precisionXY_->setText(!xy || *xy == -1 || p.m_X_Pulse == 0 ? QString()
                                                             : QString::fromStdString(FormatDouble(*xy / p.m_X_Pulse, 4)));
  precisionA_->setText(!a || *a == -1 || p.m_A_Pulse == 0 ? QString()
                                                          : QString::fromStdString(FormatDouble(*a / p.m_A_Pulse, 4)));
}

void CDialogFeedEdit::SetSideButtons(int side) {
  // An exclusive group cannot show "none chosen"; open it for the change.
  sideGroup_->setExclusive(false);
  for (int i = 0; i < 5; ++i) sides_[i]->setChecked(i == side);
  sideGroup_->setExclusive(true);
}

void CDialogFeedEdit::SetVisionButtons(int mode) {
  visionGroup_->setExclusive(false);
  for (int i = 0; i < 3; ++i) vision_[i]->setChecked(i == mode);
  visionGroup_->setExclusive(true);
}

void CDialogFeedEdit::RowLoaded() {
  touched_.clear();
  shownText_.clear();
  loadedFields_ = loadedRow ? FieldsFromListRow(*loadedRow) : FeederEditFields{};
}

void CDialogFeedEdit::ShowFields() {
  const bool was = filling_;
  filling_ = true;
  const FeederEditFields& f = fields;
  // A number the operator has not changed shows as the row spells it (and
  // a cell that holds no number shows its text).
  for (const EditCell& c : EditCells()) {
    std::string text = FormattedValue(f, c);
    if (loadedRow && !touched_.count(c.edit) && ValueOf(f, c) == ValueOf(loadedFields_, c))
      text = EditTextOf(*loadedRow, c);
    // A new feeder is offered no value its field refuses (a length of 0):
    // the edit stays empty for the operator to fill.
    if (!loadedRow)
      for (const FeederNumberField& nf : FeederNumberFields())
        if (std::string_view(nf.edit) == c.edit && !(ValueOf(f, c) >= nf.min && ValueOf(f, c) <= nf.max)) text.clear();
    const QString q = QString::fromStdString(text);
    Edit(c.edit)->setText(q);
    shownText_[c.edit] = q;
  }
  SetSideButtons(f.side);
  SelectText(Combo("partType"), f.partType, false, true);
  SelectText(Combo("package"), f.package, false, true);
  SelectText(Combo("angle"), f.angle, false, true);
  Edit("value")->setText(QString::fromStdString(f.value));
  SelectText(Combo("head"), f.head, false, true);
  SelectText(Combo("camera"), f.camera, false, true);
  SetVisionButtons(f.visionMode);
  SelectText(Combo("feedMode"), f.feedMode, false, true);
  separateSpeed_->setChecked(f.separateSpeed);
  SelectText(Combo("speed"), f.speedTemplate, false, true);
  SelectText(Combo("feature"), SameImageFeature(FeatureNames(), f.feature), true, !f.feature.empty());
  filling_ = was;
}

QLineEdit* CDialogFeedEdit::ReadControlsInto(FeederEditFields& f, std::vector<std::string>& problems, bool newFeederOk) {
  // Every changed number edit is read whole: a word, trailing letters, or a
  // value outside the field's range is refused naming the field and its
  // range. An edit left as shown keeps its field, whatever it holds (a
  // loaded row's value), except at OK on a new feeder, whose every field
  // must fit.
  f = fields;
  QLineEdit* first = nullptr;
  for (const FeederNumberField& nf : FeederNumberFields()) {
    QLineEdit* e = Edit(nf.edit);
    const QString text = e->text();
    const auto shown = shownText_.find(nf.edit);
    if (shown != shownText_.end() && shown->second == text && !(newFeederOk && !loadedRow)) continue;
    std::string typed = text.toStdString();
    int typedSide = -1;
    if (std::string_view(nf.edit) == "number") {
      // "W3" as the list shows it: the side and the number.
      if (const auto n = SplitTypedFeederNumber(typed)) {
        typedSide = n->side;
        typed = n->digits;
      }
    }
    const std::optional<double> v = smt::platform::OperatorNumberInRange(typed, nf.min, nf.max, nf.integer);
    if (!v) {
      problems.push_back(RangeText(FieldRangeError{nf.label, nf.min, nf.max, nf.edit}));
      if (!first) first = e;
      continue;
    }
    touched_.insert(nf.edit);
    for (const EditCell& c : EditCells())
      if (std::string_view(c.edit) == nf.edit) {
        if (c.real) f.*c.real = *v;
        else f.*c.whole = static_cast<int>(*v);
      }
    if (typedSide >= 0) {
      f.side = typedSide;
      SetSideButtons(typedSide);
    }
  }
  auto c = [&](const char* n) { return ComboText(Combo(n)); };
  if (std::none_of(std::begin(sides_), std::end(sides_), [](QRadioButton* b) { return b->isChecked(); }))
    f.side = -1;
  for (int s = 0; s < 5; ++s)
    if (sides_[s]->isChecked()) f.side = s;
  f.partType = c("partType");
  f.package = c("package");
  f.angle = c("angle");
  f.value = Edit("value")->text().toStdString();
  f.head = c("head");
  f.camera = c("camera");
  f.visionMode = vision_[2]->isChecked() ? 2 : vision_[1]->isChecked() ? 1 : 0;
  f.feedMode = c("feedMode");
  f.separateSpeed = separateSpeed_->isChecked();
  f.speedTemplate = c("speed");
  f.feature = c("feature");
  pumpIndex = Combo("pump")->currentIndex();
  return first;
}

bool CDialogFeedEdit::ReadControls() {
  FeederEditFields f;
  std::vector<std::string> problems;
  QLineEdit* first = ReadControlsInto(f, problems);
  if (!problems.empty()) {
    RefuseAll(problems, first);
    return false;
  }
  fields = f;
  return true;
}

FeederListRow CDialogFeedEdit::RowForList() const {
  const FeederNameTables names = NameTablesOf(machine_);
  FeederListRow out = ListRowFromFields(fields, names);
  if (!loadedRow) return out;
  const FeederEditFields& a = fields;
  const FeederEditFields& b = loadedFields_;
  auto keep = [&](int cell) {
    out.text[static_cast<size_t>(cell)] = loadedRow->text[static_cast<size_t>(cell)];
    out.icon[static_cast<size_t>(cell)] = loadedRow->icon[static_cast<size_t>(cell)];
  };
  auto untouched = [&](int cell) {
    for (const EditCell& c : EditCells())
      if (c.cell == cell && (touched_.count(c.edit) || ValueOf(a, c) != ValueOf(b, c))) return false;
    return true;
  };
  if (untouched(kCellNumber) && a.side == b.side && FeederNumberText(a, names) == FeederNumberText(b, names))
    keep(kCellNumber);
  if (a.partType == b.partType) keep(kCellType);
  if (a.package == b.package) keep(kCellPackage);
  if (a.value == b.value) keep(kCellValue);
  if (a.angle == b.angle) keep(kCellAngle);
  if (a.head == b.head) keep(kCellHead);
  if (a.camera == b.camera && (a.visionMode == 1) == (b.visionMode == 1)) keep(kCellCamera);
  if (untouched(kCellFly) && (a.visionMode == 2) == (b.visionMode == 2)) keep(kCellFly);
  if (a.feedMode == b.feedMode) keep(kCellFeedMode);
  if (a.separateSpeed == b.separateSpeed && a.speedTemplate == b.speedTemplate) keep(kCellSpeed);
  if (a.feature == b.feature) keep(kCellFeature);
  for (const EditCell& c : EditCells())
    if (c.cell != kCellNumber && c.cell != kCellFly && untouched(c.cell)) keep(c.cell);
  return out;
}

std::optional<double> CDialogFeedEdit::ReadEditNumber(const std::string& edit) {
  for (const FeederNumberField& nf : FeederNumberFields()) {
    if (edit != nf.edit) continue;
    const auto v = smt::platform::OperatorNumberInRange(Edit(nf.edit)->text().toStdString(), nf.min, nf.max, nf.integer);
    if (!v) RefuseRange(FieldRangeError{nf.label, nf.min, nf.max, nf.edit});
    return v;
  }
  return std::nullopt;
}

bool CDialogFeedEdit::PickHeightUsable() {
  // A height above the table is the operator's slip, said as such.
  const auto any = smt::platform::OperatorNumberInRange(Edit("pickHeight")->text().toStdString(), -kAnyFeederNumber,
                                                        kAnyFeederNumber, false);
  if (any && *any > 0) {
    ShowMessage(kPickHeightError);
    return false;
  }
  return ReadEditNumber("pickHeight").has_value();
}

std::string CDialogFeedEdit::RangeText(const FieldRangeError& bad) const {
  // The field by the label it shows, its range, in the window's language.
  QLineEdit* edit = Edit(bad.edit);
  std::string field = edit ? smt::platform::FieldLabelOf(edit) : std::string();
  if (field.empty()) field = texts_.Get("FeedEdit." + bad.field);
  const bool any = bad.min <= -kAnyFeederNumber && bad.max >= kAnyFeederNumber;
  return any ? smt::platform::NumberRefusalText(field) : smt::platform::RangeRefusalText(field, bad.min, bad.max);
}

void CDialogFeedEdit::RefuseAll(const std::vector<std::string>& problems, QLineEdit* first) {
  std::string text;
  for (const std::string& p : problems) text += (text.empty() ? "" : "\n") + p;
  ShowMessage(text);
  if (first) {
    first->setFocus();
    first->selectAll();
  }
}

void CDialogFeedEdit::RefuseRange(const FieldRangeError& bad) {
  RefuseAll({RangeText(bad)}, Edit(bad.edit));
}

std::string CDialogFeedEdit::MessageKeyText(int n) const {
  char key[40];
  std::snprintf(key, sizeof key, "FeedEdit.c_Message_%02d", n);
  return texts_.Get(key);
}

void CDialogFeedEdit::ShowMessageKey(int n) { ShowMessage(MessageKeyText(n)); }

void CDialogFeedEdit::OnOK() {
  const FeederNameTables names = NameTablesOf(machine_);
  const std::string modeText = Combo("feedMode")->currentText().toStdString();
  const int mode = names.ModeOf(modeText);
  if (mode == kGridBox || mode == kGridDip) SetSideButtons(kSideG);
  // An empty feed count becomes 1; anything else that is not a count of 1
  // to 10 is refused below with the field and its range (not turned into 1).
  if (Edit("feedCount")->text().trimmed().isEmpty()) Edit("feedCount")->setText("1");
  auto stop = [this] {
    checkFailed = true;
    storeOnly = false;
  };
  // Everything wrong is said at once: each refused field with its range,
  // then what the choices lack.
  FeederEditFields f;
  std::vector<std::string> problems;
  QLineEdit* first = ReadControlsInto(f, problems, true);
  std::vector<std::string> numbers;
  for (int r = 0; panel_ && r < panel_->RowCount(); ++r) numbers.push_back(panel_->ListRow(r).text[0]);
  const int edited = panel_ ? panel_->m_nSelectedRow : -1;
  const bool numberRefused = first == Edit("number");
  for (int m : FeederEditMessages(f, names, numbers, edited, !numberRefused)) problems.push_back(MessageKeyText(m));
  if (f.side == kSideG) SetSideButtons(kSideG);
  if (!problems.empty()) {
    RefuseAll(problems, first);
    return stop();
  }
  // A slack or tension length the row had and the operator left is the row's.
  const bool keptSlack = loadedRow && !touched_.count("slack") && f.slack == loadedFields_.slack;
  const bool keptTension = loadedRow && !touched_.count("tension") && f.tension == loadedFields_.tension;
  FeederEditFields checked = f;
  if (keptSlack && checked.slack == 0) checked.slack = kDefaultSlack;
  if (keptTension && checked.tension == 0) checked.tension = kDefaultTension;
  const EditCheckResult res = CheckFeederEdit(checked, names, numbers, edited);
  if (res.outcome == EditCheck::Filled) {
    if (!keptSlack) f.slack = checked.slack;
    if (!keptTension) f.tension = checked.tension;
  }
  fields = f;
  if (res.outcome != EditCheck::Pass) {
    ShowFields();
    if (res.outcome == EditCheck::Message) ShowMessageKey(res.messageNumber);
    if (res.outcome == EditCheck::Range) RefuseRange(res.range);
    // Filled: the missing value stands in its edit; the operator confirms again.
    if (res.outcome == EditCheck::Filled)
      if (QLineEdit* filled = Edit(res.range.edit)) {
        filled->setFocus();
        filled->selectAll();
      }
    return stop();
  }
  if (storeOnly) {
    if (panel_) panel_->SetRowFromEdit(edited);
    storeOnly = false;
    checkFailed = false;
    return;
  }
  FeederPartList& partList = *FeederPartListPort(machine_);
  const std::string number = FeederNumberText(fields, names);
  partList.ReplacePartEditorFeeder(number);
  // A new feeder takes the placement rows the operator chose; an edited one
  // takes its own rows along.
  if (loadedNumber.empty())
    partList.AssignNewFeeder(number, fields.visionMode, fields.value, fields.head);
  else
    partList.UpdateRowsForFeeder(loadedNumber, number, fields.visionMode, fields.value, fields.head);
  checkFailed = false;
  accept();
}

void CDialogFeedEdit::ShowFeedModeControls(const std::string& feedMode) {
  const FeedModeControls c = ControlsForFeedMode(feedMode, NameTablesOf(machine_), machine_.machineType);
  if (!c.known) return;
  const FeederNameTables names = NameTablesOf(machine_);
  Button("Tray")->setVisible(c.pushButtonShown);
  Button("Tray")->setText(c.pushButtonIsTray ? QString::fromStdString(names.Mode(kGridBox)) : texts_.Q("FeedEdit.c_FeedTest"));
  feedTestCheck_->setVisible(c.checkButtonShown);
  Button("StepTest")->setVisible(c.stepTestShown);
  Button("DragCX")->setVisible(c.dragControlsShown);
  Button("DragCY")->setVisible(c.dragControlsShown);
  auto en = [](QLineEdit* e, int v) {
    if (v >= 0) e->setEnabled(v == 1);
  };
  en(Edit("feedCoord"), c.feedCoord);
  en(Edit("feedCount"), c.count);
  en(Edit("feedTime"), c.time);
  en(Edit("slack"), c.slack);
  en(Edit("tension"), c.tension);
  const char* l1[5] = {"FeedEdit.c_Feed_Coordinates", "FeedEdit.c_FeedTimes", "FeedEdit.c_FeedTime",
                       "FeedEdit.c_OpenLength", "FeedEdit.c_CloseLength"};
  const char* l2[5] = {"FeedEdit.c_FeedStep", "FeedEdit.c_ReturnStep", "FeedEdit.c_FeedDelay",
                       "FeedEdit.c_DragX_Coordinates", "FeedEdit.c_DragY_Coordinates"};
  for (int i = 0; i < 5; ++i) labels_[l1[i]]->setText(texts_.Q(c.dragLabels ? l2[i] : l1[i]));
}

void CDialogFeedEdit::OnFeedModeSelected(const std::string& text) {
  const FeederNameTables names = NameTablesOf(machine_);
  const int mode = names.ModeOf(text);
  if (mode < 0) return;
  ShowFeedModeControls(text);
  int side = -1;
  for (int s = 0; s < 5; ++s)
    if (sides_[s]->isChecked()) side = s;
  SetSideButtons(SideForFeedMode(side, mode));
  if (mode == kIntegrationFeed || mode == k0402 || mode == k48 || mode == kDragHand) {
    Edit("feedCount")->setText("1");
    Edit("feedTime")->setText("200");
    // The integrated and 0402 feeders also need a slack and a tension length.
    if (mode == kIntegrationFeed || mode == k0402) {
      if (smt::platform::ParseOperatorNumber(Edit("slack")->text().toStdString()).value_or(0) == 0)
        Edit("slack")->setText(QString::fromStdString(FormatDouble(kDefaultSlack, 4)));
      if (smt::platform::ParseOperatorNumber(Edit("tension")->text().toStdString()).value_or(0) == 0)
        Edit("tension")->setText(QString::fromStdString(FormatDouble(kDefaultTension, 4)));
    }
  } else if (mode == kAutoFeed || mode == kClDip || mode == kVibrationFeed) {
    Edit("feedTime")->setText("100");
  }
}

void CDialogFeedEdit::OnSideClicked(int side) {
  const char* angles[5] = {"270", "180", "90", "0", "0"};
  const int i = Combo("angle")->findText(angles[side], Qt::MatchExactly);
  if (i >= 0) Combo("angle")->setCurrentIndex(i);
  Button("Tray")->setVisible(false);
  numberChanged = true;
  ReadControls();
}

void CDialogFeedEdit::OnPackageSelected(const std::string& name) {
  FeederNeighbours& sv = *FeederNeighboursPort(machine_);
  // The package's values come through the package row reader: a row whose
  // numbers cannot be read is named and nothing of it is taken.
  std::optional<smt::library::PackRecord> pack;
  if (!name.empty()) {
    const std::vector<smt::library::PackRow> rows = smt::library::BuildPackTable(sv.PackRows());
    for (size_t i = 0; i < rows.size() && !pack; ++i) {
      if (rows[i][0] != name) continue;
      try {
        pack = smt::library::PackRecordOf(rows[i], smt::library::kPackFileName, static_cast<int>(i + 1));
      } catch (const smt::platform::FileCellError& e) {
        ShowMessage(e.what());
        ShowFeedModeControls(fields.feedMode);
        return;
      }
    }
  }
  if (!pack) {
    ShowFeedModeControls(fields.feedMode);
    return;
  }
  const smt::library::PackRecord& p = *pack;
  auto setE = [&](const char* n, const std::string& v) { Edit(n)->setText(QString::fromStdString(v)); };
  setE("length", FormatDouble(p.length, 2));
  setE("width", FormatDouble(p.width, 2));
  setE("height", FormatDouble(p.thickness, 2));
  setE("contrast", FormatInt(p.contrast));
  setE("brightness", FormatInt(p.brightness));
  setE("pickDelay", FormatInt(p.pickDelay));
  setE("placeDelay", FormatInt(p.placeDelay));
  SelectText(Combo("camera"), p.camera);
  int vm = p.visionCentring ? 1 : 0;
  if (p.flyingCentring) vm = 2;
  SetVisionButtons(vm);
  SelectText(Combo("head"), p.nozzle);
  separateSpeed_->setChecked(p.ownSpeed);
  SelectText(Combo("speed"), p.speedName);
  SelectText(Combo("feature"), SameImageFeature(FeatureNames(), p.recognition));
  SelectText(Combo("feedMode"), p.feedMode);
  setE("feedCount", FormatInt(p.feedCount));
  setE("feedTime", FormatInt(p.feedTime));
  if (machine_.machineType != 0) {
    setE("slack", FormatDouble(p.slackLength, 4));
    setE("tension", FormatDouble(p.tensionLength, 4));
  }
  setE("precisionXY", FormatInt(p.precisionXY));
  setE("precisionA", FormatInt(p.precisionA));
  setE("collectTime", FormatInt(p.captureTime));
  setE("pickHeight", FormatDouble(p.pickHeight, 4));
  setE("vacuum", FormatDouble(p.vacuumTest, 4));
  setE("earlyVacuum", FormatDouble(p.closeEarly, 4));
  const int mode = NameTablesOf(machine_).ModeOf(p.feedMode);
  int side = -1;
  for (int s = 0; s < 5; ++s)
    if (sides_[s]->isChecked()) side = s;
  if (mode >= 0) SetSideButtons(SideForFeedMode(side, mode));
  ReadControls();
  ShowFeedModeControls(fields.feedMode);
}

void CDialogFeedEdit::OnUpdatePack() {
  if (!ReadControls()) return;
  FeederNeighbours& sv = *FeederNeighboursPort(machine_);
  auto rows = sv.PackRows();
  // The package's row written from the feeder's values by the package
  // row writer; the name and the two reserved cells stay.
  std::vector<smt::library::PackRow> table = smt::library::BuildPackTable(rows);
  for (auto& row : table) {
    if (row[0] != fields.package) continue;
    const FeederEditFields& f = fields;
    smt::library::PackRecord p;
    p.name = row[0];
    p.length = f.length;
    p.width = f.width;
    p.thickness = f.height;
    p.contrast = f.contrast;
    p.brightness = f.brightness;
    p.pickDelay = f.pickDelay;
    p.placeDelay = f.placeDelay;
    p.camera = f.camera;
    p.visionCentring = f.visionMode == 1;
    p.flyingCentring = f.visionMode == 2;
    p.nozzle = f.head;
    p.ownSpeed = f.separateSpeed;
    p.speedName = f.speedTemplate;
    p.recognition = f.feature;
    p.feedMode = f.feedMode;
    p.feedCount = f.feedCount;
    p.feedTime = f.feedTime;
    p.slackLength = static_cast<int>(std::lround(f.slack));
    p.tensionLength = static_cast<int>(std::lround(f.tension));
    p.precisionXY = f.precisionXY;
    p.precisionA = f.precisionA;
    p.captureTime = f.collectTime;
    p.pickHeight = f.pickHeight;
    p.vacuumTest = f.vacuum;
    p.closeEarly = f.earlyVacuum;
    p.reserved26 = row[26];
    p.reserved27 = row[27];
    row = smt::library::PackRowOf(p);
    sv.SetPackRows(smt::library::KeepPackLinesAsRead(smt::library::PackRowStrings(table), rows));
    return;
  }
}

void CDialogFeedEdit::OnNext() {
  if (!panel_ || !ReadControls()) return;
  Button("OK")->setEnabled(false);
  const int row = panel_->m_nSelectedRow;
  panel_->SetRowFromEdit(row);
  const int g = panel_->Table().FindCurrentRow(panel_->ListRow(row).text[0]);
  if (g >= 0) panel_->m_nEditGroupRow = g;
  panel_->Table().StoreListRow(panel_->ListRow(row), panel_->m_nEditGroupRow);
  panel_->SelectRow(row, false);
  panel_->m_nSelectedRow = row + 1;
  if (panel_->m_nSelectedRow >= panel_->RowCount()) {
    panel_->m_bEditInProgress = false;
    Button("Next")->setEnabled(false);
    reject();
    return;
  }
  const int next = panel_->m_nSelectedRow;
  const int ng = panel_->Table().FindCurrentRow(panel_->ListRow(next).text[0]);
  if (ng >= 0) panel_->m_nEditGroupRow = ng;
  panel_->LoadEditFromRow(next);
  panel_->SelectRow(next, true);
  ShowFields();
  ShowFeedModeControls(fields.feedMode);
}

void CDialogFeedEdit::OnTrayButton() {
  if (numberChanged) {
    ShowMessage(kSaveFirst);
    return;
  }
  const std::string modeText = Combo("feedMode")->currentText().toStdString();
  if (modeText.empty()) return;
  const int mode = NameTablesOf(machine_).ModeOf(modeText);
  if (mode == kGridBox || mode == kGridDip) {
    const auto x = ReadEditNumber("x");
    const auto y = x ? ReadEditNumber("y") : std::nullopt;
    if (!y) return;
    gridBox_->originX = *x;
    gridBox_->originY = *y;
    gridBox_->Run();
    return;
  }
  storeOnly = true;
  OnOK();
  if (!checkFailed && panel_) panel_->OnFeedTest(false);
}

void CDialogFeedEdit::OnFeedTestCheck() {
  const int mode = NameTablesOf(machine_).ModeOf(Combo("feedMode")->currentText().toStdString());
  if (mode != kAutoFeed && mode != kClDip) return;
  storeOnly = true;
  OnOK();
  if (!checkFailed && panel_) {
    singleStep = true;
    panel_->OnFeedTest(true);
    singleStep = false;
  }
}

void CDialogFeedEdit::OnStepTest() {
  if (numberChanged) {
    ShowMessage(kSaveFirst);
    return;
  }
  const int mode = NameTablesOf(machine_).ModeOf(Combo("feedMode")->currentText().toStdString());
  if (mode == kGridBox || mode == kGridDip) {
    const auto x = ReadEditNumber("x");
    const auto y = x ? ReadEditNumber("y") : std::nullopt;
    if (!y) return;
    gridBox_->originX = *x;
    gridBox_->originY = *y;
    gridBox_->Run();
    return;
  }
  storeOnly = true;
  OnOK();
  if (!checkFailed && panel_) {
    singleStep = true;
    panel_->OnFeedTest(true);
    singleStep = false;
  }
}

// --- machine actions ----------------------------------------------------------------------

void CDialogFeedEdit::TeachX(bool camera) {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  int64_t pos = machine_.curX.load();
  if (camera) pos += TruncToSteps(b.m_X_CameraToNozzle1, p.m_X_Pulse);
  fields.x = TeachValue(pos, p.m_X_Pulse);
  Edit("x")->setText(QString::fromStdString(FormatDouble(fields.x, 4)));
}

void CDialogFeedEdit::TeachY(bool camera) {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  int64_t pos = machine_.curY.load();
  if (camera) pos += TruncToSteps(b.m_Y_CameraToNozzle1, p.m_Y_Pulse);
  fields.y = TeachValue(pos, p.m_Y_Pulse);
  Edit("y")->setText(QString::fromStdString(FormatDouble(fields.y, 4)));
}

void CDialogFeedEdit::TeachDrag(bool x) {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  if (x) fields.slack = TeachValue(int64_t{TruncToSteps(b.m_X_CameraToNozzle1, p.m_X_Pulse)} + machine_.curX.load(), p.m_X_Pulse);
  else fields.tension = TeachValue(int64_t{TruncToSteps(b.m_Y_CameraToNozzle1, p.m_Y_Pulse)} + machine_.curY.load(), p.m_Y_Pulse);
  ShowFields();
}

void CDialogFeedEdit::TeachFeedCoordinate() {
  ReadControls();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  switch (SideLetter(fields.side)) {
    case 'E': fields.feedCoord = TeachValue(machine_.motion.curAxis10.load(), p.m_EastWalk_Pulse); break;
    case 'W': fields.feedCoord = TeachValue(machine_.motion.curAxis8.load(), p.m_WestWalk_Pulse); break;
    case 'N': fields.feedCoord = TeachValue(machine_.motion.curAxis9.load(), p.m_NorthWalk_Pulse); break;
    default: fields.feedCoord = 0; break;
  }
  ShowFields();
}

void CDialogFeedEdit::TeachPickHeight(int zIndex) {
  if (ShowMessage(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_TakeZHeight", "是否获取 Z 高度 ?"), smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question) !=
      smt::platform::MsgAnswer::Yes)
    return;
  if (zIndex < 0 || zIndex > 7) return;
  const int32_t z = machine_.curZ[zIndex].load();
  const double zPulse = smt::settings::SettingsStores::Of(machine_).machine.Pulse()->m_Z_Pulse;
  fields.pickHeight = z < 0 ? TeachValue(z, zPulse) : 0.0;
  Edit("pickHeight")->setText(QString::fromStdString(FormatDouble(fields.pickHeight, 4)));
}

void CDialogFeedEdit::GoToFeedCoordinate() {
  const auto coordinate = ReadEditNumber("feedCoord");
  if (!coordinate) return;
  const double v = *coordinate;
  int side = -1;
  for (int s = 0; s < 5; ++s)
    if (sides_[s]->isChecked()) side = s;
  const auto towbar = TowbarSideOf(machine_, SideLetter(side));
  if (!towbar) return;
  smt::link::SendOutputDirect(machine_, towbar->output, 0, 5);
  if (v < towbar->minFeed || v > towbar->maxFeed) {
    ShowMessageKey(9);
    return;
  }
  const auto sp = smt::settings::SettingsStores::Of(machine_).speed.Record(smt::settings::SpeedUse::PickPart);
  smt::link::SendCmd61MoveAxis(machine_, static_cast<uint8_t>(towbar->walkAxis),
                               TruncToSteps(v, towbar->walkPulse) - towbar->walkPosition,
                               sp[static_cast<size_t>(towbar->walkSpeed)].start,
                               sp[static_cast<size_t>(towbar->walkSpeed)].normal);
}

void CDialogFeedEdit::OnPickToCamera() {
  if (!smt::link::CheckMachineGuards(machine_)) return;
  const std::string h = Edit("pickHeight")->text().toStdString();
  if (!PickHeightUsable()) return;
  if (!panel_ || panel_->m_nSelectedRow < 0 || panel_->m_nSelectedRow >= panel_->RowCount()) {
    ShowMessage(panel_ ? panel_->Text("FeedList.c_Message_04") : smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_SelectTestRow", "请选择要测试的行 !"));
    return;
  }
  auto lr = panel_->ListRow(panel_->m_nSelectedRow);
  lr.text[kCellPickHeight] = h;
  panel_->SetListRow(panel_->m_nSelectedRow, lr);
  const int headIndex = Combo("head")->currentIndex();
  const int cameraIndex = Combo("camera")->currentIndex();
  smt::link::RuntimeOf(machine_).Hooks().AppendInfoLine(
      smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_HeadAndCamera",
                                                        "贴装头 %1，相机 %2。"),
                              {std::to_string(headIndex + 1), std::to_string(cameraIndex + 1)}),
      true);
  const int n = machine_.machineType == 8 ? headIndex + 1 : 1;
  if (cameraIndex == 0) panel_->StartTest(12 + n);
  else if (cameraIndex == 1) panel_->StartTest(20 + n);
}

void CDialogFeedEdit::OnBackToFeed() {
  if (!smt::link::CheckMachineGuards(machine_)) return;
  const std::string h = Edit("pickHeight")->text().toStdString();
  if (!PickHeightUsable()) return;
  if (!panel_ || panel_->m_nSelectedRow < 0 || panel_->m_nSelectedRow >= panel_->RowCount()) {
    ShowMessage(panel_ ? panel_->Text("FeedList.c_Message_04") : smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_SelectTestRow", "请选择要测试的行 !"));
    return;
  }
  auto lr = panel_->ListRow(panel_->m_nSelectedRow);
  lr.text[kCellPickHeight] = h;
  lr.text[kCellHead] = ComboText(Combo("head"));
  panel_->SetListRow(panel_->m_nSelectedRow, lr);
  panel_->StartTest(29);
}

void CDialogFeedEdit::OnCameraReach() {
  if (!smt::link::CheckMachineGuards(machine_)) return;
  if (!panel_) return;
  if (panel_->m_nSelectedRow < 0 || panel_->m_nSelectedRow >= panel_->RowCount()) {
    ShowMessage(panel_->Text("FeedList.c_Message_04"));
    return;
  }
  // The camera goes over the position the X and Y edits show.
  const auto x = ReadEditNumber("x");
  const auto y = x ? ReadEditNumber("y") : std::nullopt;
  if (!y) return;
  FeederRow row = RowFromListRow(panel_->ListRow(panel_->m_nSelectedRow), panel_->m_nSelectedRow + 1);
  if (!row.SetPickPoint(*x, *y)) {
    ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_FeederUnusable", "料架 \"%1\" 的数值无法读取，不能使用：\"%2\" 的值 \"%3\" 无效 !"), {row.Number(), row.Problem() ? row.Problem()->field() : std::string(),
                                                                        row.Problem() ? row.Problem()->text() : std::string()}));
    return;
  }
  panel_->StartTestWithRow(9, row);
}

void CDialogFeedEdit::OnMeasureHeight() {
  if (panel_) panel_->OnMeasureHeight();
}

void CDialogFeedEdit::ShowPickHeight(double mm) {
  fields.pickHeight = mm;
  Edit("pickHeight")->setText(QString::fromStdString(FormatDouble(mm, 4)));
}

void CDialogFeedEdit::OnReadVacuum() {
  pumpIndex = Combo("pump")->currentIndex();
  const int type = machine_.machineType;
  if (type == 7 || type == 8 || type == 9) return;
  const int index = pumpIndex;
  smt::platform::WorkerThreads::Instance().Start("ReadVacuum", [&machine = machine_, index](std::stop_token) {
    if (index >= 0 && index <= 3) smt::link::SendCmd15ReadVacuum(machine, index + 1);
  });
}

// --- jog pad -------------------------------------------------------------------------------

void CDialogFeedEdit::OnJogPressed(const std::string& button) {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  const AutoFeedConfig cfg = AutoFeeders::Of(machine_).Config();
  EditorJogInput in;
  in.machineType = machine_.machineType;
  in.platform = smt::link::RuntimeOf(machine_).headGroup.load();
  in.zIndex = std::max(0, Combo("zAxis")->currentIndex());
  int side = -1;
  for (int s = 0; s < 5; ++s)
    if (sides_[s]->isChecked()) side = s;
  in.side = SideLetter(side);
  if (button == "ToZ") {
    // Only the move to the pick height reads it: a height that is no number
    // in its range is refused by name and nothing moves.
    const auto pickHeight = ReadEditNumber("pickHeight");
    if (!pickHeight) return;
    in.pickHeightMm = *pickHeight;
  }
  in.zPulse = p.m_Z_Pulse;
  in.currentZ = machine_.curZ[std::min(in.zIndex, 7)].load();
  in.openLength = cfg.m_Open_Length;
  in.closeLength = cfg.m_Close_Length;
  in.liftPulse = in.side == 'W' ? p.m_WestLift_Pulse : in.side == 'N' ? p.m_NorthLift_Pulse : p.m_EastLift_Pulse;
  (void)b;
  const EditorJog j = PlanEditorJog(button, in);
  if (j.outputOff) smt::link::SendOutputDirect(machine_, j.outputOff, 0, 5);
  if (j.clearLiftFlags) {
    smt::link::JogPanelPortOf(machine_)->ClearLiftOnce();
    smt::link::RuntimeOf(machine_).feederButtonHeld = false;
  }
  switch (j.kind) {
    case EditorJog::Kind::Continuous:
      smt::link::JogPanelPortOf(machine_)->Jog(j.axis, j.positive, true, false, 0);
      break;
    case EditorJog::Kind::Steps:
      smt::link::JogPanelPortOf(machine_)->Jog(j.axis, j.positive, false, true, j.steps);
      break;
    case EditorJog::Kind::SpeedGear:
      smt::link::JogPanelPortOf(machine_)->NextSpeedGear();
      break;
    case EditorJog::Kind::HomeZ:
      // The Z homing (reset mode 3).
      smt::link::MachineHoming::Of(machine_).StartHomeThread(3, 1);
      break;
    default:
      break;
  }
}

void CDialogFeedEdit::OnJogReleased() {
  smt::link::JogPanelPortOf(machine_)->ReleaseJog();
}

void CDialogFeedEdit::keyPressEvent(QKeyEvent* e) {
  if (e->modifiers() & Qt::ControlModifier) {
    if (e->modifiers() & Qt::ShiftModifier) {
      smt::link::JogPanelPortOf(machine_)->NextSpeedGear();
      return;
    }
    switch (e->key()) {
      case Qt::Key_Left: OnJogPressed("X-"); return;
      case Qt::Key_Up: OnJogPressed("Y+"); return;
      case Qt::Key_Right: OnJogPressed("X+"); return;
      case Qt::Key_Down: OnJogPressed("Y-"); return;
      default: break;
    }
  }
  QDialog::keyPressEvent(e);
}

void CDialogFeedEdit::keyReleaseEvent(QKeyEvent* e) {
  const int k = e->key();
  if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Control)
    OnJogReleased();
  QDialog::keyReleaseEvent(e);
}
