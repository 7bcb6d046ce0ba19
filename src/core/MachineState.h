#pragma once
// Machine state shared by every subsystem: the link, the run threads, the
// feeders and the window all read and set these. Atomics, so a flag set on
// one thread is seen on the others without a lock.
#include <atomic>
#include <cstdint>

// Link and homing.
inline std::atomic<bool> g_bConnected{false};
inline std::atomic<bool> g_bResetDone{false};       // homed
inline std::atomic<bool> g_bMasterResetOk{false};   // the machine accepted its master reset
// Run state.
inline std::atomic<bool> g_bRunContinue{false};     // a run is going
inline std::atomic<bool> g_bPaused{false};
inline std::atomic<bool> g_bMachineBusy{false};
// Link threads' stop flags (set at shut-down).
inline std::atomic<bool> g_bComStop{false};
inline std::atomic<bool> g_bUdpStop{false};

inline std::atomic<int> g_nMachineType{0};   // 0..10
inline std::atomic<int> g_nHeadCount{1};     // 1, 2, 4 or 8
inline std::atomic<int> g_nLanguageSet{0};   // 0 Chinese, 1 English, 2 German

// Current positions in motor steps.
inline std::atomic<int32_t> g_nCurX{0};
inline std::atomic<int32_t> g_nCurY{0};
inline std::atomic<int32_t> g_nCurZ[8] = {};
inline std::atomic<int32_t> g_nCurA[8] = {};

namespace smt {

// Claims the busy state for an operation about to start a worker. Returns
// false when the machine is already busy; the claim is atomic, so two
// buttons pressed at once never both start.
inline bool TryClaimMachineBusy() {
  bool expected = false;
  return g_bMachineBusy.compare_exchange_strong(expected, true);
}
inline void ReleaseMachineBusy() { g_bMachineBusy.store(false); }

// Releases the busy state when it goes out of scope (every path of a worker).
class BusyRelease {
 public:
  BusyRelease() = default;
  ~BusyRelease() { ReleaseMachineBusy(); }
  BusyRelease(const BusyRelease&) = delete;
  BusyRelease& operator=(const BusyRelease&) = delete;
};

}  // namespace smt
