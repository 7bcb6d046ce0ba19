#pragma once
// The job's table of boards, in job order, with the name of the current
// board; the text lines it becomes in the job file; and the list operations
// of the PCB editor (add, delete, paste a copy, rename).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "job/PcbRecord.h"

namespace smt::job {

enum class PcbOpResult {
  Ok,
  EmptyName,       // "Pcb板不能没有名称 !"
  NameInUse,       // "Pcb名称已存在，请重新输入 !"
  HasTab,          // a name or note holds the cell separator
  NotFound,        // the current board is not in the table
  NothingChecked,  // no board is current
  AlreadyCopied,   // "Have copied the Pcb !"
};

// True when a text may be stored in a cell (it holds no TAB).
bool IsCellText(std::string_view text);
// Name comparison of the name list: exact, but letters compared without case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Appends grid line `row` of a record as the job file holds it: the row's
// m_nCols + 1 cells (those the grid does not hold empty), each followed by a TAB.
void AppendGridLine(std::string& line, const PcbRecord& r, int row);

class PcbTable {
 public:
  std::vector<PcbRecord> m_Records;
  std::string m_strCurPcbName;

  int Count() const { return static_cast<int>(m_Records.size()); }
  bool HasTable() const { return !m_Records.empty(); }
  // Index of the first record named exactly `name`, or -1.
  int FindPcbIndex(std::string_view name) const;
  PcbRecord* Find(std::string_view name);
  const PcbRecord* Find(std::string_view name) const;
  PcbRecord* Current() { return Find(m_strCurPcbName); }
  const PcbRecord* Current() const { return Find(m_strCurPcbName); }
  // True when another record than `except` carries `name` (letter case ignored).
  bool NameTaken(std::string_view name, int except = -1) const;

  // Empties the table and clears the current name.
  void FreePcbList();

  // The text lines of the job file: per record its header line, its grid
  // lines and its placement lines.
  std::vector<std::string> SaveToLines() const;
  // The same lines handed to `line` one after the other (each view valid
  // for the call only), formatted without keeping them.
  void ForEachLine(const std::function<void(std::string_view)>& line) const;
  size_t LineCount() const;
  // At least the bytes of all lines together.
  size_t LineBytesBound() const;
  // Whether the job file of this table would open again: every header and
  // placement value within the range FromLines takes. Throws JobCellError
  // (or JobFileError for a count) as FromLines would, naming `file`, the
  // board and its row, so a save refuses what the open would refuse.
  void CheckOpensAgain(std::string_view file = "job file") const;
  // Builds a table from the job file's lines. Throws JobFileError when the
  // lines do not hold `pcbCount` records as their counts say, when a count
  // is out of range, or when lines are left over.
  // A header or placement field that is not a number in its range throws
  // JobCellError naming `file`, the line (1-based among the
  // lines) and the field.
  static PcbTable FromLines(std::string curName, uint32_t pcbCount, const std::vector<std::string>& lines,
                            std::string_view file = "job file");

  // The same from `lineCount` lines handed out one after the other by
  // `next` (each view valid until the next call): the job file is read
  // straight into the records without a copy of its lines.
  static PcbTable FromLineSource(std::string curName, uint32_t pcbCount, size_t lineCount,
                                 const std::function<std::string_view()>& next, std::string_view file = "job file");

 public:
  // The record shown after a load: the one named current, else record 0
  // (-1 when the table is empty).
  int ShownIndexAfterLoad() const;

  // List operations. Nothing changes unless the result is Ok.
  // Add: a fresh 1 x 1 record named `name` at the end; it becomes current.
  PcbOpResult Add(const std::string& name);
  // Delete the current record; afterwards no record is current.
  PcbOpResult DeleteCurrent();
  // Insert after the current record a deep copy named "<current>-copy".
  PcbOpResult PasteCurrent();
  // Rename the current record and set its note.
  PcbOpResult RenameCurrent(const std::string& newName, const std::string& note);
};

}  // namespace smt::job
