#pragma once
// The two-mark coordinate correction test ("两个Mark点坐标修改测试"): a
// calculator opened from the PCB editor; it moves nothing.
#include <QDialog>
#include <map>
#include <string>

#include "library/DoubleMarkTest.h"

class QLineEdit;

class CDialogDoubleMarkTest : public QDialog {
  Q_OBJECT
 public:
  CDialogDoubleMarkTest(smt::library::DoubleMarkTestFields& fields, std::string appDir, std::string language,
                        QWidget* parent = nullptr);

  std::string Text(const std::string& key) const;
  // "测试": false when a field is no number or the marks are too close.
  bool OnTest();
  bool TryAccept();
  void accept() override;

  QLineEdit* Edit(const std::string& key) const { return edits_.at(key); }

 private:
  void Build();
  void ShowFields(const smt::library::DoubleMarkTestFields& f);
  bool ReadFields(smt::library::DoubleMarkTestFields& f);

  smt::library::DoubleMarkTestFields& fields_;
  std::string appDir_, language_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QLineEdit*> edits_;
};
