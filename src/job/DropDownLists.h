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

namespace smt::job {

// The four lists of the machine in use (empty texts until the file is read).
std::vector<std::string>& DropDownLists();

inline constexpr const char* kDropDownFileName = "config_dropdown.fig";
inline constexpr size_t kDropDownAngles = 3;       // the angle list's index (line 4 of the file)
inline constexpr double kDropDownAngleMax = 3600;  // degrees, either way

// The TAB-terminated items of one drop-down text, in order.
std::vector<std::string> DropDownItems(const std::string& text);
// An angle item's value; nullopt when it is not a number in range.
std::optional<double> DropDownAngle(std::string_view item);
// The items of list `index` to offer in a choice box: every item, but of
// the angle list only the items that are angles.
std::vector<std::string> DropDownChoices(size_t index, const std::string& text);
// Every angle item of the file's lines checked; one refusal per bad item
// (line 4, field "angle <n>").
std::vector<platform::FileCellError> CheckDropDownLines(const std::vector<std::string>& lines,
                                                        std::string_view file = kDropDownFileName);

}  // namespace smt::job
