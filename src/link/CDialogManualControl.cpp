#include "link/CDialogManualControl.h"

CDialogManualControl::CDialogManualControl(QWidget* parent) : QWidget(parent) { setObjectName("CDialogManualControl"); }

void CDialogManualControl::LoadLanguage(const std::string& /*appDir*/, const std::string& /*language*/) {}

void CDialogManualControl::ApplyLanguageTexts() {}
