#pragma once
// The feeder list panel of the main window.
#include <QWidget>
#include <string>

class CDialogFeedList : public QWidget {
  Q_OBJECT
 public:
  explicit CDialogFeedList(QWidget* parent = nullptr);

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "FeedList.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();
};
