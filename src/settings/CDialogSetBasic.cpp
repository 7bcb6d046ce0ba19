#include "settings/CDialogSetBasic.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <set>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/CDialogPositionLimitDetour.h"
#include "settings/DialogSupport.h"
#include "settings/MachineSettingsStore.h"
#include "platform/RefusalTexts.h"

namespace smt::settings {

namespace {

enum class Kind { Edit, Check, Radio };
struct Item {
  const char* key;
  const char* textKey;  // "SetBasic.c_<name>" without prefix, or nullptr
  const char* textDefault;
  Kind kind = Kind::Edit;
  int take = -1;  // TeachButton index
};
struct Group {
  const char* textKey;
  const char* textDefault;
  std::vector<Item> items;
};

#define T(b) static_cast<int>(TeachButton::b)
// Groups in exchange order (the order OK checks the fields).
const std::vector<Group>& Groups() {
  static const std::vector<Group> g = {
      {"BasicParameters", "基本位置参数(mm)",
       {{"m_Z_Nozzle1ToFeed", "Z_Nozzle1ToFeed", "吸嘴1到元件表面的高度", Kind::Edit, T(ZNozzleFeed1)},
        {"m_Z_Nozzle2ToFeed", "Z_Nozzle2ToFeed", "吸嘴2到元件表面的高度", Kind::Edit, T(ZNozzleFeed2)},
        {"m_Z_Nozzle3ToFeed", "Z_Nozzle3ToFeed", "吸嘴3到元件表面的高度", Kind::Edit, T(ZNozzleFeed3)},
        {"m_Z_Nozzle4ToFeed", "Z_Nozzle4ToFeed", "吸嘴4到元件表面的高度", Kind::Edit, T(ZNozzleFeed4)},
        {"m_Z_Nozzle5ToFeed", "Z_Nozzle5ToFeed", "吸嘴5到元件表面的高度", Kind::Edit, T(ZNozzleFeed5)},
        {"m_Z_Nozzle6ToFeed", "Z_Nozzle6ToFeed", "吸嘴6到元件表面的高度", Kind::Edit, T(ZNozzleFeed6)},
        {"m_Z_Nozzle7ToFeed", "Z_Nozzle7ToFeed", "吸嘴7到元件表面的高度", Kind::Edit, T(ZNozzleFeed7)},
        {"m_Z_Nozzle8ToFeed", "Z_Nozzle8ToFeed", "吸嘴8到元件表面的高度", Kind::Edit, T(ZNozzleFeed8)},
        {"m_Z_Nozzle1ToPCBHeight", "Z_Nozzle1ToPCBHeight", "吸嘴1到PCB平台的高度", Kind::Edit, T(ZNozzle1Pcb)},
        {"m_Z_DropsGlueToPCBHeight", "Z_DropsGlueToPCBHeight", "点胶头到PCB表面的高度", Kind::Edit, T(ZDropsGlue)},
        {"m_Nozzle2MoreNozzle1", "Nozzle2MoreNozzle1", "吸嘴 2 比吸嘴 1 多运行"},
        {"m_FeedOverBack", "FeedOverBack", "拉料结束后回退"}}},
      {"MeasurementParameter", "测量头参数( mm )",
       {{"m_Z_Measurement", "Z_Measurement", "测量头到PCB平台高度"},
        {"m_X_Measurement", nullptr, "X", Kind::Edit, T(MeasurementX)},
        {"m_Y_Measurement", nullptr, "Y", Kind::Edit, T(MeasurementY)}}},
      {"MarkCameraToNozzle1", "MARK相机与吸嘴 1 的距离( mm )",
       {{"m_X_CameraToNozzle1", nullptr, "X", Kind::Edit, T(CameraX)},
        {"m_Y_CameraToNozzle1", nullptr, "Y", Kind::Edit, T(CameraY)},
        {"m_X_Nozzle2ToNozzle1", "Nozzle2ToNozzle1", "吸嘴 2 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle2X)},
        {"m_Y_Nozzle2ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle2Y)},
        {"m_X_Nozzle3ToNozzle1", "Nozzle3ToNozzle1", "吸嘴 3 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle3X)},
        {"m_Y_Nozzle3ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle3Y)},
        {"m_X_Nozzle4ToNozzle1", "Nozzle4ToNozzle1", "吸嘴 4 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle4X)},
        {"m_Y_Nozzle4ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle4Y)},
        {"m_X_Nozzle5ToNozzle1", "Nozzle5ToNozzle1", "吸嘴 5 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle5X)},
        {"m_Y_Nozzle5ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle5Y)},
        {"m_X_Nozzle6ToNozzle1", "Nozzle6ToNozzle1", "吸嘴 6 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle6X)},
        {"m_Y_Nozzle6ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle6Y)},
        {"m_X_Nozzle7ToNozzle1", "Nozzle7ToNozzle1", "吸嘴 7 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle7X)},
        {"m_Y_Nozzle7ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle7Y)},
        {"m_X_Nozzle8ToNozzle1", "Nozzle8ToNozzle1", "吸嘴 8 与吸嘴 1 的距离( mm )", Kind::Edit, T(Nozzle8X)},
        {"m_Y_Nozzle8ToNozzle1", nullptr, "Y", Kind::Edit, T(Nozzle8Y)},
        {"m_X_DropsGlueToNozzle1", "DropsGlueToNozzle1", "点胶头与吸嘴 1 的距离( mm )", Kind::Edit, T(DropsGlueX)},
        {"m_Y_DropsGlueToNozzle1", nullptr, "Y", Kind::Edit, T(DropsGlueY)},
        {"m_X_Y2ToY1", "Y2ToY1", "轴Y2与Y1的距离( mm )", Kind::Edit, T(Y2ToY1X)},
        {"m_Y_Y2ToY1", nullptr, "Y", Kind::Edit, T(Y2ToY1Y)},
        {"m_X_ThrowPosition", "ThrowPosition", "抛料位置坐标( mm )", Kind::Edit, T(ThrowX)},
        {"m_Y_ThrowPosition", nullptr, "Y", Kind::Edit, T(ThrowY)}}},
      {"SuctionTestSet", "吸料检测设置",
       {{"m_Z_closeVacuum", "smtBeforeCloseVacuum", "贴装提前关闭真空"},
        {"m_SuctionNozzleValue1", nullptr, "1"}, {"m_SuctionNozzleValue2", nullptr, "2"},
        {"m_SuctionNozzleValue3", nullptr, "3"}, {"m_SuctionNozzleValue4", nullptr, "4"},
        {"m_SuctionNozzleValue5", nullptr, "5"}, {"m_SuctionNozzleValue6", nullptr, "6"},
        {"m_SuctionNozzleValue7", nullptr, "7"}, {"m_SuctionNozzleValue8", nullptr, "8"}}},
      {"LimitSet", "限位设置",
       {{"m_X_Limit", "X_Limit", "X轴行程限位"},
        {"m_Y_Limit", "Y_Limit", "Y轴行程限位"},
        {"m_Z_Limit", "Z_Limit", "Z轴行程限位"},
        {"m_EastFeed_Limit", "EastFeed_Limit", "东面飞达限位"},
        {"m_SouthFeed_Limit", "SouthFeed_Limit", "南面飞达限位"},
        {"m_WestFeed_Limit", "WestFeed_Limit", "西面飞达限位"},
        {"m_NorthFeed_Limit", "NorthFeed_Limit", "北面飞达限位"},
        {"m_AutoMagnify", "AutoMagnify", "自动放大视觉框"},
        {"m_OnlineToReset", "OnlineToReset", "联机后执行复位", Kind::Check},
        {"m_DebugModel", "DebugModel", "调试模式", Kind::Check}}},
      {"SmtCorrection", "贴装修正",
       {{"m_Correction_X1", nullptr, "X1"}, {"m_Correction_X2", nullptr, "X2"}, {"m_Correction_X3", nullptr, "X3"},
        {"m_Correction_X4", nullptr, "X4"}, {"m_Correction_X5", nullptr, "X5"}, {"m_Correction_X6", nullptr, "X6"},
        {"m_Correction_X7", nullptr, "X7"}, {"m_Correction_X8", nullptr, "X8"},
        {"m_Correction_Y1", nullptr, "Y1"}, {"m_Correction_Y2", nullptr, "Y2"}, {"m_Correction_Y3", nullptr, "Y3"},
        {"m_Correction_Y4", nullptr, "Y4"}, {"m_Correction_Y5", nullptr, "Y5"}, {"m_Correction_Y6", nullptr, "Y6"},
        {"m_Correction_Y7", nullptr, "Y7"}, {"m_Correction_Y8", nullptr, "Y8"},
        {"m_Calibrator2", "Calibrator2", "相机2启用畸变校正", Kind::Check},
        {"m_CameraLens", nullptr, "", Kind::Radio},
        {"m_CommModel", "CommModel", "通讯方式", Kind::Radio},
        {"m_ThrowDelay", "ThrowDelay", "抛料延时"},
        {"m_ChangeDelay", "ChangeDelay", "换料延时"}}},
      {"VisualOriginSet", "视觉校正原点参数设置",
       {{"m_X_VisualOrigin", "VisualOriginCoordinate", "视觉原点坐标", Kind::Edit, T(VisualOriginX)},
        {"m_Y_VisualOrigin", nullptr, "Y", Kind::Edit, T(VisualOriginY)},
        {"m_X_VisualOriginOffset", "VisualOriginOffset", "视觉原点偏移"},
        {"m_Y_VisualOriginOffset", nullptr, "Y"},
        {"m_ResetToVisualOrigin", "ResetToVisualOrigin", "复位后到视觉原点处校正", Kind::Check},
        {"m_SmtFinishToVisualOrigin", "SmtFinishToVisualOrigin", "贴装后到视觉原点处校正", Kind::Check},
        {"m_CottectionTimeReset", "CottectionTimeReset", "复位校正次数"},
        {"m_CottectionTimeSmt", "CottectionTimeSmt", "贴装校正次数"},
        {"m_OriginVisualCollectTime", "VisualCollectTime", "采像时间"},
        {"m_VisualOriginBox", "VisualOriginBox", "视觉原点框"},
        {"m_VisualOriginSize", "VisualOriginSize", "视觉原点尺寸"},
        {"m_OriginLightContrast", "LightContrast", "对比度"},
        {"m_OriginLightBrightness", "LightBrightness", "光亮度"},
        {"m_FeedBrightness", "FeedBrightness", "料架光亮度"},
        {"m_OriginImageColorReversal", "ImageColorReversal", "图像颜色反转", Kind::Check},
        {"m_OpenCamera", "OpenCamera", "联机后打开相机", Kind::Check},
        {"m_SuctionNozzleOffset", "SuctionNozzleOffset", "吸嘴偏差值（kPa）", Kind::Check},
        {"m_X_StopPosition", "StopPosition", "校正停留位置", Kind::Edit, T(StopPositionX)},
        {"m_Y_StopPosition", nullptr, "Y", Kind::Edit, T(StopPositionY)},
        {"m_bStopPosition", "StopPosition", "校正停留位置", Kind::Check},
        {"m_bCameraTrackModify", "CameraTrackModify", "相机跟踪修改", Kind::Check},
        {"m_Exhaust", "Exhaust", "吹气时间"},
        {"m_bMeasurementEffect", "MeasurementEffect", "测量生效", Kind::Check},
        {"m_MeasurementStart", "MeasurementStart", "启动速度"},
        {"m_MeasurementNormal", "MeasurementNormal", "运行速度"}}},
  };
  return g;
}
#undef T

const char* kTakeCaptions[] = {"Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8", "Z1", "Z", "X", "Y", "X", "Y",
                               "X",  "Y",  "X",  "Y",  "X",  "Y",  "X",  "Y",  "X", "Y", "X", "Y", "X", "Y",
                               "CX", "CY", "X",  "Y",  "CX", "CY", "CX", "CY", "X", "Y"};

// Fields greyed out by machine type.
std::set<std::string> DisabledKeys(int type) {
  std::set<std::string> out;
  auto heights = [&](int from, int to) {
    for (int n = from; n <= to; ++n) out.insert("m_Z_Nozzle" + std::to_string(n) + "ToFeed");
  };
  auto corrections = [&](int from, int to) {
    for (int n = from; n <= to; ++n) {
      out.insert("m_Correction_X" + std::to_string(n));
      out.insert("m_Correction_Y" + std::to_string(n));
    }
  };
  auto offsets = [&](int from, int to) {
    for (int n = from; n <= to; ++n) {
      out.insert("m_X_Nozzle" + std::to_string(n) + "ToNozzle1");
      out.insert("m_Y_Nozzle" + std::to_string(n) + "ToNozzle1");
    }
  };
  auto deviations = [&](int from, int to) {
    for (int n = from; n <= to; ++n) out.insert("m_SuctionNozzleValue" + std::to_string(n));
  };
  auto y2 = [&] { out.insert({"m_X_Y2ToY1", "m_Y_Y2ToY1"}); };
  auto drag = [&] { out.insert({"m_Nozzle2MoreNozzle1", "m_FeedOverBack"}); };
  switch (type) {
    case 0:
      heights(3, 8), corrections(2, 8), offsets(3, 8), y2(), deviations(2, 8);
      out.insert({"m_ChangeDelay", "m_Exhaust"});
      break;
    case 1: case 2: case 5: case 10:
      heights(3, 8), corrections(3, 8), offsets(3, 8), y2(), drag(), deviations(3, 8);
      out.insert({"m_ChangeDelay", "m_Exhaust"});
      break;
    case 3:
      heights(5, 8), corrections(5, 8), offsets(5, 8), y2(), drag(), deviations(5, 8);
      out.insert({"m_ChangeDelay", "m_Exhaust"});
      break;
    case 4:
      heights(7, 8), drag(), corrections(5, 8), offsets(7, 8), deviations(5, 8);
      out.insert({"m_Z_DropsGlueToPCBHeight", "m_Y_Nozzle2ToNozzle1", "m_Y_Nozzle3ToNozzle1", "m_Y_Nozzle4ToNozzle1",
                  "m_ResetToVisualOrigin", "m_Exhaust"});
      break;
    case 6:
      heights(6, 8), corrections(5, 8), offsets(6, 8), y2(), drag(), deviations(5, 8);
      out.insert({"m_Z_DropsGlueToPCBHeight", "m_X_DropsGlueToNozzle1", "m_Y_DropsGlueToNozzle1", "m_ChangeDelay",
                  "m_Exhaust"});
      break;
    case 7: case 8:
      y2(), drag();
      out.insert("m_ChangeDelay");
      break;
    default:
      break;
  }
  return out;
}

}  // namespace

CDialogSetBasic::CDialogSetBasic(smt::Machine& machine, MachineSettingsStore& store, std::string appDir,
                                 std::string language, QWidget* parent, Hooks hooks)
    : QDialog(parent), machine_(machine), store_(store), appDir_(std::move(appDir)), language_(std::move(language)),
      hooks_(std::move(hooks)) {
  setObjectName("CDialogSetBasic");
  working_ = *store_.Basic();
  Build();
  const int type = machine_.machineType.load();
  // Machine type 4 has no Y offsets of nozzles 2 to 4 and no correction
  // after homing: the working copy shows them cleared.
  if (type == 4) {
    working_.m_ResetToVisualOrigin = 0;
    working_.m_Y_Nozzle2ToNozzle1 = working_.m_Y_Nozzle3ToNozzle1 = working_.m_Y_Nozzle4ToNozzle1 = 0.0;
  }
  Fill(working_);
  ApplyMachineType(type);
  store_.m_bDialogOpen = true;
  openDialog_ = this;
}

CDialogSetBasic::~CDialogSetBasic() {
  store_.m_bDialogOpen = false;
  if (openDialog_ == this) openDialog_ = nullptr;
}

QString CDialogSetBasic::Text(const char* name, const char* def) const {
  platform::LanguageSection lang(appDir_, language_, "SetBasicConfig");
  return QString::fromStdString(lang.Text(std::string("SetBasic.c_") + name, def));
}

void CDialogSetBasic::Build() {
  setWindowTitle(Text("SetBasic", "基本设置"));
  auto* outer = new QVBoxLayout(this);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* content = new QWidget(scroll);
  auto* columns = new QHBoxLayout(content);
  // Two columns of groups, read top to bottom: the page scrolls up and down
  // on a short screen, never sideways.
  QVBoxLayout* column = nullptr;
  int groupIndex = 0;
  const int groupCount = static_cast<int>(Groups().size());
  const int type = machine_.machineType.load();
  for (const auto& g : Groups()) {
    if (groupIndex++ == 0 || groupIndex - 1 == (groupCount + 1) / 2) {
      if (column) column->addStretch(1);
      column = new QVBoxLayout;
      columns->addLayout(column);
    }
    auto* box = new QGroupBox(g.textKey ? Text(g.textKey, g.textDefault) : QString::fromUtf8(g.textDefault), content);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const auto& item : g.items) {
      const BasicField* f = FindBasicField(item.key);
      QString label = item.textKey ? Text(item.textKey, item.textDefault) : QString::fromUtf8(item.textDefault);
      if (type == 4 && std::string(item.key) == "m_X_ThrowPosition")
        label = Text("ThrowChangePosition", "抛换料位置坐标( mm )");
      if ((type == 4 || type == 6) && std::string(item.key) == "m_Z_Nozzle5ToFeed")
        label = Text("Z_DropsGlue5ToPCBHeight", "点胶头5到PCB表面的高度");
      if ((type == 4 || type == 6) && std::string(item.key) == "m_Z_Nozzle6ToFeed")
        label = Text("Z_DropsGlue6ToPCBHeight", "点胶头6到PCB表面的高度");
      if (item.kind == Kind::Check) {
        auto* cb = new QCheckBox(label, box);
        cb->setObjectName(item.key);
        checks_[item.key] = cb;
        grid->addWidget(cb, row++, 0, 1, 3);
        continue;
      }
      if (item.kind == Kind::Radio) {
        const bool lens = std::string(item.key) == "m_CameraLens";
        auto* a = new QRadioButton(lens ? Text("CameraLens8", "8mm镜头") : Text("Serial", "串口"), box);
        auto* b = new QRadioButton(lens ? Text("CameraLens6", "6mm镜头") : Text("Ethernet", "网口"), box);
        auto* group = new QButtonGroup(box);
        group->addButton(a);
        group->addButton(b);
        radios_[item.key] = {a, b};
        if (!lens) grid->addWidget(new QLabel(label, box), row, 0);
        grid->addWidget(a, row, 1);
        grid->addWidget(b, row++, 2);
        continue;
      }
      auto* edit = new QLineEdit(box);
      edit->setObjectName(item.key);
      edits_[item.key] = edit;
      grid->addWidget(new QLabel(label, box), row, 0);
      grid->addWidget(edit, row, 1);
      if (item.take >= 0) {
        auto* take = new QPushButton(kTakeCaptions[item.take], box);
        take->setMaximumWidth(40);
        takeButtons_[item.take] = take;
        const auto button = static_cast<TeachButton>(item.take);
        connect(take, &QPushButton::clicked, this, [this, button] { TakePosition(button); });
        grid->addWidget(take, row, 2);
      }
      if (std::string(item.key) == "m_X_VisualOriginOffset" || std::string(item.key) == "m_Y_VisualOriginOffset") {
        const bool x = std::string(item.key)[2] == 'X';
        auto* take = new QPushButton(x ? "X" : "Y", box);
        take->setMaximumWidth(40);
        connect(take, &QPushButton::clicked, this, [this, x] { TakeVisualOriginOffset(x); });
        grid->addWidget(take, row, 2);
      }
      (void)f;
      ++row;
    }
    column->addWidget(box);
  }
  if (column) column->addStretch(1);
  scroll->setWidget(content);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setMinimumWidth(content->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() +
                          2 * scroll->frameWidth());
  outer->addWidget(scroll);

  auto* buttons = new QHBoxLayout;
  auto* autoZ = new QPushButton("AutoZ", this);
  auto* origin = new QPushButton(Text("UpdateOrigin", "复位原点更新坐标"), this);
  origin->setObjectName("UpdateOrigin");
  auto* detour = new QPushButton(Text("PositionLimitDetour", "位置受限绕行"), this);
  connect(autoZ, &QPushButton::clicked, this, &CDialogSetBasic::OnAutoZ);
  connect(origin, &QPushButton::clicked, this, [this] {
    if (hooks_.showOriginUpdate) hooks_.showOriginUpdate(this);
  });
  connect(detour, &QPushButton::clicked, this, &CDialogSetBasic::OnPositionLimitDetour);
  buttons->addWidget(autoZ);
  buttons->addWidget(origin);
  buttons->addWidget(detour);
  buttons->addStretch();
  auto* box = new QDialogButtonBox(this);
  box->addButton(Text("IDOK", "确定"), QDialogButtonBox::AcceptRole);
  box->addButton(Text("IDCANCEL", "取消"), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &CDialogSetBasic::accept);
  connect(box, &QDialogButtonBox::rejected, this, &CDialogSetBasic::reject);
  buttons->addWidget(box);
  outer->addLayout(buttons);

  // "联机后执行复位" and "调试模式" exclude each other.
  auto* online = checks_["m_OnlineToReset"];
  auto* debug = checks_["m_DebugModel"];
  connect(online, &QCheckBox::clicked, this, [debug](bool on) { if (on) debug->setChecked(false); });
  connect(debug, &QCheckBox::clicked, this, [online](bool on) { if (on) online->setChecked(false); });
  // As tall as the page, at most as tall as the screen.
  QSize size(width(), content->sizeHint().height() + 80);
  if (QScreen* sc = screen()) size = size.boundedTo(sc->availableGeometry().size() - QSize(0, 40));
  resize(size);
}

void CDialogSetBasic::Fill(const BasicSettings& s) {
  for (auto& [key, edit] : edits_) edit->setText(NumberText(FindBasicField(key)->Get(s)));
  for (auto& [key, cb] : checks_) cb->setChecked(FindBasicField(key)->Get(s) != 0);
  for (auto& [key, pair] : radios_) {
    const int v = static_cast<int>(FindBasicField(key)->Get(s));
    for (auto* b : {pair.first, pair.second}) {
      b->group()->setExclusive(false);
      b->setChecked(false);
      b->group()->setExclusive(true);
    }
    if (v == 0) pair.first->setChecked(true);
    if (v == 1) pair.second->setChecked(true);
  }
}

void CDialogSetBasic::ApplyMachineType(int type) {
  const auto off = DisabledKeys(type);
  for (const auto& key : off) {
    if (auto it = edits_.find(key); it != edits_.end()) it->second->setEnabled(false);
    if (auto it = checks_.find(key); it != checks_.end()) it->second->setEnabled(false);
  }
  // Take buttons follow their edits, except the dispensing height's.
  for (auto& [index, button] : takeButtons_) {
    const std::string key = TeachButtonKey(static_cast<TeachButton>(index));
    if (key != "m_Z_DropsGlueToPCBHeight" && off.count(key)) button->setEnabled(false);
  }
}

QLineEdit* CDialogSetBasic::Edit(const std::string& key) const {
  auto it = edits_.find(key);
  return it == edits_.end() ? nullptr : it->second;
}
QCheckBox* CDialogSetBasic::Check(const std::string& key) const {
  auto it = checks_.find(key);
  return it == checks_.end() ? nullptr : it->second;
}
QPushButton* CDialogSetBasic::TakeButton(TeachButton b) const {
  auto it = takeButtons_.find(static_cast<int>(b));
  return it == takeButtons_.end() ? nullptr : it->second;
}

bool CDialogSetBasic::TryAccept() {
  // Every field into a scratch copy, in exchange order; the first bad one
  // stops the OK with the store untouched.
  BasicSettings edited = working_;
  for (const auto& g : Groups()) {
    for (const auto& item : g.items) {
      const BasicField* f = FindBasicField(item.key);
      if (item.kind == Kind::Check) {
        f->Set(edited, checks_.at(item.key)->isChecked() ? 1 : 0);
      } else if (item.kind == Kind::Radio) {
        auto [a, b] = radios_.at(item.key);
        f->Set(edited, a->isChecked() ? 0 : b->isChecked() ? 1 : -1);
        if (std::string(item.key) == "m_CommModel" && !a->isChecked() && !b->isChecked()) f->Set(edited, 1);
        if (std::string(item.key) == "m_CameraLens" && !a->isChecked() && !b->isChecked())
          f->Set(edited, working_.m_CameraLens);
      } else {
        auto v = TakeNumber(edits_.at(item.key), f->min, f->max, !f->IsDouble());
        if (!v) return false;
        f->Set(edited, *v);
      }
    }
  }
  if (machine_.machineType == 4 && (edited.m_Y_Nozzle2ToNozzle1 != 0.0 || edited.m_Y_Nozzle3ToNozzle1 != 0.0 ||
                              edited.m_Y_Nozzle4ToNozzle1 != 0.0)) {
    working_ = edited;
    working_.m_Y_Nozzle2ToNozzle1 = working_.m_Y_Nozzle3ToNozzle1 = working_.m_Y_Nozzle4ToNozzle1 = 0.0;
    Fill(working_);
    return false;
  }
  const CommitResult r = store_.CommitBasic(appDir_, edited);
  if (!r.ok) {
    if (auto* e = Edit(r.badField)) TakeNumber(e, FindBasicField(r.badField)->min, FindBasicField(r.badField)->max, false);
    return false;
  }
  if (r.saveFailed) platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_ConfigNotWritten", "config.ini 无法写入 !"));
  return true;
}

void CDialogSetBasic::accept() {
  if (!TryAccept()) return;
  store_.m_bDialogOpen = false;
  QDialog::accept();
}

void CDialogSetBasic::reject() {
  store_.m_bDialogOpen = false;
  QDialog::reject();
}

void CDialogSetBasic::TakePosition(TeachButton b) {
  auto pulse = store_.Pulse();
  TeachInputs in;
  in.machineType = machine_.machineType.load();
  in.platform = hooks_.selectedPlatform ? hooks_.selectedPlatform() : 1;
  in.x = machine_.curX.load();
  in.y = machine_.curY.load();
  for (int i = 0; i < 8; ++i) in.z[i] = machine_.curZ[i].load();
  in.zeroX = store_.m_ZeroPoint[0].load();
  in.zeroY = store_.m_ZeroPoint[1].load();
  in.zeroX2 = store_.m_ZeroPoint[2].load();
  in.zeroY2 = store_.m_ZeroPoint[3].load();
  if (in.machineType == 4) {
    // The camera, nozzle 5/6 and Y2 buttons measure on the second platform.
    if (!hooks_.platformPositions) {
      CLogFile::Instance().Write(true, "CDialogSetBasic: hook platformPositions is not connected");
      platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NoFunction", "此功能不可用 !"));
      return;
    }
    const auto [x2, y2] = hooks_.platformPositions();
    in.x2 = x2;
    in.y2 = y2;
  }
  in.xPulse = pulse->m_X_Pulse;
  in.yPulse = pulse->m_Y_Pulse;
  in.zPulse = pulse->m_Z_Pulse;
  auto basic = store_.Basic();
  in.cameraToNozzle1X = basic->m_X_CameraToNozzle1;
  in.cameraToNozzle1Y = basic->m_Y_CameraToNozzle1;
  auto text = TeachButtonText(b, in);
  if (!text) {  // no scale: the field keeps its text
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_PulseZero", "脉冲值为 0，无法换算位置 !"));
    return;
  }
  if (auto* e = Edit(TeachButtonKey(b))) e->setText(QString::fromStdString(*text));
}

void CDialogSetBasic::TakeVisualOriginOffset(bool x) {
  auto basic = store_.Basic();
  auto* origin = Edit(x ? "m_X_VisualOrigin" : "m_Y_VisualOrigin");
  auto* offset = Edit(x ? "m_X_VisualOriginOffset" : "m_Y_VisualOriginOffset");
  // The edited origin is read as its field reads it at OK: a text that is no
  // number in the field's range is refused there and the offset is left.
  const BasicField* f = FindBasicField(x ? "m_X_VisualOrigin" : "m_Y_VisualOrigin");
  const auto edited = TakeNumber(origin, f->min, f->max, !f->IsDouble());
  if (!edited) return;
  offset->setText(QString::fromStdString(
      VisualOriginOffsetText(*edited, x ? basic->m_X_VisualOrigin : basic->m_Y_VisualOrigin)));
}

void CDialogSetBasic::OnAutoZ() {
  if (!CheckMachineReady(machine_)) return;
  for (int i = 0; i < 8; ++i) {
    if (machine_.curZ[i].load() != 0) {
      platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_ErrorE3", "错误 E3：贴片头没有复位 !"));
      return;
    }
  }
  if (hooks_.startAutoZ) {
    hooks_.startAutoZ();
  } else {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NoFunction", "此功能不可用 !"));
  }
}

void CDialogSetBasic::ShowMeasurement(double mm) {
  if (mm != 0.0) Edit("m_Z_Measurement")->setText(QString::fromStdString(platform::FormatDouble(mm, 4)));
}

void CDialogSetBasic::OnPositionLimitDetour() {
  CDialogPositionLimitDetour dlg(store_, appDir_, language_, this);
  dlg.exec();
}

}  // namespace smt::settings
