#pragma once
// The eight library list files of the program directory and their holders:
// feeder table lines, strip rows, speed templates (with their leading
// speed-use line), cameras, nozzles, packages, marks and the drop-down lists.
// Saved as main file and identical backup in "ConfigBackup". The camera
// table is held as typed rows, read when its file is read and written only
// when it is saved. The machine owns its lists (LibraryLists::Of): the main
// frame loads and saves them, the dialogs and the shell's wiring read and
// set the machine's.
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "vision/CameraTable.h"

namespace smt {
class Machine;
}

namespace smt::library {

enum class ListFileId { Feed, Strip, Speed, Camera, Nozzle, Pack, Mark, DropDown };
inline constexpr int kListFileCount = 8;

struct ListFileInfo {
  ListFileId id;
  const char* name;
  bool hasLeading;
};
const std::array<ListFileInfo, kListFileCount>& ListFiles();

struct LibraryLists {
  // The lists of `machine` (empty until loaded; kept for the machine's life).
  static LibraryLists& Of(smt::Machine& machine);

  std::vector<std::string> feedLines;       // the feeder list file
  std::vector<std::string> stripRows;       // m_arrStripRows
  std::string speedUsageLine;               // m_strSpeedUsageLine
  std::vector<std::string> speedRows;       // m_arrSpeedRows
  std::vector<smt::vision::CameraRow> cameraRows;  // the camera table (typed rows)
  std::vector<std::string> nozzleRows;      // m_arrNozzleRows
  std::vector<std::string> packRows;        // the package list file
  std::vector<std::string> markRows;        // the mark list file
  std::vector<std::string> dropDownLists;   // the drop-down list file
  // Lists that came from a damaged file (the file could not be read whole,
  // or its owner skipped lines of it): their backup copy in "ConfigBackup"
  // is never replaced by them.
  std::array<bool, kListFileCount> fromDamagedFile{};
  void MarkDamaged(ListFileId id) { fromDamagedFile[static_cast<size_t>(id)] = true; }
  bool FromDamagedFile(ListFileId id) const { return fromDamagedFile[static_cast<size_t>(id)]; }

  // The rows of list `id` as its file holds them, and the list taken from
  // such rows: the edge where the files are read and written (the camera
  // table is read and written through its own reader and writer; the other
  // lists are kept as the texts they are).
  std::vector<std::string> RowTexts(ListFileId id) const;
  void SetRowTexts(ListFileId id, std::vector<std::string> rows);

 private:
  // The holder of a list kept as texts (nullptr for the camera table).
  std::vector<std::string>* TextRows(ListFileId id);
  const std::vector<std::string>* TextRows(ListFileId id) const;
};

// One file that could not be loaded: the list stays empty, the operator is
// told, and a damaged file is moved aside so the next save cannot destroy it.
// A line of a list that could not be read (line > 0): the line is kept in
// the list as the file held it and written back unchanged, nothing uses it,
// and a copy of the file as it was is kept beside it.
struct ListLoadProblem {
  std::string file;        // file name
  std::string reason;      // what was wrong
  std::string keptAsidePath;  // where the damaged file (or its copy) now is (empty when missing)
  int line = 0;            // 1-based line (row) of a line that could not be read; 0: the whole file
  std::string field;       // the field of that line that could not be read
};

// Loads all eight files from `appDir` into `lists` (each holder replaced).
// A missing file gives an empty list; a short or inconsistent file gives an
// empty list and is renamed "<name>.damaged-<time>". The number cells of the
// package, mark, nozzle and drop-down lists are read through their row
// readers: each row that cannot be read is one problem naming the file, the
// line and the field; the list keeps the row as it was, is marked as from a
// damaged file (its backup stays) and a copy of the file is kept beside it.
// Returns the problems.
std::vector<ListLoadProblem> LoadLibraryLists(const std::filesystem::path& appDir, LibraryLists& lists);

// Writes all eight files into `appDir` and "<appDir>/ConfigBackup" as one
// set (see platform/FileSet.h): a save interrupted at any moment leaves all
// the files of the old save or all of the new one. A list that came from a
// damaged file leaves its backup as it is. Throws platform::FileError naming
// the file that could not be written; the old set then stays whole.
void SaveLibraryLists(const std::filesystem::path& appDir, const LibraryLists& lists);

// The set's journal, and the completion (or undoing) of an interrupted save
// that LoadLibraryLists and SaveLibraryLists do first.
std::filesystem::path LibraryListsJournal(const std::filesystem::path& appDir);
void FinishLibraryListsSave(const std::filesystem::path& appDir);

// The text shown to the operator for load problems.
std::string DescribeListProblems(const std::vector<ListLoadProblem>& problems);

}  // namespace smt::library
