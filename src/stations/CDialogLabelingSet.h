#pragma once
// The labeling machine's settings page: sheet layout, ejector pin, pick
// heights, recognition values, teach buttons and the test tasks.
#include <QDialog>
#include <map>
#include <string>

#include "platform/NumberEdit.h"
#include "stations/LabelingSettings.h"

namespace smt {
class Machine;
}

class QPushButton;
class QLabel;

class CDialogLabelingSet : public QDialog {
  Q_OBJECT
 public:
  CDialogLabelingSet(smt::Machine& machine, std::string appDir, QWidget* parent = nullptr);

  bool TakeValues(smt::stations::LabelingSettings& out);
  // Teach: start/end point from the sheet axes, ejector pin from the camera.
  void OnTeach(const std::string& key);
  // T0..T4: limit checks, then tasks 0..4; the other tasks by number.
  void OnTestPoint(int which);
  void OnTask(int task);
  void ToggleHead();
  bool Head1() const { return head1_; }
  // The press of a jog, reset, speed, camera, loop or vacuum control `id`
  // and the release that stops a held jog. False when refused.
  bool Press(int id);
  void Release();
  QPushButton* Button(int id) const;

  std::map<std::string, smt::platform::NumberEdit*> m_fields;
  QLabel* m_head = nullptr;

 public slots:
  void accept() override;

 private:
  smt::Machine& machine_;
  std::string appDir_;
  bool head1_ = true;
  std::map<int, QPushButton*> buttons_;
};

void OpenLabelingDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir);
