#include "library/NozzleSeats.h"

namespace smt::library {

NozzleSeatRecord NozzleSeatTable::Get(int seat) const {
  std::lock_guard lk(m_);
  if (seat < 0 || seat >= kSeatCount) return {};
  return seats_[seat];
}

void NozzleSeatTable::Set(int seat, const NozzleSeatRecord& r) {
  std::lock_guard lk(m_);
  if (seat < 0 || seat >= kSeatCount) return;
  seats_[seat] = r;
}

bool NozzleSeatTable::HasNozzle(int seat) const {
  std::lock_guard lk(m_);
  return seat >= 0 && seat < kSeatCount && seats_[seat].bHasNozzle;
}

void NozzleSeatTable::SetHasNozzle(int seat, bool has) {
  std::lock_guard lk(m_);
  if (seat >= 0 && seat < kSeatCount) seats_[seat].bHasNozzle = has;
}

void NozzleSeatTable::FillAll() {
  std::lock_guard lk(m_);
  for (auto& s : seats_) s.bHasNozzle = true;
}

}  // namespace smt::library
