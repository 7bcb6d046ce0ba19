#include "app/SMTView.h"
#include "platform/NameAsPath.h"
#include "platform/RangeRefusal.h"
#include "platform/FileChooser.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/CommandIds.h"
#include "library/LibraryLists.h"
#include "app/RecentFiles.h"
#include "app/ViewFrame.h"
#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederShellWiring.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/DropDownLists.h"
#include "platform/FileIo.h"
#include "platform/Hooks.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "run/RunShellWiring.h"
#include "settings/SettingsStores.h"
#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"
#include "platform/SettingsSection.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"

using namespace smt::app;
using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

CSMTView::CSMTView(smt::app::ViewFrame& frame, std::function<void(CSMTView&)> installSubsystems)
    : QWidget(frame.Window()), frame_(frame) {
  setObjectName("CSMTView");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  leftColumn_ = new QWidget(this);
  leftColumn_->setObjectName("leftColumn");
  auto* left = new QVBoxLayout(leftColumn_);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  leftColumn_->setFixedWidth(520);
  // On a screen too short for the camera and jog panels together, the left
  // column scrolls up and down; it never scrolls sideways.
  auto* leftScroll = new QScrollArea(this);
  leftScroll->setObjectName("leftScroll");
  leftScroll->setFrameShape(QFrame::NoFrame);
  leftScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  leftScroll->setWidgetResizable(true);
  leftScroll->setWidget(leftColumn_);
  leftScroll->setFixedWidth(520 + leftScroll->verticalScrollBar()->sizeHint().width());
  rightArea_ = new QWidget(this);
  rightArea_->setObjectName("rightArea");
  rightLayout_ = new QVBoxLayout(rightArea_);
  rightLayout_->setContentsMargins(0, 0, 0, 0);
  row->addWidget(leftScroll);
  row->addWidget(rightArea_, 1);
  if (installSubsystems) installSubsystems(*this);
}

CMainFrame* CSMTView::frame() const { return frame_.Frame(); }

smt::Machine& CSMTView::machine() const { return frame_.machine(); }

CSMTView::~CSMTView() {
  // The hook table's probes read this view's panels.
  smt::platform::HookRegistry::Instance().Clear();
}


int CSMTView::OnCreate() {
  const std::string& app = frame_.AppPath();
  frame_.LoadLanguage();
  // Machine types 0..10; any other value is refused (told once) and type 0 used.
  machine().machineType =
      static_cast<int>(SettingsSection(ConfigPath(app), "MachineSetConfig").ReadInteger("MachineSet", 0, 10, 0));
  frame_.LocalizeMenu(frame_.Language());
  auto* left = static_cast<QVBoxLayout*>(leftColumn_->layout());
  if (!m_pSetView) {
    m_pSetView = new CDialogSetView(machine(), leftColumn_);
    m_pSetView->LoadConfig(app);
    m_pSetView->LoadLanguage(app, frame_.Language());
    m_pSetView->ApplyLanguageTexts();
    left->addWidget(m_pSetView, 1);
  }
  if (!m_pManualControl) {
    m_pManualControl = new CDialogManualControl(machine(), leftColumn_);
    m_pManualControl->LoadLanguage(app, frame_.Language());
    m_pManualControl->ApplyLanguageTexts();
    m_pManualControl->LoadConfig(app);
    // The jog panel keeps the height it needs; what is left goes to the
    // camera picture, which shrinks on a short screen.
    m_pManualControl->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    left->addWidget(m_pManualControl, 0);
    layoutJogPanel = m_pManualControl->LayoutHook();
    // "一键清零": the current position becomes the zero point of the take buttons.
    m_pManualControl->onSetAllZero = [this] {
      auto& zero = smt::settings::SettingsStores::Of(machine()).machine.m_ZeroPoint;
      zero[0] = machine().curX.load();
      zero[1] = machine().curY.load();
      zero[2] = machine().motion.curPlatform[0].load();
      zero[3] = machine().motion.curPlatform[1].load();
      if (m_pPartList) {
        auto& edit = m_pPartList->PcbEditor();
        edit.m_nZeroX = zero[0];
        edit.m_nZeroY = zero[1];
        edit.m_nZeroX2 = zero[2];
        edit.m_nZeroY2 = zero[3];
      }
    };
    headGroup = [this] { return smt::link::RuntimeOf(machine()).headGroup.load(); };
  }
  for (auto& load : languageLoaders) load(app, frame_.Language());
  return 0;
}

void CSMTView::CreateListPanels() {
  if (!m_pFeedList) {
    m_pFeedList = new CDialogFeedList(machine(), rightArea_);
    FitPanel(m_pFeedList, 1);
    m_pFeedList->hide();
  }
  if (!m_pPartList) {
    m_pPartList = new CDialogPartList(machine(), rightArea_);
    FitPanel(m_pPartList, 2);
    m_pPartList->show();
  }
  if (!m_pDocument) {
    m_pDocument = std::make_unique<CSMTDoc>(m_pPartList->Job());
    CSMTDoc& doc = *m_pDocument;
    smt::app::ViewFrame* frame = &frame_;
    doc.SaveFigLists = [frame] {
      // The drop-down lists are edited in their own holder.
      frame->Lists().dropDownLists = smt::job::DropDownLists(frame->machine());
      try {
        frame->SaveFigLists();
      } catch (const smt::platform::FileError& e) {
        smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("SMTViewConfig", "SMTView.c_LibrariesNotSaved",
                                                                               "库文件保存失败：%1"),
                                                    {e.what()}),
                                   smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
      }
    };
    doc.SetStatusPath = [frame](const std::string& path) { frame->SetJobPathText(path); };
    doc.JobFileUsed = [frame](const std::filesystem::path& path) {
      frame->Recent().Add(path.string());
      frame->ShowRecentFiles();
    };
    // The feeder table goes into its lines before the library files are written.
    doc.SaveFeederLines = [frame] {
      smt::feeder::SaveFeederState(frame->machine(), frame->Lists().feedLines, frame->AppPath());
    };
    doc.AskSavePath = [this]() -> std::optional<std::filesystem::path> {
      const std::string chosen = smt::platform::ChooseSaveFile(this, {}, {}, "Project Files (*.smt)");
      if (chosen.empty()) return std::nullopt;
      return JobPathFromTypedName(chosen);
    };
    frame->ConnectDocument([&doc] { return doc.HasUnsavedChanges(); }, [&doc] { return doc.SaveProject(); });
  }
}

std::optional<std::filesystem::path> JobPathFromTypedName(const std::string& chosen) {
  // The typed extension in any case is the job's ("CAP.SMT" stays CAP.SMT,
  // with CAP.dis beside it); without it ".smt" is added.
  std::filesystem::path path(chosen);
  if (!smt::platform::HasExtension(path, ".smt")) path += ".smt";
  // The name typed must be a file name (the folder was chosen in the dialog).
  const std::string file = path.filename().string();
  const std::string stem = file.substr(0, file.size() - 4);
  if (!smt::platform::NameAsPathProblem(stem).empty()) {
    smt::platform::ShowMessage(
        smt::platform::NameRefusalText(smt::platform::CommonText("Common.c_FileName", "文件名"), stem),
        smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
    return std::nullopt;
  }
  return path;
}

void CSMTView::OnFileNew() {
  // A new job: the part list's board and count labels, its progress bar and
  // the last run's end line start empty.
  if (m_pDocument && m_pDocument->OnNewDocument() && m_pPartList) {
    m_pPartList->SetBoardLabels(QString(), QString());
    m_pPartList->ResetRunFeedback();
  }
}

void CSMTView::OnFileOpen() {
  if (!m_pDocument) return;
  QString name = QString::fromStdString(smt::platform::ChooseOpenFile(this, {}, {}, "Project Files (*.smt)"));
  if (name.isEmpty() || !m_pDocument->AskToSaveChanges()) return;
  if (m_pDocument->OnOpenDocument(name.toStdString()) && m_pPartList) m_pPartList->ResetRunFeedback();
}

void CSMTView::OnOpenRecentFile(int index) {
  auto& recent = frame_.Recent();
  if (!m_pDocument || index < 0 || index >= static_cast<int>(recent.Paths().size())) return;
  const std::string path = recent.Paths()[static_cast<size_t>(index)];
  if (!m_pDocument->AskToSaveChanges()) return;
  // A job that is gone leaves the list, as does one that cannot be read.
  if (!m_pDocument->OnOpenDocument(path)) {
    recent.Remove(path);
    frame_.ShowRecentFiles();
    return;
  }
  // As Open: the bars, the end line, the clock and the counter start empty.
  if (m_pPartList) m_pPartList->ResetRunFeedback();
}

bool CSMTView::OnFileSave() { return m_pDocument && m_pDocument->SaveProject(); }

bool CSMTView::OnFileSaveAs() {
  if (!m_pDocument || !m_pDocument->AskSavePath) return false;
  auto path = m_pDocument->AskSavePath();
  return path && m_pDocument->SaveProject(*path);
}

void CSMTView::OnInitialUpdate() {
  if (!firstInitialUpdate_) return;
  const std::string& app = frame_.AppPath();
  // Firmware switches to the command layer, logging on or off.
  m_VersionNumber.Load(app);
  m_VersionNumber.Apply(machine());
  std::vector<std::string> dropDown = frame_.Lists().dropDownLists;
  dropDown.resize(4);
  smt::job::SetDropDownLists(machine(), std::move(dropDown));
  if (m_pPartList) m_pPartList->PcbEditor().LoadConfig(app);
  for (auto& step : initialUpdateSteps) step(app);
  m_strMessage = LoadViewMessages(app, frame_.Language());
  if (m_pFeedList) {
    // Loaded and put on the controls: the panel shows the window's language from the start.
    m_pFeedList->LoadLanguage(app, frame_.Language());
    m_pFeedList->ApplyLanguageTexts();
  }
  if (m_pPartList) m_pPartList->LoadLanguage(app, frame_.Language());
  LayoutJogPanelForMachineType();
  firstInitialUpdate_ = false;
}

void CSMTView::FitPanel(QWidget* panel, int kind) {
  if (!panel) return;
  (void)kind;
  if (panel->parentWidget() != rightArea_) panel->setParent(rightArea_);
  if (rightLayout_->indexOf(panel) < 0) rightLayout_->addWidget(panel);
}

void CSMTView::OnShowFeedList() {
  if (!m_pFeedList) {
    m_pFeedList = new CDialogFeedList(machine(), rightArea_);
    FitPanel(m_pFeedList, 1);
    m_pFeedList->show();
  } else if (m_pFeedList->isVisible()) {
    FitPanel(m_pFeedList, 1);
    m_pFeedList->hide();
    m_pFeedList->show();
  } else {
    FitPanel(m_pFeedList, 1);
    m_pFeedList->show();
    if (m_pPartList && m_pPartList->isVisible()) m_pPartList->hide();
  }
  // The feeder list puts its rows in feeder-number order itself each time it
  // is shown; the count only records that the button has shown it once.
  if (feedListShownCount == 0) ++feedListShownCount;
}

void CSMTView::OnShowPartList() {
  if (!m_pPartList) {
    m_pPartList = new CDialogPartList(machine(), rightArea_);
    FitPanel(m_pPartList, 2);
    m_pPartList->show();
    return;
  }
  FitPanel(m_pPartList, 2);
  if (m_pPartList->isVisible()) {
    m_pPartList->hide();
    m_pPartList->show();
  } else {
    m_pPartList->show();
    if (m_pFeedList && m_pFeedList->isVisible()) m_pFeedList->hide();
  }
}

void CSMTView::RegisterDialog(int commandId, std::function<void(QWidget*)> open) {
  dialogs_[commandId] = std::move(open);
}

std::vector<int> CSMTView::RegisteredDialogCommands() const {
  std::vector<int> ids;
  for (const auto& [id, open] : dialogs_) ids.push_back(id);
  return ids;
}

void CSMTView::OnCommand(int id) {
  using namespace smt::app::cmd;
  using smt::platform::ShowMessage;
  const bool busy = machine().machineBusy.load();
  switch (id) {
    case kFeedGroup:
      if (busy) {
        ShowMessage(m_strMessage[1]);
        return;
      }
      break;
    case kCameraList:
    case kAutoTransport:
    case kLabelingSet:
      if (busy) {
        ShowMessage(m_strMessage[2]);
        return;
      }
      break;
    case kAutoFeed:
      if (machine().machineType.load() == 8) return;
      if (busy) {
        ShowMessage(m_strMessage[2]);
        return;
      }
      break;
    case kLampMachineSet:
      if (machine().machineType.load() != 4) {
        ShowMessage(smt::platform::WindowText("SMTViewConfig", "SMTView.c_NoFunction", "此功能不可用 !"));
        return;
      }
      break;
    case kFirmwareUpdate:
      if (busy) {
        ShowMessage(m_strMessage[2]);
        return;
      }
      if (!linkMode || linkMode() == 0) {
        ShowMessage(smt::platform::WindowText("SMTViewConfig", "SMTView.c_NoFunction", "此功能不可用 !"));
        return;
      }
      break;
    case kShowFeedList:
      OnShowFeedList();
      return;
    case kShowPartList:
      OnShowPartList();
      return;
    case kFileNew:
      OnFileNew();
      return;
    case kFileOpen:
      OnFileOpen();
      return;
    case kFileSave:
      OnFileSave();
      return;
    case kFileSaveAs:
      OnFileSaveAs();
      return;
    case kFileMru1:
    case kFileMru1 + 1:
    case kFileMru1 + 2:
    case kFileMru1 + 3:
      OnOpenRecentFile(id - kFileMru1);
      return;
    default:
      break;
  }
  if (IsGoToCommand(id)) {
    OnGoTo(id);
    return;
  }
  auto it = dialogs_.find(id);
  if (it != dialogs_.end()) it->second(this);
}

void CSMTView::ReloadLanguage(const std::string& language) {
  const std::string& app = frame_.AppPath();
  if (m_pSetView) {
    m_pSetView->LoadLanguage(app, language);
    m_pSetView->ApplyLanguageTexts();
  }
  if (m_pManualControl) {
    m_pManualControl->LoadLanguage(app, language);
    m_pManualControl->ApplyLanguageTexts();
  }
  if (m_pFeedList) {
    m_pFeedList->LoadLanguage(app, language);
    m_pFeedList->ApplyLanguageTexts();
  }
  if (m_pPartList) {
    m_pPartList->LoadLanguage(app, language);
    m_pPartList->ApplyLanguageTexts();
  }
  for (auto& load : languageLoaders) load(app, language);
}

void CSMTView::LayoutJogPanelForMachineType() {
  if (layoutJogPanel) layoutJogPanel();
}

void CSMTView::ResetStrategyHeadMode() {
  // The placement strategy: one head, no nozzle change, committed and saved.
  smt::run::ResetStrategyHeadMode(machine(), frame_.AppPath());
}

void CSMTView::SaveOnClose() {
  if (m_pSetView) m_pSetView->SaveViewConfig(frame_.AppPath());
  if (m_pManualControl) m_pManualControl->SaveConfig(frame_.AppPath());
  for (auto& step : closeSteps) step(frame_.AppPath());
}

void CSMTView::CloseCameras() {
  if (closeCameras) closeCameras();
}
