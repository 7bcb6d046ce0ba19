#pragma once
// The placement strategy page: list order, head mode, automatic nozzle
// change, cover tape, run mode and the dispensing parameters. It edits a
// copy of the strategy and commits it (file and run engine) on OK.
#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "platform/Hooks.h"
#include "run/StrategySettings.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

class CDialogSMTStrategy : public QDialog {
  Q_OBJECT
 public:
  // The page's folder, language and machine type, and the cover-tape page
  // its "设置" opens (connected by the shell; calling it unconnected is an
  // error naming it, never a silent skip).
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    int machineType = 0;
    smt::platform::Hook<void()> openCoverDialog{"CDialogSMTStrategy.openCoverDialog"};  // "设置"
  };

  // OK sorts and renumbers the machine's part list, sets its head count and
  // shows the list of the run mode; the nozzle choices empty its heads.
  CDialogSMTStrategy(smt::run::SmtStrategy values, smt::Machine& machine, Environment env, QWidget* parent = nullptr);

  // Texts of section "SmtStrategyConfig" (keys "SmtStrategy.c_...").
  void LoadLanguage();
  std::string Text(const std::string& key) const;
  // The machine-type rules: values reset and controls disabled.
  void ApplyMachineType();

  // Handlers, usable without a window.
  void OnControl(int id);
  // OK: reads and checks the boxes, applies and saves; true when closed.
  bool TryAccept();
  void accept() override;

  const smt::run::SmtStrategy& Values() const { return values_; }
  QAbstractButton* Button(int id) const;
  QLineEdit* Edit(int id) const;
  QRadioButton* OrderRadio(int order) const { return orderRadios_.at(static_cast<size_t>(order)); }

 private:
  void Build();
  void ShowValues();
  bool ReadValues(smt::run::SmtStrategy& out);
  int CheckedIn(const std::vector<int>& ids) const;

  // Every head empty, every seat of the nozzle library filled.
  void ResetNozzleHolders();
  void SortList(int key);

  smt::run::SmtStrategy values_;
  smt::Machine& machine_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  std::map<int, QAbstractButton*> buttons_;
  std::map<int, QLineEdit*> edits_;
  std::vector<QRadioButton*> orderRadios_;
};

namespace smt::run {
// Radio ids of the head modes 0..8, the run modes 0..12 and the nozzle-change choices 0..2.
const std::vector<int>& HeadModeIds();
const std::vector<int>& RunModeIds();
const std::vector<int>& ChangeNozzleIds();
}  // namespace smt::run
