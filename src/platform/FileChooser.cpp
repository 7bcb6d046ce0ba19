#include "platform/FileChooser.h"

#include <atomic>

namespace smt::platform {
namespace {
// The installed chooser, or one that records and cancels when nobody installed one.
struct Choosers {
  RecordingFileChooser fallback;
  std::atomic<FileChooser*> installed{nullptr};
} g_choosers;

std::vector<std::string> Ask(QWidget* parent, FileChoice kind, const std::string& caption, const std::string& folder,
                             const std::string& filter) {
  return FileChooser::Get().Choose(parent, FileRequest{kind, caption, folder, filter});
}
}  // namespace

FileChooser& FileChooser::Get() {
  FileChooser* c = g_choosers.installed.load();
  return c ? *c : g_choosers.fallback;
}

void FileChooser::Install(FileChooser* chooser) { g_choosers.installed.store(chooser); }

std::string ChooseOpenFile(QWidget* parent, const std::string& caption, const std::string& folder,
                           const std::string& filter) {
  auto paths = Ask(parent, FileChoice::Open, caption, folder, filter);
  return paths.empty() ? std::string() : paths.front();
}

std::vector<std::string> ChooseOpenFiles(QWidget* parent, const std::string& caption, const std::string& folder,
                                         const std::string& filter) {
  return Ask(parent, FileChoice::OpenMany, caption, folder, filter);
}

std::string ChooseSaveFile(QWidget* parent, const std::string& caption, const std::string& folder,
                           const std::string& filter) {
  auto paths = Ask(parent, FileChoice::Save, caption, folder, filter);
  return paths.empty() ? std::string() : paths.front();
}

std::vector<std::string> RecordingFileChooser::Choose(QWidget*, const FileRequest& request) {
  std::lock_guard lock(m_);
  requests_.push_back(request);
  if (answers_.empty()) return {};
  auto a = std::move(answers_.front());
  answers_.pop_front();
  return a;
}

void RecordingFileChooser::QueueAnswer(std::vector<std::string> paths) {
  std::lock_guard lock(m_);
  answers_.push_back(std::move(paths));
}

std::vector<FileRequest> RecordingFileChooser::Requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

void RecordingFileChooser::Clear() {
  std::lock_guard lock(m_);
  requests_.clear();
  answers_.clear();
}

}  // namespace smt::platform
