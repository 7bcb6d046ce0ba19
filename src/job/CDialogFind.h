#pragma once
// The find dialog of the part list: searches the placement list for a cell
// equal to a text and shows the row and column found.
#include <QDialog>
#include <map>
#include <string>

#include "job/PartListLogic.h"

class QLineEdit;
class QPushButton;

class CDialogFind : public QDialog {
  Q_OBJECT
 public:
  CDialogFind(smt::job::PartListLogic& logic, QWidget* parent = nullptr);

  // Section "FindConfig" of "<appDir>/<language>.ini".
  void LoadLanguage(const std::string& appDir, const std::string& language);
  std::string Text(const std::string& key) const;

  void OnFind();
  void OnFindNext();
  QLineEdit* TextBox() const { return what_; }
  QLineEdit* RowBox() const { return row_; }
  QLineEdit* ColBox() const { return col_; }
  QPushButton* NextButton() const { return next_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  smt::job::PartListLogic& logic_;
  QLineEdit *what_, *row_, *col_;
  QPushButton *find_, *next_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QWidget*> targets_;
};
