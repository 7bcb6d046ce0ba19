#pragma once
// The firmware version switches dialog: which command details the main
// board's firmware has, and whether the daily log is written. Edits a copy;
// OK stores the five switches and applies them at once, Cancel leaves
// everything as it was.
#include <QDialog>
#include <array>
#include <string>

#include "link/FirmwareSwitches.h"

class QCheckBox;

class CDialogVersionNumber : public QDialog {
  Q_OBJECT
 public:
  struct Texts {
    std::string title = "CPU 版本号";
    std::string v2_04 = "V2.04-CPU64代码加长3字";
    std::string v2_05 = "V2.05-CPU总复位检查传感器及电机";
    std::string v2_06 = "V2.06-CPU限位校对脉冲数据";
    std::string v2_07 = "V2.07-CL飞达送料次数";
    std::string writeLogfile = "写日志";
  };

  // `switches` is the live store of `machine`; it changes only on OK.
  CDialogVersionNumber(smt::Machine& machine, smt::link::FirmwareSwitches& switches, std::string appDir,
                       const Texts& texts, QWidget* parent = nullptr);

  static Texts LoadLanguage(const std::string& appDir, const std::string& language);

  QCheckBox* Box(int index) const { return boxes_[static_cast<size_t>(index)]; }  // 0..4 in table order

  void accept() override;

 private:
  smt::Machine& machine_;
  smt::link::FirmwareSwitches& switches_;
  std::string appDir_;
  std::array<QCheckBox*, 5> boxes_{};
};
