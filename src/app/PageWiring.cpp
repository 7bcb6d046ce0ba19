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

namespace {

// Feeder list column of the vision camera's name, and the panel's
// "no vision" icon.
constexpr int kFeederCameraColumn = 12;
constexpr int kNoVisionIcon = 4;

}  // namespace

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
  if (!list) return;
  list->hooks.layoutHeads = [] { smt::job::SetupHeadLayout(); };
  list->hooks.feederCameraColumn = [v] {
    std::vector<std::string> column;
    if (!v || !v->m_pFeedList) return column;
    CDialogFeedList& feeders = *v->m_pFeedList;
    for (int r = 0; r < feeders.RowCount(); ++r)
      column.push_back(feeders.ListRow(r).text[kFeederCameraColumn]);
    return column;
  };
  // Only the list item's icon changes; the feeder panel decides what it
  // means for its stored row.
  list->hooks.markFeedersWithoutVision = [v](const std::vector<int>& rows) {
    if (!v || !v->m_pFeedList) return;
    CDialogFeedList& feeders = *v->m_pFeedList;
    for (int r : rows) {
      if (r < 0 || r >= feeders.RowCount()) continue;
      smt::feeder::FeederListRow lr = feeders.ListRow(r);
      lr.icon[kFeederCameraColumn] = kNoVisionIcon;
      feeders.SetListRow(r, lr);
    }
  };
  // New pulses per millimetre: the camera positions are re-formatted and
  // their steps worked out again.
  smt::settings::PulseCommitted() = [list] {
    if (list) list->ShiftCameraPositions(0, 0);
  };
}

}  // namespace smt::app
