#pragma once
// The application object: installs the window-thread services, creates the
// main frame with its view and the empty job, and shuts everything down.
#include <memory>
#include <string>

class CMainFrame;

namespace smt::platform {
class QtGuiDispatcher;
class QtMessageService;
class QtFileChooser;
}  // namespace smt::platform

class CSMTApp {
 public:
  struct Options {
    std::string appDir;            // program directory (settings, languages, lists)
    bool installQtServices = true; // false in tests that install their own message service
    bool show = true;
  };

  CSMTApp();
  ~CSMTApp();

  // True when the window is up.
  bool InitInstance(const Options& options);
  int ExitInstance();

  CMainFrame* frame() const { return frame_.get(); }

 private:
  std::unique_ptr<smt::platform::QtGuiDispatcher> dispatcher_;
  std::unique_ptr<smt::platform::QtMessageService> messages_;
  std::unique_ptr<smt::platform::QtFileChooser> files_;
  std::unique_ptr<CMainFrame> frame_;
};
