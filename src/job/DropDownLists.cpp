#include "job/DropDownLists.h"

#include "core/Machine.h"

namespace smt::job {

namespace {
struct DropDownListTexts {
  std::vector<std::string> lists = std::vector<std::string>(4);
};
}  // namespace

std::vector<std::string>& DropDownLists() { return smt::CurrentMachine().Part<DropDownListTexts>().lists; }

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

std::vector<std::string> DropDownChoices(size_t index, const std::string& text) {
  std::vector<std::string> items = DropDownItems(text);
  if (index == kDropDownAngles)
    std::erase_if(items, [](const std::string& item) { return !DropDownAngle(item); });
  return items;
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
