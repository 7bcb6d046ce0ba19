#pragma once
// The mark editor ("Mark点编辑"): one mark's name, Mark 1 offset (with the
// position captures CX and CY from the relative zero point), allowed
// deviation (shown also in millimetres), view box, diameter, precision,
// light, capture time, centring repeats, colour reversal and the two
// platform compensations.
#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "library/MarkLibrary.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace smt {
class Machine;
}

class CDialogMarkEdit : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    std::function<bool(const std::string&)> nameTaken;  // another row carries this name
  };
  CDialogMarkEdit(smt::library::MarkEditFields& fields, smt::Machine& machine, Environment env, QWidget* parent = nullptr);

  std::string Text(const std::string& key) const;
  void OnCaptureX();
  void OnCaptureY();
  void OnChangeAllowed();
  bool TryAccept();
  void accept() override;

  QLineEdit* Edit(const std::string& key) const { return edits_.at(key); }
  QCheckBox* ReversalBox() const { return reversal_; }
  QLabel* AllowedMm() const { return allowedMm_; }

 private:
  void Build();
  void ShowFields();
  bool ReadFields(smt::library::MarkEditFields& f);

  smt::library::MarkEditFields& fields_;
  smt::Machine& machine_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QLineEdit*> edits_;
  QCheckBox* reversal_ = nullptr;
  QLabel* allowedMm_ = nullptr;
};
