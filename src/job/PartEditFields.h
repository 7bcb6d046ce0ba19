#pragma once
// The data fields of the three part editors and their "changed" flags: the
// placement editor, the dispensing editor and the drill editor. The part
// list's row commands load them, the dialogs edit them, the row writers
// turn them into cells.
#include <array>
#include <string>

namespace smt::job {

struct SmtEditFields {
  int serial = 0;
  std::string name, type, package;
  double x = 0, y = 0, offsetX = 0, offsetY = 0;
  std::string angle, value, feeder;
  bool place = false, ownMark = false;
  std::string markName;
  // name, type, package, X, Y, angle, value, feeder, place, own mark
  enum Changed { kName, kType, kPackage, kX, kY, kAngle, kValue, kFeeder, kPlace, kOwnMark, kChangedCount };
  std::array<bool, kChangedCount> changed{};

  // What add and modify clear after the editor closed (the serial stays).
  void ClearAfterEdit() {
    name.clear();
    type.clear();
    package.clear();
    angle.clear();
    value.clear();
    feeder.clear();
    x = y = 0;
    place = ownMark = false;
  }
};

struct DisEditFields {
  int serial = 0;
  double x = 0, y = 0, z = 0, offsetX = 0, offsetY = 0, offsetZ = 0;
  bool dispense = false;
  double valveOpen = 0, valveClose = 0;
  int valveCloseDelay = 0, bottomDelay = 0, suckBack = 0;
  std::string note;
  // One flag per cell 0..10.
  std::array<bool, 11> changed{};

  void ResetAfterModify() {
    *this = DisEditFields{};
  }
};

struct DrillEditFields {
  int serial = 0;
  std::string name;
  double diameter = 0, x = 0, y = 0, z = 0;
  double depth = 10.0, feed = 2.0, liftHeight = 2.0;
  bool liftToTop = false;
  int feedStart = 1, feedRun = 1, liftStart = 20, liftRun = 40;
  double offsetX = 0, offsetY = 0, offsetZ = 0;
  // One flag per cell 0..13.
  std::array<bool, 14> changed{};

  // After a modify: numbers 0, name empty, the four speeds 1.
  void ResetAfterModify() {
    serial = 0;
    name.clear();
    diameter = x = y = z = depth = feed = liftHeight = offsetX = offsetY = offsetZ = 0;
    liftToTop = false;
    feedStart = feedRun = liftStart = liftRun = 1;
    changed.fill(false);
  }
};

}  // namespace smt::job
