#pragma once
// The position-limit detour dialog: the south-west and south-east zones and
// their detour coordinates, edited on a copy and stored on OK.
#include <QDialog>
#include <map>
#include <string>

class QLineEdit;
class QCheckBox;

namespace smt::settings {

class MachineSettingsStore;

class CDialogPositionLimitDetour : public QDialog {
  Q_OBJECT
 public:
  CDialogPositionLimitDetour(MachineSettingsStore& store, std::string appDir, std::string language,
                             QWidget* parent = nullptr);
  QLineEdit* Edit(const std::string& key) const { return edits_.at(key); }
  QCheckBox* Check(const std::string& key) const { return checks_.at(key); }
  bool TryAccept();
  void accept() override;

 private:
  MachineSettingsStore& store_;
  std::string appDir_;
  std::map<std::string, QLineEdit*> edits_;
  std::map<std::string, QCheckBox*> checks_;
};

}  // namespace smt::settings
