#pragma once
// The feeder list panel of the main window: the current feeder group in a
// 30-column list, and the operator's entry to adding, editing, deleting,
// copying and pasting feeders, the feeder tests on the machine, the camera
// template commands and the CSV exchange. It shows and edits the feeder
// table of the machine it was built on, and owns the feeder editor and the
// group manager.
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feeder/FeederListPanel.h"
#include "feeder/FeederTable.h"

namespace smt {
class Machine;
}
namespace smt::library {
struct PackEditFields;
}
#include "feeder/FeederTexts.h"

class QTableWidget;
class QLineEdit;
class QPushButton;
class QLabel;
class QMenu;
class CDialogFeedEdit;
class CDialogFeedGroup;

class CDialogFeedList : public QWidget, public FeederListPanel {
  Q_OBJECT
 public:
  explicit CDialogFeedList(smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogFeedList() override;

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "FeedList.c_..."),
  // Chinese defaults, and translates the list rows into the current language.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();

  // Set-up from the shell's feeder lines (consumed), then the current group shown.
  // `fileDir`: where config_feed.fig is (a copy of it is kept there when
  // lines could not be read); the panel's program directory when empty.
  bool LoadFromLines(std::vector<std::string>& lines, const std::string& fileDir = {});
  // What the last LoadFromLines read and skipped.
  const smt::feeder::FeederLoadResult& LastLoad() const { return lastLoad_; }
  // The text form of the whole table for "config_feed.fig".
  std::vector<std::string> SaveToLines();

  smt::feeder::FeederTable& Table() override { return table_; }
  QTableWidget* List() const { return list_; }
  // The feeder editor and the group manager, made the first time they are
  // wanted (most sessions open neither).
  CDialogFeedEdit* Editor();
  CDialogFeedGroup* GroupManager();
  const std::string& AppDir() const override { return appDir_; }
  const std::string& Language() const override { return language_; }
  std::string Text(const std::string& key) const override { return texts_.Get(key); }

  // --- list rows ---------------------------------------------------------------
  int RowCount() const override;
  smt::feeder::FeederListRow ListRow(int row) const override;
  void SetListRow(int row, const smt::feeder::FeederListRow& r) override;
  void InsertListRow(int at, const smt::feeder::FeederListRow& r);
  int FirstSelectedRow() const;
  void SelectRow(int row, bool on) override;
  // Shows the current group again (after opening a group or an import).
  void ShowCurrentGroup() override;
  void RefreshGroupFields() override;

  // --- operations other parts call ------------------------------------------------
  void SetRowFromEdit(int row) override;
  void LoadEditFromRow(int row) override;
  // The package library's synchronous modify (the package editor's save):
  // the package's values into the feeders of the current group that use it.
  // `passOn` says which of the feed, vision and vacuum values go with them
  // (feed mode, feed count, feed time, slack, tension, XY precision, angle
  // precision, capture time, pick height, vacuum test value, early vacuum
  // close).
  void UpdateRowsFromPackage(const smt::library::PackEditFields& package, const std::array<bool, 11>& passOn);
  // Moves every feeder of the shown group by dx, dy (mm); refused whole
  // (with a message, nothing moved) when one would leave its range.
  bool ShiftFeederPositions(double dx, double dy);
  // The view shows the panel: sort by column 0. A column sorts by the
  // feeders' values (numbers by value, whatever their spelling); a feeder
  // whose numbers could not be read goes after the others in a number
  // column, in the order it had.
  void SortByColumn(int column);
  // <0, 0 or >0 as feeder `a` sorts before, with or after `b` in `column`
  // (column 0: by side S, W, N, G, others first, then by number; never 0
  // there, as the list's own order has it).
  static int CompareFeeders(const smt::feeder::FeederRow& a, const smt::feeder::FeederRow& b, int column);

  // One feeder as the list holds it: the feeder row (its typed record and
  // the cells it came with) and the picture of its number cell (0 plain,
  // 6 marked, 7 used by the job). The list widget only shows these.
  struct ShownFeeder {
    smt::feeder::FeederRow row;
    int mark = 0;
  };
  const std::vector<ShownFeeder>& Shown() const { return shown_; }

  // --- operator commands ------------------------------------------------------------
  void OnClickRow();
  void OnAddFeeder();
  void OnEditFeeder(bool fromMenu);
  void OnDeleteFeeder();
  void OnCopyFeeder();
  void OnPasteFeeder();
  void OnShowSelected();
  // Builds the popup menu with its greying (the caller shows and deletes it).
  QMenu* BuildPopupMenu(QWidget* parent);
  void OnRightClick();

  // --- test commands ------------------------------------------------------------------
  // Starts test `mode` on the selected row after the guards; false when refused.
  bool StartTest(int mode) override;
  // The same with the row's texts replaced (the editor's buttons test what it shows).
  bool StartTestWithRow(int mode, const smt::feeder::FeederRow& row) override;
  void OnMeasureHeight() override;
  void OnFeedTest(bool singleStep = false) override;
  void OnTowbarToHole();
  void OnFeedTestAll();
  void OnGetImageFeature();
  void OnTemplate(int mode);

  // --- CSV ----------------------------------------------------------------------------
  void ExportFeedCsv();
  void ImportFeedCsv();
  void ExportFeedCsvTo(const std::string& path);
  void ImportFeedCsvFrom(const std::string& path);

  // The group manager dialog.
  void OpenGroupManager();

  // Panel state (with the selection and editing state of FeederListPanel).
  int m_nTestMode = 0;
  int m_nTestRow = -1;
  std::string m_strCopySource;
  std::string m_strCopySide;
  std::optional<smt::feeder::FeederRow> m_CopyRow;  // the copied feeder, read
  bool m_bCopied = false;

  // Seams for tests: the modal editor run and the file choosers.
  std::function<bool()> runEditor;
  std::function<std::string(bool save)> chooseFile;

 protected:
  // Shown by the view: sorted by feeder number.
  void showEvent(QShowEvent* e) override;

 private:
  void Build();
  void MakeIcons();
  std::array<std::string, smt::feeder::kFeederCells> ColumnTitles() const;
  void TranslateRows();
  bool RowGuards();
  void StartWorker(int mode, bool pullHole = false, bool singleStep = false,
                   const smt::feeder::FeederRow* rowOverride = nullptr);
  // Inserts a feeder at `at` and shows it.
  void InsertShown(int at, ShownFeeder f);
  // Writes the widget's row `row` from shown_[row].
  void ShowRow(int row);

  smt::Machine& machine_;
  smt::feeder::FeederTable& table_;  // the machine's
  smt::feeder::FeederLoadResult lastLoad_;
  smt::feeder::FeederTexts texts_;
  std::string appDir_ = ".";
  std::string language_ = "Chinese";
  QTableWidget* list_ = nullptr;
  QLineEdit* groupName_ = nullptr;
  QLineEdit* groupCount_ = nullptr;
  QLabel* groupLabel_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QPushButton* showSelected_ = nullptr;
  QPushButton* import_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* testAll_ = nullptr;
  QPushButton* groups_ = nullptr;
  CDialogFeedEdit* editor_ = nullptr;
  CDialogFeedGroup* group_ = nullptr;
  bool languageLoaded_ = false;  // LoadLanguage ran: a group manager made later loads it too
  bool warnedMenuEdit_ = false;
  bool warnedDoubleClick_ = false;
  // The feeders in shown order, one for each row of list_.
  std::vector<ShownFeeder> shown_;
};
