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
  smt::job::FlyCameraInputsHook(view.machine()) = [list] {
    smt::job::FlyCameraInputs fly;
    if (!list) return fly;
    fly.cameraX = list->m_Camera_first.CameraPulse_X;
    fly.cameraY = list->m_Camera_first.CameraPulse_Y;
    for (size_t k = 0; k < 8; ++k) fly.triggerPulse[k] = list->m_Settings.m_iTriggerPulse[k];
    return fly;
  };
  if (!list) return;
  // New pulses per millimetre: the camera positions are re-formatted and
  // their steps worked out again.
  smt::settings::PulseCommitted(view.machine()) = [list] {
    if (list) list->ShiftCameraPositions(0, 0);
  };
}

}  // namespace smt::app
