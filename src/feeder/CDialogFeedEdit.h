#pragma once
// The feeder editor: the modal dialog in which one feeder row is edited. The
// panel loads the row into `fields` before it opens and writes them back
// after OK. Teach, jog and test buttons move the machine.
#include <QDialog>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "feeder/FeederEditFields.h"
#include "feeder/FeederTexts.h"

namespace smt {
class Machine;
}

class QLineEdit;
class QComboBox;
class QRadioButton;
class QButtonGroup;
class QCheckBox;
class QPushButton;
class QLabel;
class FeederListPanel;
class CDialogGridBox;

class CDialogFeedEdit : public QDialog {
  Q_OBJECT
 public:
  CDialogFeedEdit(FeederListPanel* panel, smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogFeedEdit() override;

  smt::feeder::FeederEditFields fields;
  std::string loadedNumber;
  // The list row being edited as it was loaded (none while adding). What the
  // operator leaves as the editor showed it goes back with the row's own
  // text: a cell the editor could not read, a choice its list lacks, a
  // number in its own spelling.
  std::optional<smt::feeder::FeederListRow> loadedRow;
  // The row loaded into `fields` (and `loadedRow`) by the panel; the next
  // ShowFields shows it as new.
  void RowLoaded();
  // The list row OK writes: the fields the operator changed in the field's
  // format, every other cell as the row had it.
  smt::feeder::FeederListRow RowForList() const;
  bool numberChanged = false;
  bool storeOnly = false;
  bool checkFailed = false;
  bool singleStep = false;
  int pumpIndex = 0;

  void LoadLanguage(const std::string& appDir, const std::string& language);
  void ApplyLanguage();
  // Opening: texts, combos, selections, feed-mode controls.
  void OnInitDialog();
  // Opens modally; true on OK.
  bool Run();

  // Controls -> fields (false with one message naming every refused field
  // and its range) and fields -> controls.
  bool ReadControls();
  void ShowFields();

  void OnOK();
  void OnFeedModeSelected(const std::string& text);
  void OnPackageSelected(const std::string& name);
  void OnSideClicked(int side);
  void OnUpdatePack();
  void OnNext();
  void OnTrayButton();
  void OnFeedTestCheck();
  void OnStepTest();
  void ShowFeedModeControls(const std::string& feedMode);

  // Machine actions.
  void TeachX(bool camera);
  void TeachY(bool camera);
  void TeachDrag(bool x);
  void TeachFeedCoordinate();
  void TeachPickHeight(int zIndex);
  void GoToFeedCoordinate();
  void OnPickToCamera();
  void OnBackToFeed();
  void OnCameraReach();
  void OnMeasureHeight();
  void OnReadVacuum();
  void ShowPickHeight(double mm);
  // Jog pad: a pressed button ("X+", "Z-", "Lx+", ...) and any release.
  void OnJogPressed(const std::string& button);
  void OnJogReleased();

  // Controls by role (tests).
  QLineEdit* Edit(const std::string& name) const;
  QComboBox* Combo(const std::string& name) const;
  QPushButton* Button(const std::string& name) const;
  QRadioButton* SideButton(int side) const;
  QRadioButton* VisionButton(int mode) const { return mode >= 0 && mode < 3 ? vision_[mode] : nullptr; }
  CDialogGridBox* GridBox() const { return gridBox_; }
  std::string Text(const std::string& key) const { return texts_.Get(key); }
  // The image-feature names in the window's language.
  std::vector<std::string> FeatureNames() const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  void Build();
  void FillCombos();
  // Selects `text`; missing: the first item when `firstWhenMissing`, else
  // with `keep` the text itself as an extra item (so it shows and goes back
  // as it was), else no selection.
  void SelectText(QComboBox* c, const std::string& text, bool firstWhenMissing = false, bool keep = false);
  // The controls read into `f` (from `fields`): an edit left as shown keeps
  // its field; each changed edit that is no number in its range adds its
  // refusal to `problems` (its field unchanged). Returns the first refused edit.
  // `newFeederOk`: OK on a new feeder, which reads every edit (its values
  // were offered, not loaded, and must all fit their fields).
  QLineEdit* ReadControlsInto(smt::feeder::FeederEditFields& f, std::vector<std::string>& problems,
                              bool newFeederOk = false);
  std::string RangeText(const smt::feeder::FieldRangeError& bad) const;
  std::string MessageKeyText(int n) const;
  // Shows the problems as one message and puts the focus on `first`.
  void RefuseAll(const std::vector<std::string>& problems, QLineEdit* first);
  void SetSideButtons(int side);
  void RefuseRange(const smt::feeder::FieldRangeError& bad);
  // One number edit read with its field's range; refused by name (nullopt).
  std::optional<double> ReadEditNumber(const std::string& edit);
  // The pick height edit holds a height at or below the table.
  bool PickHeightUsable();
  void ShowMessageKey(int n);
  void UpdatePrecisionBoxes();

  FeederListPanel* panel_;
  smt::Machine& machine_;
  smt::feeder::FeederTexts texts_;
  std::map<std::string, QLineEdit*> edits_;
  std::map<std::string, QComboBox*> combos_;
  std::map<std::string, QPushButton*> buttons_;
  std::map<std::string, QLabel*> labels_;
  QRadioButton* sides_[5] = {};
  QRadioButton* vision_[3] = {};
  // The side and the vision mode are two independent choices.
  QButtonGroup* sideGroup_ = nullptr;
  QButtonGroup* visionGroup_ = nullptr;
  void SetVisionButtons(int mode);
  QCheckBox* separateSpeed_ = nullptr;
  QCheckBox* feedTestCheck_ = nullptr;
  QLabel* precisionXY_ = nullptr;
  QLabel* precisionA_ = nullptr;
  QLabel* nozzleNote_ = nullptr;
  CDialogGridBox* gridBox_ = nullptr;
  bool filling_ = false;
  // What ShowFields put in each number edit, the edits the operator changed
  // since the row was loaded, and the loaded row's fields.
  std::map<std::string, QString> shownText_;
  std::set<std::string> touched_;
  smt::feeder::FeederEditFields loadedFields_;
};
