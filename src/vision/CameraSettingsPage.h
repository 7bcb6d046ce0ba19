#pragma once
// The settings page of one industrial camera: exposure, gain, gamma,
// contrast and mirroring. Edits a copy; Result() is what OK accepted.
#include <QDialog>

#include "vision/IndustrialCamera.h"

class QDoubleSpinBox;
class QSpinBox;
class QCheckBox;

namespace smt::vision {

class CameraSettingsPage : public QDialog {
  Q_OBJECT
 public:
  CameraSettingsPage(const std::string& cameraName, const CameraParameters& parameters, QWidget* parent = nullptr);
  CameraParameters Result() const;

 private:
  QDoubleSpinBox* m_exposure;
  QDoubleSpinBox* m_gain;
  QSpinBox* m_gamma;
  QSpinBox* m_contrast;
  QCheckBox* m_mirrorX;
  QCheckBox* m_mirrorY;
};

// Shows the settings page of `camera` (modal, edits a copy, applies on OK).
// True when the operator applied new parameters.
bool ShowCameraSettingsPage(IIndustrialCamera& camera, QWidget* parent);

}  // namespace smt::vision
