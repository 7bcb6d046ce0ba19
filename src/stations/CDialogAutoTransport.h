#pragma once
// The conveyor's settings and test page: speeds, jog step, clamp time, the
// belt travels of the zone steps, the width and its range, whether a
// conveyor is fitted, and the buttons that test each belt, valve, signal
// and the width axis (tasks of the conveyor's test thread).
#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "platform/Hooks.h"
#include "stations/ConveyorSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

class CDialogAutoTransport : public QDialog {
  Q_OBJECT
 public:
  CDialogAutoTransport(std::string appDir, QWidget* parent = nullptr);
  ~CDialogAutoTransport() override;

  // Start-up (view's first initial update) and language switches.
  static void LoadConfig(const std::string& appDir);
  static void LoadLanguage(const std::string& appDir, const std::string& language);
  void ApplyLanguageTexts();
  void EnableTestControls(bool on);
  // The values of the boxes; false (box focused) when one is out of range.
  bool TakeValues(smt::stations::ConveyorSettings& out);
  // A press on a control, with check boxes read as before the click.
  void OnPress(int control);
  void ShowTestProgress(int step);
  void ShowConveyorWidth();
  // A double-click on a label: 1518 opens the reset width for editing, 1522
  // the width range.
  void OnDoubleClick(int control);
  // The dialog now open (nullptr when none).
  static CDialogAutoTransport* Open();

  std::map<int, QPushButton*> m_buttons;
  std::map<int, QCheckBox*> m_checks;
  QSpinBox* m_editStartSpeed = nullptr;
  QSpinBox* m_editNormalSpeed = nullptr;
  QSpinBox* m_editStep = nullptr;
  QSpinBox* m_editClampTime = nullptr;
  QSpinBox* m_editWaitTimeOut = nullptr;
  QDoubleSpinBox* m_editTravel[6] = {};
  QDoubleSpinBox* m_editResetWidth = nullptr;
  QDoubleSpinBox* m_editSetWidth = nullptr;
  QSpinBox* m_editMinRange = nullptr;
  QSpinBox* m_editMaxRange = nullptr;
  QLabel* m_progress = nullptr;
  QString m_progressFirst;  // the progress line's text until a task writes it

 public slots:
  void accept() override;
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool StageAndStart(int task);
  std::string appDir_;
  std::map<int, QLabel*> m_labels;
};

// What the dialog asks of the jog panel; the shell connects both.
struct ConveyorDialogHooks {
  // The jog panel's S-axis jog steps (m_S_RunSteps) for the width up/down buttons.
  smt::platform::Hook<int()> widthJogSteps{"ConveyorDialogHooks.widthJogSteps"};
  // Shows (true) or hides the jog panel's second information box, the conveyor trace.
  smt::platform::Hook<void(bool)> showConveyorTrace{"ConveyorDialogHooks.showConveyorTrace"};
};
ConveyorDialogHooks& ConveyorDialogShellHooks();
void SetConveyorWidthJogSteps(std::function<int()> steps);

// The main menu command 33181 opens this (view.RegisterDialog).
void OpenConveyorDialog(QWidget* parent, const std::string& appDir);
