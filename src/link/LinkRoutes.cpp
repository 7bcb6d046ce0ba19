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
