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

  // Reads [SetViewConfig] (binary view, visual size, light contrast and
  // brightness) and the camera kind of [CameraListConfig].
  void LoadConfig(const std::string& appDir);
  // Writes [SetViewConfig]; the main frame calls it at program exit.
  void SaveViewConfig(const std::string& appDir) const;

  int m_BinaryImg = 0;
  bool m_bBinaryImg = false;
  double m_VisualSize = 0.0;
  int m_Light_Contrast = 0;
  int m_Light_Brightness = 0;
};
