#pragma once
// The part list panel of the main window.
#include <QWidget>
#include <string>

class CDialogPartList : public QWidget {
  Q_OBJECT
 public:
  explicit CDialogPartList(QWidget* parent = nullptr);

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "PartList.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
};
