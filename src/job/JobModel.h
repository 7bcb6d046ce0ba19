#pragma once
// The job as the program holds it while it is open: the PCB table, the
// placement list of the board shown, the dispensing and drill lists, and
// the moves between them and the job files. Plain C++; the part list
// panel's views show these lists and the PCB editor works on the table.
#include <functional>
#include <string>
#include <vector>

#include "job/BoardTransforms.h"
#include "job/JobFile.h"
#include "job/JobRows.h"
#include "job/PcbTable.h"

namespace smt::job {

enum class VisibleList { Placement, Dispense, Drill };

class JobModel {
 public:
  PcbTable pcbs;
  std::vector<ListRow> placementRows;  // the board shown
  std::vector<ListRow> dispenseRows;
  std::vector<ListRow> drillRows;
  // The record whose rows the placement list shows ("" none). Rows are
  // stored back only into this record, so choosing another board never
  // writes one board's rows into another.
  std::string shownPcbName;
  // The stored record of the board the list shows (null: none shown).
  const PcbRecord* ShownRecord() const { return pcbs.Find(shownPcbName); }
  int runSelect = 0;  // the strategy's run mode; 1 and 2 show the dispensing list
  VisibleList visible = VisibleList::Placement;

  // Seams for neighbours. All optional.
  std::function<void(int index, const PcbRecord&)> onLoadCurrentBoard;  // the run's current board
  std::function<void(RowKind)> onRowsChanged;                           // the views refresh
  std::function<void()> onVisibleChanged;
  std::function<std::vector<std::string>()> getLampRows;                // machine type 4
  std::function<void(const std::vector<std::string>&)> setLampRows;

  // Placement list -> the shown record (stored form).
  void StoreShownRows();
  // Shows record `index`: its rows fill the placement list, it becomes
  // the shown board and the run's current board.
  void ShowRecord(int index);
  // Stores the shown rows, then shows the current record (the editor's OK).
  // Returns false when the current name names no record.
  bool ApplyCurrentRecord();
  void ClearPlacementList();

  // Dispensing and drill lists <-> side-file texts.
  std::vector<std::string> StoreDispenseLines() const;
  std::vector<std::string> StoreDrillLines() const;
  void LoadDispenseLines(const std::vector<std::string>& lines);
  void LoadDrillLines(const std::vector<std::string>& lines);

  // The whole job in file form (the shown rows are stored first).
  JobFileContent ToContent(int machineType);
  // The files a save writes, formatted straight from the records (the same
  // bytes as EncodeJobFiles(ToContent(machineType))).
  JobFileBytes EncodeFiles(int machineType);
  // Saves the job to `jobPath` and its side files as WriteJobFiles does
  // (the job file written while it is formatted); returns the files as
  // written, the bytes of EncodeFiles. Throws JobFileError as WriteJobFiles.
  JobFileBytes SaveFiles(const std::filesystem::path& jobPath, int machineType);
  // Replaces the job with the content of files just read. Everything is
  // built first and every number cell checked; on JobFileError (JobCellError
  // naming the file, line and field of a bad cell) the job is left as it was.
  void ApplyContent(const JobFileContent& c, int machineType, const JobFileNames& names = {});
  // The same with the board table already read (OpenJobFiles): `sides`
  // gives the side files' lines; its board fields are not used.
  void ApplyTable(PcbTable table, const JobFileContent& sides, int machineType, const JobFileNames& names = {});
  // Empties the job (a new job).
  void Clear();

  // The PCB editor's list operations, keeping the shown board in step:
  // a paste copies the shown rows too, a rename carries the shown name, and
  // a deleted board is no longer shown (the list keeps its rows).
  PcbOpResult PasteCurrentBoard();
  PcbOpResult RenameCurrentBoard(const std::string& newName, const std::string& note);
  PcbOpResult DeleteCurrentBoard();

  // Board transforms of the shown placement list.
  void TransformShownBoard(BoardTransform t, bool withCopy, const std::string& firstTag, const std::string& secondTag);
  // Merges the panel of the shown board into one board; false when no
  // board is shown.
  bool MergeShownPanels();

  void NotifyRows(RowKind k) const {
    if (onRowsChanged) onRowsChanged(k);
  }
  void SetVisible(VisibleList v) {
    visible = v;
    if (onVisibleChanged) onVisibleChanged();
  }

 private:
  // Lines of the dispensing and drill files that their rows do not write
  // back as they were (cells past the row's, text after the last TAB), by
  // the text their row writes: a row still writing that text is saved as
  // the line it was read from.
  using KeptLines = std::vector<std::pair<std::string, std::string>>;
  KeptLines dispenseKept_, drillKept_;
  // The side files of a save (the shown rows stored first).
  JobFileBytes SideFileBytes(int machineType);
  // The memory of the job file and of the dispensing file from save to save.
  SaveRoom saveRoom_, dispenseRoom_;
};

}  // namespace smt::job
