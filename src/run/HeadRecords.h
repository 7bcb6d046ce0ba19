#pragma once
// What each head picks and places in the current cycle: the feeder side of
// a head's job (HeadPickState, filled from the feeder table) and the part
// job itself (HeadPlaceState, filled from the pick record, the feeder row
// and the libraries before the pick).
//
// Who writes what, and what orders it:
// - HeadRecords::pick[0..3]: every field but the two feed flags is written by the
//   run thread only, and only between the last head's picked event of a
//   cycle and the feed request of the next one (the machine's run.feedRequestEvent). The
//   feeder thread copies the records it serves right after that request
//   wakes it and feeds, re-reads and finishes (FeedDone) from its own copy,
//   so the run thread may fill the next cycle while the feeder still
//   finishes the last one. One exception: the feed count of a "0402"
//   record k+1 is read again by the run thread after head k's pick (head
//   k's preparation may have turned the pocket), before head k's picked
//   event; the feeder thread takes it into its copy after that event.
// - feedRequested / feedPending: written by the feeder thread (and by the
//   replenish step on its own scratch record), read by the run thread while
//   the feeder runs; they are atomics (SharedFlag), so a record may be copied
//   at any time.
// - HeadRecords::place, HeadRecords::pickExtra1..3, HeadRecords::placeExtra1..2: the run thread only.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "core/Machine.h"
#include "settings/SpeedTemplates.h"

namespace smt::run {

// A byte shared between the run thread and the feeder thread. It copies
// like a plain byte (a copy reads it atomically), so the records holding it
// stay copyable.
class SharedFlag {
 public:
  SharedFlag() = default;
  SharedFlag(uint8_t v) : v_(v) {}  // NOLINT: reads and writes like the byte it replaces
  SharedFlag(const SharedFlag& o) : v_(o.v_.load()) {}
  SharedFlag& operator=(const SharedFlag& o) {
    v_.store(o.v_.load());
    return *this;
  }
  SharedFlag& operator=(uint8_t v) {
    v_.store(v);
    return *this;
  }
  operator uint8_t() const { return v_.load(); }  // NOLINT

 private:
  std::atomic<uint8_t> v_{0};
};

struct HeadPickState {
  int32_t row = -1;
  int32_t headTarget = 0;
  int32_t nozzleTarget = 0;
  std::string camera;
  std::string feederNumber;
  int32_t feederIndex = 0;
  int32_t feedSide = 0;  // 1 W, 2 N, 3 E, 4 S, 13 G
  std::string feedModeText;
  int32_t feedMode = 0;  // 0..8, 6 drag pin
  double feedCoordinate = 0;
  int32_t feedCount = 0;
  int32_t feedTime = 0;
  double loosenLength = 0, tightenLength = 0, pickHeight = 0;
  int32_t groupIndex = 0, rowIndex = 0;
  SharedFlag feedRequested, feedPending;  // the feeder thread's (see above)
  int32_t word = 0;
};

using SpeedPair = smt::settings::SpeedPair;

struct HeadPlaceState {
  HeadPickState pick;  // copy of the pick record
  int32_t headTarget = 0, nozzleTarget = 0;
  int32_t row = -1;
  std::string feederNumber;
  int32_t rowIndex = 0, feedSide = 0;
  uint8_t ownSpeed = 0;
  double feederAngle = 0, partAngle = 0, targetAngle = 0, pickX = 0, pickY = 0, rotation = 0, pickHeight = 0;
  int32_t pickDelay = 0, vacuum = 0, feedMode = 0, feedCount = 0;
  double partHeight = 0, placeHeight = 0, vacuumHeight = 0, vacuumOffHeight = 0;
  int32_t placeDelay = 0;
  double partLength = 0, partWidth = 0;
  int32_t lightContrast = 0, lightBrightness = 0;  // the two numbers of the fly cell
  int32_t visionCamera = 0;  // 0 none, 1, 2
  int32_t visionMode = 0;    // 0 none, 1 over the camera, 2 in flight
  int32_t visionPath = 0;    // the path the part took: 0 none, 1 stopped over the camera, 2 the fly pass
  int32_t recognitionType = 0;
  int32_t ownMarkIndex = 0;
  uint8_t ownMark = 0;
  std::string packageName;
  int32_t xyTolerance = -1, angleTolerance = -1, timeLimit = -1;
  uint8_t failed = 0;
  int32_t failedRow = -1;
  int32_t correctionX = 0, correctionY = 0, correctionA = 0;
  std::array<SpeedPair, 8> pickSpeeds{};         // X, Y, Z1, Z2, A1..A4
  std::array<SpeedPair, 6> visionSpeeds{};       // X, Y, A1..A4
  std::array<SpeedPair, 4> visionPlaceSpeeds{};  // X, Y, Z1, Z2
  std::array<SpeedPair, 8> placeSpeeds{};        // X, Y, Z1, Z2, A1..A4
};

// Speed block indexes.
enum SpeedSlot { kSpX = 0, kSpY = 1, kSpZ1 = 2, kSpZ2 = 3, kSpA1 = 4 };

}  // namespace smt::run

namespace smt::run {

// The run's head records, the machine's part HeadRecords.
struct HeadRecords {
  // Heads 1..8 (index 0..7).
  std::array<HeadPickState, 8> pick;
  std::array<HeadPlaceState, 8> place;
  // The replenish record, the platform record and the single-step record.
  HeadPickState pickExtra1, pickExtra2, pickExtra3;
  // The platform and the single-step place records.
  HeadPlaceState placeExtra1, placeExtra2;
};

}  // namespace smt::run

namespace smt::run {
// Slot 1..8 -> HeadRecords::pick, 9 HeadRecords::pickExtra1, 10 HeadRecords::pickExtra3; nullptr otherwise.
HeadPickState* PickRecordOfSlot(smt::Machine& m, int slot);
// Every head idle: rows -1, failures cleared.
void ResetHeadRecords(smt::Machine& m);
}  // namespace smt::run
