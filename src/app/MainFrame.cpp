#include "app/MainFrame.h"

#include "app/HookReport.h"
#include "core/Machine.h"

#include <QKeySequence>
#include <filesystem>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstring>

#include "app/CommandIds.h"
#include "app/MenuTexts.h"
#include "app/SMTView.h"
#include "core/LogFile.h"
#include "core/MachineState.h"
#include "core/NameTables.h"
#include "platform/RangeRefusal.h"
#include "platform/FileIo.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "platform/StandardButtonTexts.h"
#include "app/WindowPlacement.h"
#include "platform/SystemServices.h"
#include "platform/WorkerThreads.h"
#include "link/MotionGlobals.h"
#include "platform/RefusalTexts.h"
#include "vision/PartCheck.h"

using namespace smt::app;
using smt::platform::ConfigPath;
using smt::platform::LanguageSection;
using smt::platform::SettingsSection;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CMainFrame::CMainFrame(smt::Machine& machine, std::string appDir, std::function<void(CSMTView&)> installSubsystems)
    : m_strAppPath(std::move(appDir)), machine_(machine), installSubsystems_(std::move(installSubsystems)) {
  m_strMenuText.resize(kMenuTextCount);
  resize(smt::app::kMainWindowSize);
  setWindowTitle(QString::fromUtf8(kTitleChinese));
  BuildMenu();
}

CMainFrame::~CMainFrame() {
  smt::platform::KeepSystemAwake(false);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const char* text) {
  QAction* a = menu->addAction(QString::fromUtf8(text));
  a->setData(id);
  actions_[id] = a;
  return a;
}

void CMainFrame::BuildMenu() {
  using namespace smt::app::cmd;
  QMenuBar* bar = menuBar();
  // The menu carries the built-in Chinese texts; the localiser replaces them.
  auto top = [&](int pos, const char* title) {
    QMenu* m = bar->addMenu(QString::fromUtf8(title));
    topMenus_[pos] = m;
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuState);
    return m;
  };
  QMenu* file = top(0, "文件");
  AddCommand(file, kFileNew, "新建");
  AddCommand(file, kFileOpen, "打开");
  AddCommand(file, kFileSave, "保存");
  AddCommand(file, kFileSaveAs, "另存为");
  file->addSeparator();
  AddCommand(file, kFilePrint, "打印");
  AddCommand(file, kFilePrintPreview, "打印预览");
  AddCommand(file, kFilePrintSetup, "打印设置");
  file->addSeparator();
  AddCommand(file, kFileMru1, "最近打开文件")->setEnabled(false);
  for (int i = 1; i < static_cast<int>(smt::app::RecentFiles::kMaxEntries); ++i)
    AddCommand(file, kFileMru1 + i, "")->setVisible(false);
  file->addSeparator();
  AddCommand(file, kAppExit, "退出");

  QMenu* edit = top(1, "编辑");
  AddCommand(edit, kEditUndo, "重做");
  edit->addSeparator();
  AddCommand(edit, kEditCut, "剪切");
  AddCommand(edit, kEditCopy, "复制");
  AddCommand(edit, kEditPaste, "粘贴");

  QMenu* viewMenu = top(2, "视口");
  QAction* tb = AddCommand(viewMenu, kViewToolbar, "工具栏");
  QAction* sb = AddCommand(viewMenu, kViewStatusBar, "状态栏");
  tb->setCheckable(true);
  sb->setCheckable(true);

  QMenu* set = top(3, "设置");
  AddCommand(set, kSetBasic, "基本设置");
  AddCommand(set, kDippingStation, "浸渍站设置");
  AddCommand(set, kFeedGroup, "料架模组");
  set->addSeparator();
  QMenu* speed = set->addMenu(QString::fromUtf8("速度模板"));
  subMenus_[kSubSpeedTemplate] = speed;
  AddCommand(speed, kSpeedSet, "速度设置");
  AddCommand(speed, kHighSpeedTemplate, "高速模板")->setCheckable(true);
  AddCommand(speed, kMediumSpeedTemplate, "中速模板")->setCheckable(true);
  AddCommand(speed, kLowSpeedTemplate, "低速模板")->setCheckable(true);
  connect(speed, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuState);
  AddCommand(set, kCameraList, "摄像机管理");
  AddCommand(set, kNozzleList, "吸嘴库管理");
  AddCommand(set, kSetPulse, "脉冲设置");
  AddCommand(set, kOftenData, "常用数据库");
  AddCommand(set, kPackData, "封装数据库");
  AddCommand(set, kMarkData, "独立Mark点数据库");
  AddCommand(set, kLampMachineSet, "点灯机参数表");

  QMenu* feed = top(4, "飞达");
  AddCommand(feed, kAutoFeed, "自动飞达操作");
  AddCommand(feed, kAutoTransport, "自动送板操作");
  AddCommand(feed, kLabelingSet, "贴标机器设置");

  QMenu* help = top(5, "帮助");
  AddCommand(help, kAppAbout, "关于SMT");
  QMenu* lang = help->addMenu(QString::fromUtf8("语言设置"));
  subMenus_[kSubLanguage] = lang;
  languageGroup_ = new QActionGroup(this);
  languageGroup_->setExclusive(true);
  const char* langTexts[3] = {"中文", "英语", "德语"};
  const int langIds[3] = {kLanguageChinese, kLanguageEnglish, kLanguageGerman};
  for (int i = 0; i < 3; ++i) {
    QAction* a = AddCommand(lang, langIds[i], langTexts[i]);
    a->setCheckable(true);
    languageGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { OnLanguage(i); });
  }
  QMenu* machine = help->addMenu(QString::fromUtf8("设备配置"));
  subMenus_[kSubMachineType] = machine;
  machineGroup_ = new QActionGroup(this);
  machineGroup_->setExclusive(true);
  const char* typeTexts[11] = {"0-单头拖料", "1-点胶贴片", "2-双头飞达", "3-四头飞达", "4-双点胶XY", "5-双头飞达同步相机",
                               "6-四头飞达+点胶", "7-八头飞达", "8-插件机", "9-钻孔机", "10-贴标机"};
  for (int t = 0; t < 11; ++t) {
    QAction* a = AddCommand(machine, kMachineTypeCommands[t], typeTexts[t]);
    a->setCheckable(true);
    machineGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, t] { OnMachineType(t); });
  }
  AddCommand(help, kCpuVersionNumber, "机器版本号");
  QMenu* update = help->addMenu(QString::fromUtf8("升级"));
  subMenus_[kSubUpdate] = update;
  // Software update has no handler: shown disabled.
  AddCommand(update, kSoftwareUpdate, "软件升级")->setEnabled(false);
  AddCommand(update, kFirmwareUpdate, "单片机升级");

  // Every other command goes to the view.
  for (auto& [id, action] : actions_) {
    if (languageGroup_->actions().contains(action) || machineGroup_->actions().contains(action)) continue;
    int cmdId = id;
    connect(action, &QAction::triggered, this, [this, cmdId] {
      if (cmdId == cmd::kAppExit) {
        close();
      } else if (view_) {
        view_->OnCommand(cmdId);
      }
    });
  }
}

void CMainFrame::BuildToolBar() {
  using namespace smt::app::cmd;
  QToolBar* bar = addToolBar(QStringLiteral("main"));
  bar->setObjectName("mainToolBar");
  bar->setMovable(true);
  // The menu's own actions, so the toolbar follows the language of the menu.
  const std::pair<int, QStyle::StandardPixmap> files[] = {
      {kFileNew, QStyle::SP_FileIcon}, {kFileOpen, QStyle::SP_DialogOpenButton}, {kFileSave, QStyle::SP_DialogSaveButton}};
  for (const auto& [id, icon] : files) {
    Action(id)->setIcon(style()->standardIcon(icon));
    bar->addAction(Action(id));
  }
  bar->addSeparator();
  for (int id : {kEditCut, kEditCopy, kEditPaste}) bar->addAction(Action(id));
  bar->addSeparator();
  auto button = [&](int id, const char* text) {
    auto* b = new QToolButton(bar);
    b->setText(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(text));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(b);
    toolButtons_[id] = b;
    return b;
  };
  // Go-to and settings: the arrow opens the drop-down; the face does nothing.
  for (int id : {kToolGoTo, kToolSettings}) {
    QToolButton* b = button(id, id == kToolGoTo ? "到指定目标点" : "设置各项参数");
    auto* menu = new QMenu(b);
    b->setMenu(menu);
    b->setPopupMode(QToolButton::MenuButtonPopup);
    connect(menu, &QMenu::aboutToShow, this, [this, id] { OnToolbarDropDown(id); });
  }
  QToolButton* feed = button(kShowFeedList, "打开料架清单");
  connect(feed, &QToolButton::clicked, this, [this] { view_->OnShowFeedList(); });
  QToolButton* part = button(kShowPartList, "元件清单");
  connect(part, &QToolButton::clicked, this, [this] { view_->OnShowPartList(); });

  LocalizeToolButtons(m_strLanguage);

  QAction* tbToggle = Action(kViewToolbar);
  tbToggle->setChecked(true);
  connect(tbToggle, &QAction::toggled, bar, &QToolBar::setVisible);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* sb = statusBar();
  auto pane = [&](const QString& text, int width, bool permanent) {
    auto* l = new QLabel(text, sb);
    if (width > 0) l->setMinimumWidth(width);
    if (permanent) {
      sb->addPermanentWidget(l);
    } else {
      sb->addWidget(l);
    }
    panes_.push_back(l);
  };
  pane(QString(), 418, false);
  pane(Q(m_strJobPath.empty() ? filePathText_ : m_strJobPath), 600, false);
  pane(QStringLiteral("CAP"), 0, true);
  pane(QStringLiteral("NUM"), 0, true);
  pane(QStringLiteral("SCRL"), 0, true);
  QAction* sbToggle = Action(smt::app::cmd::kViewStatusBar);
  sbToggle->setChecked(true);
  connect(sbToggle, &QAction::toggled, sb, &QStatusBar::setVisible);
}

int CMainFrame::OnCreate() {
  view_ = new CSMTView(*this, installSubsystems_);
  setCentralWidget(view_);
  if (view_->OnCreate() != 0) return -1;
  BuildToolBar();
  BuildStatusBar();
  DesktopHabits();
  // The labeling-machine settings belong to machine type 10 only.
  if (smt::CurrentMachine().machineType.load() != 10) Action(smt::app::cmd::kLabelingSet)->setEnabled(false);
  m_recent.Load(m_strAppPath);
  UpdateMenuState();
  LoadFigLists();
  return 0;
}

namespace {
// The recognisers' reasons for "not found" in the window's language (read
// at each use, so a language switch reaches the run's next look).
std::string VisionCheckLookup(const char* key, const char* def) {
  return smt::platform::WindowText("VisionCheckConfig", key, def);
}
}  // namespace

bool CMainFrame::LoadLanguage() {
  SettingsSection cfg(ConfigPath(m_strAppPath), "LanguageSetConfig");
  m_strLanguage = cfg.ReadText("LanguageSet", "Chinese");
  smt::platform::SetRefusalLanguage(m_strAppPath, m_strLanguage);
  smt::vision::SetVisionCheckTexts(&VisionCheckLookup);
  smt::platform::UseWindowLanguageForQt(m_strAppPath, m_strLanguage);
  if (m_strLanguage == "Chinese") {
    smt::CurrentMachine().languageSet = 0;
    setWindowTitle(QString::fromUtf8(kTitleChinese));
  } else if (m_strLanguage == "English") {
    smt::CurrentMachine().languageSet = 1;
    setWindowTitle(QString::fromUtf8(kTitleEnglish));
  } else if (m_strLanguage == "German") {
    smt::CurrentMachine().languageSet = 2;
    setWindowTitle(QString::fromUtf8(kTitleEnglish));
  }
  static const char* const kFeedKeys[9][2] = {
      {"PartList.c_IntegrationFeed", "集中飞达"}, {"PartList.c_AutoFeed", "自动飞达"},
      {"PartList.c_VibrationFeed", "振动飞达"},   {"PartList.c_GridBox", "托盘"},
      {"PartList.c_0402", "0402"},                {"PartList.c_48", "48"},
      {"PartList.c_DragHand", "拖针"},            {"PartList.c_CL_DIP", "CL_浸渍站"},
      {"PartList.c_GRID_DIP", "托盘_浸渍站"}};
  const char* files[3] = {"Chinese", "English", "German"};
  for (int l = 0; l < 3; ++l) {
    LanguageSection lang(m_strAppPath, files[l], "PartListConfig");
    for (int k = 0; k < 9; ++k) smt::CurrentMachine().names.feedTypeNames[static_cast<size_t>(l * 9 + k)] = lang.Text(kFeedKeys[k][0], kFeedKeys[k][1]);
  }
  static const char* const kSpeed[8][2] = {
      {"复位速度", "Reset speed"},          {"手控速度", "Manual control"},
      {"取料速度", "Picking speed"},        {"贴装速度", "Mounting speed"},
      {"视觉对中速度", "Visual aglinment speed"}, {"视觉贴装速度", "Visual mounting speed"},
      {"自动换吸嘴速度", "Nozzle change speed"}, {"取芯片速度1", "Pick chip speed 1"}};
  for (int k = 0; k < 8; ++k) {
    smt::CurrentMachine().names.speedNames[static_cast<size_t>(k)] = kSpeed[k][0];
    smt::CurrentMachine().names.speedNames[static_cast<size_t>(8 + k)] = kSpeed[k][1];
    smt::CurrentMachine().names.speedNames[static_cast<size_t>(16 + k)] = kSpeed[k][1];
  }
  return false;
}

void CMainFrame::LocalizeMenu(const std::string& language) {
  LanguageSection lang(m_strAppPath, language, "MenuSetConfig");
  const auto& settingsKeys = SettingsTextKeys();
  for (const MenuTextEntry& e : MenuTextTable()) {
    std::string text = lang.Text(e.key, e.chinese);
    switch (e.kind) {
      case MenuTextEntry::TopMenu:
        if (auto it = topMenus_.find(e.id); it != topMenus_.end()) it->second->setTitle(Q(text));
        break;
      case MenuTextEntry::SubMenu:
        if (auto it = subMenus_.find(e.id); it != subMenus_.end()) it->second->setTitle(Q(text));
        break;
      case MenuTextEntry::Command:
        if (e.id == smt::app::cmd::kFileMru1) recentEmptyText_ = text;
        if (auto it = actions_.find(e.id); it != actions_.end()) it->second->setText(Q(text));
        break;
      case MenuTextEntry::StoredOnly:
        m_strMenuText[static_cast<size_t>(e.id)] = text;
        break;
    }
    for (size_t k = 0; k < settingsKeys.size(); ++k) {
      if (std::strcmp(settingsKeys[k], e.key) == 0) m_strMenuText[kGoToTextCount + k] = text;
    }
  }
  // The job-path pane's text before a job is open ("File Path" in Chinese too).
  filePathText_ = lang.Text("ID_StatusFilePath", "File Path");
  if (panes_.size() > 1 && m_strJobPath.empty() && panes_[1]->text() != QString()) panes_[1]->setText(Q(filePathText_));
  LocalizeToolButtons(language);
  ShowRecentFiles();
}

void CMainFrame::LocalizeToolButtons(const std::string& language) {
  using namespace smt::app::cmd;
  LanguageSection lang(m_strAppPath, language, "MenuSetConfig");
  struct T {
    int id;
    const char* key;
    const char* chinese;
  };
  static const T kTexts[] = {{kToolGoTo, "ID_ToolGoTo", "到指定目标点"},
                             {kToolSettings, "ID_ToolSettings", "设置各项参数"},
                             {kShowFeedList, "ID_ShowFeedList", "打开料架清单"},
                             {kShowPartList, "ID_ShowPartList", "元件清单"}};
  for (const T& t : kTexts) {
    auto it = toolButtons_.find(t.id);
    if (it == toolButtons_.end()) continue;
    const QString text = Q(lang.Text(t.key, t.chinese));
    it->second->setText(text);
    it->second->setToolTip(text);
  }
}

bool CMainFrame::SaveMachineSet() {
  SettingsSection(ConfigPath(m_strAppPath), "MachineSetConfig").WriteInt("MachineSet", smt::CurrentMachine().machineType.load());
  smt::CurrentMachine().headCount = 1;
  return false;
}

void CMainFrame::OnLanguage(int index) {
  if (smt::CurrentMachine().machineBusy.load()) {
    UpdateMenuState();  // keep the check on the current language
    return;
  }
  static const char* const kNames[3] = {"Chinese", "English", "German"};
  if (index < 0 || index > 2) return;
  smt::CurrentMachine().languageSet = index;
  m_strLanguage = kNames[index];
  smt::platform::SetRefusalLanguage(m_strAppPath, m_strLanguage);
  smt::platform::UseWindowLanguageForQt(m_strAppPath, m_strLanguage);
  LocalizeMenu(m_strLanguage);
  UpdateTitle();
  if (view_) view_->ReloadLanguage(m_strLanguage);
  UpdateMenuState();
}

void CMainFrame::OnMachineType(int type) {
  if (smt::CurrentMachine().machineBusy.load() || type < 0 || type > 10) {
    UpdateMenuState();
    return;
  }
  smt::CurrentMachine().machineType = type;
  UpdateMenuState();
  if (view_) view_->LayoutJogPanelForMachineType();
  SaveMachineSet();
  if (type <= 8) {
    smt::CurrentMachine().headCount = 1;
    if (view_) view_->ResetStrategyHeadMode();
  }
  Action(smt::app::cmd::kLabelingSet)->setEnabled(type == 10);
  smt::app::ReportHooks("machine type switch");
}

bool CMainFrame::OnClose() {
  using smt::platform::MsgAnswer;
  // Asked only when the job holds changes not saved.
  if (hasUnsavedChanges && hasUnsavedChanges()) {
    MsgAnswer a = smt::platform::ShowMessage(
        LanguageSection(m_strAppPath, m_strLanguage, "SMTViewConfig").Text("SMTView.c_SaveQuestion", "是否要保存工程文件 ?"),
                                             smt::platform::MsgButtons::YesNoCancel,
                                             smt::platform::MsgIcon::Question);
    if (a == MsgAnswer::Cancel) return false;
    // A job that could not be saved is not given up: the window stays.
    if (a == MsgAnswer::Yes && saveProject && !saveProject()) return false;
  }
  // From here on every worker's wait ends at once (replies, feeds, frames,
  // the pause gate) and nothing more is shown; the settings are written while
  // the workers leave.
  smt::platform::WorkerThreads::Instance().BeginShutdown();
  smt::CurrentMachine().runContinue = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  smt::CurrentMachine().udpStop = true;
  smt::CurrentMachine().comStop = true;
  {
    // The settings of the close are one save of the settings file.
    smt::platform::ProfileBatch batch(ConfigPath(m_strAppPath));
    if (view_) view_->SaveOnClose();
    SettingsSection(ConfigPath(m_strAppPath), "LanguageSetConfig").WriteText("LanguageSet", m_strLanguage);
    SaveMachineSet();
  }
  if (view_) view_->CloseCameras();
  // Nothing of ours runs after the window is gone.
  smt::platform::WorkerThreads::Instance().StopAndJoinAll();
  return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (closing_ || OnClose()) {
    closing_ = true;
    event->accept();
  } else {
    event->ignore();
  }
}

void CMainFrame::LoadFigLists() {
  auto problems = smt::library::LoadLibraryLists(m_strAppPath, Lists());
  if (!problems.empty()) {
    smt::platform::ShowMessage(smt::library::DescribeListProblems(problems), smt::platform::MsgButtons::Ok,
                               smt::platform::MsgIcon::Warning);
  }
}

void CMainFrame::SaveFigLists() { smt::library::SaveLibraryLists(m_strAppPath, Lists()); }

void CMainFrame::SetJobPathText(const std::string& path) {
  if (panes_.size() > 1) panes_[1]->setText(Q(path));
  m_strJobPath = path;
  UpdateTitle();
}

void CMainFrame::UpdateTitle() {
  QString title = QString::fromUtf8(WindowTitle(smt::CurrentMachine().languageSet.load()));
  if (!m_strJobPath.empty())
    title = QString::fromStdString(std::filesystem::path(m_strJobPath).filename().string()) + " - " + title;
  setWindowTitle(title);
}

void CMainFrame::DesktopHabits() {
  using namespace smt::app::cmd;
  Action(kFileNew)->setShortcut(QKeySequence::New);
  Action(kFileOpen)->setShortcut(QKeySequence::Open);
  Action(kFileSave)->setShortcut(QKeySequence::Save);
  // Commands this program has no work for are not offered.
  for (int id : {kFilePrint, kFilePrintPreview, kFilePrintSetup, kEditUndo, kEditCut, kEditCopy, kEditPaste, kAppAbout})
    if (QAction* a = Action(id)) a->setVisible(false);
  // A menu left with nothing to choose is not offered either (the Edit menu).
  for (QAction* top : menuBar()->actions()) {
    QMenu* m = top->menu();
    if (!m) continue;
    bool any = false;
    for (QAction* a : m->actions()) any = any || (a->isVisible() && !a->isSeparator());
    top->setVisible(any);
  }
}

void CMainFrame::SetStatusHint(const std::string& text) {
  if (!panes_.empty()) panes_[0]->setText(Q(text));
}

QString CMainFrame::StatusPaneText(int pane) const {
  return pane >= 0 && static_cast<size_t>(pane) < panes_.size() ? panes_[static_cast<size_t>(pane)]->text() : QString();
}

void CMainFrame::ShowRecentFiles() {
  using namespace smt::app::cmd;
  const auto& paths = m_recent.Paths();
  for (int i = 0; i < static_cast<int>(smt::app::RecentFiles::kMaxEntries); ++i) {
    QAction* a = Action(kFileMru1 + i);
    if (!a) continue;
    if (i < static_cast<int>(paths.size())) {
      a->setText(QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(paths[static_cast<size_t>(i)])));
      a->setEnabled(true);
      a->setVisible(true);
    } else if (i == 0) {
      // No job yet: the entry keeps its menu text, greyed.
      a->setText(QString::fromStdString(recentEmptyText_));
      a->setEnabled(false);
      a->setVisible(true);
    } else {
      a->setVisible(false);
    }
  }
}

void CMainFrame::UpdateMenuState() {
  using namespace smt::app::cmd;
  ShowRecentFiles();
  int tier = speedMenuCheck ? speedMenuCheck() : 0;
  Action(kHighSpeedTemplate)->setChecked(tier == 1);
  Action(kMediumSpeedTemplate)->setChecked(tier == 2);
  Action(kLowSpeedTemplate)->setChecked(tier == 3);
  const int langIds[3] = {kLanguageChinese, kLanguageEnglish, kLanguageGerman};
  int lang = smt::CurrentMachine().languageSet.load();
  if (lang >= 0 && lang <= 2) Action(langIds[lang])->setChecked(true);
  int type = smt::CurrentMachine().machineType.load();
  if (type >= 0 && type <= 10) {
    Action(kMachineTypeCommands[type])->setChecked(true);
  } else if (QAction* c = machineGroup_->checkedAction()) {
    c->setChecked(false);
  }
}

QAction* CMainFrame::Action(int commandId) const {
  auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* CMainFrame::TopMenu(int position) const {
  auto it = topMenus_.find(position);
  return it == topMenus_.end() ? nullptr : it->second;
}

QMenu* CMainFrame::SubMenu(int sub) const {
  auto it = subMenus_.find(sub);
  return it == subMenus_.end() ? nullptr : it->second;
}

namespace {

QAction* AddItem(QMenu* menu, int id, const std::string& text, CSMTView* view) {
  QAction* a = menu->addAction(QString::fromStdString(text));
  a->setData(id);
  QObject::connect(a, &QAction::triggered, menu, [view, id] {
    if (view) view->OnCommand(id);
  });
  return a;
}

}  // namespace

QMenu* CMainFrame::BuildSettingsDropDown() {
  using namespace smt::app::cmd;
  QToolButton* b = toolButtons_.count(kToolSettings) ? toolButtons_[kToolSettings] : nullptr;
  QMenu* menu = b ? b->menu() : new QMenu(this);
  menu->clear();
  const std::string* t = &m_strMenuText[kGoToTextCount];
  AddItem(menu, kSetBasic, t[0], view_);
  AddItem(menu, kDippingStation, t[1], view_);
  AddItem(menu, kFeedGroup, t[2], view_);
  menu->addSeparator();
  QMenu* speed = menu->addMenu(Q(t[3]));
  AddItem(speed, kSpeedSet, t[4], view_);
  AddItem(speed, kHighSpeedTemplate, t[5], view_);
  AddItem(speed, kMediumSpeedTemplate, t[6], view_);
  AddItem(speed, kLowSpeedTemplate, t[7], view_);
  const int rest[7] = {kCameraList, kNozzleList, kSetPulse, kOftenData, kPackData, kMarkData, kLampMachineSet};
  for (int i = 0; i < 7; ++i) AddItem(menu, rest[i], t[8 + i], view_);
  return menu;
}

QMenu* CMainFrame::BuildGoToDropDown() {
  using namespace smt::app::cmd;
  QToolButton* b = toolButtons_.count(kToolGoTo) ? toolButtons_[kToolGoTo] : nullptr;
  QMenu* menu = b ? b->menu() : new QMenu(this);
  menu->clear();
  const auto& t = m_strMenuText;
  int type = smt::CurrentMachine().machineType.load();
  auto item = [&](QMenu* m, int id, int textIndex) {
    QAction* a = AddItem(m, id, t[static_cast<size_t>(textIndex)], view_);
    if (auto e = GoToItemEnabled(id, type)) a->setEnabled(*e);
  };
  auto sub = [&](int titleIndex, const int (&ids)[8]) {
    QMenu* m = menu->addMenu(Q(t[static_cast<size_t>(titleIndex)]));
    for (int k = 0; k < 8; ++k) item(m, ids[k], titleIndex + 1 + k);
  };
  item(menu, kGoHome, 0);
  item(menu, kGoCameraToVisionOrigin, 1);
  sub(2, kGoNozzleToThrow);
  item(menu, kGoCameraToPcbOrigin, 11);
  item(menu, kGoCameraToMark1, 12);
  item(menu, kGoCameraToMark2, 13);
  sub(14, kGoNozzleToPcbOrigin);
  sub(23, kGoNozzleToVisionCamera1);
  sub(32, kGoNozzleToVisionCamera2);
  item(menu, kGoFourHeadsToVisionCamera2, 41);
  item(menu, kGoMeasuringHeadToVisionCamera1, 42);
  return menu;
}

void CMainFrame::OnToolbarDropDown(int button) {
  if (button == smt::app::cmd::kToolSettings) {
    BuildSettingsDropDown();
  } else if (button == smt::app::cmd::kToolGoTo) {
    if (view_) view_->m_bGoToFromMenu = true;
    QMenu* menu = BuildGoToDropDown();
    // Closed without a choice: the mark goes with it. The clear is queued, so
    // a chosen command (run while the menu closes) takes the mark first.
    if (menu && !menu->property("clearsGoToMark").toBool()) {
      menu->setProperty("clearsGoToMark", true);
      QPointer<CSMTView> view(view_);
      connect(menu, &QMenu::aboutToHide, this, [view] {
        if (!view) return;
        QMetaObject::invokeMethod(
            view.data(), [view] { if (view) view->m_bGoToFromMenu = false; }, Qt::QueuedConnection);
      });
    }
  }
}
