#pragma once
// The dispensing point editor: one dispensing row, or the fields to change
// in several rows (the "changed" flags record what the operator touched),
// with take-position buttons and a jog pad on the machine it is given.
#include <QDialog>
#include <map>
#include <string>

#include "job/PartEditFields.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QLineEdit;

class CDialogPartEditDis : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogPartEditDis(smt::Machine& machine, QWidget* parent = nullptr);

  // Section "PartEditDisConfig" of "<appDir>/<language>.ini".
  void LoadLanguage(const std::string& appDir, const std::string& language);
  std::string Text(const std::string& key) const;

  // Opens the editor on `f` (modal); true on OK with `f` updated.
  bool Edit(smt::job::DisEditFields& f);
  // The controls from the fields (the changed flags are cleared after).
  void SetFields(const smt::job::DisEditFields& f);
  // OK: every field read and checked; false keeps the dialog open.
  bool OnOK();
  const smt::job::DisEditFields& Fields() const { return f_; }

  void OnTakeX();
  void OnTakeY();
  void OnTakeZ();
  void OnCameraX();
  void OnCameraY();
  QLineEdit* Box(int id) const { return boxes_.at(id); }
  QCheckBox* DispenseBox() const { return dispense_; }

 private:
  smt::Machine& machine_;
  smt::job::DisEditFields f_;
  std::map<int, QLineEdit*> boxes_;
  QCheckBox* dispense_ = nullptr;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QWidget*> targets_;
  bool loading_ = false;
};
