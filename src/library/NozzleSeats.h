#pragma once
// The nozzle magazine as the machine uses it: one numeric record per seat
// (positions in motor steps) and the nozzle each head holds. Shared by the
// nozzle library, its seat motions and the run's nozzle change; a lock keeps
// a reader from seeing a record half rewritten.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/Machine.h"

namespace smt::library {

inline constexpr int kSeatCount = 19;
inline constexpr int kHeadCount = 8;

struct NozzleSeatRecord {
  bool bHasNozzle = true;       // the nozzle is in its seat
  int32_t nX = 0, nY = 0;       // seat position, steps
  double dPickHeight = 0;       // nozzle-to-pick height, mm
  int32_t nEntranceX = 0, nEntranceY = 0, nEntranceZ = 0;
  std::array<int32_t, kHeadCount> nEntranceZHead{};  // entrance Z for heads 1..8, steps
  int32_t nVacuum = 0;
  std::array<bool, kSeatCount> bSameNote{};          // interchangeable with seat j
};

class NozzleSeatTable {
 public:
  NozzleSeatRecord Get(int seat) const;
  void Set(int seat, const NozzleSeatRecord& r);
  bool HasNozzle(int seat) const;
  void SetHasNozzle(int seat, bool has);
  // Every seat full (the nozzle-change switch of the placement strategy).
  void FillAll();

 private:
  mutable std::mutex m_;
  std::array<NozzleSeatRecord, kSeatCount> seats_{};
};

}  // namespace smt::library

namespace smt::library {

// The nozzle seats and what each head holds: the machine's part NozzleState.
struct NozzleState {
  NozzleSeatTable seats;
  // The nozzle (1-based seat index) head A1..A8 holds, 0 = none.
  std::atomic<int> headNozzle[kHeadCount] = {};
};

}  // namespace smt::library
