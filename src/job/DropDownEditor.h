#pragma once
// The work of the common drop-down lists dialog without its window: the
// four lists (part names, types, packages, angles), add, modify, delete,
// the import of part names from the placement list, and the store into
// DropDownLists() and "config_dropdown.fig".
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/JobRows.h"

namespace smt {
class Machine;
}

namespace smt::job {

class DropDownEditor {
 public:
  enum Tab { kNames = 0, kTypes = 1, kPackages = 2, kAngles = 3 };

  std::array<std::vector<std::string>, 4> lists;
  int tab = 0;
  int selected = -1;

  // Texts of the dialog's messages by key (default the built-in texts).
  std::function<std::string(const std::string& key)> text;
  // The part list's matching box (1085, 1020, 1040, 1025 by tab): an item
  // leaves it (remove non-empty) and an item joins it (add non-empty).
  std::function<void(int tab, const std::string& remove, const std::string& add)> panelBox;

  // Fills the four lists from the drop-down strings, each in sorted order.
  void LoadListsFromArray(const std::vector<std::string>& array);
  std::vector<std::string> SaveListsToArray() const;

  void SetTab(int t) {
    tab = t;
    selected = -1;
  }
  // False with the refusal shown (empty text, duplicate); an angle of 360
  // or more is refused without a message.
  bool Add(const std::string& item);
  bool Modify(const std::string& item);
  bool Delete();
  // Part names of the placement rows (column 4) not yet in the names list,
  // after the operator's OK. Only on the names tab with rows present.
  bool ImportNames(const std::vector<ListRow>& placementRows);
  // The dialog's OK: stores the lists into `machine`'s DropDownLists() and
  // writes the file; false (with a message) when the file could not be written.
  bool Store(smt::Machine& machine, const std::filesystem::path& appDir);

  std::string Text(const std::string& key) const;
  static const std::vector<std::pair<std::string, std::string>>& TextTable();

 private:
  bool AngleAccepted(const std::string& item) const;
  void InsertSorted(std::vector<std::string>& l, const std::string& item);
};

}  // namespace smt::job
