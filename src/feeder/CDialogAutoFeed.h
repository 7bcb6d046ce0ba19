#pragma once
// The automatic feeder dialog: the 96 automatic feeders as 6 rows of 16,
// switched on and off on the machine by a click, and the feeding parameters
// of section [AutoFeedConfig].
#include <QDialog>
#include <map>
#include <string>

#include "feeder/FeederTexts.h"

namespace smt {
class Machine;
}

class QTableWidget;
class QLineEdit;
class QCheckBox;

class CDialogAutoFeed : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogAutoFeed(smt::Machine& machine, QWidget* parent = nullptr);

  void LoadLanguage(const std::string& appDir, const std::string& language);
  void OnInitDialog();
  // A click in the grid: row 0..5, column 0 (the row) or 1..16.
  void OnGridClick(int row, int column);
  // Confirm: checks the ranges and takes the fields over.
  bool TryAccept();
  void accept() override;

  QTableWidget* Grid() const { return grid_; }
  QLineEdit* Edit(const std::string& key) const;
  QCheckBox* Check(const std::string& key) const;
  bool CellOn(int row, int column) const;

 private:
  void ShowMask();
  smt::Machine& machine_;
  smt::feeder::FeederTexts texts_;
  QTableWidget* grid_ = nullptr;
  std::map<std::string, QLineEdit*> edits_;
  std::map<std::string, QCheckBox*> checks_;
};

// Opens the dialog modally (the view's menu command).
void OpenAutoFeedDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language);
