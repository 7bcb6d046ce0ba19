#pragma once
// What the main view asks of the window that holds it: the program folder and
// language, the language and menu texts, the recent-file list and the library
// list files. The main frame is that window; the view knows it only through
// this, so the frame owns the view without the two reaching round to each
// other.
#include <functional>
#include <string>

class CMainFrame;
class QWidget;

namespace smt {
class Machine;
}
namespace smt::library {
struct LibraryLists;
}

namespace smt::app {

class RecentFiles;

class ViewFrame {
 public:
  virtual ~ViewFrame() = default;

  // The window itself (the view's parent), and as the main frame the
  // subsystems' wiring is handed.
  virtual QWidget* Window() = 0;
  virtual CMainFrame* Frame() = 0;
  // The machine the window drives.
  virtual smt::Machine& machine() const = 0;

  virtual const std::string& AppPath() const = 0;
  virtual const std::string& Language() const = 0;
  // Reads the language setting and the name tables; false when it failed.
  virtual bool LoadLanguage() = 0;
  virtual void LocalizeMenu(const std::string& language) = 0;

  // The job's path in the status bar and its file name in the title bar.
  virtual void SetJobPathText(const std::string& path) = 0;
  // The document's answers at close: holds changes not saved; saved (Yes at
  // the close prompt).
  virtual void ConnectDocument(std::function<bool()> hasUnsavedChanges, std::function<bool()> saveProject) = 0;

  virtual RecentFiles& Recent() = 0;
  virtual void ShowRecentFiles() = 0;

  // The library lists of the machine the window drives.
  virtual smt::library::LibraryLists& Lists() = 0;
  // Throws platform::FileError when a file cannot be written.
  virtual void SaveFigLists() = 0;
};

}  // namespace smt::app
