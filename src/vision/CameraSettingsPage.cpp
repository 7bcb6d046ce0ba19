#include "vision/CameraSettingsPage.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "platform/NumberEdit.h"

namespace smt::vision {

CameraSettingsPage::CameraSettingsPage(const std::string& cameraName, const CameraParameters& p, QWidget* parent)
    : QDialog(parent) {
  setObjectName("CameraSettingsPage");
  setWindowTitle(QString::fromStdString(cameraName));
  auto* form = new QFormLayout;
  // Number boxes keep what is typed; OK refuses a box that holds no number in its range.
  m_exposure = new smt::platform::NumberEdit(this, 1.0, 1000000.0, 1);
  m_exposure->setObjectName("exposure");
  m_exposure->setValue(p.exposureUs);
  m_gain = new smt::platform::NumberEdit(this, 1.0, 16.0, 2);
  m_gain->setObjectName("gain");
  m_gain->setValue(p.analogGain);
  m_gamma = new smt::platform::NumberEdit(this, 1, 1000, -1);
  m_gamma->setObjectName("gamma");
  m_gamma->setValue(p.gamma);
  m_contrast = new smt::platform::NumberEdit(this, 0, 200, -1);
  m_contrast->setObjectName("contrast");
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
  connect(buttons, &QDialogButtonBox::accepted, this, &CameraSettingsPage::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void CameraSettingsPage::accept() {
  for (smt::platform::NumberEdit* e : {m_exposure, m_gain, m_gamma, m_contrast})
    if (!e->Read()) return;
  QDialog::accept();
}

CameraParameters CameraSettingsPage::Result() const {
  CameraParameters p;
  p.exposureUs = m_exposure->Valid().value_or(p.exposureUs);
  p.analogGain = m_gain->Valid().value_or(p.analogGain);
  p.gamma = static_cast<int>(m_gamma->Valid().value_or(p.gamma));
  p.contrast = static_cast<int>(m_contrast->Valid().value_or(p.contrast));
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
