#include "app/PageWiring.h"

#include <QPointer>

#include "app/SMTView.h"
#include "feeder/CDialogFeedList.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "vision/CDialogSetView.h"
#include "settings/SettingsMenuCommands.h"
#include "vision/CDialogCameraList.h"

namespace smt::app {

void InstallPageWiring(CSMTView& view) {
  QPointer<CSMTView> v(&view);
  QPointer<CDialogCameraList> list = view.m_pCameraList.get();

  // The fly pass lies where the first vision camera is.
  smt::job::g_GetFlyCameraInputs = [list] {
    smt::job::FlyCameraInputs fly;
    if (!list) return fly;
    fly.cameraX = list->m_Camera_first.CameraPulse_X;
    fly.cameraY = list->m_Camera_first.CameraPulse_Y;
    for (size_t k = 0; k < 8; ++k) fly.triggerPulse[k] = list->m_Settings.m_iTriggerPulse[k];
    return fly;
  };
  // Coordinate tests: the camera tests look through the Mark camera, which
  // takes the feeder brightness for that one opening.
  view.initialUpdateSteps.push_back([v](const std::string&) {
    if (!v || !v->m_pPartList) return;
    smt::job::CoordinateTests& tests = v->m_pPartList->CoordTests();
    tests.openMarkCamera = [v] {
      if (v && v->switchLiveCamera) v->switchLiveCamera(GoToCamera::Mark);
    };
    tests.setFeedLightOnce = [v] {
      if (v && v->m_pSetView) v->m_pSetView->m_bFeederLight = true;
    };
  });
  if (!list) return;
  // New pulses per millimetre: the camera positions are re-formatted and
  // their steps worked out again.
  smt::settings::PulseCommitted() = [list] {
    if (list) list->ShiftCameraPositions(0, 0);
  };
}

}  // namespace smt::app
