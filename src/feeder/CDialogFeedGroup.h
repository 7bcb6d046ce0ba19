#pragma once
// The feeder group manager "料架模组": add, copy, rename, delete and open the
// named feeder groups of the panel's feeder table.
#include <QDialog>
#include <string>

#include "feeder/FeederTexts.h"

class QTableWidget;
class QLineEdit;
class QPushButton;
class FeederListPanel;
namespace smt {
class Machine;
}

class CDialogFeedGroup : public QDialog {
  Q_OBJECT
 public:
  CDialogFeedGroup(FeederListPanel* panel, smt::Machine& machine, QWidget* parent = nullptr);

  void LoadLanguage(const std::string& appDir, const std::string& language);
  void OnInitDialog();

  void OnItemClicked(int item);
  void OnAdd();
  void OnCopy();
  void OnEdit();
  void OnDelete();
  void OnOpen();

  QLineEdit* NameBox() const { return name_; }
  QLineEdit* DescriptionBox() const { return description_; }
  QTableWidget* GroupList() const { return list_; }
  int selectedItem = -1;
  bool expanded = false;

 private:
  void Compact();
  void Expand();
  void Message(int n);
  void ApplyTexts();

  FeederListPanel* panel_;
  smt::Machine& machine_;
  smt::feeder::FeederTexts texts_;
  QTableWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* description_ = nullptr;
  QWidget* lower_ = nullptr;
  QPushButton* buttons_[7] = {};
};
