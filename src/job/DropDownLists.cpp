#include "job/DropDownLists.h"

#include "core/Machine.h"

namespace smt::job {

namespace {
struct DropDownListSet {
  std::vector<std::string> lists = std::vector<std::string>(4);
  std::vector<DropDownAngleItem> angles;
};
DropDownListSet& ListSet(smt::Machine& machine) { return machine.Part<DropDownListSet>(); }
}  // namespace

const std::vector<std::string>& DropDownLists(smt::Machine& machine) { return ListSet(machine).lists; }

void SetDropDownLists(smt::Machine& machine, std::vector<std::string> lists) {
  DropDownListSet& set = ListSet(machine);
  set.angles.clear();
  if (lists.size() > kDropDownAngles)
    for (std::string& item : DropDownItems(lists[kDropDownAngles]))
      if (const auto v = DropDownAngle(item)) set.angles.push_back({std::move(item), *v});
  set.lists = std::move(lists);
}

const std::vector<DropDownAngleItem>& DropDownAngleItems(smt::Machine& machine) { return ListSet(machine).angles; }

std::vector<std::string> DropDownItems(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
    items.push_back(text.substr(start, tab - start));
  return items;
}

std::optional<double> DropDownAngle(std::string_view item) {
  return platform::ParseCellNumber(item, -kDropDownAngleMax, kDropDownAngleMax);
}

std::vector<std::string> DropDownChoices(smt::Machine& machine, size_t index) {
  std::vector<std::string> items;
  if (index == kDropDownAngles) {
    for (const DropDownAngleItem& a : DropDownAngleItems(machine)) items.push_back(a.text);
    return items;
  }
  const auto& lists = DropDownLists(machine);
  return index < lists.size() ? DropDownItems(lists[index]) : items;
}

std::vector<platform::FileCellError> CheckDropDownLines(const std::vector<std::string>& lines,
                                                        std::string_view file) {
  std::vector<platform::FileCellError> problems;
  if (lines.size() <= kDropDownAngles) return problems;
  const std::vector<std::string> items = DropDownItems(lines[kDropDownAngles]);
  std::vector<std::string_view> cells;
  platform::SplitTabCellViews(lines[kDropDownAngles], cells);
  const platform::CellReader in(file, static_cast<int>(kDropDownAngles + 1), cells);
  for (size_t i = 0; i < items.size(); ++i) {
    try {
      in.Number(i, "angle " + std::to_string(i + 1), -kDropDownAngleMax, kDropDownAngleMax);
    } catch (const platform::FileCellError& e) {
      problems.push_back(e);
    }
  }
  return problems;
}

}  // namespace smt::job
