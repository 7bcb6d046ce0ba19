#pragma once
// Every file choice of the program goes through one service, so that tests
// can answer for the operator as they do for message boxes. Window thread
// only. With no service installed, every choice is recorded and answered as
// cancelled: nothing ever waits for a file dialog nobody can see.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class QWidget;

namespace smt::platform {

enum class FileChoice { Open, OpenMany, Save };

struct FileRequest {
  FileChoice kind = FileChoice::Open;
  std::string caption;
  std::string folder;  // the folder (or proposed file) the dialog starts in
  std::string filter;  // Qt filter text, e.g. "Project Files (*.smt)"
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen paths; empty when the operator cancelled.
  virtual std::vector<std::string> Choose(QWidget* parent, const FileRequest& request) = 0;

  static FileChooser& Get();
  static void Install(FileChooser* chooser);  // not owned; nullptr: the recording default
};

// Shortcuts: one file to open, several files to open, one file to save
// ("" / empty when cancelled).
std::string ChooseOpenFile(QWidget* parent, const std::string& caption, const std::string& folder,
                           const std::string& filter);
std::vector<std::string> ChooseOpenFiles(QWidget* parent, const std::string& caption, const std::string& folder,
                                         const std::string& filter);
std::string ChooseSaveFile(QWidget* parent, const std::string& caption, const std::string& folder,
                           const std::string& filter);

// Records every request and answers from a queue (then as cancelled).
class RecordingFileChooser : public FileChooser {
 public:
  std::vector<std::string> Choose(QWidget* parent, const FileRequest& request) override;

  void QueueAnswer(std::vector<std::string> paths);
  void QueueAnswer(const std::string& path) { QueueAnswer(std::vector<std::string>{path}); }
  std::vector<FileRequest> Requests() const;
  void Clear();

 private:
  mutable std::mutex m_;
  std::vector<FileRequest> requests_;
  std::deque<std::vector<std::string>> answers_;
};

// Installs a RecordingFileChooser for the life of the object.
class ScopedRecordingFiles {
 public:
  ScopedRecordingFiles() { FileChooser::Install(&chooser); }
  ~ScopedRecordingFiles() { FileChooser::Install(nullptr); }
  RecordingFileChooser chooser;
};

}  // namespace smt::platform
