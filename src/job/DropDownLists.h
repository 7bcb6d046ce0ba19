#pragma once
// The operator's common drop-down lists: part names, part types, packages
// and angles, each a text of items each followed by a TAB. Kept in the
// library file "config_dropdown.fig"; read by the part list and editors.
// The angle items are numbers: an item that is not a finite number in
// -3600..3600 degrees is named when the file is read, kept in the list as
// the file held it (so a save writes it back) and never offered as a choice.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileCell.h"

namespace smt {
class Machine;
}

namespace smt::job {

// An angle item of the list and its value, read once when the lists are set.
struct DropDownAngleItem {
  std::string text;  // as the file holds it ("90", "-45.0")
  double degrees = 0;
  bool operator==(const DropDownAngleItem&) const = default;
};

// The four lists of `machine` as their file holds them (empty texts until
// the file is read).
const std::vector<std::string>& DropDownLists(smt::Machine& machine);
// Sets the lists (the file just read, the editor's OK); the angle items are
// read here, once: the ones that are angles are offered, the others are kept
// in the texts only.
void SetDropDownLists(smt::Machine& machine, std::vector<std::string> lists);
// The angle list's items that are angles, in the list's order.
const std::vector<DropDownAngleItem>& DropDownAngleItems(smt::Machine& machine);

inline constexpr const char* kDropDownFileName = "config_dropdown.fig";
inline constexpr size_t kDropDownAngles = 3;       // the angle list's index (line 4 of the file)
inline constexpr double kDropDownAngleMax = 3600;  // degrees, either way

// The TAB-terminated items of one drop-down text, in order.
std::vector<std::string> DropDownItems(const std::string& text);
// An angle item's value; nullopt when it is not a number in range (the
// reading of the lists, the editor's new item).
std::optional<double> DropDownAngle(std::string_view item);
// The items of list `index` of `machine` to offer in a choice box:
// every item, but of the angle list only the items that are angles.
std::vector<std::string> DropDownChoices(smt::Machine& machine, size_t index);
// Every angle item of the file's lines checked; one refusal per bad item
// (line 4, field "angle <n>").
std::vector<platform::FileCellError> CheckDropDownLines(const std::vector<std::string>& lines,
                                                        std::string_view file = kDropDownFileName);

}  // namespace smt::job
