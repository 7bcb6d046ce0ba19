#pragma once
// The cover-tape unit's settings and counters with its six machine tests.
// Opened from the placement strategy page.
#include <QDialog>
#include <string>

#include "platform/NumberEdit.h"
#include "stations/CoverTapeSettings.h"
#include "stations/StationTexts.h"

namespace smt {
class Machine;
}

class QLabel;
class QPushButton;

class CDialogSetCover : public QDialog {
  Q_OBJECT
 public:
  CDialogSetCover(smt::Machine& machine, std::string appDir, const std::string& language, QWidget* parent = nullptr);

  void LoadConfig(const std::string& appDir);
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // The controls' values; false (offending box focused) when out of range.
  bool TakeValues(smt::stations::CoverTapeSettings& out);
  // Test 1..6: guards, values, then the test thread.
  void OnTest(int test);

  smt::platform::NumberEdit* m_edits[7] = {};
  QPushButton* m_tests[6] = {};

 public slots:
  void accept() override;

 private:
  smt::Machine& machine_;
  std::string appDir_;
  smt::stations::StationTexts texts_;
  QLabel* m_labels[7] = {};
  QPushButton* m_ok = nullptr;
};
