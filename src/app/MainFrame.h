#pragma once
// The main window: menu, toolbar with its two drop-downs, five-pane status
// bar, language and machine-type switching, the library list files, and the
// close sequence.
#include <QMainWindow>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/LibraryLists.h"
#include "app/RecentFiles.h"
#include "app/ViewFrame.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolButton;
class CSMTView;
namespace smt {
class Machine;
}

class CMainFrame : public QMainWindow, public smt::app::ViewFrame {
  Q_OBJECT
 public:
  // The window of `machine`, whose library lists it loads and saves.
  // `installSubsystems` joins every subsystem to the view as it is made.
  CMainFrame(smt::Machine& machine, std::string appDir, std::function<void(CSMTView&)> installSubsystems = {});
  ~CMainFrame() override;

  // Builds the view (its own creation runs inside), toolbar, status bar and
  // reads the library list files. Returns 0, or -1 when creation failed.
  int OnCreate();

  CSMTView* view() const { return view_; }
  smt::Machine& machine() const override { return machine_; }

  // Language (settings file, window title, the name tables).
  bool LoadLanguage() override;
  void LocalizeMenu(const std::string& language) override;
  // The texts of the toolbar's four command buttons.
  void LocalizeToolButtons(const std::string& language);
  bool SaveMachineSet();
  // Menu commands.
  void OnLanguage(int index);      // 0 Chinese, 1 English, 2 German
  void OnMachineType(int type);    // 0..10
  // The close sequence; true when the window may close.
  bool OnClose();

  // The machine's library lists from their files, and to them.
  void LoadFigLists();
  // Throws platform::FileError when a file cannot be written.
  void SaveFigLists() override;

  // The job path in status pane 1.
  // The job's path in the status bar and its file name in the title bar.
  void SetJobPathText(const std::string& path) override;
  void UpdateTitle();
  // Ctrl+N/O/S, and no menu items that do nothing.
  void DesktopHabits();
  std::string m_strJobPath;
  // Pane 0 of the status bar (the part list's hints).
  void SetStatusHint(const std::string& text);
  QString StatusPaneText(int pane) const;

  // The recent-file entries of the File menu.
  smt::app::RecentFiles m_recent;
  void ShowRecentFiles() override;

  // Menu state (check marks and enabling), as when a menu opens.
  void UpdateMenuState();
  QAction* Action(int commandId) const;
  QMenu* TopMenu(int position) const;
  QMenu* SubMenu(int sub) const;
  // The drop-down menus of the toolbar, built and localised as when opened.
  QMenu* BuildSettingsDropDown();
  QMenu* BuildGoToDropDown();
  void OnToolbarDropDown(int button);

  // Hooks the document and the settings store fill in.
  std::function<bool()> hasUnsavedChanges;  // job holds changes not saved: ask at close
  std::function<bool()> saveProject;     // Yes at the close prompt; false when not saved
  std::function<int()> speedMenuCheck;   // active speed tier 0..3

  std::string m_strAppPath;
  std::string m_strLanguage = "Chinese";
  std::vector<std::string> m_strMenuText;  // 43 go-to texts, then 15 settings texts

  // What the view reads of its window.
  QWidget* Window() override { return this; }
  CMainFrame* Frame() override { return this; }
  const std::string& AppPath() const override { return m_strAppPath; }
  const std::string& Language() const override { return m_strLanguage; }
  smt::app::RecentFiles& Recent() override { return m_recent; }
  smt::library::LibraryLists& Lists() override { return smt::library::LibraryLists::Of(machine_); }
  void ConnectDocument(std::function<bool()> hasUnsavedChanges, std::function<bool()> saveProject) override {
    this->hasUnsavedChanges = std::move(hasUnsavedChanges);
    this->saveProject = std::move(saveProject);
  }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* AddCommand(QMenu* menu, int id, const char* text);

  smt::Machine& machine_;
  std::function<void(CSMTView&)> installSubsystems_;
  CSMTView* view_ = nullptr;
  std::map<int, QAction*> actions_;
  std::map<int, QMenu*> topMenus_;
  std::map<int, QMenu*> subMenus_;
  QActionGroup* languageGroup_ = nullptr;
  QActionGroup* machineGroup_ = nullptr;
  std::vector<QLabel*> panes_;
  std::string filePathText_ = "File Path";  // the job-path pane before a job is open
  std::map<int, QToolButton*> toolButtons_;
  bool closing_ = false;
  std::string recentEmptyText_ = "最近打开文件";
};
