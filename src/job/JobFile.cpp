#include "job/JobFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

#include "core/LogFile.h"
#include "job/JobFileError.h"
#include "platform/NameAsPath.h"
#include "platform/Archive.h"
#include "platform/FileIo.h"

namespace smt::job {

using smt::platform::ArchiveError;
using smt::platform::ArchiveReader;
using smt::platform::ArchiveWriter;

namespace {

// Each archive string takes at least one byte, so a count above the bytes
// left cannot be true.
uint32_t ReadCount(ArchiveReader& in, const char* what) {
  uint32_t n = in.ReadU32();
  if (n > in.remaining())
    throw JobFileError(std::string("the ") + what + " count " + std::to_string(n) + " is larger than the " +
                       std::to_string(in.remaining()) + " bytes that follow");
  return n;
}

std::vector<std::string> ReadStrings(ArchiveReader& in, uint32_t n, bool* unicode = nullptr) {
  std::vector<std::string> out;
  out.reserve(n);
  if (!unicode) {
    for (uint32_t i = 0; i < n; ++i) out.push_back(in.ReadString());
    return out;
  }
  std::string scratch;
  for (uint32_t i = 0; i < n; ++i) {
    bool u = true;
    out.emplace_back(in.ReadStringInto(scratch, &u));
    *unicode &= u;
  }
  return out;
}

// The most bytes the archive strings of `lines` can take (the whole file is
// built in one buffer that never grows on the way).
size_t StringsBound(const std::vector<std::string>& lines) {
  size_t n = 0;
  for (const auto& l : lines) n += 10 + 2 * l.size();
  return n;
}

void ExpectEnd(const ArchiveReader& in) {
  if (!in.AtEnd())
    throw JobFileError(std::to_string(in.remaining()) + " unexpected bytes follow the last item at byte " +
                       std::to_string(in.offset()));
}

template <class F>
auto Parse(std::span<const uint8_t> bytes, F f) {
  try {
    ArchiveReader in(bytes);
    auto result = f(in);
    ExpectEnd(in);
    return result;
  } catch (const ArchiveError& e) {
    throw JobFileError(e.what());
  }
}

std::vector<uint8_t> ReadFileOrThrow(const std::filesystem::path& p) {
  try {
    return smt::platform::ReadWholeFile(p);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be read (" + e.what() + ")");
  }
}

template <class F>
auto ParseFile(const std::filesystem::path& p, F f) {
  auto bytes = ReadFileOrThrow(p);
  try {
    return f(std::span<const uint8_t>(bytes));
  } catch (const JobFileError& e) {
    throw JobFileError("\"" + p.string() + "\" is damaged or not a job file: " + e.what());
  }
}

smt::platform::FileBuffer ReadBufferOrThrow(const std::filesystem::path& p) {
  try {
    return smt::platform::ReadFileBuffer(p);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be read (" + e.what() + ")");
  }
}

// Reads a file whole, parses it with `f` and keeps its bytes in `kept`.
template <class F>
auto ParseFileKept(const std::filesystem::path& p, F f, FileBytes& kept) {
  FileBytes bytes(ReadBufferOrThrow(p));
  try {
    auto result = f(bytes.bytes());
    kept = std::move(bytes);
    return result;
  } catch (const JobCellError& e) {
    throw JobCellError("\"" + p.string() + "\" is damaged or not a job file: " + e.what(), e.file(), e.line(),
                       e.field());
  } catch (const JobFileError& e) {
    throw JobFileError("\"" + p.string() + "\" is damaged or not a job file: " + e.what());
  }
}

void WriteOrThrow(const std::filesystem::path& p, std::span<const uint8_t> bytes) {
  try {
    smt::platform::WriteFileAtomically(p, bytes);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be written (" + e.what() + ")");
  }
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

// --- the save journal -------------------------------------------------------
//
// A job is a set of files (.smt and its side files) that must change
// together. A save writes every new file beside its target under the
// temporary name "<file>.tmp<pid>", then the journal "<job>.journal" that
// names each file to put in place (and from which temporary) or to remove,
// then does those renames and removals and deletes the journal. The
// journal's rename is the moment the save happens: a save interrupted before
// it leaves the old set (its temporaries are removed at the next open or
// save), one interrupted after it is completed at the next open or save.

constexpr std::string_view kJournalHead = "SMT job save journal 1";

struct JournalStep {
  bool put = true;   // false: remove the file
  std::string name;  // file name in the job's directory
  std::string from;  // put: the temporary's name in the same directory
};

std::vector<uint8_t> EncodeJournal(const std::vector<JournalStep>& steps) {
  std::string text(kJournalHead);
  text += '\n';
  for (const auto& s : steps) text += s.put ? "put\t" + s.name + "\t" + s.from + "\n" : "del\t" + s.name + "\n";
  text += "end\n";
  return {text.begin(), text.end()};
}

bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// False when the journal is not a whole one (it is then not followed).
bool ParseJournal(const std::vector<uint8_t>& bytes, std::vector<JournalStep>& steps) {
  const std::string text(bytes.begin(), bytes.end());
  size_t at = 0;
  bool first = true, ended = false;
  while (at < text.size()) {
    const size_t nl = text.find('\n', at);
    if (nl == std::string::npos) return false;
    const std::string line = text.substr(at, nl - at);
    at = nl + 1;
    if (first) {
      if (line != kJournalHead) return false;
      first = false;
      continue;
    }
    if (line == "end") {
      ended = true;
      break;
    }
    JournalStep step;
    if (line.compare(0, 4, "put\t") == 0) {
      const size_t tab = line.find('\t', 4);
      if (tab == std::string::npos) return false;
      step.name = line.substr(4, tab - 4);
      step.from = line.substr(tab + 1);
      if (!PlainName(step.from)) return false;
    } else if (line.compare(0, 4, "del\t") == 0) {
      step.put = false;
      step.name = line.substr(4);
    } else {
      return false;
    }
    if (!PlainName(step.name)) return false;
    steps.push_back(std::move(step));
  }
  return ended && at == text.size();
}

void ApplyJournal(const std::filesystem::path& dir, const std::vector<JournalStep>& steps) {
  for (const auto& s : steps) {
    const std::filesystem::path target = dir / s.name;
    std::error_code ec;
    if (s.put) {
      const std::filesystem::path from = dir / s.from;
      // Already renamed when the journal was followed in part before.
      if (!std::filesystem::exists(from, ec)) continue;
      std::filesystem::rename(from, target, ec);
      if (ec) throw JobFileError("\"" + target.string() + "\": the saved file cannot be put in place (" + ec.message() + ")");
    } else {
      std::filesystem::remove(target, ec);
      if (ec) throw JobFileError("\"" + target.string() + "\": the old side file cannot be removed (" + ec.message() + ")");
    }
  }
  smt::platform::SyncDirectory(dir);
}

// A file being written: its bytes are handed to the kernel and their
// writeback started at once, so that the files of a save go to the disk
// together and the syncs that follow wait for all of them at the same time
// (the first sync commits the creation of every file written before it).
class PendingFile {
 public:
  PendingFile(std::filesystem::path path, std::span<const uint8_t> bytes) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw smt::platform::FileError("cannot create \"" + path_.string() + "\": " + std::strerror(errno));
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail(errno);
      }
      done += static_cast<size_t>(n);
    }
#ifdef SYNC_FILE_RANGE_WRITE
    // Only a head start for the sync; the sync itself is what counts.
    (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  // Waits until the bytes are on the disk.
  void Sync() {
    if (::fsync(fd_) != 0) Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail(errno);
  }
 private:
  [[noreturn]] void Fail(int e) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
    throw smt::platform::FileError("cannot write \"" + path_.string() + "\": " + std::strerror(e));
  }
  std::filesystem::path path_;
  int fd_ = -1;
};

std::vector<std::filesystem::path> JobFileSet(const std::filesystem::path& jobPath) {
  std::vector<std::filesystem::path> set{jobPath};
  for (const char* ext : {".dis", ".drill", ".txt"}) {
    auto p = SideFilePath(jobPath, ext);
    if (!p.empty()) set.push_back(p);
  }
  return set;
}

}  // namespace

std::filesystem::path JobJournalPath(const std::filesystem::path& jobPath) {
  std::filesystem::path j = jobPath;
  j += ".journal";
  return j;
}

void FinishInterruptedSave(const std::filesystem::path& jobPath) {
  const std::filesystem::path journal = JobJournalPath(jobPath);
  const std::filesystem::path dir = jobPath.parent_path();
  std::error_code ec;
  if (std::filesystem::exists(journal, ec)) {
    std::vector<JournalStep> steps;
    std::vector<uint8_t> bytes;
    try {
      bytes = smt::platform::ReadWholeFile(journal);
    } catch (const std::exception& e) {
      throw JobFileError("\"" + journal.string() + "\": cannot be read (" + e.what() + ")");
    }
    // A journal is written whole and renamed into place: one that is not
    // whole was never committed.
    if (ParseJournal(bytes, steps)) ApplyJournal(dir, steps);
    std::filesystem::remove(journal, ec);
    smt::platform::SyncDirectory(dir);
  }
  // What an uncommitted save left: the temporaries of processes that ended.
  std::vector<std::filesystem::path> files = JobFileSet(jobPath);
  files.push_back(journal);
  smt::platform::RemoveStaleTemporaries(files);
}

JobFileNames JobFileNames::Of(const std::filesystem::path& jobPath) {
  JobFileNames n;
  n.job = jobPath.filename().string();
  auto side = [&](const char* ext, std::string& out) {
    const auto p = SideFilePath(jobPath, ext);
    if (!p.empty()) out = p.filename().string();
  };
  side(".dis", n.dispense);
  side(".drill", n.drill);
  side(".txt", n.lamp);
  return n;
}

std::filesystem::path SideFilePath(const std::filesystem::path& jobPath, std::string_view ext) {
  const std::string name = jobPath.filename().string();
  static constexpr std::string_view kExt = ".smt";
  // The job's extension in any case ("CAP.SMT" has the side file "CAP.dis").
  if (name.size() <= kExt.size() || !smt::platform::HasExtension(jobPath, kExt)) return {};
  return jobPath.parent_path() / (name.substr(0, name.size() - kExt.size()) + std::string(ext));
}

std::vector<uint8_t> EncodeJobFile(const JobFileContent& c) {
  ArchiveWriter out;
  out.Reserve(18 + 2 * c.curPcbName.size() + StringsBound(c.pcbLines));
  out.WriteString(c.curPcbName);
  out.WriteU32(c.pcbCount);
  out.WriteU32(static_cast<uint32_t>(c.pcbLines.size()));
  for (const auto& l : c.pcbLines) out.WriteString(l);
  return out.take();
}

JobFileContent ParseJobFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) {
    JobFileContent c;
    c.curPcbName = in.ReadString();
    c.pcbCount = in.ReadU32();
    uint32_t n = ReadCount(in, "line");
    if (c.pcbCount > n)
      throw JobFileError("the board count " + std::to_string(c.pcbCount) + " is larger than the " +
                         std::to_string(n) + " lines");
    c.pcbLines = ReadStrings(in, n);
    return c;
  });
}

std::vector<uint8_t> EncodeRowFile(const std::vector<std::string>& lines) {
  ArchiveWriter out;
  out.Reserve(4 + StringsBound(lines));
  out.WriteU32(static_cast<uint32_t>(lines.size()));
  for (const auto& l : lines) out.WriteString(l);
  return out.take();
}

std::vector<std::string> ParseRowFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) {
    uint32_t n = ReadCount(in, "row");
    return ReadStrings(in, n);
  });
}

std::vector<uint8_t> EncodeLampFile(const std::vector<std::string>& rows) {
  ArchiveWriter out;
  for (int i = 0; i < kLampRowCount; ++i)
    out.WriteString(static_cast<size_t>(i) < rows.size() ? rows[static_cast<size_t>(i)] : std::string());
  return out.take();
}

std::vector<std::string> ParseLampFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) { return ReadStrings(in, kLampRowCount); });
}

PcbTable ParseJobTable(std::span<const uint8_t> bytes, std::string_view file, bool* unicode) {
  return Parse(bytes, [&](ArchiveReader& in) {
    bool all = true;
    std::string scratch;
    bool u = true;
    std::string curName(in.ReadStringInto(scratch, &u));
    all &= u;
    const uint32_t pcbCount = in.ReadU32();
    const uint32_t n = ReadCount(in, "line");
    if (pcbCount > n)
      throw JobFileError("the board count " + std::to_string(pcbCount) + " is larger than the " + std::to_string(n) +
                         " lines");
    PcbTable t = PcbTable::FromLineSource(std::move(curName), pcbCount, n,
                                          [&]() -> std::string_view {
                                            const std::string_view line = in.ReadStringInto(scratch, &u);
                                            all &= u;
                                            return line;
                                          },
                                          file);
    if (unicode) *unicode = all;
    return t;
  });
}

OpenedJobFiles OpenJobFiles(const std::filesystem::path& jobPath, int machineType, const JobFileNames& names) {
  FinishInterruptedSave(jobPath);
  OpenedJobFiles o;
  bool unicode = true;
  o.table = ParseFileKept(jobPath, [&](std::span<const uint8_t> b) { return ParseJobTable(b, names.job, &unicode); },
                          o.bytes.job);
  auto side = [&](const std::filesystem::path& p, std::optional<FileBytes>& kept, auto parse) {
    FileBytes bytes;
    auto lines = ParseFileKept(p, parse, bytes);
    kept = std::move(bytes);
    return lines;
  };
  auto rows = [&](std::span<const uint8_t> b) {
    return Parse(b, [&](ArchiveReader& in) {
      uint32_t n = ReadCount(in, "row");
      return ReadStrings(in, n, &unicode);
    });
  };
  auto dis = SideFilePath(jobPath, ".dis");
  if (IsFile(dis)) o.sides.dispenseLines = side(dis, o.bytes.dispense, rows);
  if (machineType == kMachineDrill) {
    auto drill = SideFilePath(jobPath, ".drill");
    if (IsFile(drill)) o.sides.drillLines = side(drill, o.bytes.drill, rows);
  }
  if (machineType == kMachineLampDispenser) {
    auto txt = SideFilePath(jobPath, ".txt");
    if (IsFile(txt))
      o.sides.lampRows = side(txt, o.bytes.lamp, [&](std::span<const uint8_t> b) {
        return Parse(b, [&](ArchiveReader& in) { return ReadStrings(in, kLampRowCount, &unicode); });
      });
  }
  o.unicode = unicode;
  return o;
}

JobFileContent ReadJobFiles(const std::filesystem::path& jobPath, int machineType) {
  // A save that was interrupted is completed or undone first.
  FinishInterruptedSave(jobPath);
  JobFileContent c = ParseFile(jobPath, ParseJobFile);
  auto dis = SideFilePath(jobPath, ".dis");
  if (IsFile(dis)) c.dispenseLines = ParseFile(dis, ParseRowFile);
  if (machineType == kMachineDrill) {
    auto drill = SideFilePath(jobPath, ".drill");
    if (IsFile(drill)) c.drillLines = ParseFile(drill, ParseRowFile);
  }
  if (machineType == kMachineLampDispenser) {
    auto txt = SideFilePath(jobPath, ".txt");
    if (IsFile(txt)) c.lampRows = ParseFile(txt, ParseLampFile);
  }
  return c;
}

FileBytes EncodeJobTable(const PcbTable& t) {
  const size_t lines = t.LineCount();
  // Every line costs at most its header and two bytes per UTF-8 byte.
  const size_t bound = smt::platform::ArchiveStringBound(t.m_strCurPcbName.size()) + 8 + 10 * lines +
                       2 * t.LineBytesBound();
  // A job file runs to tens of megabytes: a large block (huge pages, see
  // platform/LargeBlock.h) is not waited on for a fault every few lines.
  std::shared_ptr<uint8_t[]> buffer(smt::platform::NewByteBlock(bound));
  uint8_t* const out = buffer.get();
  size_t at = smt::platform::PutArchiveString(t.m_strCurPcbName, out);
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(v >> (8 * i));
  };
  u32(static_cast<uint32_t>(t.Count()));
  u32(static_cast<uint32_t>(lines));
  // The lines of ForEachLine, the placements written straight into the
  // buffer.
  std::string line;
  for (const auto& r : t.m_Records) {
    at += smt::platform::PutArchiveString(PcbHeaderLine(r), out + at);
    for (int row = 0; row < r.m_nRows; ++row) {
      line.clear();
      AppendGridLine(line, r, row);
      at += smt::platform::PutArchiveString(line, out + at);
    }
    for (const auto& p : r.m_Parts) at += PutStoredPlacement(p, out + at);
  }
  return FileBytes(std::shared_ptr<const uint8_t[]>(std::move(buffer)), at);
}

JobFileBytes EncodeJobFiles(const JobFileContent& c, int machineType) {
  JobFileBytes f;
  f.job = FileBytes(EncodeJobFile(c));
  if (c.dispenseLines && !c.dispenseLines->empty()) f.dispense = FileBytes(EncodeRowFile(*c.dispenseLines));
  if (machineType == kMachineDrill && c.drillLines && !c.drillLines->empty())
    f.drill = FileBytes(EncodeRowFile(*c.drillLines));
  if (machineType == kMachineLampDispenser && c.lampRows) f.lamp = FileBytes(EncodeLampFile(*c.lampRows));
  return f;
}

void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileContent& c, int machineType) {
  WriteJobFiles(jobPath, EncodeJobFiles(c, machineType), machineType);
}

void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileBytes& files, int machineType) {
  FinishInterruptedSave(jobPath);
  // What goes where: each file put in place from its new bytes, or removed.
  struct Item {
    std::filesystem::path path;
    std::span<const uint8_t> bytes;
    bool put;
  };
  std::vector<Item> items;
  items.push_back({jobPath, files.job.bytes(), true});
  auto dis = SideFilePath(jobPath, ".dis");
  if (!dis.empty()) {
    if (files.dispense) items.push_back({dis, files.dispense->bytes(), true});
    else if (IsFile(dis)) items.push_back({dis, {}, false});
  }
  if (machineType == kMachineDrill) {
    auto drill = SideFilePath(jobPath, ".drill");
    if (!drill.empty()) {
      if (files.drill) items.push_back({drill, files.drill->bytes(), true});
      else if (IsFile(drill)) items.push_back({drill, {}, false});
    }
  }
  if (machineType == kMachineLampDispenser && files.lamp) {
    auto txt = SideFilePath(jobPath, ".txt");
    if (!txt.empty()) items.push_back({txt, files.lamp->bytes(), true});
  }
  // One file alone is replaced by its own atomic write.
  if (items.size() == 1) {
    WriteOrThrow(jobPath, items[0].bytes);
    return;
  }
  const std::filesystem::path dir = jobPath.parent_path();
  std::vector<JournalStep> steps;
  auto tempOf = [](const std::filesystem::path& p) { return smt::platform::TemporaryPathOf(p); };
  const std::filesystem::path journal = JobJournalPath(jobPath);
  bool journalStarted = false;
  try {
    {
      // Every new file written first, then all of them synced.
      std::vector<std::pair<std::filesystem::path, std::unique_ptr<PendingFile>>> pending;
      auto written = [&](const std::filesystem::path& target, auto step) {
        try {
          step();
        } catch (const std::exception& e) {
          throw JobFileError("\"" + target.string() + "\": cannot be written (" + e.what() + ")");
        }
      };
      for (const auto& it : items) {
        if (it.put)
          written(it.path, [&] { pending.emplace_back(it.path, std::make_unique<PendingFile>(tempOf(it.path), it.bytes)); });
        steps.push_back({it.put, it.path.filename().string(), it.put ? tempOf(it.path).filename().string() : ""});
      }
      for (auto& [target, file] : pending) written(target, [&] { file->Sync(); });
    }
    smt::platform::SyncDirectory(dir);
    // The save happens here, when the journal is whole on the disk. It is
    // written in place: a journal that is not whole is never followed.
    journalStarted = true;
    try {
      const std::vector<uint8_t> text = EncodeJournal(steps);
      PendingFile(journal, text).Sync();
    } catch (const std::exception& e) {
      throw JobFileError("\"" + journal.string() + "\": cannot be written (" + e.what() + ")");
    }
    smt::platform::SyncDirectory(dir);
  } catch (...) {
    // Not saved: the old files are untouched; the new ones go.
    std::error_code ec;
    if (journalStarted) std::filesystem::remove(journal, ec);
    for (const auto& it : items)
      if (it.put && std::filesystem::is_regular_file(tempOf(it.path), ec)) std::filesystem::remove(tempOf(it.path), ec);
    throw;
  }
  // Saved: a failure from here on is completed from the journal at the next
  // open or save, so it does not make the save a failure.
  try {
    ApplyJournal(dir, steps);
    std::error_code ec;
    std::filesystem::remove(JobJournalPath(jobPath), ec);
  } catch (const JobFileError& e) {
    CLogFile::Instance().Write(true, "job saved; putting its files in place is finished at the next open: %s",
                               e.what());
  }
}

}  // namespace smt::job
