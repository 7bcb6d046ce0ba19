#pragma once
// The camera panel of the main window.
#include <QWidget>
#include <string>

class CDialogSetView : public QWidget {
  Q_OBJECT
 public:
  explicit CDialogSetView(QWidget* parent = nullptr);

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "SetView.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
};
