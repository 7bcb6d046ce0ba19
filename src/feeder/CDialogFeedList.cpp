#include "feeder/CDialogFeedList.h"

#include <cstdint>

#include "library/PackLibrary.h"
#include "platform/FileCell.h"
#include "platform/FileChooser.h"
#include "platform/TableColumns.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <filesystem>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedGroup.h"
#include "feeder/FeederCsv.h"
#include "feeder/FeederServices.h"
#include "link/WindowPanels.h"
#include "feeder/FeederTestThread.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "platform/DamagedFileCopy.h"
#include "platform/FileFilter.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

using namespace smt::feeder;
using smt::platform::FormatInt;
using smt::platform::ShowMessage;

namespace {

constexpr int kIconRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole + 2;

const int kWidths[kFeederCells] = {60, 60, 60, 60, 70, 70, 40, 40, 40, 40, 50, 50, 100, 80, 60,
                                   70, 60, 60, 60, 60, 60, 60, 60, 120, 60, 60, 60, 60, 60, 60};
const char* const kTitles[kFeederCells] = {"编号", "元件类型", "元件封装", "元件数值", "X坐标", "Y坐标", "长度",
                                           "宽度", "高度", "角度", "贴装头", "真空值", "视觉相机", "飞行对中",
                                           "送料方式", "取料延时", "放料延时", "送料坐标", "送料次数", "送料时间",
                                           "松皮长度", "紧皮长度", "取料高度", "独立速度", "提前关闭真空", "图像特征",
                                           "数量", "XY精度", "A精度", "时间"};

std::vector<FeederTexts::Entry> ListEntries() {
  // The entries point into these keys: built once, kept for the program's life.
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (int i = 1; i <= 8; ++i) {
      k.push_back("FeedList.c_Nozzle" + std::to_string(i) + "ToFeedTest");
      k.push_back("FeedList.c_Nozzle" + std::to_string(i) + "PickToCamera1");
      k.push_back("FeedList.c_Nozzle" + std::to_string(i) + "PickToCamera2");
    }
    for (int i = 1; i <= kFeederCells; ++i) {
      char b[40];
      std::snprintf(b, sizeof b, "FeedList.c_FeedList_%02d", i);
      k.push_back(b);
    }
    return k;
  }();
  std::vector<FeederTexts::Entry> e = {
      {"FeedList.c_FeedGroup", "料架组名称"}, {"FeedList.c_FeedCount", "料架数量"}, {"FeedList.c_ColName", "列名"},
      {"FeedList.c_ShowSelect", "显示选中料架"}, {"FeedList.c_FeedTestAll", "料架自动测试"},
      {"FeedList.c_ImportFeed", "导入料架"}, {"FeedList.c_ExportFeed", "导出料架"}, {"FeedList.c_Content", "内容"},
      {"FeedList.c_Find", "查找"}, {"FeedList.c_FeedAdd", "添加料架"}, {"FeedList.c_FeedEdit", "修改料架"},
      {"FeedList.c_FeedDelete", "删除料架"}, {"FeedList.c_FeedCopy", "复制料架"}, {"FeedList.c_FeedPaste", "粘贴料架"},
      {"FeedList.c_MeasurementToFeedTest", "测量头自动检测高度"},
      {"FeedList.c_NozzleToFeedTest", "吸嘴到料架坐标测试"}, {"FeedList.c_CameraToFeedTest", "相机到料架坐标测试"},
      {"FeedList.c_CameraToFeedHoleTest", "相机到拉料孔坐标测试"}, {"FeedList.c_TowbarToHoleTest", "拉料头到拉料孔测试"},
      {"FeedList.c_FeedTest", "送料测试"}, {"FeedList.c_NozzlePickToCamera1", "贴片头取料到相机1"},
      {"FeedList.c_NozzlePickToCamera2", "贴片头取料到相机2"}, {"FeedList.c_GetImageFeature", "获取图像特征"},
      {"FeedList.c_GetTemplate", "获取模板"}, {"FeedList.c_FindTemplate", "查找模板"},
      {"FeedList.c_Message_02", "没找到对应的料架编号，请删除此料架重新创建 !"},
      {"FeedList.c_Message_03", "请先复制料架 !"}, {"FeedList.c_Message_04", "请选择要测试的行 !"},
      {"FeedList.c_Message_07", "料架送料坐标数据越限 !"}, {"FeedList.c_Message_08", "请选择行 !"},
      {"FeedList.c_Message_09", "是否删除选择行 ?"}};
  static const char* const kNozzle[8] = {"吸嘴1到料架坐标测试", "吸嘴2到料架坐标测试", "吸嘴3到料架坐标测试",
                                          "吸嘴4到料架坐标测试", "吸嘴5到料架坐标测试", "吸嘴6到料架坐标测试",
                                          "吸嘴7到料架坐标测试", "吸嘴8到料架坐标测试"};
  static const char* const kCam1[8] = {"贴片头1取料到相机1", "贴片头2取料到相机1", "贴片头3取料到相机1",
                                        "贴片头4取料到相机1", "贴片头5取料到相机1", "贴片头6取料到相机1",
                                        "贴片头7取料到相机1", "贴片头8取料到相机1"};
  static const char* const kCam2[8] = {"贴片头1取料到相机2", "贴片头2取料到相机2", "贴片头3取料到相机2",
                                        "贴片头4取料到相机2", "贴片头5取料到相机2", "贴片头6取料到相机2",
                                        "贴片头7取料到相机2", "贴片头8取料到相机2"};
  for (int i = 0; i < 8; ++i) {
    e.push_back({keys[static_cast<size_t>(i * 3)].c_str(), kNozzle[i]});
    e.push_back({keys[static_cast<size_t>(i * 3 + 1)].c_str(), kCam1[i]});
    e.push_back({keys[static_cast<size_t>(i * 3 + 2)].c_str(), kCam2[i]});
  }
  for (int i = 0; i < kFeederCells; ++i) e.push_back({keys[static_cast<size_t>(24 + i)].c_str(), kTitles[i]});
  return e;
}

const std::vector<FeederTexts::Entry>& DragTitleEntries() {
  static const std::vector<FeederTexts::Entry> e = {{"FeedEdit.c_FeedStep", "送料长度"},
                                                    {"FeedEdit.c_ReturnStep", "回退距离"},
                                                    {"FeedEdit.c_FeedDelay", "送料延时"},
                                                    {"FeedEdit.c_DragX_Coordinates", "拖料 X"},
                                                    {"FeedEdit.c_DragY_Coordinates", "拖料 Y"}};
  return e;
}

std::string ColumnKey(int col) {
  char b[40];
  std::snprintf(b, sizeof b, "FeedList.c_FeedList_%02d", col + 1);
  return b;
}

// The row state images. Built on first use, which is the first panel's
// constructor on the window thread (QIcon needs the application).
const std::array<QIcon, 8>& Icons() {
  static const std::array<QIcon, 8> icons = [] {
    const QColor colors[8] = {QColor(200, 200, 200), QColor(40, 160, 40), QColor(40, 100, 220), QColor(220, 160, 0),
                              QColor(180, 60, 60),   QColor(220, 160, 0), QColor(240, 120, 0),  QColor(140, 40, 200)};
    std::array<QIcon, 8> made;
    for (int i = 0; i < 8; ++i) {
      QPixmap pm(20, 20);
      pm.fill(Qt::transparent);
      QPainter p(&pm);
      p.setBrush(colors[i]);
      p.setPen(Qt::black);
      if (i == 4) p.drawRect(4, 4, 12, 12);
      else p.drawEllipse(3, 3, 14, 14);
      made[static_cast<size_t>(i)] = QIcon(pm);
    }
    return made;
  }();
  return icons;
}

}  // namespace

CDialogFeedList::CDialogFeedList(smt::Machine& machine, QWidget* parent)
    : QWidget(parent), machine_(machine), table_(smt::feeder::FeederTable::Of(machine)) {
  setObjectName("CDialogFeedList");
  texts_.Defaults(ListEntries());
  texts_.Defaults(DragTitleEntries());
  MakeIcons();
  Build();
}

CDialogFeedList::~CDialogFeedList() {
  // The editor tells this panel when it closes; it goes while the panel is
  // still whole, not later with the QWidget's children.
  delete editor_;
  editor_ = nullptr;
}

CDialogFeedEdit* CDialogFeedList::Editor() {
  if (!editor_) editor_ = new CDialogFeedEdit(this, machine_, this);
  return editor_;
}

CDialogFeedGroup* CDialogFeedList::GroupManager() {
  if (!group_) {
    group_ = new CDialogFeedGroup(this, machine_, this);
    if (languageLoaded_) group_->LoadLanguage(appDir_, language_);
  }
  return group_;
}

void CDialogFeedList::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  SortByColumn(0);
}

// The first panel builds the images, on the window thread.
void CDialogFeedList::MakeIcons() { (void)Icons(); }

void CDialogFeedList::Build() {
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  groupLabel_ = new QLabel(this);
  groupName_ = new QLineEdit(this);
  groupName_->setReadOnly(true);
  countLabel_ = new QLabel(this);
  groupCount_ = new QLineEdit(this);
  groupCount_->setReadOnly(true);
  groupCount_->setMaximumWidth(60);
  showSelected_ = new QPushButton(this);
  import_ = new QPushButton(this);
  export_ = new QPushButton(this);
  testAll_ = new QPushButton(this);
  groups_ = new QPushButton(this);
  // The group on one row, the buttons on the next, so that the panel fits
  // beside the camera column on a small screen in every language.
  groupName_->setMinimumWidth(120);
  for (QWidget* w : std::initializer_list<QWidget*>{groupLabel_, groupName_, countLabel_, groupCount_, groups_,
                                                     showSelected_})
    top->addWidget(w);
  top->addStretch(1);
  outer->addLayout(top);
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{import_, export_, testAll_})
    buttons->addWidget(w);
  buttons->addStretch(1);
  outer->addLayout(buttons);
  list_ = new QTableWidget(0, kFeederCells, this);
  smt::platform::KeepColumnsWideEnough(list_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setShowGrid(true);
  list_->setIconSize(QSize(20, 20));
  list_->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); }");
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->verticalHeader()->hide();
  for (int c = 0; c < kFeederCells; ++c) list_->setColumnWidth(c, kWidths[c]);
  outer->addWidget(list_);
  connect(list_, &QTableWidget::cellClicked, this, [this](int, int) { OnClickRow(); });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int, int) { OnEditFeeder(false); });
  // A right-click anywhere in the list, the empty list and the room below
  // the rows included, offers the menu: on a row it chooses that row first;
  // elsewhere only the entries that need no row are offered ("add feeder").
  connect(list_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const int row = list_->rowAt(pos.y());
    if (row >= 0 && FirstSelectedRow() != row) list_->selectRow(row);
    OnRightClick();
    QMenu* menu = BuildPopupMenu(this);
    menu->exec(list_->viewport()->mapToGlobal(pos));
    menu->deleteLater();
  });
  // Rows taken out of the widget take their feeders with them.
  connect(list_->model(), &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
    if (RowCount() <= list_->rowCount()) return;
    const int end = std::min(last + 1, RowCount());
    if (first < end) shown_.erase(shown_.begin() + first, shown_.begin() + end);
  });
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { SortByColumn(c); });
  connect(showSelected_, &QPushButton::clicked, this, [this] { OnShowSelected(); });
  connect(import_, &QPushButton::clicked, this, [this] { ImportFeedCsv(); });
  connect(export_, &QPushButton::clicked, this, [this] { ExportFeedCsv(); });
  connect(testAll_, &QPushButton::clicked, this, [this] { OnFeedTestAll(); });
  connect(groups_, &QPushButton::clicked, this, [this] { OpenGroupManager(); });
  connect(groupName_, &QLineEdit::textChanged, this, [this] { m_bCopied = false; });
  ApplyLanguageTexts();
}

std::array<std::string, kFeederCells> CDialogFeedList::ColumnTitles() const {
  std::array<std::string, kFeederCells> t;
  for (int c = 0; c < kFeederCells; ++c) t[static_cast<size_t>(c)] = texts_.Get(ColumnKey(c));
  if (machine_.machineType == 0)
    for (int c = 17; c <= 21; ++c) t[static_cast<size_t>(c)] = texts_.Get(DragTitleEntries()[static_cast<size_t>(c - 17)].first);
  return t;
}

void CDialogFeedList::LoadLanguage(const std::string& appDir, const std::string& language) {
  appDir_ = appDir;
  language_ = language;
  texts_.Load(appDir, language, "FeedListConfig", ListEntries());
  texts_.Load(appDir, language, "FeedEditConfig", DragTitleEntries());
  TranslateRows();
  languageLoaded_ = true;
  if (group_) group_->LoadLanguage(appDir, language);
}

void CDialogFeedList::TranslateRows() {
  const FeederNameTables names = NameTablesOf(machine_);
  // The speed cell "<flag>/<template>" with the template's name replaced.
  auto withSpeedName = [](const std::string& cell, const std::string& name) {
    const size_t slash = cell.find('/');
    return (slash == std::string::npos ? std::string() : cell.substr(0, slash + 1)) + name;
  };
  for (int r = 0; r < RowCount(); ++r) {
    FeederRow& row = shown_[static_cast<size_t>(r)].row;
    const int g = table_.FindCurrentRow(row.Number());
    int mode = 0;
    if (MatchFeedMode(row.Cell(kCellFeedMode), names, &mode)) {
      if (row.Cell(kCellFeedMode) != names.Mode(mode)) row.SetText(kCellFeedMode, names.Mode(mode));
      if (g >= 0) table_.SetCurrentCell(g, kCellFeedMode, names.Mode(mode));
    }
    int use = 0;
    if (MatchSpeedName(SplitFlagCell(row.Cell(kCellSpeed)).second, names, &use)) {
      const std::string name = names.speed[static_cast<size_t>(names.Lang() * 8 + use)];
      const std::string cell = withSpeedName(row.Cell(kCellSpeed), name);
      if (cell != row.Cell(kCellSpeed)) row.SetText(kCellSpeed, cell);
      if (g >= 0) table_.SetCurrentCell(g, kCellSpeed, withSpeedName(table_.CurrentRow(g)->Cell(kCellSpeed), name));
    }
    ShowRow(r);
  }
}

void CDialogFeedList::ApplyLanguageTexts() {
  groupLabel_->setText(texts_.Q("FeedList.c_FeedGroup"));
  countLabel_->setText(texts_.Q("FeedList.c_FeedCount"));
  showSelected_->setText(texts_.Q("FeedList.c_ShowSelect"));
  import_->setText(texts_.Q("FeedList.c_ImportFeed"));
  export_->setText(texts_.Q("FeedList.c_ExportFeed"));
  testAll_->setText(texts_.Q("FeedList.c_FeedTestAll"));
  groups_->setText(QString::fromStdString(
      smt::platform::LanguageSection(appDir_, language_, "FeedGroupConfig").Text("FeedGroup.c_FeedGroup", "料架模组")));
  QStringList titles;
  for (const auto& t : ColumnTitles()) titles << QString::fromStdString(t);
  list_->setHorizontalHeaderLabels(titles);
}

// --- table <-> list ------------------------------------------------------------------

bool CDialogFeedList::LoadFromLines(std::vector<std::string>& lines, const std::string& fileDir) {
  list_->setRowCount(0);
  const FeederLoadResult r = table_.LoadFromLines(lines, NameTablesOf(machine_));
  lastLoad_ = r;
  if (!r.ok) {
    ShowMessage(smt::platform::LanguageSection(appDir_, language_, "FeedGroupConfig")
                    .Text("FeedGroup.c_Message_09", "没有料架数组 !"));
    return false;
  }
  if (!r.error.empty()) {
    // The file as it was is kept beside it before anything is saved over it.
    const std::string kept = smt::platform::KeepDamagedCopy(std::filesystem::path(fileDir.empty() ? appDir_ : fileDir) / kFeederFileName);
    CLogFile::Instance().Write(true, "config_feed.fig: lines not used: %s", r.error.c_str());
    ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_FileLinesSkipped", "料架文件有无法读取的行，已跳过：\r\n%1: %2"), {kFeederFileName, r.error}) +
                (kept.empty() ? std::string() : "\r\n" + smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_DamagedFileKept", "（原文件已保存为“%1”）"), {kept})));
  }
  ShowCurrentGroup();
  return true;
}

std::vector<std::string> CDialogFeedList::SaveToLines() { return table_.SaveToLines(); }

void CDialogFeedList::ShowCurrentGroup() {
  // The table translates the group's names as it makes it current; the
  // list then holds the group's rows up to the first without a number.
  (void)table_.ShowGroupInList(table_.CurrentName(), NameTablesOf(machine_));
  list_->setRowCount(0);
  if (const auto g = table_.CurrentGroup())
    for (const FeederRow& row : g->rows) {
      if (row.Empty()) break;
      InsertShown(RowCount(), ShownFeeder{row, 0});
    }
  RefreshGroupFields();
}

void CDialogFeedList::RefreshGroupFields() {
  const bool copied = m_bCopied;
  groupName_->setText(QString::fromStdString(table_.CurrentName()));
  m_bCopied = copied && groupName_->text().toStdString() == table_.CurrentName();
  groupCount_->setText(QString::number(table_.CurrentRowCount()));
}

int CDialogFeedList::RowCount() const { return static_cast<int>(shown_.size()); }

FeederListRow CDialogFeedList::ListRow(int row) const {
  if (row < 0 || row >= RowCount()) return FeederListRow{};
  const ShownFeeder& f = shown_[static_cast<size_t>(row)];
  FeederListRow r = ListRowOf(f.row);
  r.icon[0] = f.mark;
  return r;
}

void CDialogFeedList::SetListRow(int row, const FeederListRow& r) {
  if (row < 0 || row >= RowCount()) return;
  ShownFeeder& f = shown_[static_cast<size_t>(row)];
  f.mark = r.icon[0];
  // A row given back as it shows keeps its cells as they came; a changed
  // one is read again from what it shows.
  FeederListRow now = ListRowOf(f.row);
  now.icon[0] = f.mark;
  if (now.text != r.text || now.icon != r.icon) f.row = RowFromListRow(r, row + 1);
  ShowRow(row);
}

void CDialogFeedList::ShowRow(int row) {
  if (row < 0 || row >= RowCount() || row >= list_->rowCount()) return;
  const ShownFeeder& f = shown_[static_cast<size_t>(row)];
  FeederListRow r = ListRowOf(f.row);
  r.icon[0] = f.mark;
  // A feeder whose numbers could not be read shows its cells as they are,
  // with the reason on every cell.
  const smt::platform::FileCellError* problem = f.row.Problem();
  const QString tip = problem ? QString::fromStdString(problem->what()) : QString();
  for (int c = 0; c < kFeederCells; ++c) {
    auto* it = list_->item(row, c);
    if (!it) {
      it = new QTableWidgetItem;
      it->setTextAlignment(Qt::AlignCenter);
      list_->setItem(row, c, it);
    }
    it->setText(QString::fromStdString(r.text[static_cast<size_t>(c)]));
    it->setToolTip(tip);
    const int icon = r.icon[static_cast<size_t>(c)];
    if (icon >= 0 && icon < 8) {
      it->setData(kIconRole, icon);
      it->setIcon(Icons()[static_cast<size_t>(icon)]);
    } else {
      it->setData(kIconRole, QVariant());
      it->setIcon(QIcon());
    }
  }
}

void CDialogFeedList::InsertListRow(int at, const FeederListRow& r) {
  ShownFeeder f{RowFromListRow(r, at + 1), r.icon[0]};
  InsertShown(at, std::move(f));
}

void CDialogFeedList::InsertShown(int at, ShownFeeder f) {
  at = std::clamp(at, 0, RowCount());
  shown_.insert(shown_.begin() + at, std::move(f));
  list_->insertRow(at);
  ShowRow(at);
}

int CDialogFeedList::FirstSelectedRow() const {
  const auto ranges = list_->selectedRanges();
  int best = -1;
  for (const auto& rg : ranges)
    if (best < 0 || rg.topRow() < best) best = rg.topRow();
  return best;
}

void CDialogFeedList::SelectRow(int row, bool on) {
  if (row < 0 || row >= RowCount()) return;
  if (on) {
    list_->selectRow(row);
    list_->scrollToItem(list_->item(std::min(row + 3, RowCount() - 1), 0));
  } else {
    list_->clearSelection();
  }
}

void CDialogFeedList::SetRowFromEdit(int row) {
  if (row < 0 || row >= RowCount()) return;
  SetListRow(row, Editor()->RowForList());
}

void CDialogFeedList::LoadEditFromRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  const FeederListRow lr = ListRow(row);
  Editor()->fields = FieldsFromListRow(lr);
  Editor()->loadedNumber = lr.text[0];
  Editor()->loadedRow = lr;
  Editor()->RowLoaded();
}

void CDialogFeedList::UpdateRowsFromPackage(const smt::library::PackEditFields& v, const std::array<bool, 11>& pass) {
  using smt::platform::FormatDouble;
  FeederPartList& partList = *FeederPartListPort(machine_);
  for (int r = 0; r < RowCount(); ++r) {
    FeederListRow lr = ListRow(r);
    if (lr.text[kCellPackage] != v.name) continue;
    auto& t = lr.text;
    // Always: sizes, nozzle, camera and vision, lights, delays, speed and image feature.
    t[kCellLength] = FormatDouble(v.length, 2);
    t[kCellWidth] = FormatDouble(v.width, 2);
    t[kCellHeight] = FormatDouble(v.thickness, 2);
    t[kCellFly] = FormatInt(v.contrast) + "/" + FormatInt(v.brightness);
    t[kCellPickDelay] = FormatInt(v.pickDelay);
    t[kCellPlaceDelay] = FormatInt(v.placeDelay);
    t[kCellCamera] = v.camera;
    lr.icon[kCellCamera] = v.visionMode == 1 ? 1 : 4;
    lr.icon[kCellFly] = v.visionMode == 2 ? 2 : 4;
    t[kCellHead] = v.nozzle;
    t[kCellSpeed] = v.speedName;
    lr.icon[kCellSpeed] = v.ownSpeed ? 3 : 4;
    t[kCellFeature] = v.recognition;
    // The passed-on ones.
    if (pass[0]) t[kCellFeedMode] = v.feedMode;
    if (pass[1]) t[kCellFeedCount] = FormatInt(v.feedCount);
    if (pass[2]) t[kCellFeedTime] = FormatInt(v.feedTime);
    if (pass[3]) t[kCellSlack] = FormatInt(v.slackLength);
    if (pass[4]) t[kCellTension] = FormatInt(v.tensionLength);
    if (pass[5]) t[kCellPrecisionXY] = FormatInt(v.precisionXY);
    if (pass[6]) t[kCellPrecisionA] = FormatInt(v.precisionA);
    if (pass[7]) t[kCellCollectTime] = FormatInt(v.captureTime);
    if (pass[8]) t[kCellPickHeight] = FormatDouble(v.pickHeight, 4);
    if (pass[9]) t[kCellVacuum] = FormatInt(static_cast<long long>(v.vacuumTest));
    if (pass[10]) t[kCellEarlyVacuum] = FormatDouble(v.closeEarly, 4);
    const int g = table_.FindCurrentRow(t[kCellNumber]);
    if (g < 0) {
      ShowMessage(texts_.Get("FeedList.c_Message_02"));
      return;
    }
    // A package value the feeder cannot hold (a tension past the feeder's
    // range) leaves that feeder as it was, named.
    const FeederRow row = RowFromListRow(lr, g + 1);
    if (const smt::platform::FileCellError* e = row.Problem()) {
      ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_PackageDoesNotFit", "料架 \"%1\" 没有更新：元件封装的 \"%2\" 值 \"%3\" 不适用于该料架 !"), {t[kCellNumber], e->field(), e->text()}));
      continue;
    }
    SetListRow(r, lr);
    table_.StoreListRow(lr, g);
    const int vision = lr.icon[kCellCamera] == 1 ? 1 : lr.icon[kCellFly] == 2 ? 2 : 0;
    partList.UpdateRowsForFeeder(t[kCellNumber], t[kCellNumber], vision, t[kCellValue], t[kCellHead]);
  }
}

bool CDialogFeedList::ShiftFeederPositions(double dx, double dy) {
  if (const std::string refused = table_.ShiftCurrentPositions(dx, dy); !refused.empty()) {
    // Nothing moved: every feeder keeps its pick point.
    ShowMessage(smt::platform::FillText(smt::platform::WindowText("FeederMessagesConfig", "FeederMessages.c_NotShifted", "料架坐标没有移动 !\r\n%1"), {refused}));
    return false;
  }
  for (int r = 0; r < RowCount(); ++r) {
    FeederRow& shown = shown_[static_cast<size_t>(r)].row;
    const int g = table_.FindCurrentRow(shown.Number());
    const auto row = g >= 0 ? table_.CurrentRow(g) : std::nullopt;
    if (!row || !row->Readable()) continue;
    shown.SetPickPoint(row->Record().x, row->Record().y);
    ShowRow(r);
  }
  return true;
}

// --- sorting ----------------------------------------------------------------------------

namespace {

// The side of a feeder number in the list's order: S, W, N, G, others first.
int SideRank(char side) {
  switch (side) {
    case 'S': return 1;
    case 'W': return 2;
    case 'N': return 3;
    case 'G': return 4;
    default: return 0;
  }
}

template <class T>
int Cmp(const T& a, const T& b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

int CmpText(const std::string& a, const std::string& b) {
  return Cmp(QString::fromStdString(a).toStdU16String(), QString::fromStdString(b).toStdU16String());
}

// Columns that hold text; the others hold numbers.
bool TextColumn(int column) {
  return column == kCellType || column == kCellPackage || column == kCellValue || column == kCellCamera ||
         column == kCellFeedMode || column == kCellSpeed || column == kCellFeature;
}

int CompareValues(const FeederRecord& a, const FeederRecord& b, int column) {
  switch (column) {
    case kCellX: return Cmp(a.x, b.x);
    case kCellY: return Cmp(a.y, b.y);
    case kCellLength: return Cmp(a.length, b.length);
    case kCellWidth: return Cmp(a.width, b.width);
    case kCellHeight: return Cmp(a.height, b.height);
    case kCellAngle: return Cmp(a.angle, b.angle);
    case kCellHead: return Cmp(a.head, b.head);
    case kCellVacuum: return Cmp(a.vacuum, b.vacuum);
    case kCellFly: {
      const int c = Cmp(a.lightContrast, b.lightContrast);
      return c ? c : Cmp(a.lightBrightness, b.lightBrightness);
    }
    case kCellPickDelay: return Cmp(a.pickDelay, b.pickDelay);
    case kCellPlaceDelay: return Cmp(a.placeDelay, b.placeDelay);
    case kCellFeedCoord: return Cmp(a.feedCoordinate, b.feedCoordinate);
    case kCellFeedCount: return Cmp(a.feedCount, b.feedCount);
    case kCellFeedTime: return Cmp(a.feedTime, b.feedTime);
    case kCellSlack: return Cmp(a.slack, b.slack);
    case kCellTension: return Cmp(a.tension, b.tension);
    case kCellPickHeight: return Cmp(a.pickHeight, b.pickHeight);
    case kCellEarlyVacuum: return Cmp(a.earlyVacuumOff, b.earlyVacuumOff);
    case kCellQuantity: return Cmp(a.quantity, b.quantity);
    case kCellPrecisionXY: return Cmp(a.precisionXY, b.precisionXY);
    case kCellPrecisionA: return Cmp(a.precisionA, b.precisionA);
    case kCellCollectTime: return Cmp(a.collectTime, b.collectTime);
    default: return 0;
  }
}

const std::string& TextOf(const FeederRecord& r, int column) {
  switch (column) {
    case kCellType: return r.partType;
    case kCellPackage: return r.package;
    case kCellValue: return r.value;
    case kCellCamera: return r.camera;
    case kCellFeedMode: return r.feedMode;
    case kCellSpeed: return r.speedTemplate;
    default: return r.feature;
  }
}

}  // namespace

int CDialogFeedList::CompareFeeders(const FeederRow& x, const FeederRow& y, int column) {
  const FeederRecord& a = x.Record();
  const FeederRecord& b = y.Record();
  if (column == kCellNumber) {
    const int ca = SideRank(a.side), cb = SideRank(b.side);
    if (ca != cb) return ca < cb ? -1 : 1;
    return a.index > b.index ? 1 : -1;
  }
  if (TextColumn(column)) {
    if (column == kCellFeature && x.Readable() && y.Readable())
      if (const int c = Cmp(a.recognitionType, b.recognitionType)) return c;
    return CmpText(TextOf(a, column), TextOf(b, column));
  }
  // A feeder whose numbers could not be read has no values to sort by: it
  // goes after those that have.
  if (x.Readable() != y.Readable()) return x.Readable() ? -1 : 1;
  if (!x.Readable()) return 0;
  return CompareValues(a, b, column);
}

void CDialogFeedList::SortByColumn(int column) {
  const int n = RowCount();
  if (n == 0 || column < 0 || column >= kFeederCells) return;
  // The sort needs a strict order: equal numbers of one side compare equal
  // here (CompareFeeders never answers "equal" for column 0).
  auto less = [column](const ShownFeeder& x, const ShownFeeder& y) {
    if (column == 0) {
      const int ca = CompareFeeders(x.row, y.row, 0), cb = CompareFeeders(y.row, x.row, 0);
      return ca < 0 && cb > 0;
    }
    return CompareFeeders(x.row, y.row, column) < 0;
  };
  std::stable_sort(shown_.begin(), shown_.end(), less);
  for (int r = 0; r < n; ++r) ShowRow(r);
}

// --- operator commands -------------------------------------------------------------------

void CDialogFeedList::OnClickRow() {
  m_nSelectedRow = FirstSelectedRow();
  if (m_nSelectedRow < 0) {
    ShowMessage(texts_.Get("FeedList.c_Message_08"));
    return;
  }
  int& mark = shown_[static_cast<size_t>(m_nSelectedRow)].mark;
  if (mark == 7) return;
  mark = mark == 6 ? 0 : 6;
  ShowRow(m_nSelectedRow);
}

void CDialogFeedList::OnAddFeeder() {
  m_nSelectedRow = -1;
  table_.CopyGroupToBuffer();
  // The new feeder is offered the next free number on its side.
  CDialogFeedEdit& editor = *Editor();
  if (SideLetter(editor.fields.side) == 0) editor.fields.side = kSideW;
  const char side = SideLetter(editor.fields.side);
  int highest = 0;
  for (const ShownFeeder& f : shown_)
    if (f.row.Record().side == side) highest = std::max(highest, f.row.Record().index);
  editor.fields.number = std::min(highest + 1, 10000);
  editor.loadedNumber.clear();
  editor.loadedRow.reset();
  editor.RowLoaded();
  const bool ok = runEditor ? runEditor() : Editor()->Run();
  if (ok) {
    const int at = RowCount();
    InsertListRow(at, FeederListRow{});
    SetRowFromEdit(at);
    table_.AppendRowFromList(ListRow(at));
    RefreshGroupFields();
  } else {
    table_.ClearBufferGroup();
  }
  m_bCopied = false;
}

void CDialogFeedList::OnEditFeeder(bool fromMenu) {
  m_nSelectedRow = FirstSelectedRow();
  if (m_nSelectedRow < 0) {
    ShowMessage(texts_.Get("FeedList.c_Message_08"));
    m_nSelectedRow = -1;
    return;
  }
  const int row = m_nSelectedRow;
  const int g = table_.FindCurrentRow(shown_[static_cast<size_t>(row)].row.Number());
  if (g < 0) {
    ShowMessage(texts_.Get("FeedList.c_Message_02"));
    return;
  }
  LoadEditFromRow(row);
  const auto tray = table_.CurrentTray(g).value_or(TrayRecord::Default());
  table_.FreeTrayGrid();
  table_.AllocTrayGrid(tray.rows, tray.cols);
  table_.LoadTray(g);
  if (fromMenu) {
    m_bEditInProgress = true;
    m_nEditGroupRow = g;
  }
  if (smt::settings::SettingsStores::Of(machine_).machine.Basic()->m_bCameraTrackModify != 0) {
    bool& warned = fromMenu ? warnedMenuEdit_ : warnedDoubleClick_;
    if (!warned) {
      warned = true;
      ShowMessage(smt::platform::LanguageSection(appDir_, language_, "PartListConfig")
                      .Text("PartList.c_Message_44", "警告：修改元件或料架时将运行贴装头，不可以靠近贴装头 ! 提示1次。"));
    }
    StartTest(9);
  }
  const bool ok = runEditor ? runEditor() : Editor()->Run();
  if (ok && row < RowCount()) {
    SetRowFromEdit(row);
    table_.StoreRow(shown_[static_cast<size_t>(row)].row, g);
    table_.FreeRowTray(g);
    table_.StoreTrayWithCells(g);
    table_.StoreTray(g);
  }
  if (fromMenu) m_bCopied = false;
}

void CDialogFeedList::OnDeleteFeeder() {
  const auto answer = smt::platform::ShowMessage(texts_.Get("FeedList.c_Message_09"),
                                                 smt::platform::MsgButtons::YesNoCancel,
                                                 smt::platform::MsgIcon::Question);
  if (answer != smt::platform::MsgAnswer::Yes) return;
  const int row = FirstSelectedRow();
  if (row < 0) {
    ShowMessage(texts_.Get("FeedList.c_Message_08"));
    return;
  }
  table_.DeleteRowByNumber(shown_[static_cast<size_t>(row)].row.Number());
  list_->removeRow(row);  // the feeder goes with its row
  RefreshGroupFields();
  m_bCopied = false;
}

void CDialogFeedList::OnCopyFeeder() {
  m_nSelectedRow = FirstSelectedRow();
  if (m_nSelectedRow < 0) {
    ShowMessage(texts_.Get("FeedList.c_Message_08"));
    return;
  }
  const FeederRow& row = shown_[static_cast<size_t>(m_nSelectedRow)].row;
  m_strCopySource = row.Number();
  m_strCopySide = row.Empty() ? std::string() : row.Number().substr(0, 1);
  m_CopyRow = row;
  m_bCopied = true;
}

void CDialogFeedList::OnPasteFeeder() {
  if (!m_CopyRow) {
    ShowMessage(texts_.Get("FeedList.c_Message_03"));
    return;
  }
  const int sel = FirstSelectedRow();
  const int at = sel >= 0 ? sel : RowCount();
  int highest = 0;
  for (const ShownFeeder& f : shown_) {
    const FeederRecord& r = f.row.Record();
    if (!f.row.Empty() && f.row.Number().substr(0, 1) == m_strCopySide) highest = std::max(highest, r.index);
  }
  const std::string number = m_strCopySide + FormatInt(highest + 1);
  FeederRow pasted = *m_CopyRow;
  pasted.SetText(kCellNumber, number);
  InsertShown(at, ShownFeeder{std::move(pasted), 0});
  table_.PasteRowAfter(m_strCopySource, number);
  RefreshGroupFields();
}

void CDialogFeedList::OnShowSelected() {
  const std::vector<std::string> used = FeederPartListPort(machine_)->PlacementFeederNumbers();
  for (int r = 0; r < RowCount(); ++r) {
    ShownFeeder& f = shown_[static_cast<size_t>(r)];
    f.mark = std::find(used.begin(), used.end(), f.row.Number()) != used.end() ? 7 : 0;
    ShowRow(r);
  }
}

void CDialogFeedList::OnRightClick() {
  // Without a chosen row the menu greys the row's entries: no message stands
  // between the operator and "add feeder".
  m_nSelectedRow = FirstSelectedRow();
}

QMenu* CDialogFeedList::BuildPopupMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  const int type = machine_.machineType;
  const bool hasRow = m_nSelectedRow >= 0 && m_nSelectedRow < RowCount();
  auto add = [&](QMenu* m, const std::string& key, std::function<void()> fn) {
    QAction* a = m->addAction(texts_.Q(key), this, std::move(fn));
    a->setObjectName(QString::fromStdString(key));
    return a;
  };
  QAction* addA = add(menu, "FeedList.c_FeedAdd", [this] { OnAddFeeder(); });
  (void)addA;
  QAction* edit = add(menu, "FeedList.c_FeedEdit", [this] { OnEditFeeder(true); });
  QAction* del = add(menu, "FeedList.c_FeedDelete", [this] { OnDeleteFeeder(); });
  QAction* copy = add(menu, "FeedList.c_FeedCopy", [this] { OnCopyFeeder(); });
  QAction* paste = add(menu, "FeedList.c_FeedPaste", [this] { OnPasteFeeder(); });
  menu->addSeparator();
  QAction* measure = add(menu, "FeedList.c_MeasurementToFeedTest", [this] { OnMeasureHeight(); });
  QMenu* nozzle = menu->addMenu(texts_.Q("FeedList.c_NozzleToFeedTest"));
  std::array<QAction*, 9> nozzleA{}, cam1A{}, cam2A{};
  for (int n = 1; n <= 8; ++n)
    nozzleA[static_cast<size_t>(n)] =
        add(nozzle, "FeedList.c_Nozzle" + std::to_string(n) + "ToFeedTest", [this, n] { StartTest(n); });
  QAction* camFeed = add(menu, "FeedList.c_CameraToFeedTest", [this] { StartTest(9); });
  QAction* camHole = add(menu, "FeedList.c_CameraToFeedHoleTest", [this] { StartTest(10); });
  QAction* towbar = add(menu, "FeedList.c_TowbarToHoleTest", [this] { OnTowbarToHole(); });
  QAction* feed = add(menu, "FeedList.c_FeedTest", [this] { OnFeedTest(); });
  menu->addSeparator();
  QMenu* cam1 = menu->addMenu(texts_.Q("FeedList.c_NozzlePickToCamera1"));
  for (int n = 1; n <= 8; ++n)
    cam1A[static_cast<size_t>(n)] =
        add(cam1, "FeedList.c_Nozzle" + std::to_string(n) + "PickToCamera1", [this, n] { StartTest(12 + n); });
  QMenu* cam2 = menu->addMenu(texts_.Q("FeedList.c_NozzlePickToCamera2"));
  for (int n = 1; n <= 8; ++n)
    cam2A[static_cast<size_t>(n)] =
        add(cam2, "FeedList.c_Nozzle" + std::to_string(n) + "PickToCamera2", [this, n] { StartTest(20 + n); });
  add(menu, "FeedList.c_GetImageFeature", [this] { OnGetImageFeature(); });
  add(menu, "FeedList.c_GetTemplate", [this] { OnTemplate(3); });
  add(menu, "FeedList.c_FindTemplate", [this] { OnTemplate(4); });

  if (smt::settings::SettingsStores::Of(machine_).machine.Basic()->m_bMeasurementEffect == 0) measure->setEnabled(false);
  auto greyNozzles = [&](int from) {
    for (int n = from; n <= 8; ++n) nozzleA[static_cast<size_t>(n)]->setEnabled(false);
  };
  auto greyHeads = [&](int from) {
    for (int n = from; n <= 8; ++n) {
      cam1A[static_cast<size_t>(n)]->setEnabled(false);
      cam2A[static_cast<size_t>(n)]->setEnabled(false);
    }
  };
  switch (type) {
    case 0: greyNozzles(3); greyHeads(2); break;
    case 1: greyNozzles(3); greyHeads(2); camHole->setEnabled(false); break;
    case 2: case 5: case 10: greyNozzles(3); camHole->setEnabled(false); greyHeads(3); break;
    case 3: case 6: greyNozzles(5); camHole->setEnabled(false); greyHeads(5); break;
    case 4:
      greyNozzles(5);
      camFeed->setEnabled(false);
      camHole->setEnabled(false);
      towbar->setEnabled(false);
      greyHeads(1);
      break;
    case 7: case 8: camHole->setEnabled(false); towbar->setEnabled(false); break;
    default: break;
  }
  if (!hasRow) {
    for (QAction* a : {edit, del, copy, paste, nozzleA[1], nozzleA[2], camFeed, towbar, feed}) a->setEnabled(false);
  }
  if (!m_bCopied) paste->setEnabled(false);
  return menu;
}

// --- tests ---------------------------------------------------------------------------------

bool CDialogFeedList::RowGuards() {
  if (!smt::link::CheckMachineGuards(machine_)) return false;
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(texts_.Get("FeedList.c_Message_04"));
    return false;
  }
  return true;
}

void CDialogFeedList::StartWorker(int mode, bool pullHole, bool singleStep, const FeederRow* rowOverride) {
  m_nTestMode = mode;
  FeederTestRequest req;
  req.mode = mode;
  req.pullHole = pullHole;
  req.singleStep = singleStep;
  req.feedLimitMessage = texts_.Get("FeedList.c_Message_07");
  if (m_nSelectedRow >= 0 && m_nSelectedRow < RowCount()) {
    req.listRow = m_nSelectedRow;
    req.row = rowOverride ? *rowOverride : shown_[static_cast<size_t>(m_nSelectedRow)].row;
  }
  if (mode == 30)
    for (const ShownFeeder& f : shown_) req.allRows.push_back(f.row);
  FeederTestResults res;
  QPointer<CDialogFeedList> self(this);
  res.pickHeightMeasured = [self](int listRow, const std::string& number, double height) {
    smt::platform::PostToGui([self, listRow, number, height] {
      if (!self) return;
      if (listRow >= 0 && listRow < self->RowCount()) {
        self->shown_[static_cast<size_t>(listRow)].row.SetPickHeight(height);
        self->ShowRow(listRow);
      }
      const int g = self->table_.FindCurrentRow(number);
      if (g < 0) {
        ShowMessage(self->texts_.Get("FeedList.c_Message_02"));
        return;
      }
      self->m_nEditGroupRow = g;
      self->table_.SetCurrentPickHeight(g, height);
      if (self->editor_ && self->editor_->isVisible()) self->editor_->ShowPickHeight(height);
    });
  };
  res.selectRow = [self](int row, bool on) {
    smt::platform::PostToGui([self, row, on] {
      if (self) self->SelectRow(row, on);
    });
  };
  StartFeederTestWorker(machine_, std::move(req), std::move(res));
}

bool CDialogFeedList::StartTest(int mode) {
  if (!RowGuards()) return false;
  StartWorker(mode);
  return true;
}

bool CDialogFeedList::StartTestWithRow(int mode, const FeederRow& row) {
  if (!RowGuards()) return false;
  StartWorker(mode, false, false, &row);
  return true;
}

void CDialogFeedList::OnMeasureHeight() {
  if (!RowGuards()) return;
  for (int i = 0; i < 8; ++i)
    if (machine_.curZ[i].load() != 0) {
      ShowMessage(smt::link::kErrorE3);
      return;
    }
  m_nTestRow = m_nSelectedRow;
  StartWorker(0);
}

void CDialogFeedList::OnFeedTest(bool singleStep) {
  if (!RowGuards()) return;
  FeederRow& shown = shown_[static_cast<size_t>(m_nSelectedRow)].row;
  const int g = table_.FindCurrentRow(shown.Number());
  const auto row = g >= 0 ? table_.CurrentRow(g) : std::nullopt;
  const int q = row && row->Readable() ? row->Record().quantity : 0;
  if (q >= 1 && table_.SetCurrentQuantity(g, q - 1)) {
    shown.SetQuantity(q - 1);
    ShowRow(m_nSelectedRow);
  }
  StartWorker(12, false, singleStep);
}

void CDialogFeedList::OnTowbarToHole() {
  if (!RowGuards()) return;
  const FeederNameTables n = NameTablesOf(machine_);
  const std::string& mode = shown_[static_cast<size_t>(m_nSelectedRow)].row.Record().feedMode;
  if (mode == n.Mode(kIntegrationFeed) || mode == n.Mode(k0402) || mode == n.Mode(k48)) StartWorker(11);
  else if (mode == n.Mode(kDragHand)) StartWorker(2, true);
}

void CDialogFeedList::OnFeedTestAll() {
  if (machine_.feederAutoTestRunning) {
    machine_.feederAutoTestRunning = false;
    return;
  }
  if (!smt::link::CheckMachineGuards(machine_)) return;
  if (RowCount() < 1) return;
  StartWorker(30);
}

void CDialogFeedList::OnGetImageFeature() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) return;
  smt::link::CameraPanelPortOf(machine_)->SetImageFeature(shown_[static_cast<size_t>(m_nSelectedRow)].row.Record().feature);
}

void CDialogFeedList::OnTemplate(int mode) {
  if (machine_.machineBusy) {
    ShowMessage(smt::link::kRunning);
    return;
  }
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(texts_.Get("FeedList.c_Message_04"));
    return;
  }
  smt::link::CameraPanelPortOf(machine_)->TemplateCommand(mode, shown_[static_cast<size_t>(m_nSelectedRow)].row.Number());
}

// --- CSV ---------------------------------------------------------------------------------------

void CDialogFeedList::ExportFeedCsvTo(const std::string& path) { ExportFeederCsv(table_, ColumnTitles(), path); }

void CDialogFeedList::ImportFeedCsvFrom(const std::string& path) {
  std::vector<std::string> templates;
  for (const auto& row : smt::settings::SettingsStores::Of(machine_).speed.Get()->tiers.high) templates.push_back(row.Name());
  ImportFeederCsv(table_, path, NameTablesOf(machine_), templates);
  ShowCurrentGroup();
}

namespace {
std::string CsvFilter(const std::string& language) {
  return smt::platform::FileFilterForLanguage("文本文件(*.csv)", language);
}
}  // namespace

void CDialogFeedList::ExportFeedCsv() {
  std::string path;
  if (chooseFile) {
    path = chooseFile(true);
  } else {
    const QString dir = QString::fromStdString(appDir_ + "/FileFeed");
    std::error_code ec;
    std::filesystem::create_directories(dir.toStdString(), ec);
    path = smt::platform::ChooseSaveFile(this, {}, (dir + "/feed-.csv").toStdString(), CsvFilter(language_));
  }
  if (path.empty()) return;
  if (std::filesystem::path(path).extension().empty()) path += ".csv";
  ExportFeedCsvTo(path);
}

void CDialogFeedList::ImportFeedCsv() {
  const std::string path =
      chooseFile ? chooseFile(false) : smt::platform::ChooseOpenFile(this, {}, appDir_, CsvFilter(language_));
  if (path.empty()) return;
  ImportFeedCsvFrom(path);
}

void CDialogFeedList::OpenGroupManager() {
  GroupManager()->OnInitDialog();
  GroupManager()->exec();
}
