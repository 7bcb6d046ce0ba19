#include "vision/CameraSettingsPage.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace smt::vision {

CameraSettingsPage::CameraSettingsPage(const std::string& cameraName, const CameraParameters& p, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CameraSettingsPage");
  setWindowTitle(QString::fromStdString(cameraName));
  auto* form = new QFormLayout;
  m_exposure = new QDoubleSpinBox(this);
  m_exposure->setObjectName("exposure");
  m_exposure->setRange(1.0, 1000000.0);
  m_exposure->setDecimals(1);
  m_exposure->setValue(p.exposureUs);
  m_gain = new QDoubleSpinBox(this);
  m_gain->setObjectName("gain");
  m_gain->setRange(1.0, 16.0);
  m_gain->setDecimals(2);
  m_gain->setValue(p.analogGain);
  m_gamma = new QSpinBox(this);
  m_gamma->setObjectName("gamma");
  m_gamma->setRange(1, 1000);
  m_gamma->setValue(p.gamma);
  m_contrast = new QSpinBox(this);
  m_contrast->setObjectName("contrast");
  m_contrast->setRange(0, 200);
  m_contrast->setValue(p.contrast);
  m_mirrorX = new QCheckBox(this);
  m_mirrorX->setObjectName("mirrorX");
  m_mirrorX->setChecked(p.mirrorX);
  m_mirrorY = new QCheckBox(this);
  m_mirrorY->setObjectName("mirrorY");
  m_mirrorY->setChecked(p.mirrorY);
  form->addRow("Exposure (us)", m_exposure);
  form->addRow("Analog gain", m_gain);
  form->addRow("Gamma", m_gamma);
  form->addRow("Contrast", m_contrast);
  form->addRow("Mirror X", m_mirrorX);
  form->addRow("Mirror Y", m_mirrorY);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

CameraParameters CameraSettingsPage::Result() const {
  CameraParameters p;
  p.exposureUs = m_exposure->value();
  p.analogGain = m_gain->value();
  p.gamma = m_gamma->value();
  p.contrast = m_contrast->value();
  p.mirrorX = m_mirrorX->isChecked();
  p.mirrorY = m_mirrorY->isChecked();
  return p;
}

bool ShowCameraSettingsPage(IIndustrialCamera& camera, QWidget* parent) {
  CameraSettingsPage page(camera.FriendlyName(), camera.Parameters(), parent);
  if (page.exec() != QDialog::Accepted) return false;
  return camera.SetParameters(page.Result());
}

}  // namespace smt::vision
