#pragma once
// The placement strategy page: list order, head mode, automatic nozzle
// change, cover tape, run mode and the dispensing parameters. It edits a
// copy of the strategy and commits it (file and run engine) on OK.
#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

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
  // What OK and the buttons reach outside the page. The shell connects
  // every one when it opens the page; calling one that is not connected is
  // an error naming it (loud hooks), never a silent skip.
  struct Environment {
    template <class Sig>
    using Hook = smt::platform::Hook<Sig>;
    std::string appDir = ".";
    std::string language = "Chinese";
    int machineType = 0;
    Hook<void(int sortKey)> sortList{"CDialogSMTStrategy.sortList"};  // sort the placement list by the key
    Hook<void()> checkFeederOrder{"CDialogSMTStrategy.checkFeederOrder"};  // head mode 1
    // Run modes 1, 2 (true: the dispensing list shown) and 5, 6 (false).
    Hook<void(bool dispenseView)> showDispenseView{"CDialogSMTStrategy.showDispenseView"};
    Hook<void()> fillDispenseFromSmtIfEmpty{"CDialogSMTStrategy.fillDispenseFromSmtIfEmpty"};  // run modes 1, 2
    Hook<void()> resetNozzleHolders{"CDialogSMTStrategy.resetNozzleHolders"};  // every head empty, every seat filled
    Hook<void()> openCoverDialog{"CDialogSMTStrategy.openCoverDialog"};        // "设置"
    Hook<void()> renumberLists{"CDialogSMTStrategy.renumberLists"};            // "重置序号"
    Hook<void(int headCount)> setHeadCount{"CDialogSMTStrategy.setHeadCount"};  // the run's head count
  };

  CDialogSMTStrategy(smt::run::SmtStrategy values, Environment env, QWidget* parent = nullptr);

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

  smt::run::SmtStrategy values_;
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
