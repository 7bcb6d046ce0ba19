#include "run/HeadRecords.h"

namespace smt::run {

HeadPickState* PickRecordOfSlot(smt::Machine& m, int slot) {
  if (slot >= 1 && slot <= 8) return &m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(slot - 1)];
  if (slot == 9) return &m.Part<smt::run::HeadRecords>().pickExtra1;
  if (slot == 10) return &m.Part<smt::run::HeadRecords>().pickExtra3;
  return nullptr;
}

void ResetHeadRecords(smt::Machine& m) {
  for (auto& p : m.Part<smt::run::HeadRecords>().pick) p.row = -1;
  for (auto& p : m.Part<smt::run::HeadRecords>().place) {
    p.row = -1;
    p.failedRow = -1;
    p.failed = 0;
  }
}

}  // namespace smt::run
