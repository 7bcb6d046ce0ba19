#pragma once
// The speed-template dialog: the speed-use page, the high, medium and low
// template pages, the edit pane with its 96 speed fields, the one-key
// derivations and the jog step values. Everything is edited on a copy; OK
// stores it through the speed store, Cancel drops it.
#include <QDialog>
#include <array>
#include <map>
#include <memory>
#include <string>

#include "settings/SpeedSettings.h"
#include "settings/SpeedTemplateEditor.h"

class QLineEdit;
class QCheckBox;
class QTabWidget;
class QTableWidget;
class QComboBox;
class QPushButton;

namespace smt::settings {

class SpeedStore;

class CDialogSpeedTemplate : public QDialog {
  Q_OBJECT
 public:
  // `page`: 0 speed uses, 1 high, 2 medium, 3 low.
  CDialogSpeedTemplate(SpeedStore& store, std::string appDir, std::string language, int page,
                       QWidget* parent = nullptr);
  ~CDialogSpeedTemplate() override;

  // Widgets for tests.
  QTabWidget* Tabs() const { return tabs_; }
  QTableWidget* TierTable(Tier t) const { return tierTables_[static_cast<int>(t) - 1]; }
  QComboBox* UseChoice(int use) const { return useChoices_[use]; }
  QLineEdit* NameEdit() const { return name_; }
  QLineEdit* SpeedEdit(Tier t, int axis, bool normal) const;
  QLineEdit* SettingEdit(const std::string& key) const { return settingEdits_.at(key); }
  QCheckBox* SettingCheck(const std::string& key) const { return settingChecks_.at(key); }
  const SpeedTemplateEditor& Editor() const { return *editor_; }

  // Handlers.
  void OnRowClicked(Tier t, int row);
  void OnAdd();
  void OnChange();
  void OnDelete();
  void OnDerive(Tier t);
  bool TryAccept();
  void accept() override;

 private:
  QString Text(const char* name, const char* def) const;
  bool TakeFields(SpeedSettings& s, SpeedGrid& grid, std::string& name);
  void Refresh();
  void ShowGrid(const SpeedGrid& grid);
  void EnableTier(int tierIndex);  // -1: all
  void Report(EditResult r);

  SpeedStore& store_;
  std::string appDir_, language_;
  std::unique_ptr<SpeedTemplateEditor> editor_;
  SpeedSettings settings_;
  QTabWidget* tabs_ = nullptr;
  std::array<QTableWidget*, 3> tierTables_{};
  QTableWidget* useTable_ = nullptr;
  std::array<QComboBox*, kSpeedUseCount> useChoices_{};
  QLineEdit* name_ = nullptr;
  std::array<std::array<std::array<QLineEdit*, 2>, kSpeedAxisCount>, 3> grid_{};
  std::map<std::string, QLineEdit*> settingEdits_;
  std::map<std::string, QCheckBox*> settingChecks_;
  bool refreshing_ = false;
};

}  // namespace smt::settings
