#pragma once
// The part list panel of the main window: the placement, dispensing and
// drill lists of the open job (one shown at a time), the run toolbar, the
// PCB editor, the part editors, find, the lists' context menus and the
// run's interface to the list. The work itself is in PartListLogic,
// RunControl and CoordinateTests; the panel shows and routes.
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>
#include <string>

#include "job/CoordinateTests.h"
#include "job/JobModel.h"
#include "job/PartListData.h"
#include "job/PartListLogic.h"
#include "job/RunControl.h"
#include "job/RunTally.h"
#include "platform/BuiltOnFirstUse.h"

class CDialogFind;
class CDialogPCBEdit;
class CDialogPartEditDis;
class CDialogPartEditDrill;
class CDialogPartEditSmt;
class CToolBarPartControl;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QTableView;
class QTimer;
class RowListModel;

class CDialogPartList : public QWidget {
  Q_OBJECT
 public:
  // The panel shows and works on the part list of `machine` (which outlives
  // it); its editors take positions from `machine`.
  explicit CDialogPartList(smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogPartList() override;

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "PartList.c_..."),
  // Chinese defaults; also the texts of its dialogs.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
  // Fills the name, type and angle choices from the common drop-down lists
  // and the package choice from the package library (`packageRows`).
  void FillChoiceCombos();
  std::string Text(const std::string& key) const;

  // The job the panel shows, and its PCB editor.
  smt::job::JobModel& Job() { return job_; }
  CDialogPCBEdit& PcbEditor() { return *pcbEdit_; }
  smt::job::PartListLogic& Logic() { return logic_; }
  smt::job::RunControl& Run() { return run_; }
  smt::job::CoordinateTests& CoordTests() { return coord_; }
  // Find and the part editors (made on first use).
  CDialogFind& FindDialog();
  CDialogPartEditSmt& SmtEditor();
  CDialogPartEditDis& DisEditor();
  CDialogPartEditDrill& DrillEditor();
  CToolBarPartControl& ToolBar() { return *toolbar_; }

  // Seams the shell installs (all optional).
  std::function<void()> openStrategy;                     // toolbar "Strategy"
  std::function<std::vector<std::string>()> packageRows;  // "config_pack.fig" rows
  std::function<std::vector<std::string>()> markRows;     // "config_mark.fig" rows
  std::function<void(const std::string&)> statusText;     // the frame's first status pane
  std::function<std::string()> language;                  // "Chinese", "English", "German"
  std::function<QString()> chooseDrillCsv;                // the drill CSV file dialog (tests)

  // Toolbar commands.
  void OnPcbEdit();
  void OnStrategy();
  void OnStart();
  void OnPause();
  void OnRegain();
  void OnStop();
  void OnPcbClamp();
  void OnFind();
  void OnCompare();
  void OnUpdate();
  void OnSmtDis();
  void OnCommand(int command);
  // Context-menu commands by menu id (placement, dispensing and drill menus).
  void OnMenuCommand(int id);

  // Row tables behind the dispensing and drill lists (side-file texts).
  void LoadDispenseRows(const std::vector<std::string>& lines) { job_.LoadDispenseLines(lines); }
  void LoadDrillRows(const std::vector<std::string>& lines) { job_.LoadDrillLines(lines); }
  std::vector<std::string> StoreDispenseRows() const { return job_.StoreDispenseLines(); }
  std::vector<std::string> StoreDrillRows() const { return job_.StoreDrillLines(); }
  void FreeDispenseRowTable() { job_.dispenseRows.clear(); }

  // Context menu "PCB板操作" of the placement list.
  void OnPcbRotateClockwise();
  void OnPcbRotateCounterclockwise();
  void OnPcbMirrorLeftRight();
  void OnPcbMirrorUpDown();
  void OnPcbMergePanels();

  // The labels of the current board and the count (statics 1103, 1104).
  void SetBoardLabels(const QString& board, const QString& count);
  QString BoardLabel() const { return boardText_; }
  QString CountLabel() const { return countText_; }

  // --- the run's interface (callable from the run threads) ---
  // Row states never make the run wait for the window: from a run thread
  // they are queued, and the window shows the queued changes together at
  // display rate (at most kRowStateFlushMs after the first), each as a
  // change of the rows that changed. On the window thread they are shown at
  // once, after any still queued.
  static constexpr int kRowStateFlushMs = 40;
  void SetSmtRowState(int row, int image, bool select);
  void SetDispenseRowState(int row);
  void SetDrillRowState(int row, int image);
  void ResetSmtRowStates();
  void ResetDispenseRowStates();
  void ResetDrillRowStates();
  int NextPlaceRow(int& row, int count, int a, int b);
  bool NextDispenseRow(int& row, int count);
  void UpdatePanelProgressLabel(int row, int col, int count);
  // The run's progress bar (range 0..range), the list scrolled so that
  // `row` + 3 is visible, the placement lists enabled or not for the run
  // and the cover-tape count in the part counter. They only show, so the
  // run thread posts them and goes on. The list is the placement list.
  void SetRunProgress(int pos, int range);
  void ScrollRunRow(int row);
  void EnableListsForRun(bool enabled);
  void ShowCoverCount(int count);
  QProgressBar* RunProgressBar() const { return progressBar_; }
  void OnRunEnd(bool finished);
  // What the last run did (placement runs), and the line that shows its end.
  smt::job::RunCounts RunCounts() const { return tally_.Counts(); }
  QLabel* RunEndLabel() const { return runEnd_; }
  // A new or another job: no progress and no end line of an earlier run.
  void ResetRunFeedback();
  // Shows the queued row states now (window thread).
  void FlushRowStates();
  // Row-state changes waiting for the window (for tests and benchmarks).
  int QueuedRowStates();
  // Makes PCB record `index` the run's current board and sets the labels. Returns false.
  bool LoadCurrentBoard(int index);
  static std::string PanelCellText(const std::string& language, int row, int col);

  // List clicks (also used by tests): row -1 is outside any row.
  void OnListClick(smt::job::RowKind k, int row, int col);
  void OnListDoubleClick(smt::job::RowKind k, int row);
  // The feeder chooser's focus loss with its current text.
  void OnFeederChooserDone();
  // Builds the context menu of a list with its texts and states (not shown).
  std::unique_ptr<QMenu> BuildContextMenu(smt::job::RowKind k);

  // The three lists' views (the dispensing and drill lists' made on first use).
  QTableView* PlacementView() const { return View(0); }
  QTableView* DispenseView() const { return View(1); }
  QTableView* DrillView() const { return View(2); }
  RowListModel* Model(smt::job::RowKind k) const { return models_[static_cast<int>(k)]; }
  QComboBox* ChoiceCombo(int id) const;  // 1085 names, 1020 types, 1040 packages, 1025 angles, 1023 feeders
  QTableView* VisibleView() const;
  QLabel* ClockLabel() const { return smtTime_; }
  QLabel* ClockValue() const { return clock_; }
  QLineEdit* PartCounter() const { return counter_; }

 protected:
  void timerEvent(QTimerEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void Transform(smt::job::BoardTransform t, const char* firstKey, const char* secondKey);
  void ShowVisibleList();
  void PushSelection(smt::job::RowKind k);
  void PullSelection(smt::job::RowKind k);
  void ShowRow(smt::job::RowKind k, int row);
  void WireLogic();
  void WireRun();
  class RunView;
  class ListView;
  struct RowStateChange {
    smt::job::RowKind kind = smt::job::RowKind::Placement;
    int row = 0;
    int image = 0;
    bool select = false;
    bool reset = false;
  };
  void QueueRowState(const RowStateChange& c);
  void ApplyRowStates(const std::vector<RowStateChange>& changes);

  smt::Machine& machine_;
  smt::job::JobModel& job_;
  smt::job::PartListLogic& logic_;
  smt::job::RunControl& run_;
  smt::job::CoordinateTests& coord_;
  std::unique_ptr<CDialogPCBEdit> pcbEdit_;
  // The part editors and find are made the first time they are opened (most
  // sessions open few of them); a language loaded before that is given to
  // each when it is made.
  smt::platform::BuiltOnFirstUse<CDialogPartEditSmt> editSmt_;
  smt::platform::BuiltOnFirstUse<CDialogPartEditDis> editDis_;
  smt::platform::BuiltOnFirstUse<CDialogPartEditDrill> editDrill_;
  smt::platform::BuiltOnFirstUse<CDialogFind> find_;
  std::optional<std::pair<std::string, std::string>> dialogLanguage_;
  CToolBarPartControl* toolbar_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  // Made by View(i) when first reached.
  QTableView* View(int i) const;
  void BuildView(int i);
  QTableView* views_[3] = {};
  RowListModel* models_[3] = {};
  QLabel *board_ = nullptr, *count_ = nullptr, *progress_ = nullptr, *smtTime_ = nullptr, *clock_ = nullptr;
  QLineEdit* counter_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* runEnd_ = nullptr;
  smt::job::RunTally tally_;
  bool tallyPlacement_ = false;  // the run in work places parts
  void ShowTallyProgress();
  void ShowRunEnd();
  QComboBox *names_ = nullptr, *types_ = nullptr, *packages_ = nullptr, *angles_ = nullptr, *feeders_ = nullptr;
  QString boardText_, countText_;
  int clockTimer_ = 0;
  int chooserRow_ = -1;
  bool syncing_ = false;
  std::mutex rowStateMutex_;
  std::vector<RowStateChange> rowStates_;  // under rowStateMutex_
  bool rowStateFlushPosted_ = false;       // under rowStateMutex_
  int rowStateTimer_ = 0;                  // window thread
  // The rest of what a run shows, kept until the next flush: only the last
  // of each counts (under rowStateMutex_).
  struct PendingShow {
    bool progress = false;
    int pos = 0, range = 0;
    bool scroll = false;
    int scrollRow = 0;
    bool label = false;
    std::string cell, count;
  };
  PendingShow pendingShow_;
  // Queues `change` into the pending display under the lock and asks for one
  // flush per display period; on the window thread shows it at once.
  template <class F>
  void QueueShow(F change);
  void PostFlush();
  void ApplyRunProgress(int pos, int range);
  void ApplyScroll(int row);
  void ApplyPanelLabel(const std::string& cell, const std::string& count);
  // What the run is to place, taken on the window thread as it starts: the
  // run thread's next-row search reads it and never waits for the window.
  struct RunRowPlan {
    std::vector<uint8_t> placeable;  // "place" on (and selected, for a run of the selected rows)
    std::vector<std::string> feeders;
  };
  void TakeRunRowPlan();
  std::mutex runPlanMutex_;
  std::shared_ptr<const RunRowPlan> runPlan_;  // under runPlanMutex_
  // What the run is asked to place, counted as it starts (window thread).
  int startToPlace_ = 0, startSkipped_ = 0;
};
