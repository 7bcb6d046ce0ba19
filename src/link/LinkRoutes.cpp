#include "link/LinkRoutes.h"

#include <mutex>

#include "app/core/LogFile.h"

namespace smt::link {
namespace {

std::mutex g_routesMutex;
LinkRoutes g_routes;

void LogMissing(const char* what) { CLogFile::Instance().Write(true, "link: no handler for %s yet", what); }

}  // namespace

LinkRoutes GetLinkRoutes() {
  std::lock_guard lk(g_routesMutex);
  return g_routes;
}

void SetLinkRoutes(const LinkRoutes& routes) {
  std::lock_guard lk(g_routesMutex);
  g_routes = routes;
}

void InstallPartListStart(std::function<void()> start) {
  std::lock_guard lk(g_routesMutex);
  g_routes.partListStart = std::move(start);
}

void InstallJog(std::function<void(int, int)> jog) {
  std::lock_guard lk(g_routesMutex);
  g_routes.jog = std::move(jog);
}

void InstallNextSpeedGear(std::function<void()> next) {
  std::lock_guard lk(g_routesMutex);
  g_routes.nextSpeedGear = std::move(next);
}

void InstallCaptureDone(std::function<void()> reset, std::function<bool(std::chrono::milliseconds)> wait) {
  std::lock_guard lk(g_routesMutex);
  g_routes.resetCaptureDone = std::move(reset);
  g_routes.waitCaptureDone = std::move(wait);
}

void InstallCameraSwitch(std::function<void(int, int)> sw) {
  std::lock_guard lk(g_routesMutex);
  g_routes.switchCamera = std::move(sw);
}

void RouteSwitchCamera(int channel, int triggerMode) {
  auto r = GetLinkRoutes();
  if (r.switchCamera) r.switchCamera(channel, triggerMode);
  else LogMissing("the camera panel's camera switch");
}

void InstallCameraToVisionOrigin(std::function<void()> move) {
  std::lock_guard lk(g_routesMutex);
  g_routes.cameraToVisionOrigin = std::move(move);
}

void InstallShowConveyorWidth(std::function<void()> show) {
  std::lock_guard lk(g_routesMutex);
  g_routes.showConveyorWidth = std::move(show);
}

void InstallRunPausedShown(std::function<void(bool)> shown) {
  std::lock_guard lk(g_routesMutex);
  g_routes.runPausedShown = std::move(shown);
}

void InstallShowBoardCameraValues(std::function<void()> show) {
  std::lock_guard lk(g_routesMutex);
  g_routes.showBoardCameraValues = std::move(show);
}

void RouteRunPausedShown(bool paused) {
  auto r = GetLinkRoutes();
  if (r.runPausedShown) r.runPausedShown(paused);
  else LogMissing("the run toolbar's pause state");
}

void RouteShowBoardCameraValues() {
  auto r = GetLinkRoutes();
  if (r.showBoardCameraValues) r.showBoardCameraValues();
  else LogMissing("the camera panel's board values");
}

void RoutePartListStart() {
  auto r = GetLinkRoutes();
  if (r.partListStart) r.partListStart();
  else LogMissing("the part list's Start");
}

void RouteJog(int group, int direction) {
  auto r = GetLinkRoutes();
  if (r.jog) r.jog(group, direction);
  else CLogFile::Instance().Write(true, "link: no jog handler yet (group %d, direction %d)", group, direction);
}

void RouteResetCaptureDone() {
  auto r = GetLinkRoutes();
  if (r.resetCaptureDone) r.resetCaptureDone();
}

bool RouteWaitCaptureDone(std::chrono::milliseconds timeout) {
  auto r = GetLinkRoutes();
  return r.waitCaptureDone ? r.waitCaptureDone(timeout) : true;
}

void RouteCameraToVisionOrigin() {
  auto r = GetLinkRoutes();
  if (r.cameraToVisionOrigin) r.cameraToVisionOrigin();
  else LogMissing("the move to the vision origin");
}

void RouteShowConveyorWidth() {
  auto r = GetLinkRoutes();
  if (r.showConveyorWidth) r.showConveyorWidth();
}

}  // namespace smt::link
