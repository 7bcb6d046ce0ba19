#include "platform/ProfileFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/FileIo.h"
#include "platform/TextCodec.h"

namespace smt::platform {
namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct Line {
  std::string raw;  // the line as it stands in the file, without its end
  // Where in `raw` the name stands (a section header's or a key line's) and,
  // for a key line, its value (trimmed, quotes removed).
  size_t nameAt = 0, nameSize = 0, valueAt = 0, valueSize = 0;
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view Name() const { return std::string_view(raw).substr(nameAt, nameSize); }
  std::string_view Value() const { return std::string_view(raw).substr(valueAt, valueSize); }
};

// A key line in the index: the hash of its folded section and key names,
// the line and the header of its section.
struct IndexEntry {
  uint64_t hash;
  size_t line, sectionLine;
  bool operator<(const IndexEntry& o) const { return hash != o.hash ? hash < o.hash : line < o.line; }
};

struct ParsedFile {
  bool exists = false;
  struct timespec mtime {};
  off_t size = 0;
  std::string eol = "\r\n";
  std::vector<Line> lines;
  // Every key line under a section, sorted by the hash of its folded section
  // and key names and then by line: a read takes the first line of its hash
  // whose names match, the line a scan from the top would find. Built on the
  // first read after the file was parsed or written; a language file is read
  // thousands of times at start-up, each a scan of every line without it.
  std::vector<IndexEntry> index;
  bool indexed = false;
};

// FNV-1a over the names folded as EqualNoCase folds them.
uint64_t FoldedHash(std::string_view section, std::string_view key) {
  uint64_t h = 14695981039346656037ull;
  const auto add = [&h](char c) {
    h ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    h *= 1099511628211ull;
  };
  for (char c : section) add(c);
  add('\n');
  for (char c : key) add(c);
  return h;
}

void BuildIndex(ParsedFile& f) {
  f.index.clear();
  f.index.reserve(f.lines.size());
  const Line* section = nullptr;
  size_t sectionLine = 0;
  for (size_t i = 0; i < f.lines.size(); ++i) {
    const Line& l = f.lines[i];
    if (l.kind == Line::kSection) {
      section = &l;
      sectionLine = i;
    } else if (section && l.kind == Line::kKey) {
      f.index.push_back({FoldedHash(section->Name(), l.Name()), i, sectionLine});
    }
  }
  std::sort(f.index.begin(), f.index.end());
  f.indexed = true;
}

// The first key line of `section` and `key`, or nullptr.
const Line* Find(const ParsedFile& f, std::string_view section, std::string_view key) {
  const IndexEntry probe{FoldedHash(section, key), 0, 0};
  for (auto it = std::lower_bound(f.index.begin(), f.index.end(), probe); it != f.index.end() && it->hash == probe.hash;
       ++it) {
    const Line& l = f.lines[it->line];
    if (EqualNoCase(l.Name(), key) && EqualNoCase(f.lines[it->sectionLine].Name(), section)) return &l;
  }
  return nullptr;
}

Line ParseLine(std::string raw) {
  Line line;
  line.raw = std::move(raw);
  const std::string_view r(line.raw);
  const auto at = [&r](std::string_view part) { return static_cast<size_t>(part.data() - r.data()); };
  const std::string_view t = Trim(r);
  if (!t.empty() && t.front() == '[') {
    size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = Line::kSection;
      const std::string_view name = Trim(t.substr(1, close - 1));
      line.nameAt = at(name);
      line.nameSize = name.size();
    }
  } else if (!t.empty() && t.front() != ';') {
    size_t eq = t.find('=');
    if (eq != std::string_view::npos) {
      line.kind = Line::kKey;
      const std::string_view name = Trim(t.substr(0, eq));
      line.nameAt = at(name);
      line.nameSize = name.size();
      std::string_view v = Trim(t.substr(eq + 1));
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      line.valueAt = at(v);
      line.valueSize = v.size();
    }
  }
  return line;
}

std::string DecodeText(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    std::u16string u;
    u.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) u.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return Utf16ToUtf8(u);
  }
  size_t start = (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
  return std::string(bytes.begin() + static_cast<long>(start), bytes.end());
}

void Parse(ParsedFile& f, const std::string& text) {
  f.lines.clear();
  f.eol = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos ? "\r\n" : "\n";
  f.lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string raw(text, pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    f.lines.push_back(ParseLine(std::move(raw)));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
}

class Cache {
 public:
  std::string Get(const std::string& path, std::string_view section, std::string_view key,
                  std::string_view def) {
    std::lock_guard lock(mutex_);
    ParsedFile& f = Fresh(path);
    if (!f.indexed) BuildIndex(f);
    const Line* l = Find(f, section, key);
    return l ? std::string(l->Value()) : std::string(def);
  }

  bool Write(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    std::lock_guard lock(mutex_);
    ParsedFile& f = Fresh(path);
    std::string newRaw = std::string(key) + "=" + std::string(value);
    bool in = false;
    bool sectionFound = false;
    size_t insertAt = f.lines.size();
    bool done = false;
    for (size_t i = 0; i < f.lines.size(); ++i) {
      Line& l = f.lines[i];
      if (l.kind == Line::kSection) {
        if (in) break;
        in = EqualNoCase(l.Name(), section);
        if (in) {
          sectionFound = true;
          insertAt = i + 1;
        }
      } else if (in) {
        if (l.kind == Line::kKey && EqualNoCase(l.Name(), key)) {
          l = ParseLine(newRaw);
          done = true;
          break;
        }
        if (!Trim(l.raw).empty()) insertAt = i + 1;
      }
    }
    if (!done) {
      if (sectionFound) {
        f.lines.insert(f.lines.begin() + static_cast<long>(insertAt), ParseLine(newRaw));
      } else {
        f.lines.push_back(ParseLine("[" + std::string(section) + "]"));
        f.lines.push_back(ParseLine(newRaw));
      }
    }
    f.indexed = false;
    // Within a batch the file is written once, when the batch ends.
    if (auto b = batches_.find(path); b != batches_.end() && b->second.depth > 0) {
      b->second.dirty = true;
      return true;
    }
    return Store(path, f);
  }

  void BeginBatch(const std::string& path) {
    std::lock_guard lock(mutex_);
    ++batches_[path].depth;
  }

  bool EndBatch(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto b = batches_.find(path);
    if (b == batches_.end()) return true;
    if (--b->second.depth > 0) return true;
    const bool dirty = b->second.dirty;
    batches_.erase(b);
    if (!dirty) return true;
    auto it = cache_.find(path);
    if (it == cache_.end()) return false;
    return Store(path, it->second);
  }

  bool EndBatchInto(const std::string& path, const std::function<void(const std::string* text)>& store) {
    std::lock_guard lock(mutex_);
    auto b = batches_.find(path);
    if (b == batches_.end() || --b->second.depth > 0) {
      store(nullptr);
      return true;
    }
    const bool dirty = b->second.dirty;
    batches_.erase(b);
    auto it = cache_.find(path);
    if (!dirty || it == cache_.end()) {
      store(nullptr);
      return true;
    }
    std::string text;
    for (const Line& l : it->second.lines) {
      text += l.raw;
      text += it->second.eol;
    }
    try {
      store(&text);
    } catch (...) {
      // Readers take the file as it is on disk again.
      cache_.erase(it);
      throw;
    }
    Stamp(path, it->second);
    return true;
  }

  void BeginBurst() {
    std::lock_guard lock(mutex_);
    ++burstDepth_;
  }

  void EndBurst() {
    std::lock_guard lock(mutex_);
    if (burstDepth_ > 0 && --burstDepth_ == 0) burstChecked_.clear();
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    burstChecked_.clear();
    // A file with writes waiting for their batch keeps them.
    for (auto it = cache_.begin(); it != cache_.end();) {
      auto b = batches_.find(it->first);
      if (b != batches_.end() && b->second.dirty)
        ++it;
      else
        it = cache_.erase(it);
    }
  }

 private:
  // The whole text, to a temporary renamed over the file.
  bool Store(const std::string& path, ParsedFile& f) {
    std::string text;
    for (const Line& l : f.lines) {
      text += l.raw;
      text += f.eol;
    }
    try {
      WriteFileAtomically(path, text);
    } catch (const FileError&) {
      cache_.erase(path);
      return false;
    }
    Stamp(path, f);
    return true;
  }

  static void Stamp(const std::string& path, ParsedFile& f) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      f.exists = true;
      f.mtime = st.st_mtim;
      f.size = st.st_size;
    } else {
      f.exists = false;
    }
  }

  ParsedFile& Fresh(const std::string& path) {
    // In a read burst a file already checked is taken as it was then.
    if (burstDepth_ > 0 && burstChecked_.count(path) != 0) {
      if (auto it = cache_.find(path); it != cache_.end()) return it->second;
    }
    if (burstDepth_ > 0) burstChecked_.insert(path);
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    auto it = cache_.find(path);
    if (it != cache_.end()) {
      ParsedFile& f = it->second;
      if (f.exists == exists &&
          (!exists || (f.size == st.st_size && f.mtime.tv_sec == st.st_mtim.tv_sec &&
                       f.mtime.tv_nsec == st.st_mtim.tv_nsec))) {
        return f;
      }
    }
    ParsedFile& f = cache_[path];
    f = ParsedFile{};
    if (exists) {
      try {
        Parse(f, DecodeText(ReadWholeFile(path)));
        f.exists = true;
        f.mtime = st.st_mtim;
        f.size = st.st_size;
      } catch (const FileError&) {
        f.lines.clear();
        f.exists = false;
      }
    }
    return f;
  }

  struct Batch {
    int depth = 0;
    bool dirty = false;
  };
  std::mutex mutex_;
  std::map<std::string, ParsedFile> cache_;
  std::map<std::string, Batch> batches_;
  int burstDepth_ = 0;
  std::set<std::string> burstChecked_;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view defaultText) {
  return TheCache().Get(path, section, key, defaultText);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  return TheCache().Write(path, section, key, value);
}

void ClearProfileCache() { TheCache().Clear(); }

ProfileReadBurst::ProfileReadBurst() { TheCache().BeginBurst(); }

ProfileReadBurst::~ProfileReadBurst() { TheCache().EndBurst(); }

void BeginProfileBatch(const std::string& path) { TheCache().BeginBatch(path); }

bool EndProfileBatch(const std::string& path) { return TheCache().EndBatch(path); }

bool EndProfileBatchInto(const std::string& path, const std::function<void(const std::string* text)>& store) {
  return TheCache().EndBatchInto(path, store);
}

ProfileBatch::ProfileBatch(std::string path) : path_(std::move(path)) { BeginProfileBatch(path_); }

ProfileBatch::~ProfileBatch() { Commit(); }

bool ProfileBatch::Commit() {
  if (done_) return ok_;
  done_ = true;
  ok_ = EndProfileBatch(path_);
  return ok_;
}

}  // namespace smt::platform
