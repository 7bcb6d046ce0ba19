#pragma once
// The nozzle library dialog ("吸嘴库管理"): the list of seats with the
// nozzle each holds, the head each nozzle is on, the seat editor, the seat
// menu's machine operations and the nozzle-change settings. While it is open
// its list is the master: every add, modify and delete rebuilds the
// library's rows from it; OK hands the rows to the frame and writes
// "config_nozzle.fig".
#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/CDialogNozzleEdit.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleSeatOperations.h"
#include "library/NozzleStrategy.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace smt {
class Machine;
}

class CDialogNozzleList : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    std::vector<std::string>* frameRows = nullptr;  // the machine's nozzle rows (LibraryLists::nozzleRows)
    smt::link::JogRunner* jog = nullptr;
    std::function<void()> switchToMarkCamera;       // camera panel: live view to the Mark camera
    std::function<void()> homeZ;                    // jog panel's Z-axes homing
    std::function<void()> homeAll;                  // jog panel's whole-machine homing
  };

  CDialogNozzleList(smt::library::NozzleLibrary& lib, smt::Machine& machine, Environment env, QWidget* parent = nullptr);
  ~CDialogNozzleList() override;

  // Runs the seat editor; tests replace it (return true for the editor's OK).
  std::function<bool(CDialogNozzleEdit&)> runEditor;

  // Language texts of section "NozzleListConfig".
  void LoadLanguage();
  std::string Text(const std::string& key) const;

  // Handlers, usable without a window.
  void OnSelectRow(int row);  // click: the first selected row (-1 none)
  void OnAdd();
  void OnModify();
  void OnDelete();
  // Right-click: true when the seat menu would open for the selected row.
  bool SeatMenuAllowed();
  void OnNozzleOp(int op);
  void OnUp();
  void OnReset();
  void OnMagazine(bool open);
  bool TryAccept();
  void accept() override;

  // From the take and return motions (any thread).
  void SetHeadNozzleState(int head, int seat, bool taken);
  // A unified column (pick height 3, entrance Z 6, vacuum 7) in every row.
  void SetColumnValue(int column, double value);
  // The cells of the list's rows.
  std::vector<smt::library::NozzleRow> ListRows() const;
  // The rows the list keeps (the widget is drawn from them).
  const std::vector<smt::library::NozzleListRow>& Rows() const { return rows_; }

  int m_nSelectedRow = -1;
  int m_nNozzleOp = -1;
  bool m_bMagazineOpen = false;

  QTableWidget* List() const { return list_; }
  QComboBox* HeadCombo() const { return headCombo_; }
  QLabel* HeadLabel(int head) const { return headValues_[head - 1]; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* ModifyButton() const { return modify_; }
  QCheckBox* MagazineBox() const { return magazine_; }
  QLineEdit* DistanceEdit() const { return distance_; }
  QLineEdit* DelayEdit() const { return delay_; }
  QCheckBox* ExtensionBox() const { return extension_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Build();
  void FillList();
  void DrawRow(int row, bool hasNozzle);
  int RowCount() const;
  void RebuildTableFromList();
  bool RunEditor();
  void ShowSeatMenu(const QPoint& globalPos);

  smt::library::NozzleLibrary& lib_;
  smt::Machine& machine_;
  Environment env_;
  smt::library::NozzleStrategy strategy_;
  std::vector<smt::library::NozzleListRow> rows_;
  std::map<std::string, std::string> texts_;
  QTableWidget* list_ = nullptr;
  QComboBox* headCombo_ = nullptr;
  std::array<QLabel*, 8> headValues_{};
  QPushButton *add_ = nullptr, *modify_ = nullptr, *delete_ = nullptr;
  QCheckBox *magazine_ = nullptr, *extension_ = nullptr;
  QLineEdit *delay_ = nullptr, *distance_ = nullptr;
};

// Head combo entries by machine type ("A1".."A8"; none for types 4, 6, 9).
std::vector<std::string> NozzleHeadChoices(int machineType);
