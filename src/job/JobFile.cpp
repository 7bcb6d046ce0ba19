#include "job/JobFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
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
                       std::to_string(in.remaining()) + " bytes that follow",
                       JobFileFault::CountTooLarge);
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
                       std::to_string(in.offset()),
                       JobFileFault::ExtraBytes);
}

template <class F>
auto Parse(std::span<const uint8_t> bytes, F f) {
  try {
    ArchiveReader in(bytes);
    auto result = f(in);
    ExpectEnd(in);
    return result;
  } catch (const ArchiveError& e) {
    throw JobFileError(e.what(), bytes.empty() ? JobFileFault::Empty : JobFileFault::EndsEarly);
  }
}

std::vector<uint8_t> ReadFileOrThrow(const std::filesystem::path& p) {
  try {
    return smt::platform::ReadWholeFile(p);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be read (" + e.what() + ")", JobFileFault::Unreadable);
  }
}

template <class F>
auto ParseFile(const std::filesystem::path& p, F f) {
  auto bytes = ReadFileOrThrow(p);
  try {
    return f(std::span<const uint8_t>(bytes));
  } catch (const JobFileError& e) {
    throw JobFileError("\"" + p.string() + "\" is damaged or not a job file: " + e.what(), e.fault());
  }
}

smt::platform::FileBuffer ReadBufferOrThrow(const std::filesystem::path& p) {
  try {
    return smt::platform::ReadFileBuffer(p);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be read (" + e.what() + ")", JobFileFault::Unreadable);
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
    throw JobFileError("\"" + p.string() + "\" is damaged or not a job file: " + e.what(), e.fault());
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

// The files a save replaces or removes, held open from just before their
// rename or removal (see SaveRoom::CloseLater); closed here when they are
// not handed on.
class ReplacedFiles {
 public:
  ReplacedFiles() = default;
  ReplacedFiles(const ReplacedFiles&) = delete;
  ReplacedFiles& operator=(const ReplacedFiles&) = delete;
  ~ReplacedFiles() {
    for (int fd : fds_) ::close(fd);
  }
  // A regular file at `p` is held (nothing else is opened: a FIFO, say,
  // opens without waiting and is closed at once).
  void Hold(const std::filesystem::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return;
    }
    fds_.push_back(fd);
  }
  std::vector<int> Take() { return std::exchange(fds_, {}); }

 private:
  std::vector<int> fds_;
};

// With `held`, each file replaced or removed is held open across it.
void ApplyJournal(const std::filesystem::path& dir, const std::vector<JournalStep>& steps,
                  ReplacedFiles* held = nullptr) {
  for (const auto& s : steps) {
    const std::filesystem::path target = dir / s.name;
    std::error_code ec;
    if (held) held->Hold(target);
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

// A file being written: its bytes are handed to the kernel piece by piece;
// the syncs that follow wait for all the files of a save at the same time.
// A file written as it is formatted (see PieceWriter) has its writeback
// started piece by piece, so that the disk writes while the rest is still
// being formatted and the sync has only the last pieces left to wait for.
class PendingFile {
 public:
  // `target` is the file the refusal names when this one cannot be written.
  PendingFile(std::filesystem::path path, std::filesystem::path target, bool writeBackAsItGoes = false)
      : path_(std::move(path)), target_(std::move(target)), writeBackAsItGoes_(writeBackAsItGoes) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) Refuse("cannot create \"" + path_.string() + "\": " + std::strerror(errno));
  }
  PendingFile(std::filesystem::path path, std::filesystem::path target, std::span<const uint8_t> bytes)
      : PendingFile(std::move(path), std::move(target)) {
    Append(bytes);
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Append(std::span<const uint8_t> bytes) {
    checksum_.Update(bytes);
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
    if (writeBackAsItGoes_) {
      const uint64_t end = checksum_.size();
      (void)::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(end - started_),
                              SYNC_FILE_RANGE_WRITE);
      started_ = end;
    }
#endif
  }
  // The bytes written so far: how many and their checksum.
  uint64_t size() const { return checksum_.size(); }
  uint64_t checksum() const { return checksum_.Value(); }
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
  bool writeBackAsItGoes_ = false;
  smt::platform::ContentChecksum checksum_;
  uint64_t started_ = 0;  // the bytes whose writeback was started
  int fd_ = -1;
};

// Where a job file's bytes go as they are formatted, in order. Drain()
// returns once every piece handed so far is done with (the formatter calls
// it before it lets go of the memory they are in).
class PieceSink {
 public:
  virtual void Put(std::span<const uint8_t> piece) = 0;
  virtual void Drain() {}
  // The formatting failed: what is not written yet is dropped, and this
  // returns once no piece is being read any more.
  virtual void Abandon() noexcept {}

 protected:
  ~PieceSink() = default;
};

// Abandons the sink when the formatting throws, before the memory the
// pieces are in goes (declared after the block it guards).
class AbandonOnThrow {
 public:
  explicit AbandonOnThrow(PieceSink* sink) : sink_(sink), exceptions_(std::uncaught_exceptions()) {}
  AbandonOnThrow(const AbandonOnThrow&) = delete;
  AbandonOnThrow& operator=(const AbandonOnThrow&) = delete;
  ~AbandonOnThrow() {
    if (sink_ && std::uncaught_exceptions() > exceptions_) sink_->Abandon();
  }

 private:
  PieceSink* sink_;
  int exceptions_;
};

// The job file of `t` formatted as EncodeJobTable does, its pieces handed to
// `piece` (when given).
FileBytes EncodeJobTableTo(const PcbTable& t, PieceSink* piece, SaveRoom* room, unsigned formatters = 0);

// Writes a file's pieces on a thread of its own while the formatter goes on:
// the copy into the kernel, the checksum and the start of each piece's
// writeback (which waits whenever the file system is busy committing) are
// off the formatting thread, which only ever waits at the end.
class PieceWriter final : public PieceSink {
 public:
  explicit PieceWriter(PendingFile& file) : file_(file), thread_([this] { Run(); }) {}
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;
  // A writer given up on (the formatting failed) drops what it has not
  // written; the file is removed with the save's other temporaries.
  ~PieceWriter() {
    Abandon();
    if (thread_.joinable()) thread_.join();
  }
  void Abandon() noexcept override {
    {
      std::unique_lock lock(mutex_);
      closing_ = true;
      queue_.clear();
      drained_.wait(lock, [&] { return !busy_; });
    }
    wake_.notify_all();
  }
  void Put(std::span<const uint8_t> piece) override {
    if (piece.empty()) return;
    {
      std::lock_guard lock(mutex_);
      if (failed_) std::rethrow_exception(failed_);
      queue_.push_back(piece);
    }
    wake_.notify_all();
  }
  // Waits until every piece handed so far is written; a refusal of the
  // writing is thrown here.
  void Drain() override {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [&] { return (queue_.empty() && !busy_) || failed_; });
    if (failed_) std::rethrow_exception(failed_);
  }
  // Every piece written (what the thread has not started on yet is
  // written here rather than waited for): the thread ends.
  void Finish() {
    {
      std::unique_lock lock(mutex_);
      closing_ = true;
      for (;;) {
        if (failed_ || (queue_.empty() && !busy_)) break;
        if (!busy_)
          WriteNext(lock);
        else
          drained_.wait(lock);
      }
    }
    wake_.notify_all();
    thread_.join();
    if (failed_) std::rethrow_exception(failed_);
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return (!queue_.empty() && !busy_) || closing_ || failed_; });
      if (closing_ || failed_) return;  // Finish writes what is left
      WriteNext(lock);
    }
  }
  // Writes the first piece waiting (one piece at a time, in order).
  void WriteNext(std::unique_lock<std::mutex>& lock) {
    const std::span<const uint8_t> piece = queue_.front();
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    std::exception_ptr failed;
    try {
      file_.Append(piece);
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    busy_ = false;
    if (failed) {
      failed_ = failed;
      queue_.clear();
    }
    drained_.notify_all();
  }
  PendingFile& file_;
  std::mutex mutex_;
  std::condition_variable wake_, drained_;
  std::deque<std::span<const uint8_t>> queue_;
  bool busy_ = false, closing_ = false;
  std::exception_ptr failed_;
  std::thread thread_;  // last: started once the rest is set up
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
                         std::to_string(n) + " lines", JobFileFault::CountTooLarge);
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
                         " lines", JobFileFault::CountTooLarge);
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

FileBytes EncodeJobTable(const PcbTable& t) { return EncodeJobTable(t, nullptr); }

SaveRoom::~SaveRoom() {
  if (closer_.joinable()) closer_.join();
}

SaveRoom& SaveRoom::operator=(SaveRoom&& other) noexcept {
  if (this != &other) {
    if (closer_.joinable()) closer_.join();
    blocks_[0] = std::move(other.blocks_[0]);
    blocks_[1] = std::move(other.blocks_[1]);
    closer_ = std::move(other.closer_);
  }
  return *this;
}

void SaveRoom::CloseLater(std::vector<int> fds) {
  if (fds.empty()) return;
  // Closing takes a few milliseconds at most: the thread before is done
  // long before the next save gets here.
  if (closer_.joinable()) closer_.join();
  try {
    closer_ = std::thread([fds = std::move(fds)] {
      for (int fd : fds) ::close(fd);
    });
  } catch (const std::system_error&) {
    // No thread to be had: closed here, as a save without a room does.
    for (int fd : fds) ::close(fd);
  }
}

std::shared_ptr<uint8_t[]> SaveRoom::Take(size_t bytes, size_t* size) {
  auto free = [](const Block& b) { return !b.data || b.data.use_count() == 1; };
  // A block no file holds any more, large enough and not far larger.
  for (auto& b : blocks_)
    if (b.data && free(b) && b.size >= bytes && b.size / 2 <= bytes) {
      if (size) *size = b.size;
      return b.data;
    }
  // Otherwise a new one, in place of one no file holds (or of the first,
  // which then lives as long as its file).
  Block* slot = &blocks_[0];
  for (auto& b : blocks_)
    if (free(b)) {
      slot = &b;
      break;
    }
  slot->data.reset();
  slot->data = std::shared_ptr<uint8_t[]>(smt::platform::NewByteBlock(bytes));
  slot->size = bytes;
  if (size) *size = bytes;
  return slot->data;
}

namespace {

// A stretch of a job file's lines for one formatter: the placements
// [from, to) counted over all boards in order, with the head lines (the
// board's header and grid lines) of every board whose first placement
// falls at a count in [from, headsTo).
struct Stretch {
  size_t from = 0, to = 0, headsTo = 0;
  size_t start = 0, bound = 0;  // where it is formatted in the buffer, and its room
  size_t end = 0;               // where its bytes end
};

// Calls head(record) and part(placement) for the lines of `s`, in order.
template <class Head, class Part>
void WalkStretch(const PcbTable& t, const Stretch& s, Head head, Part part) {
  size_t first = 0;  // the count of the board's first placement
  for (const auto& r : t.m_Records) {
    const size_t n = r.m_Parts.size();
    if (first >= s.headsTo) break;
    if (first >= s.from) head(r);
    const size_t lo = std::max(s.from, first), hi = std::min(s.to, first + n);
    for (size_t i = lo; i < hi; ++i) part(r.m_Parts[i - first]);
    first += n;
  }
}

size_t BoardHeadBound(const PcbRecord& r) {
  size_t n = smt::platform::ArchiveStringBound(PcbHeaderLine(r).size());
  const size_t cells = static_cast<size_t>(r.m_nCols < 0 ? 0 : r.m_nCols) + 1;
  for (int row = 0; row < r.m_nRows; ++row) {
    size_t bytes = cells;
    if (static_cast<size_t>(row) < r.m_PanelGrid.size())
      for (const auto& c : r.m_PanelGrid[static_cast<size_t>(row)]) bytes += c.size();
    n += smt::platform::ArchiveStringBound(bytes);
  }
  return n;
}

size_t PutBoardHead(const PcbRecord& r, uint8_t* out, std::string& line) {
  size_t at = smt::platform::PutArchiveString(PcbHeaderLine(r), out);
  for (int row = 0; row < r.m_nRows; ++row) {
    line.clear();
    AppendGridLine(line, r, row);
    at += smt::platform::PutArchiveString(line, out + at);
  }
  return at;
}

// Formats the lines of `s` at out + s.start, handing the finished bytes to
// `hand` now and then (with the offset they end at).
template <class Hand>
void FormatStretch(const PcbTable& t, Stretch& s, uint8_t* out, Hand hand) {
  size_t at = s.start, n = 0;
  std::string line;
  WalkStretch(
      t, s, [&](const PcbRecord& r) { at += PutBoardHead(r, out + at, line); },
      [&](const PlacementRecord& p) {
        at += PutStoredPlacement(p, out + at);
        if (++n % 1024 == 0) hand(at);
      });
  s.end = at;
}

// Runs work(0) here and work(1) .. work(count - 1) on threads of their own;
// returns when all have ended, with the first exception any of them threw.
template <class Work>
void RunSideBySide(size_t count, Work work) {
  std::vector<std::exception_ptr> failed(count);
  {
    std::vector<std::jthread> helpers;
    for (size_t k = 1; k < count; ++k)
      helpers.emplace_back([&, k] {
        try {
          work(k);
        } catch (...) {
          failed[k] = std::current_exception();
        }
      });
    try {
      work(0);
    } catch (...) {
      failed[0] = std::current_exception();
    }
  }  // every helper joined here
  for (const auto& f : failed)
    if (f) std::rethrow_exception(f);
}

// A job file is formatted on the calling thread unless it has at least this
// many placements for each formatter and that many cores are idle: a thread
// that has to wait for a core, or a table so small that starting threads
// and moving their stretches together costs what they save, only loses.
// (One thread formats some 10 million placements a second.)
constexpr size_t kPlacementsPerFormatter = 200000;
constexpr unsigned kMostFormatters = 4;

// The cores no other work is using right now, going by the load average of
// the last minute (all of them when it cannot be read).
unsigned IdleCores() {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  double load[1];
  if (::getloadavg(load, 1) != 1) return cores;
  const double idle = static_cast<double>(cores) - load[0];
  return idle < 1 ? 1u : static_cast<unsigned>(idle);
}

// Room for a placement line: most lines take well under this; a longer one
// makes the block grow.
constexpr size_t kLineRoomGuess = 384;

// The job file formatted on the calling thread straight into one block,
// each finished megabyte handed to `piece` as soon as it is done. The block
// is taken for a guess of the file's size; a line that does not fit what is
// left (checked against its bound, with the record at hand) moves what is
// done to a block twice as large.
FileBytes EncodeJobTableHere(const PcbTable& t, size_t placements, PieceSink* piece, SaveRoom* room) {
  size_t want = smt::platform::ArchiveStringBound(t.m_strCurPcbName.size()) + 8 + placements * kLineRoomGuess;
  for (const auto& r : t.m_Records) want += BoardHeadBound(r);
  size_t cap = want;
  std::shared_ptr<uint8_t[]> buffer =
      room ? room->Take(want, &cap) : std::shared_ptr<uint8_t[]>(smt::platform::NewByteBlock(want));
  const AbandonOnThrow abandon(piece);
  uint8_t* out = buffer.get();
  auto ensure = [&](size_t at, size_t need) {
    if (cap - at >= need) return;
    // The pieces handed so far are in the block about to be let go.
    if (piece) piece->Drain();
    const size_t larger = std::max(2 * cap, at + need + cap / 2);
    std::shared_ptr<uint8_t[]> grown =
        room ? room->Take(larger, &cap) : std::shared_ptr<uint8_t[]>(smt::platform::NewByteBlock(larger));
    if (!room) cap = larger;
    std::memcpy(grown.get(), out, at);
    buffer = std::move(grown);
    out = buffer.get();
  };
  size_t at = smt::platform::PutArchiveString(t.m_strCurPcbName, out);
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(v >> (8 * i));
  };
  u32(static_cast<uint32_t>(t.Count()));
  u32(static_cast<uint32_t>(t.LineCount()));
  size_t handed = 0;
  constexpr size_t kPiece = size_t{1} << 20;
  auto hand = [&](size_t least) {
    if (piece && at - handed >= least) {
      piece->Put(std::span<const uint8_t>(out + handed, at - handed));
      handed = at;
    }
  };
  std::string line;
  for (const auto& r : t.m_Records) {
    ensure(at, BoardHeadBound(r));
    at += PutBoardHead(r, out + at, line);
    for (const auto& p : r.m_Parts) {
      ensure(at, smt::platform::ArchiveStringBound(PlacementLineBound(p)));
      at += PutStoredPlacement(p, out + at);
      hand(kPiece);
    }
  }
  hand(1);
  return FileBytes(std::shared_ptr<const uint8_t[]>(buffer, buffer.get()), at);
}

}  // namespace

namespace {

// A piece function as a sink.
class PieceFunction final : public PieceSink {
 public:
  explicit PieceFunction(const std::function<void(std::span<const uint8_t>)>& f) : f_(f) {}
  void Put(std::span<const uint8_t> piece) override { f_(piece); }

 private:
  const std::function<void(std::span<const uint8_t>)>& f_;
};

}  // namespace

FileBytes EncodeJobTable(const PcbTable& t, const std::function<void(std::span<const uint8_t>)>& piece,
                         SaveRoom* room, unsigned formatters) {
  if (!piece) return EncodeJobTableTo(t, nullptr, room, formatters);
  PieceFunction sink(piece);
  return EncodeJobTableTo(t, &sink, room, formatters);
}

namespace {

FileBytes EncodeJobTableTo(const PcbTable& t, PieceSink* piece, SaveRoom* room, unsigned formatters) {
  size_t placements = 0;
  for (const auto& r : t.m_Records) placements += r.m_Parts.size();
  const size_t count =
      formatters > 0
          ? std::clamp<size_t>(formatters, 1, std::max<size_t>(placements, 1))
          : std::clamp<size_t>(placements / kPlacementsPerFormatter, 1, std::min(IdleCores(), kMostFormatters));
  if (count == 1) return EncodeJobTableHere(t, placements, piece, room);
  // The lines in stretches formatted side by side, each in room of its own
  // in the one buffer; each moves up behind the one before when that is done.
  std::vector<Stretch> stretches(count);
  for (size_t k = 0; k < count; ++k) {
    Stretch& s = stretches[k];
    s.from = placements * k / count;
    s.to = placements * (k + 1) / count;
    s.headsTo = k + 1 == count ? placements + 1 : s.to;
  }
  // Each stretch's room, found side by side too (a pass over every record).
  // Every line costs at most its header and two bytes per UTF-8 byte.
  RunSideBySide(count, [&](size_t k) {
    Stretch& s = stretches[k];
    WalkStretch(
        t, s, [&](const PcbRecord& r) { s.bound += BoardHeadBound(r); },
        [&](const PlacementRecord& p) { s.bound += smt::platform::ArchiveStringBound(PlacementLineBound(p)); });
  });
  size_t bound = smt::platform::ArchiveStringBound(t.m_strCurPcbName.size()) + 8;
  for (auto& s : stretches) {
    s.start = bound;
    bound += s.bound;
  }
  // A job file runs to tens of megabytes: a large block (huge pages, see
  // platform/LargeBlock.h) is not waited on for a fault every few lines; the
  // one of the last save when it is free and large enough.
  std::shared_ptr<uint8_t[]> buffer = room ? room->Take(bound) : std::shared_ptr<uint8_t[]>(smt::platform::NewByteBlock(bound));
  const AbandonOnThrow abandon(piece);
  uint8_t* const out = buffer.get();
  size_t at = smt::platform::PutArchiveString(t.m_strCurPcbName, out);
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at++] = static_cast<uint8_t>(v >> (8 * i));
  };
  u32(static_cast<uint32_t>(t.Count()));
  u32(static_cast<uint32_t>(t.LineCount()));
  // The bytes before the first stretch's room are moved up to meet it.
  const size_t gap = stretches[0].start - at;
  if (gap > 0) {
    std::memmove(out + gap, out, at);
    at += gap;
  }
  size_t first = gap;  // where the file's bytes begin in the buffer
  // The finished bytes go to `piece` a megabyte or so at a time.
  size_t handed = first;
  constexpr size_t kPiece = size_t{1} << 20;
  auto hand = [&](size_t upTo, size_t least) {
    if (piece && upTo - handed >= least) {
      piece->Put(std::span<const uint8_t>(out + handed, upTo - handed));
      handed = upTo;
    }
  };
  std::vector<std::exception_ptr> failed(count);
  {
    std::vector<std::jthread> formatters;
    for (size_t k = 1; k < count; ++k)
      formatters.emplace_back([&, k] {
        try {
          FormatStretch(t, stretches[k], out, [](size_t) {});
        } catch (...) {
          failed[k] = std::current_exception();
        }
      });
    try {
      FormatStretch(t, stretches[0], out, [&](size_t upTo) { hand(upTo, kPiece); });
      at = stretches[0].end;
      hand(at, 1);
      for (size_t k = 1; k < count; ++k) {
        formatters[k - 1].join();
        if (failed[k]) break;
        const Stretch& s = stretches[k];
        std::memmove(out + at, out + s.start, s.end - s.start);
        at += s.end - s.start;
        hand(at, 1);
      }
    } catch (...) {
      failed[0] = std::current_exception();
    }
  }  // every formatter joined here
  for (const auto& f : failed)
    if (f) std::rethrow_exception(f);
  return FileBytes(std::shared_ptr<const uint8_t[]>(buffer, buffer.get() + first), at - first);
}

// The same bytes as EncodeRowFile, in a block from `room`.
FileBytes EncodeRowFileIn(const std::vector<std::string>& lines, SaveRoom& room) {
  std::shared_ptr<uint8_t[]> block = room.Take(4 + StringsBound(lines));
  uint8_t* const out = block.get();
  const auto n = static_cast<uint32_t>(lines.size());
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(n >> (8 * i));
  size_t at = 4;
  for (const auto& l : lines) at += smt::platform::PutArchiveString(l, out + at);
  return FileBytes(std::shared_ptr<const uint8_t[]>(std::move(block)), at);
}

}  // namespace

JobFileBytes EncodeJobFiles(const JobFileContent& c, int machineType, SaveRoom* dispenseRoom) {
  JobFileBytes f;
  f.job = FileBytes(EncodeJobFile(c));
  if (c.dispenseLines && !c.dispenseLines->empty())
    f.dispense = dispenseRoom ? EncodeRowFileIn(*c.dispenseLines, *dispenseRoom)
                              : FileBytes(EncodeRowFile(*c.dispenseLines));
  if (machineType == kMachineDrill && c.drillLines && !c.drillLines->empty())
    f.drill = FileBytes(EncodeRowFile(*c.drillLines));
  if (machineType == kMachineLampDispenser && c.lampRows) f.lamp = FileBytes(EncodeLampFile(*c.lampRows));
  return f;
}

void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileContent& c, int machineType) {
  WriteJobFiles(jobPath, EncodeJobFiles(c, machineType), machineType);
}

namespace {

// The save of WriteJobFiles; with `table` the job file is formatted from it
// on the way (into `formatted`) instead of taken from `files`.
void SaveFileSet(const std::filesystem::path& jobPath, const JobFileBytes& files, int machineType,
                 const PcbTable* table, SaveRoom* room, FileBytes* formatted) {
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
  const std::filesystem::path dir = jobPath.parent_path();
  const std::filesystem::path journal = JobJournalPath(jobPath);
  auto tempOf = [](const std::filesystem::path& p) { return smt::platform::TemporaryPathOf(p); };
  std::vector<JournalStep> steps;
  // With a room, the files replaced are let go of on its thread.
  ReplacedFiles replaced;
  try {
    // Every new file handed to the kernel (the job file as it
    // is formatted), then the journal that names them; then all of them
    // synced together.
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const auto& it : items) {
      JournalStep step;
      step.put = it.put;
      step.name = it.path.filename().string();
      if (it.put) {
        const std::filesystem::path temp = tempOf(it.path);
        const bool formatHere = table && it.path == jobPath;
        auto file = std::make_unique<PendingFile>(temp, it.path, formatHere);
        if (formatHere) {
          PieceWriter writer(*file);
          *formatted = EncodeJobTableTo(*table, &writer, room);
          writer.Finish();
        } else {
          file->Append(it.bytes);
        }
        step.from = temp.filename().string();
        step.checked = true;
        step.size = file->size();
        step.checksum = file->checksum();
        pending.push_back(std::move(file));
      }
      steps.push_back(std::move(step));
    }
    if (items.size() == 1) {
      // One file alone is replaced by its temporary, synced and renamed.
      pending[0]->Sync();
      if (room) replaced.Hold(jobPath);
      std::error_code ec;
      std::filesystem::rename(tempOf(jobPath), jobPath, ec);
      if (ec) throw JobFileError("\"" + jobPath.string() + "\": cannot be written (cannot replace it: " + ec.message() + ")");
      if (room) room->CloseLater(replaced.Take());
      return;
    }
    pending.push_back(std::make_unique<PendingFile>(journal, journal, EncodeJournal(steps)));
    // The save happens here, when the files and the journal are on the disk.
    SyncTogether(pending, dir);
  } catch (...) {
    // Not saved: the old files are untouched (nothing was renamed); the new
    // ones and the journal go.
    std::error_code ec;
    if (items.size() > 1) std::filesystem::remove(journal, ec);
    for (const auto& it : items)
      if (it.put && std::filesystem::is_regular_file(tempOf(it.path), ec)) std::filesystem::remove(tempOf(it.path), ec);
    throw;
  }
  // Saved: a failure from here on is completed from the journal at the next
  // open or save, so it does not make the save a failure.
  try {
    ApplyJournal(dir, steps, room ? &replaced : nullptr);
    std::error_code ec;
    std::filesystem::remove(journal, ec);
  } catch (const JobFileError& e) {
    CLogFile::Instance().Write(true, "job saved; putting its files in place is finished at the next open: %s",
                               e.what());
  }
  if (room) room->CloseLater(replaced.Take());
}

}  // namespace

void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileBytes& files, int machineType) {
  SaveFileSet(jobPath, files, machineType, nullptr, nullptr, nullptr);
}

JobFileBytes WriteJobFiles(const std::filesystem::path& jobPath, const PcbTable& table, JobFileBytes sides,
                           int machineType, SaveRoom* room) {
  SaveFileSet(jobPath, sides, machineType, &table, room, &sides.job);
  return sides;
}

}  // namespace smt::job
