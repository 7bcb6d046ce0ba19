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

  std::vector<smt::library::MarkRow> ListRows() const;
  QTableWidget* List() const { return list_; }
  int m_nSelectedRow = -1;

 private:
  void Build();
  void SetListRow(int row, const smt::library::MarkRow& cells);
  bool RunEditor();

  smt::library::MarkLibrary& lib_;
  smt::Machine& machine_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  QTableWidget* list_ = nullptr;
};
