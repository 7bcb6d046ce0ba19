#pragma once
// The tray dialog "托盘操作": size, pitches and present cells of one tray,
// with move tests of the camera or a nozzle over a chosen cell.
#include <QDialog>
#include <string>

#include "feeder/FeederTexts.h"

namespace smt {
class Machine;
}

class QTableWidget;
class QLineEdit;
class QCheckBox;
class QLabel;
class QMenu;
class FeederListPanel;

class CDialogGridBox : public QDialog {
  Q_OBJECT
 public:
  CDialogGridBox(FeederListPanel* panel, smt::Machine& machine, QWidget* parent = nullptr);

  double originX = 0, originY = 0;
  int targetRow = 0, targetCol = 1;
  int tool = 0;

  void OnInitDialog();
  bool Run();
  void OnSizeChanged();
  void OnCellClicked(int row, int col);
  void OnPlaceAll(bool on);
  void TakeRowPitch();
  void TakeColPitch();
  // Right click on a cell: guards, target; returns the menu (caller shows it) or nullptr.
  QMenu* OnCellRightClick(int row, int col, QWidget* parent);
  void StartMoveTest(int toolIndex);
  void OnOK();

  // Rows and columns within 0..10000; else a refusal naming the field.
  bool RowsAndColsFit();
  int Rows() const;
  int Cols() const;
  double RowSpace() const;
  double ColSpace() const;
  QTableWidget* Grid() const { return grid_; }
  QLineEdit* Edit(const std::string& name) const;
  QCheckBox* PlaceAll() const { return placeAll_; }
  QLabel* CountLabel() const { return count_; }
  // Icon of a grid cell: 1 part, 2 test target, 0 none.
  int CellIcon(int row, int col) const;

  // Move target in steps on `machine` for a tool over (row, col) with the shown pitches.
  static std::pair<int32_t, int32_t> MoveTarget(smt::Machine& machine, int row, int col, double rowSpace, double colSpace, double originX,
                                                double originY, int tool);

 private:
  void Rebuild(bool allPresent);
  void SetCellIcon(int row, int col, int icon);
  void UpdateCount();
  void ApplyTexts();

  FeederListPanel* panel_;
  smt::Machine& machine_;
  smt::feeder::FeederTexts texts_;
  QTableWidget* grid_ = nullptr;
  QLineEdit* rows_ = nullptr;
  QLineEdit* cols_ = nullptr;
  QLineEdit* rowSpace_ = nullptr;
  QLineEdit* colSpace_ = nullptr;
  QLineEdit* group_ = nullptr;
  QLineEdit* feeder_ = nullptr;
  QCheckBox* placeAll_ = nullptr;
  QLabel* count_ = nullptr;
  bool building_ = false;
};
