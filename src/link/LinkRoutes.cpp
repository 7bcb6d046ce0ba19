#include "link/LinkRoutes.h"

#include <mutex>

#include "core/Machine.h"

namespace smt::link {
namespace {

// The routes and the mutex that guards them, the machine's.
struct GuardedRoutes {
  std::mutex mutex;
  LinkRoutes routes;
};
GuardedRoutes& Held() { return smt::CurrentMachine().Part<GuardedRoutes>(); }

// A copy of one route taken under the lock, so a route installed while a
// link thread calls it is never half-read.
template <class H>
H Take(H LinkRoutes::*member) {
  std::lock_guard lk(Held().mutex);
  return Routes().*member;
}

template <class H, class F>
void Put(H LinkRoutes::*member, F&& f) {
  std::lock_guard lk(Held().mutex);
  Routes().*member = std::forward<F>(f);
}

}  // namespace

LinkRoutes& Routes() { return Held().routes; }

bool ReadRoutes(const std::function<bool(const LinkRoutes&)>& read) {
  std::lock_guard lk(Held().mutex);
  return read(Routes());
}

void InstallPartListStart(std::function<void()> start) { Put(&LinkRoutes::partListStart, std::move(start)); }
void InstallJog(std::function<void(int, int)> jog) { Put(&LinkRoutes::jog, std::move(jog)); }
void InstallNextSpeedGear(std::function<void()> next) { Put(&LinkRoutes::nextSpeedGear, std::move(next)); }
void InstallCaptureDone(std::function<void()> reset, std::function<bool(std::chrono::milliseconds)> wait) {
  Put(&LinkRoutes::resetCaptureDone, std::move(reset));
  Put(&LinkRoutes::waitCaptureDone, std::move(wait));
}
void InstallCameraSwitch(std::function<void(int, int)> sw) { Put(&LinkRoutes::switchCamera, std::move(sw)); }
void InstallCameraToVisionOrigin(std::function<void()> move) { Put(&LinkRoutes::cameraToVisionOrigin, std::move(move)); }
void InstallShowConveyorWidth(std::function<void()> show) { Put(&LinkRoutes::showConveyorWidth, std::move(show)); }
void InstallRunPausedShown(std::function<void(bool)> shown) { Put(&LinkRoutes::runPausedShown, std::move(shown)); }
void InstallShowBoardCameraValues(std::function<void()> show) {
  Put(&LinkRoutes::showBoardCameraValues, std::move(show));
}

void RouteSwitchCamera(int channel, int triggerMode) { Take(&LinkRoutes::switchCamera)(channel, triggerMode); }
void RouteRunPausedShown(bool paused) { Take(&LinkRoutes::runPausedShown)(paused); }
void RouteShowBoardCameraValues() { Take(&LinkRoutes::showBoardCameraValues)(); }
void RoutePartListStart() { Take(&LinkRoutes::partListStart)(); }
void RouteJog(int group, int direction) { Take(&LinkRoutes::jog)(group, direction); }
void RouteResetCaptureDone() { Take(&LinkRoutes::resetCaptureDone)(); }
bool RouteWaitCaptureDone(std::chrono::milliseconds timeout) { return Take(&LinkRoutes::waitCaptureDone)(timeout); }
void RouteCameraToVisionOrigin() { Take(&LinkRoutes::cameraToVisionOrigin)(); }
void RouteShowConveyorWidth() { Take(&LinkRoutes::showConveyorWidth)(); }

}  // namespace smt::link
