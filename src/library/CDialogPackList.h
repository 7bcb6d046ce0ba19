#pragma once
// The package library dialog ("元件数据库"): the packages in a list of 28
// columns with add, modify, copy-paste, delete and sort; OK hands the rows
// to the frame and writes "config_pack.fig". A confirmed modify can pass
// the package's values on to the feeders of the current group.
#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/CDialogPackEdit.h"
#include "library/PackLibrary.h"

class QPushButton;
class QTableWidget;

class CDialogPackList : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    int languageIndex = 0;
    int machineType = 0;
    std::vector<std::string>* frameRows = nullptr;   // the machine's package rows (LibraryLists::packRows)
    std::array<std::string, 27> feedModeNames{};     // language * 9 + mode
    std::array<std::string, 24> speedUseNames{};     // language * 8 + use
    CDialogPackEdit::Environment editor;             // choices of the editor (nameTaken is set here)
    // The synchronous modify: the feeder list's update of its current group.
    std::function<void(const smt::library::PackFeederUpdate&)> updateFeeders;
  };

  CDialogPackList(smt::library::PackLibrary& lib, Environment env, QWidget* parent = nullptr);

  // Runs the editor; tests replace it (true for the editor's OK).
  std::function<bool(CDialogPackEdit&)> runEditor;

  void LoadLanguage();
  std::string Text(const std::string& key) const;

  void OnListClick(int row);
  void OnPackAdd();
  void OnPackEdit();
  void OnPackCopyToPaste();
  void OnPackDelete();
  void OnColumnClick(int column);
  bool TryAccept();
  void accept() override;

  // The packages in shown order, each a typed record with its cells; the
  // list widget only shows them.
  const std::vector<smt::library::PackListRow>& ListRows() const { return shown_; }
  QTableWidget* List() const { return list_; }
  int CurrentRow() const;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Build();
  void FillList();
  void ApplyLanguageTexts();
  // Row `row` of the list becomes `pack` (shown_ and the widget).
  void SetListRow(int row, smt::library::PackListRow pack);
  // The widget shows shown_ again, row for row.
  void ShowRows();
  void RebuildTable() { lib_.m_PackRows = shown_; }
  bool RunEditor();
  void ShowContextMenu(const QPoint& globalPos);

  smt::library::PackLibrary& lib_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  QTableWidget* list_ = nullptr;
  std::vector<smt::library::PackListRow> shown_;
  std::array<QPushButton*, 6> buttons_{};
  smt::library::PackEditSwitches lastSwitches_;
};
