#include "app/SMTApp.h"
#include "platform/QtFileChooser.h"

#include "app/HookReport.h"
#include "core/Machine.h"
#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "app/Subsystems.h"
#include "app/WindowPlacement.h"
#include "core/LogFile.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/QtGuiDispatcher.h"
#include "platform/QtMessageService.h"
#include "platform/WorkerThreads.h"
#include "library/NozzleLibrary.h"
#include "settings/SpeedStore.h"
#include "vision/QrCodeReader.h"

CSMTApp::CSMTApp() = default;

CSMTApp::~CSMTApp() { ExitInstance(); }

bool CSMTApp::InitInstance(const Options& options) {
  // A shell made after another one closed in this process starts afresh.
  if (smt::platform::WorkerThreads::Instance().ShuttingDown()) smt::platform::WorkerThreads::Instance().Reopen();
  dispatcher_ = std::make_unique<smt::platform::QtGuiDispatcher>();
  smt::platform::GuiDispatcher::Install(dispatcher_.get());
  if (options.installQtServices) {
    messages_ = std::make_unique<smt::platform::QtMessageService>();
    smt::platform::MessageService::Install(messages_.get());
    files_ = std::make_unique<smt::platform::QtFileChooser>();
    smt::platform::FileChooser::Install(files_.get());
  }
  // The daily log lives in the program directory.
  CLogFile::Instance().SetDirectory(options.appDir);
  smt::app::InstallHookLog();
  // The QR reader's four model files; without them it reads with classic
  // detection. It is built when it is first used.
  CreateQrCodeReaderOnFirstUse(options.appDir + "/Model/");
  // A speed save a killed program left half done is completed or undone
  // before the settings file is first read.
  try {
    smt::settings::FinishSpeedSave(options.appDir);
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "speed settings save not completed: %s", e.what());
  }
  try {
    smt::library::FinishNozzleListSave(options.appDir);
  } catch (const std::exception& e) {
    CLogFile::Instance().Write(true, "nozzle list save not completed: %s", e.what());
  }
  // Start-up reads well over a thousand settings and texts; each file is
  // checked against the disk once for all of them.
  smt::platform::ProfileReadBurst readBurst;
  frame_ = std::make_unique<CMainFrame>(smt::CurrentMachine(), options.appDir, &InstallSubsystems);
  if (frame_->OnCreate() != 0) {
    frame_.reset();
    return false;
  }
  // The empty job: the list panels, then the one-time loading.
  frame_->view()->CreateListPanels();
  frame_->view()->OnInitialUpdate();
  // Every hook the machine type needs is connected by now; the log names any that is not.
  smt::app::ReportHooks(frame_->machine(), "start-up");
  // On a screen too small for the window's own size it opens maximised.
  if (options.show) {
    smt::app::ShowFittingTheScreen(*frame_);
    CLogFile::Instance().Write(true, "window shown %dx%d%s", frame_->width(), frame_->height(),
                               frame_->isMaximized() ? " (maximised)" : "");
  }
  return true;
}

int CSMTApp::ExitInstance() {
  smt::platform::WorkerThreads::Instance().StopAndJoinAll();
  frame_.reset();
  if (files_) {
    smt::platform::FileChooser::Install(nullptr);
    files_.reset();
  }
  if (messages_) {
    smt::platform::MessageService::Install(nullptr);
    messages_.reset();
  }
  if (dispatcher_) {
    smt::platform::GuiDispatcher::Install(nullptr);
    dispatcher_.reset();
  }
  return 0;
}
