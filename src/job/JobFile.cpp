#include "job/JobFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "core/LogFile.h"
#include "job/JobFileError.h"
#include "platform/ContentChecksum.h"
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
// temporary name "<file>.tmp<pid>" and the journal "<job>.journal" that
// names each file to put in place (from which temporary, with the bytes'
// size and checksum) or to remove. All of them and the directory are then
// synced at once (one wait for the disk rather than one after another), and
// only then are the renames and removals done, the directory synced again
// and the journal deleted.
//
// A journal is followed only when it is whole and every file it puts is on
// the disk as it was written: its temporary, or the target itself once the
// rename was done, has the recorded size and checksum. A save interrupted
// before its files all reached the disk therefore leaves the old set (its
// temporaries go at the next open or save), and no rename of it was done,
// since renames wait for the sync; one interrupted after is completed at
// the next open or save.
//
// A journal of the older form (no sizes or checksums) was written only after
// its temporaries were synced, and is followed when it is whole.

constexpr std::string_view kJournalHeadUnchecked = "SMT job save journal 1";
constexpr std::string_view kJournalHead = "SMT job save journal 2";

struct JournalStep {
  bool put = true;   // false: remove the file
  std::string name;  // file name in the job's directory
  std::string from;  // put: the temporary's name in the same directory
  // put: the bytes the file must hold (recorded from the newer form on)
  bool checked = false;
  uint64_t size = 0;
  uint64_t checksum = 0;
};

std::vector<uint8_t> EncodeJournal(const std::vector<JournalStep>& steps) {
  std::string text(kJournalHead);
  text += '\n';
  char hex[17];
  for (const auto& s : steps) {
    if (!s.put) {
      text += "del\t" + s.name + "\n";
      continue;
    }
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(s.checksum));
    text += "put\t" + s.name + "\t" + s.from + "\t" + std::to_string(s.size) + "\t" + hex + "\n";
  }
  text += "end\n";
  return {text.begin(), text.end()};
}

bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// The number at the end of `line` after its last tab (the tab and the
// number are cut off), or false.
bool TakeLastNumber(std::string& line, int base, uint64_t& value) {
  const size_t tab = line.rfind('\t');
  if (tab == std::string::npos) return false;
  const char* first = line.data() + tab + 1;
  const char* last = line.data() + line.size();
  const auto [end, ec] = std::from_chars(first, last, value, base);
  if (first == last || ec != std::errc() || end != last) return false;
  line.resize(tab);
  return true;
}

// False when the journal is not a whole one (it is then not followed).
bool ParseJournal(const std::vector<uint8_t>& bytes, std::vector<JournalStep>& steps) {
  const std::string text(bytes.begin(), bytes.end());
  size_t at = 0;
  bool first = true, ended = false, checked = false;
  while (at < text.size()) {
    const size_t nl = text.find('\n', at);
    if (nl == std::string::npos) return false;
    std::string line = text.substr(at, nl - at);
    at = nl + 1;
    if (first) {
      if (line == kJournalHead) checked = true;
      else if (line != kJournalHeadUnchecked) return false;
      first = false;
      continue;
    }
    if (line == "end") {
      ended = true;
      break;
    }
    JournalStep step;
    if (line.compare(0, 4, "put\t") == 0) {
      if (checked) {
        step.checked = true;
        if (!TakeLastNumber(line, 16, step.checksum) || !TakeLastNumber(line, 10, step.size)) return false;
      }
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

// The file holds exactly `size` bytes with `checksum`.
bool Holds(const std::filesystem::path& p, uint64_t size, uint64_t checksum) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec) || std::filesystem::file_size(p, ec) != size || ec) return false;
  try {
    const smt::platform::FileBuffer b = smt::platform::ReadFileBuffer(p);
    return b.size() == size && smt::platform::ContentChecksum::Of(b.bytes()) == checksum;
  } catch (const std::exception&) {
    return false;
  }
}

// Every file the journal puts is on the disk as the save wrote it.
bool SaveReachedDisk(const std::filesystem::path& dir, const std::vector<JournalStep>& steps) {
  for (const auto& s : steps) {
    if (!s.put || !s.checked) continue;
    std::error_code ec;
    const std::filesystem::path from = dir / s.from;
    // Renamed already when the journal was followed in part before.
    const std::filesystem::path& holder = std::filesystem::exists(from, ec) ? from : dir / s.name;
    if (!Holds(holder, s.size, s.checksum)) return false;
  }
  return true;
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
// together and the syncs that follow wait for all of them at the same time.
class PendingFile {
 public:
  // `target` is the file the refusal names when this one cannot be written.
  PendingFile(std::filesystem::path path, std::filesystem::path target, std::span<const uint8_t> bytes)
      : path_(std::move(path)), target_(std::move(target)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) Refuse("cannot create \"" + path_.string() + "\": " + std::strerror(errno));
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
  // Waits until the bytes and the size are on the disk (a new file: its
  // times are of no use to anyone).
  void Sync() {
    if (::fdatasync(fd_) != 0) Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail(errno);
  }

 private:
  [[noreturn]] void Fail(int e) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
    Refuse("cannot write \"" + path_.string() + "\": " + std::strerror(e));
  }
  [[noreturn]] void Refuse(const std::string& why) const {
    throw JobFileError("\"" + target_.string() + "\": cannot be written (" + why + ")");
  }
  std::filesystem::path path_, target_;
  int fd_ = -1;
};

// Syncs every file and then-or-meanwhile the directory that holds them, all
// at the same time: the disk commits them in one go instead of once for each
// file in turn. Throws the first refusal once every sync has ended.
void SyncTogether(std::vector<std::unique_ptr<PendingFile>>& files, const std::filesystem::path& dir) {
  std::vector<std::exception_ptr> failed(files.size());
  {
    std::vector<std::jthread> helpers;
    helpers.reserve(files.size());
    for (size_t i = 1; i < files.size(); ++i)
      helpers.emplace_back([&, i] {
        try {
          files[i]->Sync();
        } catch (...) {
          failed[i] = std::current_exception();
        }
      });
    helpers.emplace_back([&] { smt::platform::SyncDirectory(dir); });
    try {
      if (!files.empty()) files[0]->Sync();
    } catch (...) {
      failed[0] = std::current_exception();
    }
  }  // every helper joined here: each sync ends by itself
  for (const auto& f : failed)
    if (f) std::rethrow_exception(f);
}

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
    // A journal that is not whole, or whose files did not all reach the
    // disk, was never committed: the old set stays.
    if (ParseJournal(bytes, steps) && SaveReachedDisk(dir, steps)) ApplyJournal(dir, steps);
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
  const std::filesystem::path journal = JobJournalPath(jobPath);
  auto tempOf = [](const std::filesystem::path& p) { return smt::platform::TemporaryPathOf(p); };
  std::vector<JournalStep> steps;
  try {
    // Every new file written and its writeback started, then the journal
    // that names them; then all of them synced together.
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const auto& it : items) {
      JournalStep step;
      step.put = it.put;
      step.name = it.path.filename().string();
      if (it.put) {
        const std::filesystem::path temp = tempOf(it.path);
        pending.push_back(std::make_unique<PendingFile>(temp, it.path, it.bytes));
        step.from = temp.filename().string();
        step.checked = true;
        step.size = it.bytes.size();
        step.checksum = smt::platform::ContentChecksum::Of(it.bytes);
      }
      steps.push_back(std::move(step));
    }
    pending.push_back(std::make_unique<PendingFile>(journal, journal, EncodeJournal(steps)));
    // The save happens here, when the files and the journal are on the disk.
    SyncTogether(pending, dir);
  } catch (...) {
    // Not saved: the old files are untouched (nothing was renamed); the new
    // ones and the journal go.
    std::error_code ec;
    std::filesystem::remove(journal, ec);
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
