#pragma once
// The feeder editor: the modal dialog in which one feeder row is edited. The
// panel loads the row into `fields` before it opens and writes them back
// after OK. Teach, jog and test buttons move the machine.
#include <QDialog>
#include <map>
#include <optional>
#include <string>

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

  // Controls -> fields (false with the range prompt) and fields -> controls.
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

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  void Build();
  void FillCombos();
  void SelectText(QComboBox* c, const std::string& text, bool firstWhenMissing = false);
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
};
