#pragma once
// The dipping station's settings page: position, film and timings, the feed
// switch, teaching X/Y/Z from the current position, head 1 to the station
// and the height measurement. Edits a copy; OK checks and saves it.
#include <QDialog>
#include <string>

#include "platform/NumberEdit.h"
#include "stations/DippingStation.h"
#include "stations/StationTexts.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QPushButton;
class QLabel;

class CDialogDippingStation : public QDialog {
  Q_OBJECT
 public:
  CDialogDippingStation(smt::Machine& machine, std::string appDir, QWidget* parent = nullptr);
  ~CDialogDippingStation() override;

  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Values from the controls; false (and the offending box focused) when
  // one is out of range.
  bool TakeValues(smt::stations::DippingStationSettings& out);

  void OnOperate();
  void OnTeach(int axis);  // 0 X, 1 Y, 2 Z
  void OnHead1ToStation();
  void OnMeasure();
  void ShowMeasuredZ(double z);

  smt::platform::NumberEdit* m_editX = nullptr;
  smt::platform::NumberEdit* m_editY = nullptr;
  smt::platform::NumberEdit* m_editZ = nullptr;
  smt::platform::NumberEdit* m_editFilm = nullptr;
  smt::platform::NumberEdit* m_editRunTime = nullptr;
  smt::platform::NumberEdit* m_editStopDelay = nullptr;
  smt::platform::NumberEdit* m_editDelay = nullptr;
  QCheckBox* m_checkStation = nullptr;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void ApplyTexts();
  smt::Machine& machine_;
  std::string appDir_;
  smt::stations::StationTexts texts_;
  QLabel* m_labels[7] = {};
  QPushButton* m_buttons[6] = {};
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

// The main menu command 33291 opens this (view.RegisterDialog).
void OpenDippingStationDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language);
