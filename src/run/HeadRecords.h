#pragma once
// What each head picks and places in the current cycle: the feeder side of
// a head's job (HeadPickState, filled from the feeder table) and the part
// job itself (HeadPlaceState, filled from the pick record, the feeder row
// and the libraries before the pick). The run thread and the feeder thread
// hand the records to each other through the head events, so the two never
// write one record at the same time.
#include <array>
#include <cstdint>
#include <string>

#include "settings/SpeedTemplates.h"

namespace smt::run {

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
  uint8_t feedRequested = 0, feedPending = 0;
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

// Heads 1..8 (index 0..7).
inline std::array<smt::run::HeadPickState, 8> g_HeadPick;
inline std::array<smt::run::HeadPlaceState, 8> g_HeadPlace;
// The replenish record, the platform record and the single-step record.
inline smt::run::HeadPickState g_PickExtra1, g_PickExtra2, g_PickExtra3;
// The platform and the single-step place records.
inline smt::run::HeadPlaceState g_PlaceExtra1, g_PlaceExtra2;

namespace smt::run {
// Slot 1..8 -> g_HeadPick, 9 g_PickExtra1, 10 g_PickExtra3; nullptr otherwise.
HeadPickState* PickRecordOfSlot(int slot);
// Every head idle: rows -1, failures cleared.
void ResetHeadRecords();
}  // namespace smt::run
