#pragma once
// The seat editor: one nozzle row's values, captures of the machine position
// into them, a small jog pad, and the switches that spread the pick height,
// the entrance height or the vacuum value to every row of the library.
#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "library/NozzleLibrary.h"

class QLineEdit;
class QCheckBox;
class QPushButton;

namespace smt::link {
class JogRunner;
}

namespace smt {
class Machine;
}

class CDialogNozzleEdit : public QDialog {
  Q_OBJECT
 public:
  struct Environment {
    std::string appDir = ".";
    std::string language = "Chinese";
    bool nineteenSeat = false;
    int selectedHead = 0;                                 // the library's head combo
    smt::link::JogRunner* jog = nullptr;                  // the jog panel's jog (optional)
    std::function<bool(int number)> numberTaken;          // another row carries this number
    std::function<void(int column, double value)> setColumnValue;  // unify switches, the value checked
    std::function<void()> homeZ;                          // "↓↑": home the Z axes
  };
  enum class Capture { SeatX, SeatY, CameraX, CameraY, PickZ, EntranceX, EntranceY, EntranceZ };
  enum class Unify { PickHeight = 3, EntranceHeight = 6, Vacuum = 7 };
  enum class Pad { XPlus, XMinus, YPlus, YMinus, Set, ZUp, ZDown, HomeZ, ToZ };

  CDialogNozzleEdit(smt::library::NozzleEditFields& fields, smt::Machine& machine, Environment env, QWidget* parent = nullptr);

  // Language texts of section "NozzleEditConfig".
  void LoadLanguage();
  std::string Text(const std::string& key) const;

  // Handlers, usable without a window.
  void OnCapture(Capture c);
  void OnUnify(Unify u, bool checked);
  // Press (true) or release (false) of a jog pad button; false when no move started.
  bool OnPad(Pad p, bool press);
  bool TryAccept();  // OK: true when closed
  void accept() override;

  QLineEdit* Edit(const std::string& key) const { return edits_.at(key); }
  QCheckBox* UnifyBox(Unify u) const { return unify_.at(static_cast<int>(u)); }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  void Build();
  void ShowFields();
  bool ReadFields(smt::library::NozzleEditFields& out);
  void SetField(const std::string& key, double v);
  // Z axis code and direction of a "Z↑"/"Z↓" press for the selected head.
  bool ZJogAxis(bool down, int& axis, bool& positive) const;

  smt::library::NozzleEditFields& fields_;
  smt::Machine& machine_;
  Environment env_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, QLineEdit*> edits_;
  std::map<int, QCheckBox*> unify_;
  bool building_ = false;
};
