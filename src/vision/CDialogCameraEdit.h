#pragma once
// The camera editor: one camera row of the camera table. While open it
// shows the edited camera in the live view and passes changes of scale, box
// size, contrast and brightness straight to the camera panel.
#include <QDialog>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "vision/CameraEditValues.h"

class QLineEdit;
class QLabel;
class QGroupBox;
class CDialogSetView;

class CDialogCameraEdit : public QDialog {
  Q_OBJECT
 public:
  // The machine whose position the capture buttons take and whose camera
  // mode decides the box check.
  explicit CDialogCameraEdit(smt::Machine& machine, QWidget* parent = nullptr);

  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Opens with `values`; the list's names and remembered row for the name check.
  void OnInitDialog();
  void OnOK();
  void OnCaptureX();
  void OnCaptureY();
  void OnZoomChange();
  void OnVisualSizeChange();
  void OnContrastChange();
  void OnBrightnessChange();
  void OnPrecisionXYChange();
  void OnPrecisionAChange();
  std::string Text(const std::string& key) const;

  smt::vision::CameraEditValues values;  // kept between openings
  std::vector<std::string> rowNames;
  int selectedRow = -1;
  CDialogSetView* panel = nullptr;
  std::string appDir = ".";
  std::string language = "Chinese";

  QLineEdit* editName = nullptr;
  QLineEdit* editX = nullptr;
  QLineEdit* editY = nullptr;
  std::array<QLineEdit*, 16> editCorrection{};
  QLineEdit* editAngle = nullptr;
  QLineEdit* editZoom = nullptr;
  QLineEdit* editSize = nullptr;
  QLineEdit* editContrast = nullptr;
  QLineEdit* editBrightness = nullptr;
  QLineEdit* editTimes = nullptr;
  QLineEdit* editPrecisionXY = nullptr;
  QLineEdit* editPrecisionA = nullptr;
  QLineEdit* editCollect = nullptr;
  QLabel* precisionXYMm = nullptr;
  QLabel* precisionADeg = nullptr;

 private:
  smt::Machine& machine_;
  void BoxChanged(bool scaleEdit);
  // Title, labels, group titles and buttons from the loaded texts.
  void ApplyTexts();
  bool TakeValues();
  void PutValues();
  std::map<std::string, std::string> m_texts;
  std::map<std::string, QLabel*> m_labels;  // by text key
  QGroupBox* correctionGroup_ = nullptr;
  QGroupBox* visionGroup_ = nullptr;
};
