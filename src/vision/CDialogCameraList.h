#pragma once
// The camera list ("视觉对中摄像机管理"): the camera table with add, modify
// and delete through the camera editor, the settings of [CameraListConfig]
// (standard piece, camera-switch delay, synchronous correction, high-speed
// and fly cameras) and the row menu that starts the calibration tasks.
// A member of the main view for the life of the window; shown modally.
#include <QDialog>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "platform/BuiltOnFirstUse.h"
#include "platform/Port.h"
#include "vision/CameraCalibration.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraTable.h"

class QLabel;
class QTableWidget;
class QLineEdit;
class QCheckBox;
class QPushButton;
class QMenu;
class CDialogSetView;
class CDialogCameraEdit;
struct BoardMarkView;

class CDialogCameraList : public QDialog {
  Q_OBJECT
 public:
  // `machine`: the machine the list works on (busy state, position, camera
  // mode, machine type), handed to its editor and calibration tasks.
  explicit CDialogCameraList(smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogCameraList() override;

  // What the dialog reaches of the shell and its neighbours: one interface
  // the shell connects and tests replace; used unconnected, it is named.
  class Neighbours {
   public:
    virtual ~Neighbours() = default;
    // The machine's camera table ("config_camera.fig") after OK or a shift.
    virtual void RowsCommitted(const std::vector<smt::vision::CameraRow>& rows) = 0;
    // Feeder list: each feeder row's vision-camera column, and the icon
    // update of the rows that have no vision camera.
    virtual std::vector<std::string> FeederCameraColumn() = 0;
    virtual void MarkFeedersWithoutVision(const std::vector<int>& rows) = 0;
    // The shown board's Mark camera values.
    virtual BoardMarkView BoardMark() = 0;
    // The head layout worked out again from the records (after a rebuild).
    virtual void LayoutHeads() = 0;
  };
  smt::platform::Port<Neighbours> neighbours{"CDialogCameraList.neighbours"};
  CDialogSetView* m_pSetView = nullptr;
  std::string m_strAppPath = ".";
  std::string m_strLanguage = "Chinese";

  // Takes the machine's camera rows (read when the file was read). Returns
  // how many number cells of the rows were refused (told once each).
  int LoadTable(const std::vector<smt::vision::CameraRow>& rows);
  void RebuildCameraRecords();
  void SyncFeederVisionIcons();
  void ShiftCameraPositions(double dx, double dy);
  void LoadConfig(const std::string& appDir);
  bool SaveConfig(const std::string& appDir);
  void LoadLanguage(const std::string& appDir, const std::string& language);
  std::string Text(const std::string& key) const;

  // Dialog handlers.
  void OnInitDialog();
  void OnOK();
  void OnCancel();
  void OnAddCamera();
  void OnModifyCamera();
  void OnDeleteCamera();
  void OnListClick(int row);
  void OnListDblClk(int row);
  // Remembers the row and builds the calibration menu (nullptr: refused).
  QMenu* OnListRClick(int row);
  void OnCalibrationMenu(int task);
  void OnMenuExit() { m_bCalibrationRunning = false; }
  void OnCaptureBaseX();
  void OnCaptureBaseY();
  void OnCaptureBaseZ();
  void OnHighSpeedCameraClicked();
  void OnFlyCameraClicked();
  void OnActivate();
  void OnCameraSettings();
  // Takes the controls into the settings; false (message shown) on a range failure.
  bool TakeSettings();
  void PutSettings();

  smt::vision::CameraTable m_Table;
  smt::vision::CameraRecord& m_Camera_first = m_Table.m_Camera_first;
  smt::vision::CameraRecord& m_Camera_second = m_Table.m_Camera_second;
  smt::vision::CameraListSettings m_Settings;
  int m_nSelectedRow = -1;
  int m_nCalibrationTask = 0;
  std::atomic<bool> m_bCalibrationRunning{false};
  // Made when a camera is first added or modified.
  smt::platform::BuiltOnFirstUse<CDialogCameraEdit> m_pEditor;
  // The labels of the setting fields, by member name.
  std::map<std::string, QLabel*> fieldLabels_;
  // Test seam: runs the editor; default exec().
  std::function<int(CDialogCameraEdit&)> runEditor;
  // The job of the last calibration started.
  std::shared_ptr<smt::vision::CalibrationJob> m_lastJob;

  QTableWidget* list = nullptr;
  std::map<std::string, QLineEdit*> edits;
  std::map<std::string, QCheckBox*> checks;
  QPushButton* flyTestButton = nullptr;

 private:
  smt::Machine& machine_;
  void FillList();
  // Shows row `row` from its record's shown texts.
  void SetListRow(int row, const std::vector<std::string>& texts);
  double XPulse() const;
  double YPulse() const;
  std::map<std::string, std::string> m_texts;
  // The language last loaded while the editor was not made yet: given to it when it is.
  std::optional<std::pair<std::string, std::string>> editorLanguage_;
};
