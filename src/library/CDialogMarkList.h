#pragma once
// The mark library dialog ("独立MARK点数据库"): the marks in a list of 16
// columns with add, modify, delete and sort; OK hands the rows to the frame
// and writes "config_mark.fig".
#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/CDialogMarkEdit.h"
#include "library/MarkLibrary.h"

class QTableWidget;

namespace smt {
class Machine;
}

class CDialogMarkList : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    std::vector<std::string>* frameRows = nullptr;  // the machine's mark rows (LibraryLists::markRows)
  };
  CDialogMarkList(smt::library::MarkLibrary& lib, smt::Machine& machine, Environment env, QWidget* parent = nullptr);

  std::function<bool(CDialogMarkEdit&)> runEditor;

  std::string Text(const std::string& key) const;
  void OnSelectRow(int row);
  void OnAdd();
  void OnModify();
  void OnDelete();
  void OnColumnClick(int column);
  bool TryAccept();
  void accept() override;

  // The marks in shown order, each a typed record with its cells; the list
  // widget only shows them.
  const std::vector<smt::library::MarkListRow>& ListRows() const { return shown_; }
  QTableWidget* List() const { return list_; }
  int m_nSelectedRow = -1;

 private:
  void Build();
  // Row `row` of the list becomes `mark` (shown_ and the widget).
  void SetListRow(int row, smt::library::MarkListRow mark);
  // The widget shows shown_ again, row for row.
  void ShowRows();
  bool RunEditor();

  smt::library::MarkLibrary& lib_;
  smt::Machine& machine_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  QTableWidget* list_ = nullptr;
  std::vector<smt::library::MarkListRow> shown_;
};
