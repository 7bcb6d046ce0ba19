#pragma once
// The jog panel of the main window.
#include <QWidget>
#include <string>

class CDialogManualControl : public QWidget {
  Q_OBJECT
 public:
  explicit CDialogManualControl(QWidget* parent = nullptr);

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "ManualControl.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
};
