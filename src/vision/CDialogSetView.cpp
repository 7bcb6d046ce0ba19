#include "vision/CDialogSetView.h"

#include "platform/SettingsSection.h"
#include "vision/VisionGlobals.h"

CDialogSetView::CDialogSetView(QWidget* parent) : QWidget(parent) { setObjectName("CDialogSetView"); }

void CDialogSetView::LoadLanguage(const std::string& /*appDir*/, const std::string& /*language*/) {}

void CDialogSetView::ApplyLanguageTexts() {}

void CDialogSetView::LoadConfig(const std::string& appDir) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SetViewConfig");
  m_BinaryImg = s.ReadInt("m_BinaryImg");
  m_bBinaryImg = m_BinaryImg != 0;
  m_VisualSize = s.ReadDouble("m_VisualSize");
  m_Light_Contrast = s.ReadInt("m_Light_Contrast");
  m_Light_Brightness = s.ReadInt("m_Light_Brightness");
  g_nHighSpeedCamera = smt::platform::SettingsSection(smt::platform::ConfigPath(appDir), "CameraListConfig")
                           .ReadInt("m_HighSpeedCamera");
}

void CDialogSetView::SaveViewConfig(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "SetViewConfig");
  s.WriteInt("m_BinaryImg", m_BinaryImg);
  s.WriteDouble("m_VisualSize", m_VisualSize, 2);
  s.WriteInt("m_Light_Contrast", m_Light_Contrast);
  s.WriteInt("m_Light_Brightness", m_Light_Brightness);
}
