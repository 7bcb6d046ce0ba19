#pragma once
// The axis pulse dialog: the twelve scales, the pulse generator, the pulse
// check and the test run of one motor. Generate, Check and Test work on the
// values as typed; only OK stores the scales.
#include <QDialog>
#include <map>
#include <string>

#include "settings/PulseSettings.h"

class QLineEdit;
class QComboBox;
class QRadioButton;

namespace smt {
class Machine;
}

namespace smt::settings {

class MachineSettingsStore;

class CDialogSetPulse : public QDialog {
  Q_OBJECT
 public:
  CDialogSetPulse(smt::Machine& machine, MachineSettingsStore& store, std::string appDir, std::string language, QWidget* parent = nullptr,
                  PulseTestRunner* runner = nullptr);

  QLineEdit* Edit(const std::string& name) const { return edits_.at(name); }
  QComboBox* RunAxis() const { return runAxis_; }
  QRadioButton* Pulley() const { return pulley_; }
  QRadioButton* Screw() const { return screw_; }

  void OnGenerate();
  void OnCheck();
  void OnTestRun();
  bool TryAccept();
  void accept() override;

 private:
  QString Text(const char* name, const char* def) const;
  bool TakeScratch(PulseSettings& p);

  smt::Machine& machine_;
  MachineSettingsStore& store_;
  std::string appDir_, language_;
  PulseTestRunner* runner_;
  std::map<std::string, QLineEdit*> edits_;
  QComboBox* runAxis_ = nullptr;
  QRadioButton* pulley_ = nullptr;
  QRadioButton* screw_ = nullptr;
};

}  // namespace smt::settings
