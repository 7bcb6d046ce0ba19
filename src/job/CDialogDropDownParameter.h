#pragma once
// The common drop-down lists dialog: four tabs (names, types, packages,
// angles), each a list; add, modify, delete, import names, OK stores.
#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "job/DropDownEditor.h"
#include "job/JobModel.h"

class QLineEdit;
class QListWidget;
class QTabWidget;

class CDialogDropDownParameter : public QDialog {
  Q_OBJECT
 public:
  // Edits the drop-down lists of `machine`.
  explicit CDialogDropDownParameter(smt::Machine& machine, QWidget* parent = nullptr);

  // The placement rows for the name import, and the part list's boxes.
  std::function<const std::vector<smt::job::ListRow>*()> placementRows;
  std::function<void(int tab, const std::string& remove, const std::string& add)> panelBox;
  void SetAppDir(const std::filesystem::path& dir) { appDir_ = dir; }

  // Section "DropDownParameterConfig" of "<appDir>/<language>.ini".
  void LoadLanguage(const std::string& appDir, const std::string& language);

  // The dialog's set-up: lists from DropDownLists(), names tab, nothing selected.
  void InitLists();
  void OnTabChanged(int tab);
  void OnListSelChanged(int row);
  void OnAddItem();
  void OnModifyItem();
  void OnDeleteItem();
  void OnImportNames();
  void OnOK();

  smt::job::DropDownEditor& Editor() { return ed_; }
  QLineEdit* EditBox() const { return edit_; }
  QListWidget* List(int tab) const { return lists_[tab]; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void ShowLists();
  smt::Machine& machine_;
  smt::job::DropDownEditor ed_;
  std::filesystem::path appDir_ = ".";
  QLineEdit* edit_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QListWidget* lists_[4] = {};
  std::map<std::string, std::string> texts_;
  std::map<std::string, QWidget*> targets_;
  bool filling_ = false;
};
