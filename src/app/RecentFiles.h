#pragma once
// The four most recently opened or saved jobs, newest first, kept in
// "recent_files.ini" of the working directory (section [Recent File List],
// keys File1..File4).
#include <string>
#include <vector>

namespace smt::app {

class RecentFiles {
 public:
  static constexpr size_t kMaxEntries = 4;

  void Load(const std::string& appDir);
  // Puts `path` first (an entry already there moves up) and writes the list.
  // False when the list could not be written.
  bool Add(const std::string& path);
  // Takes out an entry that could not be opened.
  bool Remove(const std::string& path);
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  bool Save() const;
  std::string file_;
  std::vector<std::string> paths_;
};

}  // namespace smt::app
