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
#include "platform/NumberEdit.h"
#include "stations/ConveyorSettings.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QLabel;
class QPushButton;

class CDialogAutoTransport : public QDialog {
  Q_OBJECT
 public:
  CDialogAutoTransport(smt::Machine& machine, std::string appDir, QWidget* parent = nullptr);
  ~CDialogAutoTransport() override;

  // Start-up (view's first initial update) and language switches.
  static void LoadConfig(smt::Machine& machine, const std::string& appDir);
  static void LoadLanguage(smt::Machine& machine, const std::string& appDir, const std::string& language);
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
  smt::platform::NumberEdit* m_editStartSpeed = nullptr;
  smt::platform::NumberEdit* m_editNormalSpeed = nullptr;
  smt::platform::NumberEdit* m_editStep = nullptr;
  smt::platform::NumberEdit* m_editClampTime = nullptr;
  smt::platform::NumberEdit* m_editWaitTimeOut = nullptr;
  smt::platform::NumberEdit* m_editTravel[6] = {};
  smt::platform::NumberEdit* m_editResetWidth = nullptr;
  smt::platform::NumberEdit* m_editSetWidth = nullptr;
  smt::platform::NumberEdit* m_editMinRange = nullptr;
  smt::platform::NumberEdit* m_editMaxRange = nullptr;
  QLabel* m_progress = nullptr;
  QString m_progressFirst;  // the progress line's text until a task writes it

 public slots:
  void accept() override;
  void reject() override;
  // Closing while the dialog's own conveyor task waits gives that task up;
  // while the machine is busy otherwise, closing is refused with a message.
  bool MayClose();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool StageAndStart(int task);
  smt::Machine& machine_;
  std::string appDir_;
  std::map<int, QLabel*> m_labels;
};


// The main menu command 33181 opens this (view.RegisterDialog).
void OpenConveyorDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir);
