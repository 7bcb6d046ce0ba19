#pragma once
// The operator's common drop-down lists: part names, part types, packages
// and angles, each a text of items each followed by a TAB. Kept in the
// library file "config_dropdown.fig"; read by the part list and editors.
#include <string>
#include <vector>

inline std::vector<std::string> g_DropDownLists(4);

namespace smt::job {
// The TAB-terminated items of one drop-down text, in order.
std::vector<std::string> DropDownItems(const std::string& text);
}  // namespace smt::job
