#pragma once
// The job file ".smt" and its side files ".dis" (dispensing rows), ".drill"
// (drill rows, drilling machine) and ".txt" (lamp point rows, LED-board
// dispensing machine). Every text is an archive string, every count a
// 32-bit little-endian integer; there is no header and no version.
//
// Reading parses whole files and checks every count against the bytes that
// are there; writing goes through a temporary file renamed into place.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "job/JobFileBytes.h"
#include "job/PcbTable.h"

namespace smt::job {

inline constexpr int kLampRowCount = 20;
inline constexpr int kLampCellCount = 40;
inline constexpr int kMachineLampDispenser = 4;
inline constexpr int kMachineDrill = 9;

struct JobFileContent {
  std::string curPcbName;
  uint32_t pcbCount = 0;
  std::vector<std::string> pcbLines;
  // Side files: present when read from (or to be written to) their file.
  std::optional<std::vector<std::string>> dispenseLines;
  std::optional<std::vector<std::string>> drillLines;
  std::optional<std::vector<std::string>> lampRows;  // exactly 20 when present
  bool operator==(const JobFileContent&) const = default;
};

// The names a refusal gives the job file and its side files.
struct JobFileNames {
  std::string job = "job file";
  std::string dispense = "dispensing file";
  std::string drill = "drill file";
  std::string lamp = "point table file";
  // The file names of a job at `jobPath` and its side files.
  static JobFileNames Of(const std::filesystem::path& jobPath);
};

// The side file beside a job file: the job file's own ".smt" extension
// replaced by `ext` (".dis", ".drill", ".txt"). Empty when the file name
// does not end in ".smt" (exact case) or is nothing but the extension.
std::filesystem::path SideFilePath(const std::filesystem::path& jobPath, std::string_view ext);

// Byte forms. The parsers throw JobFileError (short data, a count larger
// than the bytes can hold, bytes after the last item).
std::vector<uint8_t> EncodeJobFile(const JobFileContent& c);
JobFileContent ParseJobFile(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodeRowFile(const std::vector<std::string>& lines);
std::vector<std::string> ParseRowFile(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodeLampFile(const std::vector<std::string>& rows);
std::vector<std::string> ParseLampFile(std::span<const uint8_t> bytes);

// Reads the job file and the side files the machine type uses (a side file
// that is not there is left out). Throws JobFileError naming the file.
JobFileContent ReadJobFiles(const std::filesystem::path& jobPath, int machineType);

// What opening a job reads: the PCB table parsed straight from the job
// file's bytes (no copy of its lines), the side files' lines (in `sides`;
// its board fields stay empty) and the bytes of every file read.
struct OpenedJobFiles {
  PcbTable table;
  JobFileContent sides;
  JobFileBytes bytes;
  // Every text was in the Unicode form; false for an older 8-bit file,
  // which a save writes in the Unicode form (other bytes, same job).
  bool unicode = true;
};
// The same files as ReadJobFiles, the same checks, and the cells of the
// board table checked as PcbTable::FromLines does. Throws JobFileError
// naming the file ("<path>" is damaged or not a job file: ...).
OpenedJobFiles OpenJobFiles(const std::filesystem::path& jobPath, int machineType, const JobFileNames& names);
PcbTable ParseJobTable(std::span<const uint8_t> bytes, std::string_view file = "job file", bool* unicode = nullptr);

class SaveRoom;

// The files a save of `c` writes for the machine type: ".dis" when
// dispenseLines holds rows, ".drill" (type 9) when drillLines holds rows,
// ".txt" (type 4) when lampRows is present. With `dispenseRoom` the
// dispensing file is formatted into a block from it (see SaveRoom).
JobFileBytes EncodeJobFiles(const JobFileContent& c, int machineType, SaveRoom* dispenseRoom = nullptr);
// The job file of a PCB table formatted straight into its bytes (the same
// bytes as EncodeJobFile of its lines): one buffer, no copy of the lines.
FileBytes EncodeJobTable(const PcbTable& table);

// The memory a job's saves format the job file into, kept from one save to
// the next: a fresh block of tens of megabytes costs a fault (and the
// clearing of a page) for every 2 MiB written. It holds at most two blocks
// (the one the last saved files keep and a free one) and never hands out a
// block a file still holds.
//
// It also lets go of the files a save replaced: the kernel frees a file's
// cached pages and its blocks when its last name and its last descriptor
// are gone, a few milliseconds for a job file of some megabytes. A save
// with a room keeps each replaced file open across its rename and hands
// the descriptors here, where a thread of the room's own closes them, so
// the operator does not wait for it. The next save, or the room's end,
// waits for that thread.
class SaveRoom {
 public:
  SaveRoom() = default;
  SaveRoom(SaveRoom&&) noexcept = default;
  SaveRoom& operator=(SaveRoom&& other) noexcept;
  ~SaveRoom();

  // A block of at least `bytes` (its size in `size` when given).
  std::shared_ptr<uint8_t[]> Take(size_t bytes, size_t* size = nullptr);

  // Closes `fds` on the room's thread (after the ones handed before).
  void CloseLater(std::vector<int> fds);

 private:
  struct Block {
    std::shared_ptr<uint8_t[]> data;
    size_t size = 0;
  };
  Block blocks_[2];
  std::thread closer_;
};

// The same, handing the finished bytes to `piece` in order as they are
// formatted (a megabyte or so at a time; the last piece may be smaller), in
// a block from `room` when one is given. A large table is formatted in
// stretches on several threads when cores are idle; `formatters` (> 0) sets
// how many instead.
FileBytes EncodeJobTable(const PcbTable& table, const std::function<void(std::span<const uint8_t>)>& piece,
                         SaveRoom* room = nullptr, unsigned formatters = 0);

// The journal of a save of several files ("<job>.journal").
std::filesystem::path JobJournalPath(const std::filesystem::path& jobPath);
// Completes a save that was interrupted after it was committed, or removes
// what one interrupted before left (its new files, stale temporaries).
// Throws JobFileError when a committed save cannot be completed.
void FinishInterruptedSave(const std::filesystem::path& jobPath);

// Writes the job file and the side files of the machine type: ".dis" when
// dispenseLines holds rows, ".drill" (type 9) when drillLines holds rows,
// ".txt" (type 4) when lampRows is present. A dispensing or drill side file
// whose list is empty is removed, so old rows do not come back with the
// job. The files change together: after a failure or a kill at any moment
// the job opens as the old set or the new set, never a mix (several files
// go through a journal, see FinishInterruptedSave). Throws JobFileError
// naming the file when the save did not happen; the old files then stay.
void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileContent& c, int machineType);
// The same with the files already encoded.
void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileBytes& files, int machineType);
// The same with the job file formatted from `table` on the way: its first
// bytes are on their way to the disk while the rest is still being
// formatted. `sides` holds the side files (its job file is not used).
// Returns the files as written.
JobFileBytes WriteJobFiles(const std::filesystem::path& jobPath, const PcbTable& table, JobFileBytes sides,
                           int machineType, SaveRoom* room = nullptr);

}  // namespace smt::job
