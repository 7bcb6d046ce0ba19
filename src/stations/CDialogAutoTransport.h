#pragma once
// The conveyor's settings and test page: speeds, jog step, clamp time, the
// belt travels of the zone steps, the width and its range, whether a
// conveyor is fitted, and the buttons that test each belt, valve, signal
// and the width axis (tasks of the conveyor's test thread).
#include <QDialog>
#include <functional>
#include <map>
#include <string>

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

 public slots:
  void accept() override;
  void reject() override;

 private:
  bool StageAndStart(int task);
  std::string appDir_;
  std::map<int, QLabel*> m_labels;
};

// The jog panel's S-axis jog steps (m_S_RunSteps) for the width up/down
// buttons; installed by the shell.
void SetConveyorWidthJogSteps(std::function<int()> steps);

// The main menu command 33181 opens this (view.RegisterDialog).
void OpenConveyorDialog(QWidget* parent, const std::string& appDir);
