#pragma once
// The part list's work on its three lists without any window: the clicks
// in the lists, the feeder chooser, select-all, find, the list commands
// (compare, update, sort, feeder interleaving, dispensing rows from the
// placement list, the drill CSV import), the row editing commands, the row
// writers and the run's row interface. The panel widget shows the rows of
// the JobModel and calls these; tests drive them directly.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "platform/HookInterface.h"
#include "platform/Hooks.h"
#include <string>
#include <vector>

#include "job/FeederView.h"
#include "job/JobModel.h"
#include "job/PartEditFields.h"
#include "platform/SystemText.h"

namespace smt::job {

// Per list: the chosen (clicked) row and column, the copy row and flag, and
// which rows the operator has selected.
struct ListState {
  int testRow = -1;
  int clickCol = -1;
  int copyRow = -1;
  bool copied = false;
  int focused = -1;
  std::vector<bool> selected;
};

inline constexpr smt::platform::SystemText kNoPcbFile{"JobMessagesConfig", "JobMessages.c_NoPcbFile", "No PCB File !"};
inline constexpr smt::platform::SystemText kType4RowLimit{"JobMessagesConfig", "JobMessages.c_Type4RowLimit", "When configured = 4, the number of rows cannot exceed 10 !"};
inline constexpr smt::platform::SystemText kValueNotSame{"JobMessagesConfig", "JobMessages.c_PartFeedValueDiffers", "Part & Feed value is not same !"};
inline constexpr smt::platform::SystemText kValueSameAll{"JobMessagesConfig", "JobMessages.c_PartFeedValueSame", "Part & Feed value is same all.OK"};

// The local time as a placement row's time cell ("%d-%d-%d  %d:%d:%d").
std::string RowTimeStamp();

// What the list work asks of the panel: a row shown (selected, scrolled to
// row + 3), the part editors (modal; true on OK) and, with camera tracking,
// the camera over the chosen part before a placement modify.
class PartListView {
 public:
  virtual ~PartListView() = default;
  virtual void ShowRow(RowKind list, int row) = 0;
  virtual bool EditSmt(SmtEditFields& fields) = 0;
  virtual bool EditDis(DisEditFields& fields) = 0;
  virtual bool EditDrill(DrillEditFields& fields) = 0;
  virtual void CameraTestForModify() = 0;
};

class PartListLogic {
 public:
  explicit PartListLogic(JobModel& job);

  JobModel& job;

  // --- seams ---
  smt::platform::HookInterface<PartListView> view{"PartListView"};
  smt::platform::Hook<int()> autoChangeNozzle{"PartListLogic.autoChangeNozzle"};                     // the strategy's m_AutoChangeNozzle
  smt::platform::Hook<std::string()> timeStamp{"PartListLogic.timeStamp"};                    // default RowTimeStamp
  // Lamp machine (type 4): a row added, a row deleted (grid pair k).
  smt::platform::Hook<void()> lampRowAdded{"PartListLogic.lampRowAdded"};
  smt::platform::Hook<void(int k)> lampRowDeleted{"PartListLogic.lampRowDeleted"};
  // The run's pick target of a feeder (0 when none).
  smt::platform::Hook<int(const std::string& feeder, int a, int b)> calcFeederPickTarget{"PartListLogic.calcFeederPickTarget"};

  // Editor fields (members of the panel in the program: they outlive each command).
  SmtEditFields smtEdit;
  DisEditFields disEdit;
  DrillEditFields drillEdit;

  // Run selection flags. Thread rule: the window thread sets them from the
  // start-from commands before the run thread starts (the thread's start
  // orders them); the run thread reads them and clears them in the run's end
  // step, while the window thread keeps reading them for the row display, so
  // they are atomics.
  std::atomic<uint8_t> m_bStartFromCurrentSmt{0}, m_bStartFromCurrentDis{0}, m_bStartFromCurrentDrill{0};
  std::atomic<uint8_t> m_bSelectedSmt{0}, m_bSelectedDis{0}, m_bSelectedDrill{0};

  int sortCode = 0;
  bool selectAllToggle[3] = {true, true, true};
  std::vector<std::string> feederChooser;  // entries "W3-100nF" of the feeder chooser

  std::vector<ListRow>& Rows(RowKind k);
  ListState& State(RowKind k) { return states_[static_cast<int>(k)]; }
  // The panel's texts in the operator's language: the loaded ones, else the
  // built-in (Chinese) ones. Read from any thread.
  std::string Text(const std::string& key) const;
  void SetTexts(std::map<std::string, std::string> texts);
  int Type() const;

  // Selection of list rows (kept in step with inserts and deletes).
  bool IsSelected(RowKind k, int row) const;
  void Select(RowKind k, int row, bool on);
  void SelectOnly(RowKind k, int row);
  int SelectedCount(RowKind k) const;
  int FirstSelected(RowKind k) const;
  std::vector<int> SelectedRows(RowKind k) const;
  // The selection as runs of rows [first, last], in order: a list with
  // every row selected is one run, whatever its length.
  std::vector<std::pair<int, int>> SelectedRanges(RowKind k) const;
  // Replaces the selection by runs of rows [first, last] (rows outside the
  // list are ignored).
  void SetSelectedRanges(RowKind k, const std::vector<std::pair<int, int>>& ranges);
  // Selects, focuses and shows a row (message paths).
  void FocusRow(RowKind k, int row);

  // --- clicks and the feeder chooser ---
  void RefillFeederChooser();
  // A click on (row, col) of a list; -1 row is outside any row.
  void ClickPlacement(int row, int col);
  void ClickDispense(int row, int col);
  void ClickDrill(int row, int col);
  // The chooser entry to select for a feeder cell (-1 none).
  int ChooserIndexFor(const std::string& cell) const;
  // The chooser's text was taken into the remembered placement cell.
  void ApplyFeederChoice(int row, const std::string& choice);
  // Select all of the placement (or dispensing, drill) list; false on an empty list.
  bool SelectAll(RowKind k);

  // --- find ---
  struct FindResult {
    bool found = false;
    int row = -1, col = -1;
  };
  FindResult FindFrom(const std::string& what, int startRow) const;
  // The find dialog's Find and Next: the texts of the row and column boxes
  // ("" when nothing was found). False when the search did not run.
  bool Find(const std::string& what, std::string& rowText, std::string& colText);
  bool FindNext(const std::string& what, std::string& rowText, std::string& colText);

  // --- list commands ---
  void OnCompare();
  bool OnUpdate();
  void FillDispenseFromSmt();
  int CompareRows(const ListRow& a, const ListRow& b) const;
  void SortList(RowKind k);
  void CheckFeederOrder();
  void UpdateRowsForFeeder(const std::string& oldNumber, const std::string& newNumber, bool vision,
                           const std::string& value, const std::string& head);
  // A feeder just added: the selected placement rows without a feeder take
  // it (the rows the operator chose); no other row changes. Returns how
  // many rows took it.
  int AssignNewFeeder(const std::string& number, bool vision, const std::string& value, const std::string& head);
  // Appends the circle rows of a drill CSV (8-bit text); returns rows added.
  int ImportDrillCsv(const std::string& content);
  // Smt Dis without the file dialog: which list to show.
  void SwapSmtDis();
  bool CheckFeedersExist();

  // --- row writers ---
  // False when the feeder check stopped the write (message shown).
  bool WriteSmtRow(int row);
  // The feeder check of the placement editor's OK, done before anything is
  // written: the chosen feeder must be in the current group. False (with the
  // message said) keeps the editor open and the list as it was. A multi-row
  // modify that leaves the feeder alone needs no check.
  bool SmtFeederFits(const SmtEditFields& e);
  void WriteDispenseRow(int row, const std::array<bool, 11>& flags);
  void WriteDrillRow(int row, const std::array<bool, 14>& flags);

  // --- row editing ---
  void OnAdd(RowKind k);
  void OnModify(RowKind k);
  void OnDelete(RowKind k);
  void OnCopy(RowKind k);
  void OnPaste(RowKind k);
  void OnCopyPaste(RowKind k);
  // Loads a placement editor from a row (also used by the camera tracking).
  void LoadSmtEditor(int row);

  // --- run interface (window thread) ---
  void SetSmtRowState(int row, int image, bool select);
  // A row state of the run applied to the rows and the selection only; the
  // caller shows it (the views are not told). `selectionChanged`: the
  // row's selection changed to `selected`; `focused`: the row became the
  // focused row to show.
  struct RunStateResult {
    bool valid = false, selectionChanged = false, selected = false, focused = false;
  };
  RunStateResult ApplyRunState(RowKind k, int row, int image, bool select);
  void SetDispenseRowState(int row);
  void SetDrillRowState(int row, int image);
  void ResetRowStates(RowKind k);
  int NextPlaceRow(int& row, int count, int a, int b);
  bool NextDispenseRow(int& row, int count);

 private:
  int feederCheckRow_ = -1;     // the row the editor's OK is for (its number in the message)
  bool feederCheckAdd_ = false;    // a row not yet in the list
  bool feederCheckMulti_ = false;  // a multi-row modify
  void InsertRow(RowKind k, int at, ListRow row);
  void EraseRow(RowKind k, int at);
  void SyncSelection(RowKind k);
  void SetRunState(RowKind k, int row, int image, bool select, uint8_t selectedOnly);
  bool CheckType4Limit(int rowsAfter);
  void Notify(RowKind k) { job.NotifyRows(k); }

  ListState states_[3];
  mutable std::mutex textsMutex_;
  std::map<std::string, std::string> texts_;  // under textsMutex_
};

// The head limit of a machine type for the update check (0: no limit).
int HeadLimitOfType(int machineType);

}  // namespace smt::job
