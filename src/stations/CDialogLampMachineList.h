#pragma once
// The lamp machine's point table window: the 20 rows of the grid, add,
// modify and delete of points through the point editor, and the board
// counters. Edits the shared grid; OK stores the counters.
#include <QDialog>
#include <map>
#include <string>

#include "platform/NumberEdit.h"
#include "stations/LampPointTable.h"

namespace smt {
class Machine;
}

class QTableWidget;
class QPushButton;
class QLabel;

// The editor of one row's values (cells 2..34).
class CDialogLampMachineEdit : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogLampMachineEdit(smt::Machine& machine, QWidget* parent = nullptr);
  // The values shown, the point (1..10, 0 none) and the platform (1, 2, 0 none).
  void SetValues(const smt::stations::LampPointValues& v, int point, int platform);
  smt::stations::LampPointValues Values() const;
  std::vector<QWidget*> m_fields;  // cells 2..34 in order

  // The teach pendant: a press of control `id` (the guards, then the
  // control's action) and the release that stops a held jog. False when the
  // press was refused.
  bool Press(int id);
  void Release();
  QPushButton* Button(int id) const;
  // One field by its column (3..34) as a real, and a taught value written
  // with "%0.4f" after the 0.0001 bias away from zero.
  double Field(int cell) const;
  void SetTaught(int cell, double value);
  // The field the last refused dispense test pointed at (-1 none).
  int m_nFocusCell = -1;
  bool m_bClampOn = false;
  int m_nMoveSelector = 0;
  int m_nDispenseSelector = 0;

 public slots:
  void accept() override;

 private:
  smt::Machine& machine_;
  QLabel* m_point = nullptr;
  int m_pointNumber = 0, m_platformNumber = 0;
  QLabel* m_platform = nullptr;
  std::map<int, QPushButton*> m_buttons;
  int Platform() const;
  void ShowSpeedStep(int gear);
  void FocusCell(int cell);
  // The fields' range checks: the first field out of its range is refused
  // with its label and range, and gets the focus.
  bool CheckFieldRanges();
  bool DotTest(int group, bool dispense, bool silverCamera);
};

class CDialogLampMachineList : public QDialog {
  Q_OBJECT
 public:
  CDialogLampMachineList(smt::Machine& machine, std::string appDir, QWidget* parent = nullptr);

  // Column titles of the 40 columns.
  static const std::vector<std::string>& ColumnTitles();
  void Refresh();
  void OnAdd();
  void OnModify();
  void OnDelete();
  void OnConfirmCounts();
  int SelectedRow() const;

  QTableWidget* m_list = nullptr;
  smt::platform::NumberEdit* m_editSet = nullptr;
  smt::platform::NumberEdit* m_editFinish = nullptr;
  smt::platform::NumberEdit* m_editUnfinish = nullptr;
  smt::platform::NumberEdit* m_editChange = nullptr;
  // Tests: answers the editor instead of showing it.
  std::function<bool(CDialogLampMachineEdit&)> runEditor;

 public slots:
  void accept() override;

 private:
  bool RunEditor(CDialogLampMachineEdit& e);
  smt::Machine& machine_;
  std::string appDir_;
  smt::stations::LampCounters counters_;
};

// The view's counters at start-up ([LampMachineListConfig]) and the main
// menu command 33185 (view.RegisterDialog).
void LoadLampMachineCounters(smt::Machine& machine, const std::string& appDir);
smt::stations::LampCounters CurrentLampCounters(smt::Machine& machine);
// The runs count boards made here; the table's OK stores them.
void SetCurrentLampCounters(smt::Machine& machine, const smt::stations::LampCounters& counters);
void OpenLampMachineListDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir);
