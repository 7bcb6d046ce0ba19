#pragma once
// The drill point editor: one drill row, or the fields to change in several
// rows. Six feed and lift fields stay locked until their label is
// double-clicked in this opening. The take buttons and the jog pad work on
// the machine the editor is given.
#include <QDialog>
#include <map>

#include "job/PartEditFields.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QLabel;
class QLineEdit;

class QPushButton;

class CDialogPartEditDrill : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogPartEditDrill(smt::Machine& machine, QWidget* parent = nullptr);

  bool Edit(smt::job::DrillEditFields& f);
  void SetFields(const smt::job::DrillEditFields& f);
  bool OnOK();
  const smt::job::DrillEditFields& Fields() const { return f_; }

  void OnTakeX();
  void OnTakeY();
  void OnTakeZ();
  void OnCameraX();
  void OnCameraY();
  // A double click on the label of a locked field (label id).
  void OnUnlockField(int labelId);
  QLineEdit* Box(int id) const { return boxes_.at(id); }
  // Section [PartEditDrillConfig] (keys PartEditDrill.c_<label id>, c_Title,
  // c_1585, c_IDOK, c_IDCANCEL) put on the controls; Chinese by default.
  void LoadLanguage(const std::string& appDir, const std::string& language);

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  smt::Machine& machine_;
  smt::job::DrillEditFields f_;
  std::map<int, QLineEdit*> boxes_;
  std::map<QObject*, int> unlockLabels_;
  QCheckBox* liftToTop_ = nullptr;
  QPushButton *ok_ = nullptr, *cancel_ = nullptr;
  bool loading_ = false;
};
