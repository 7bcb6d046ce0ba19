#include "app/RecentFiles.h"

#include <algorithm>

#include "core/LogFile.h"
#include "platform/ProfileFile.h"

namespace smt::app {

namespace {
constexpr const char* kSection = "Recent File List";
std::string Key(size_t i) { return "File" + std::to_string(i + 1); }
}  // namespace

void RecentFiles::Load(const std::string& appDir) {
  file_ = appDir + "/recent_files.ini";
  paths_.clear();
  for (size_t i = 0; i < kMaxEntries; ++i) {
    const std::string p = smt::platform::GetProfileString(file_, kSection, Key(i), "");
    if (!p.empty() && std::find(paths_.begin(), paths_.end(), p) == paths_.end()) paths_.push_back(p);
  }
}

bool RecentFiles::Add(const std::string& path) {
  if (path.empty()) return true;
  paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
  paths_.insert(paths_.begin(), path);
  if (paths_.size() > kMaxEntries) paths_.resize(kMaxEntries);
  return Save();
}

bool RecentFiles::Remove(const std::string& path) {
  paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
  return Save();
}

bool RecentFiles::Save() const {
  if (file_.empty()) return false;
  for (size_t i = 0; i < kMaxEntries; ++i) {
    const std::string value = i < paths_.size() ? paths_[i] : std::string();
    if (!smt::platform::WriteProfileString(file_, kSection, Key(i), value)) {
      CLogFile::Instance().Write(true, "Cannot write the recent file list %s", file_.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace smt::app
