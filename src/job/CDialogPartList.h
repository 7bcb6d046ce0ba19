#pragma once
// The part list panel of the main window: the placement, dispensing and
// drill lists of the open job (one shown at a time), the PCB editor, and
// the board transforms of the placement list's context menu.
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "job/JobModel.h"

class CDialogPCBEdit;
class QComboBox;
class QLabel;
class QStackedWidget;
class QTableView;
class RowListModel;

class CDialogPartList : public QWidget {
  Q_OBJECT
 public:
  explicit CDialogPartList(QWidget* parent = nullptr);
  ~CDialogPartList() override;

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "PartList.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
  // Fills the name, type and angle choices from the common drop-down lists.
  void FillChoiceCombos();
  std::string Text(const std::string& key) const;

  // The job the panel shows, and its PCB editor.
  smt::job::JobModel& Job() { return job_; }
  CDialogPCBEdit& PcbEditor() { return *pcbEdit_; }
  // Opens the PCB editor (modal).
  void OnPcbEdit();

  // Row tables behind the dispensing and drill lists (side-file texts).
  void LoadDispenseRows(const std::vector<std::string>& lines) { job_.LoadDispenseLines(lines); }
  void LoadDrillRows(const std::vector<std::string>& lines) { job_.LoadDrillLines(lines); }
  std::vector<std::string> StoreDispenseRows() const { return job_.StoreDispenseLines(); }
  std::vector<std::string> StoreDrillRows() const { return job_.StoreDrillLines(); }

  // Context menu "PCB板操作" of the placement list.
  void OnPcbRotateClockwise();
  void OnPcbRotateCounterclockwise();
  void OnPcbMirrorLeftRight();
  void OnPcbMirrorUpDown();
  void OnPcbMergePanels();

  // The labels of the current board and the count (statics 1103, 1104).
  void SetBoardLabels(const QString& board, const QString& count);

  QTableView* PlacementView() const { return views_[0]; }
  QTableView* DispenseView() const { return views_[1]; }
  QTableView* DrillView() const { return views_[2]; }
  RowListModel* Model(smt::job::RowKind k) const { return models_[static_cast<int>(k)]; }
  QComboBox* ChoiceCombo(int id) const;  // 1085 names, 1020 types, 1025 angles
  QTableView* VisibleView() const;

 private:
  void Transform(smt::job::BoardTransform t, const char* firstKey, const char* secondKey);
  void ShowVisibleList();

  smt::job::JobModel job_;
  std::unique_ptr<CDialogPCBEdit> pcbEdit_;
  std::map<std::string, std::string> texts_;
  QStackedWidget* stack_ = nullptr;
  QTableView* views_[3] = {};
  RowListModel* models_[3] = {};
  QLabel *board_ = nullptr, *count_ = nullptr, *progress_ = nullptr, *smtTime_ = nullptr;
  QComboBox *names_ = nullptr, *types_ = nullptr, *angles_ = nullptr;
  QString boardText_, countText_;
};
