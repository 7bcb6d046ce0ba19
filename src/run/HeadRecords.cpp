#include "run/HeadRecords.h"

namespace smt::run {

HeadPickState* PickRecordOfSlot(int slot) {
  if (slot >= 1 && slot <= 8) return &g_HeadPick[static_cast<size_t>(slot - 1)];
  if (slot == 9) return &g_PickExtra1;
  if (slot == 10) return &g_PickExtra3;
  return nullptr;
}

void ResetHeadRecords() {
  for (auto& p : g_HeadPick) p.row = -1;
  for (auto& p : g_HeadPlace) {
    p.row = -1;
    p.failedRow = -1;
    p.failed = 0;
  }
}

}  // namespace smt::run
