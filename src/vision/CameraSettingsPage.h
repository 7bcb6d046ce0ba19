#pragma once
// The settings page of one industrial camera: exposure, gain, gamma,
// contrast and mirroring. Edits a copy; Result() is what OK accepted.
#include <QDialog>

#include "platform/NumberEdit.h"
#include "vision/IndustrialCamera.h"

class QCheckBox;

namespace smt::vision {

class CameraSettingsPage : public QDialog {
  Q_OBJECT
 public:
  CameraSettingsPage(const std::string& cameraName, const CameraParameters& parameters, QWidget* parent = nullptr);
  CameraParameters Result() const;
  // OK: every box a number in its range, or the refusal naming it.
  void accept() override;

 private:
  smt::platform::NumberEdit* m_exposure;
  smt::platform::NumberEdit* m_gain;
  smt::platform::NumberEdit* m_gamma;
  smt::platform::NumberEdit* m_contrast;
  QCheckBox* m_mirrorX;
  QCheckBox* m_mirrorY;
};

// Shows the settings page of `camera` (modal, edits a copy, applies on OK).
// True when the operator applied new parameters.
bool ShowCameraSettingsPage(IIndustrialCamera& camera, QWidget* parent);

}  // namespace smt::vision
