#pragma once
// A program directory with its files and the shell started on it, headless,
// with the operator's answers given by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "app/MainFrame.h"
#include "app/SMTApp.h"
#include "app/SMTView.h"
#include "app/DemoWorkdir.h"
#include "core/MachineState.h"
#include "feeder/CDialogFeedList.h"
#include "job/CDialogPartList.h"
#include "link/CDialogManualControl.h"
#include "vision/CDialogSetView.h"
#include "platform/FileChooser.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "support/TempDir.h"

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().languageSet = 0;
    smt::CurrentMachine().headCount = 1;
    smt::CurrentMachine().machineBusy = false;
    smt::platform::WorkerThreads::Instance().ResetForTests();
    for (const auto& f : smt::library::ListFiles()) {
      smt::platform::ListFileContent c;
      if (f.hasLeading) c.leading = "";
      // One empty feeder group, as a new working directory has.
      if (f.id == smt::library::ListFileId::Feed) c.rows = {"1\t料架组1\t", "料架组1\t\t0\t"};
      smt::platform::WriteListFile(dir / f.name, c);
    }
  }
  void TearDown() override {
    if (app) app->ExitInstance();
    smt::platform::ClearProfileCache();
  }

  void WriteConfig(const std::string& text) { dir.Write("config.ini", text); }

  CMainFrame& Start() {
    app = std::make_unique<CSMTApp>();
    CSMTApp::Options o;
    o.appDir = dir.str();
    o.installQtServices = false;
    o.show = false;
    EXPECT_TRUE(app->InitInstance(o));
    return *app->frame();
  }

  // The working directory as scripts/run prepares a new one: the shipped
  // defaults, the built language files (<build>/lang beside this test) and
  // the demo machine with its job. Empty when all went well, else why not.
  std::string PrepareAsScriptsRun() {
    namespace fs = std::filesystem;
    const fs::path lang = fs::canonical("/proc/self/exe").parent_path().parent_path().parent_path() / "lang";
    for (const fs::path& from : {fs::path(SMT_SOURCE_DIR) / "resources" / "defaults", lang})
      for (const auto& f : fs::directory_iterator(from))
        fs::copy_file(f.path(), dir / f.path().filename().string(), fs::copy_options::overwrite_existing);
    const std::string why = smt::app::PrepareDemoWorkdir(dir.path());
    smt::platform::ClearProfileCache();
    return why;
  }

  std::string Config(const std::string& section, const std::string& key) {
    return smt::platform::GetProfileString(smt::platform::ConfigPath(dir.str()), section, key, "<none>");
  }

  smt::test::TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
  smt::platform::ScopedRecordingFiles files;
  std::unique_ptr<CSMTApp> app;
};
