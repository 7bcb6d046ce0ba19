#pragma once
// The package editor ("封装编辑"): one package's values, with its choices
// taken from the camera table, the nozzle library, the speed templates and
// the feed modes of the machine type, and the switches of the synchronous
// modify of the feeder table ([PackEditConfig]).
#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "library/PackLibrary.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CDialogPackEdit : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    int languageIndex = 0;
    int machineType = 0;
    bool autoChangeNozzle = false;
    bool nineteenSeat = false;
    std::vector<std::string> cameraNames;         // cell 0 of the camera rows
    std::vector<std::string> speedNames;          // the speed templates' names
    std::array<std::string, 9> feedModeNames;     // the current language's nine feed modes
    std::vector<std::string> nozzleNotes;         // cell 8 of the nozzle rows, by position
    double xPulse = 1, aPulse = 1;
    std::function<std::pair<int, int>()> lightValues;   // camera panel contrast, brightness
    std::function<bool(const std::string&)> nameTaken;  // another package has this name
  };

  CDialogPackEdit(smt::library::PackEditFields& fields, Environment env, QWidget* parent = nullptr);

  void LoadLanguage();
  std::string Text(const std::string& key) const;
  const smt::library::PackEditSwitches& Switches() const { return switches_; }

  // Handlers, usable without a window.
  void OnChangePrecisionXY();
  void OnChangePrecisionA();
  void OnSelchangeNozzle();
  void OnGetLight();
  void OnSelchangeFeedMode();
  bool TryAccept();
  void accept() override;

  QLineEdit* Edit(const std::string& key) const { return edits_.at(key); }
  QComboBox* Combo(const std::string& key) const { return combos_.at(key); }
  QCheckBox* Check(const std::string& key) const { return checks_.at(key); }
  QRadioButton* Radio(int mode) const { return radios_[mode]; }
  QLabel* MmDisplay() const { return mmDisplay_; }
  QLabel* DegreeDisplay() const { return degDisplay_; }
  QLabel* NoteDisplay() const { return noteDisplay_; }
  QLabel* FeedCountMm() const { return countMm_; }

 private:
  void Build();
  void FillLists();
  void ShowFields();
  bool ReadFields(smt::library::PackEditFields& f);
  QString T(const char* key) const;

  smt::library::PackEditFields& fields_;
  Environment env_;
  smt::library::PackEditSwitches switches_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QLineEdit*> edits_;
  std::map<std::string, QComboBox*> combos_;
  std::map<std::string, QCheckBox*> checks_;
  std::array<QRadioButton*, 3> radios_{};
  QLabel *mmDisplay_ = nullptr, *degDisplay_ = nullptr, *noteDisplay_ = nullptr, *countMm_ = nullptr;
};
