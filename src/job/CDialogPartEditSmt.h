#pragma once
// The placement part editor: one placement row, or the fields to change in
// several rows. Pick lists come from the drop-down lists, the package and
// mark libraries and the feeder list; the take-position buttons turn the
// position of the machine the editor is given (nozzle or Mark camera) into
// the part's coordinate.
#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "job/CoordinateTests.h"
#include "job/JobModel.h"
#include "job/PartEditFields.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace smt {
class Machine;
}

namespace smt::job {
// The Mark camera's position on `machine` as a part coordinate on the first
// board of the shown panel (mm): CX when `xAxis`, else CY. False when no
// board is shown (no record or no enabled panel cell).
bool CameraPartCoordinate(smt::Machine& machine, const JobModel& job, const MarkMeasurement& marks, bool xAxis,
                          double& value);
}  // namespace smt::job

class CDialogPartEditSmt : public QDialog {
  Q_OBJECT
 public:
  CDialogPartEditSmt(smt::Machine& machine, smt::job::JobModel& job, QWidget* parent = nullptr);

  // Library rows for the pick lists (package and mark libraries).
  std::function<std::vector<std::string>()> packageRows;
  std::function<std::vector<std::string>()> markRows;
  const smt::job::MarkMeasurement* marks = nullptr;
  // The part list's texts in the current language (its messages).
  std::function<std::string(const std::string& key)> partListText;
  // Checks the read fields on OK before the dialog closes (the part list's
  // feeder check); false keeps the dialog open with what was typed.
  std::function<bool(const smt::job::SmtEditFields&)> acceptFields;

  void LoadLanguage(const std::string& appDir, const std::string& language);
  std::string Text(const std::string& key) const;

  bool Edit(smt::job::SmtEditFields& f);
  // The dialog's set-up with the fields: pick lists, selections, flags cleared.
  void SetFields(const smt::job::SmtEditFields& f);
  void FillDropDownLists();
  bool OnOK();
  const smt::job::SmtEditFields& Fields() const { return f_; }

  void OnFeederChanged();
  void OnOwnMarkClicked();
  void OnOpenFeeder();
  void OnTakeX();
  void OnTakeY();
  void OnCameraX();
  void OnCameraY();

  QComboBox* Combo(int id) const { return combos_.at(id); }
  QLineEdit* Box(int id) const { return boxes_.at(id); }
  QCheckBox* OwnMarkBox() const { return ownMark_; }

 private:
  void ReadControls();
  smt::Machine& machine_;
  smt::job::JobModel& job_;
  smt::job::SmtEditFields f_;
  std::map<int, QLineEdit*> boxes_;
  std::map<int, QComboBox*> combos_;
  QCheckBox *place_ = nullptr, *ownMark_ = nullptr;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QWidget*> targets_;
  bool loading_ = false;
};
