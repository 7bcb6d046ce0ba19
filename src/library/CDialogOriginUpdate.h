#pragma once
// The origin update dialog ("原点坐标更新"), opened from the basic settings
// dialog: the offset, the groups to shift and the axis switches.
#include <QDialog>
#include <array>
#include <map>
#include <string>

#include "library/OriginUpdate.h"

namespace smt {
class Machine;
}

class QCheckBox;
class QLineEdit;

class CDialogOriginUpdate : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    int machineType = 0;
    smt::library::OriginUpdateTargets targets;
  };
  CDialogOriginUpdate(smt::library::OriginUpdateSettings& settings, Environment env, QWidget* parent = nullptr);

  std::string Text(const std::string& key) const;
  void OnEnable();
  bool TryAccept();
  void accept() override;

  QLineEdit* OffsetX() const { return offsetX_; }
  QLineEdit* OffsetY() const { return offsetY_; }
  QCheckBox* Update(const std::string& key) const { return updates_.at(key); }
  QCheckBox* Axis(int i) const { return axes_[i]; }

 private:
  void Build();

  smt::library::OriginUpdateSettings& settings_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  QLineEdit *offsetX_ = nullptr, *offsetY_ = nullptr;
  std::map<std::string, QCheckBox*> updates_;
  std::array<QCheckBox*, smt::library::kAxisSwitchCount> axes_{};
};

// The default targets of the library: nozzle rows (with the library lists' copy),
// the throw position (shown in `settingsDialog`'s throw fields when it is
// the basic settings dialog) and the link's head mask. The feeder, PCB and
// camera targets come from their owners.
smt::library::OriginUpdateTargets LibraryOriginTargets(smt::Machine& machine, std::vector<std::string>* frameNozzleRows,
                                                       QWidget* settingsDialog);
