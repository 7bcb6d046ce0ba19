#include "job/DropDownLists.h"

namespace smt::job {

std::vector<std::string> DropDownItems(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
    items.push_back(text.substr(start, tab - start));
  return items;
}

}  // namespace smt::job
