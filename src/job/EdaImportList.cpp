#include "job/EdaImportList.h"

#include <algorithm>

#include "platform/TextCodec.h"

namespace smt::job {

int CompareImportListText(std::string_view a, std::string_view b) {
  const std::u16string ua = smt::platform::Utf8ToUtf16(a);
  const std::u16string ub = smt::platform::Utf8ToUtf16(b);
  const int c = ua.compare(ub);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int ImportList::DeleteRows(const std::set<int>& positions) {
  std::vector<ImportRow> kept;
  kept.reserve(rows_.size());
  int removed = 0;
  for (int i = 0; i < Count(); ++i) {
    if (positions.count(i)) {
      ++removed;
      continue;
    }
    kept.push_back(std::move(rows_[static_cast<size_t>(i)]));
  }
  rows_ = std::move(kept);
  return removed;
}

void ImportList::SortByColumn(int column) {
  if (column < 0 || column >= kImportColumns) return;
  // Keys once, then a stable sort of the row order.
  std::vector<std::u16string> keys;
  keys.reserve(rows_.size());
  for (const auto& r : rows_) keys.push_back(smt::platform::Utf8ToUtf16(r.Cell(column)));
  std::vector<size_t> order(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return keys[x] < keys[y]; });
  std::vector<ImportRow> sorted;
  sorted.reserve(rows_.size());
  for (size_t i : order) sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
}

}  // namespace smt::job
