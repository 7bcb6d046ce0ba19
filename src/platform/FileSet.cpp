#include "platform/FileSet.h"

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "platform/FileIo.h"

namespace smt::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHead = "SMT file set journal 1";

struct Step {
  std::string target, from;  // relative to the journal's directory
};

// A relative path without "." or ".." parts.
bool SafeRelative(const std::string& p) {
  if (p.empty() || p.front() == '/') return false;
  for (const auto& part : fs::path(p))
    if (part == "." || part == ".." || part.empty()) return false;
  return p.find('\t') == std::string::npos && p.find('\n') == std::string::npos;
}

std::string Relative(const fs::path& dir, const fs::path& p) {
  const std::string r = p.lexically_relative(dir).generic_string();
  if (!SafeRelative(r)) throw FileError("\"" + p.string() + "\" is not in the folder of \"" + dir.string() + "\"");
  return r;
}

bool Parse(const std::vector<uint8_t>& bytes, std::vector<Step>& steps) {
  const std::string text(bytes.begin(), bytes.end());
  size_t at = 0;
  bool first = true;
  while (at < text.size()) {
    const size_t nl = text.find('\n', at);
    if (nl == std::string::npos) return false;
    const std::string line = text.substr(at, nl - at);
    at = nl + 1;
    if (first) {
      if (line != kHead) return false;
      first = false;
      continue;
    }
    if (line == "end") return at == text.size();
    if (line.compare(0, 4, "put\t") != 0) return false;
    const size_t tab = line.find('\t', 4);
    if (tab == std::string::npos) return false;
    Step s{line.substr(4, tab - 4), line.substr(tab + 1)};
    if (!SafeRelative(s.target) || !SafeRelative(s.from)) return false;
    steps.push_back(std::move(s));
  }
  return false;  // no "end": never committed
}

void Apply(const fs::path& dir, const std::vector<Step>& steps) {
  std::set<fs::path> dirs;
  for (const Step& s : steps) {
    const fs::path from = dir / s.from, target = dir / s.target;
    std::error_code ec;
    // Already renamed when the journal was followed in part before.
    if (!fs::exists(from, ec)) continue;
    fs::rename(from, target, ec);
    if (ec) throw FileError("cannot put \"" + target.string() + "\" in place: " + ec.message());
    dirs.insert(target.parent_path());
  }
  for (const auto& d : dirs) SyncDirectory(d);
}

}  // namespace

void FinishFileSet(const fs::path& journal, const std::vector<fs::path>& files) {
  const fs::path dir = journal.parent_path();
  std::error_code ec;
  if (fs::exists(journal, ec)) {
    std::vector<Step> steps;
    // A journal that is not whole was never committed.
    if (Parse(ReadWholeFile(journal), steps)) Apply(dir, steps);
    fs::remove(journal, ec);
    SyncDirectory(dir);
  }
  // The temporaries an uncommitted set left, folder by folder.
  std::map<fs::path, std::vector<fs::path>> byDir;
  for (const auto& f : files) byDir[f.parent_path()].push_back(f);
  byDir[dir].push_back(journal);
  for (const auto& [d, list] : byDir) RemoveStaleTemporaries(list);
}

void WriteFileSet(const fs::path& journal, const std::vector<FileSetItem>& files) {
  const fs::path dir = journal.parent_path();
  std::vector<fs::path> targets;
  for (const auto& f : files) targets.push_back(f.path);
  FinishFileSet(journal, targets);
  std::vector<Step> steps;
  std::vector<fs::path> written;
  try {
    for (const auto& f : files) {
      const fs::path tmp = TemporaryPathOf(f.path);
      WriteFileSynced(tmp, f.bytes);
      written.push_back(tmp);
      steps.push_back({Relative(dir, f.path), Relative(dir, tmp)});
    }
    std::string text(kHead);
    text += '\n';
    for (const auto& s : steps) text += "put\t" + s.target + "\t" + s.from + "\n";
    text += "end\n";
    std::set<fs::path> dirs;
    for (const auto& t : written) dirs.insert(t.parent_path());
    for (const auto& d : dirs) SyncDirectory(d);
    // The commit.
    WriteFileAtomically(journal, text);
  } catch (...) {
    std::error_code ec;
    for (const auto& t : written) fs::remove(t, ec);
    throw;
  }
  Apply(dir, steps);
  std::error_code ec;
  fs::remove(journal, ec);
  SyncDirectory(dir);
}

}  // namespace smt::platform
