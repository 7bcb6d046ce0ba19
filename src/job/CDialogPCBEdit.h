#pragma once
// The PCB editor: choose the job's current board from the list of names,
// edit its name, note, panel array, thickness, origin, marks and Mark camera
// values, and apply them to the board's record with OK. The fields are an
// editing copy; only OK writes them into the record. The list operations
// (add, delete, paste, rename) act on the table at once.
#include <QDialog>
#include <cstdint>
#include <functional>

#include "platform/Hooks.h"
#include "platform/NumberEdit.h"
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "job/JobModel.h"
#include "job/MarkCameraPanel.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QVBoxLayout;
class QTableWidget;

// The editor's fields (the editing copy of one board).
struct PcbEditFields {
  std::string name = "PCB->";
  std::string note;
  int rows = 0, cols = 0;
  double rowSpace = 0, colSpace = 0;
  double originX = 0, originY = 0;
  bool markEnable = false;
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
  double thickness = 1.6;
  double manualMark1X = 0, manualMark1Y = 0, manualMark2X = 0, manualMark2Y = 0;
  bool manualMark = false;
  bool m_ImageColorReversal = false;
  double m_VisualZoom = 18.0;
  double m_VisualBox = 2.0;
  double m_MarkDiameter = 1.0;
  int m_LightContrast = 190;
  int m_LightBrightness = 100;
  int m_VisualTimes = 3;
  int m_MarkCollectTime = 200;
  bool m_SpecialMark2 = false;
  int m_Mark2LightContrast = 150;
  int m_Mark2LightBrightness = 100;
  int m_DetectPrecision = 20;
  bool eachMark = false;
  int m_PcbBoardCount = 0;
};

class CDialogPCBEdit : public QDialog {
  Q_OBJECT
 public:
  // The editor edits the boards of `job`, shows the board's Mark camera
  // values on `camera` and takes positions from `machine`.
  CDialogPCBEdit(smt::Machine& machine, smt::job::JobModel& job, smt::job::MarkCameraPanelSlot& camera,
                 QWidget* parent = nullptr);

  // The import of pick-and-place files (the EDA import's dialog) and the
  // two-mark test.
  smt::platform::Hook<void()> openImportDialog{"CDialogPCBEdit.openImportDialog"};
  smt::platform::Hook<void()> openDoubleMarkTest{"CDialogPCBEdit.openDoubleMarkTest"};
  // Before an import replaces the board's parts and the rows the part list
  // shows: the job's save question when it holds changes not saved (as a new
  // or opened job asks). False: the operator cancelled, nothing is imported.
  // Asked once per opening of the editor.
  smt::platform::Hook<bool()> askBeforeImport{"CDialogPCBEdit.askBeforeImport"};

  // Zero point of the one-key zero command (pulses).
  int32_t m_nZeroX = 0, m_nZeroY = 0, m_nZeroX2 = 0, m_nZeroY2 = 0;

  // Take-position buttons by control id (1361, 1362, 1233, 1234, 1011,
  // 1012, 1019, 1020, 1025, 1026, 1022, 1024, 1027, 1028).
  void OnTakePosition(int controlId);
  // The mark check boxes' interlocks.
  void OnMarkEnableClicked();
  void OnEachMarkClicked();
  void OnManualMarkClicked();
  // Double clicks on the labels "视觉比例" and "识别精度".
  void OnUnlockVisualZoom();
  void OnUnlockDetectPrecision();
  // Live checks of the Mark camera values (box edits).
  void OnVisualZoomChanged();
  void OnVisualBoxChanged();
  void OnContrastChanged();
  void OnBrightnessChanged();
  void OnGetLight(bool mark2);
  void OnImportFile();
  void OnDoubleMarkTest();
  QWidget* Control(const std::string& id) const;

  // Settings section "PcbEditConfig".
  void LoadConfig(const std::string& appDir);
  void SaveConfig(const std::string& appDir) const;
  void SetAppDir(const std::string& appDir) { appDir_ = appDir; }
  // Texts of section "PcbEditConfig" of "<appDir>/<language>.ini".
  void LoadLanguage(const std::string& appDir, const std::string& language);
  void ApplyLanguageTexts();
  std::string Text(const std::string& key) const;

  // Fills the controls from the table (the dialog's set-up; also on show).
  void InitFromTable();

  // Commands (button handlers), usable headless.
  void OnOK();
  void OnAddPcb();
  void OnDeletePcb();
  void OnPastePcb();
  void OnEditPcb();
  void OnPanelSizeChanged();
  void OnSelectAllPanels(bool on);
  void OnSelchangePcbList(int listRow);
  void OnClickPanelGrid(int row, int column);
  // The window's close: refused while boards exist and none is current.
  bool RequestClose();
  // Cancel: a board chosen but not applied does not stay current.
  void reject() override;

  // Lookups of the name list.
  int FindPcbListItem(const std::string& name) const;
  bool IsAnyPcbChecked() const;
  std::vector<std::string> ListNames() const;

  PcbEditFields& Fields() { return f_; }
  void WriteFieldsToControls();
  // Takes the boxes into the fields. `refuse`: a box whose text is not a
  // number in its range is refused (field and range named) and false is
  // returned with the fields untouched; otherwise such a box keeps its
  // field's value.
  bool ReadControlsToFields(bool refuse = false);
  int ArrayNumber() const { return m_nArrayNumber; }
  QString ArrayLabelText() const;
  // The panel grid view's cells in stored form ("1/5", "0/5").
  std::vector<std::vector<std::string>> GridFromView() const;
  QLineEdit* NameBox() const { return nameBox_; }
  QLineEdit* NoteBox() const { return noteBox_; }
  smt::platform::NumberEdit* RowsBox() const { return rows_; }
  smt::platform::NumberEdit* ColsBox() const { return cols_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void Build();
  void BuildCommands(QVBoxLayout* into);
  // A button that takes a box's value from the machine's position (OnTakePosition).
  QPushButton* AddTakeButton(int id, const char* key);
  void LockCameraFields();
  void RebuildNameList(const std::string& checkedName);
  void SetGridView(const std::vector<std::vector<std::string>>& grid, int cols);
  void CountGrid();
  void CopyRecordToFields(const smt::job::PcbRecord& rec, bool includeCamera);
  void Message(const std::string& key);
  int Type() const;

  smt::Machine& machine_;
  smt::job::JobModel& job_;
  smt::job::MarkCameraPanelSlot& camera_;
  // What an import replaced while the editor is open: the parts of each
  // board it imported into and the rows the part list showed. OK keeps the
  // import; Cancel puts these back.
  struct ImportUndo {
    std::map<std::string, smt::job::PlacementList> parts;  // board name -> its parts before
    std::string shownPcbName;
    std::vector<smt::job::ListRow> shownRows;
  };
  std::optional<ImportUndo> importUndo_;
  void KeepImport() { importUndo_.reset(); }
  void UndoImport();
  std::string appDir_ = ".";
  PcbEditFields f_;
  int m_nArrayNumber = 0;
  bool m_bCloseOnOK = true;
  std::map<std::string, std::string> texts_;
  bool building_ = false;

  QListWidget* names_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QLineEdit *nameBox_ = nullptr, *noteBox_ = nullptr;
  smt::platform::NumberEdit *rows_ = nullptr, *cols_ = nullptr;
  QCheckBox *selectAll_ = nullptr, *markEnable_ = nullptr, *manualMark_ = nullptr, *reversal_ = nullptr,
            *specialMark2_ = nullptr, *eachMark_ = nullptr;
  QLabel* arrayLabel_ = nullptr;
  // The number boxes by control name: decimals and whole numbers.
  std::map<std::string, smt::platform::NumberEdit*> dbl_;
  std::map<std::string, smt::platform::NumberEdit*> int_;
  std::map<std::string, QWidget*> textTargets_;  // language key -> control
  std::vector<std::pair<QPushButton*, std::string>> takeTexts_;  // take buttons share their keys
};
