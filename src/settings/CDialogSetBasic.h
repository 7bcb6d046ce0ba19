#pragma once
// The basic settings dialog: edits a copy of the machine settings; OK checks
// every field before anything is stored, Cancel leaves no trace.
#include <QDialog>
#include <functional>
#include <utility>
#include <map>
#include <string>

#include "settings/BasicSettings.h"
#include "settings/TeachPosition.h"

class QLineEdit;
class QCheckBox;
class QRadioButton;
class QPushButton;

namespace smt {
class Machine;
}

namespace smt::settings {

class MachineSettingsStore;

class CDialogSetBasic : public QDialog {
  Q_OBJECT
 public:
  // Seams of later subsystems: the height measurement (feeder test), the
  // origin update dialog and the platform selection of the jog panel.
  struct Hooks {
    std::function<void()> startAutoZ;         // runs the measurement worker
    std::function<void(QWidget*)> showOriginUpdate;
    std::function<int()> selectedPlatform;    // 1 or 2 (machine type 4)
    // The second platform's X2 and Y2 in steps (machine type 4).
    std::function<std::pair<int32_t, int32_t>()> platformPositions;
  };

  CDialogSetBasic(smt::Machine& machine, MachineSettingsStore& store, std::string appDir, std::string language, QWidget* parent = nullptr,
                  Hooks hooks = {});
  ~CDialogSetBasic() override;
  // The dialog while it is open (window thread only), else null.
  static CDialogSetBasic* OpenDialog() { return openDialog_; }

  QLineEdit* Edit(const std::string& key) const;
  QCheckBox* Check(const std::string& key) const;
  QPushButton* TakeButton(TeachButton b) const;
  const BasicSettings& Working() const { return working_; }

  // OK: returns true when the settings were committed and the dialog closed.
  bool TryAccept();
  void accept() override;
  void reject() override;

  // Take-button, offset and AutoZ handlers (also reachable from tests).
  void TakePosition(TeachButton b);
  void TakeVisualOriginOffset(bool x);
  void OnAutoZ();
  void OnPositionLimitDetour();

  // The height measurement's result while the dialog is open.
  void ShowMeasurement(double mm);

 private:
  void Build();
  void Fill(const BasicSettings& s);
  void ApplyMachineType(int type);
  QString Text(const char* name, const char* def) const;

  smt::Machine& machine_;
  MachineSettingsStore& store_;
  std::string appDir_, language_;
  Hooks hooks_;
  BasicSettings working_;
  std::map<std::string, QLineEdit*> edits_;
  std::map<std::string, QCheckBox*> checks_;
  std::map<std::string, std::pair<QRadioButton*, QRadioButton*>> radios_;
  std::map<int, QPushButton*> takeButtons_;
  static inline CDialogSetBasic* openDialog_ = nullptr;
};

}  // namespace smt::settings
