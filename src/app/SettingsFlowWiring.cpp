#include "app/SettingsFlowWiring.h"

#include <QObject>
#include <QPointer>
#include <cmath>
#include <memory>

#include "app/SMTView.h"
#include "job/CDialogPartList.h"
#include "job/CurrentBoard.h"
#include "link/CDialogManualControl.h"
#include "link/MotionSettings.h"
#include "platform/GuiDispatcher.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "stations/ConveyorStation.h"

namespace {

// The jog panel and the link: limits, scales, switches, homing and manual
// speeds, the speed options and the position boxes.
void TakeIntoJogPanel(CSMTView& view) {
  if (CDialogManualControl* panel = view.m_pManualControl) {
    panel->TakeMachineSettings();
    panel->OnPositionsChanged();
  } else {
    smt::link::UpdateMotionSettings(smt::link::ApplyStoreValues);
  }
}

// The board the part list shows, in steps with the current scales (its
// millimetres stay as they are).
void RecomputeShownBoard(QPointer<CSMTView> view) {
  if (!view || !view->m_pPartList) return;
  const auto& job = view->m_pPartList->Job();
  if (job.pcbs.FindPcbIndex(job.shownPcbName) < 0) return;
  const auto pulse = smt::settings::SettingsStores::Instance().machine.Pulse();
  auto steps = [](double mm, double perMm) { return static_cast<int32_t>(std::trunc(mm * perMm)); };
  g_nOriginStepsX = steps(g_dOriginX, pulse->m_X_Pulse);
  g_nOriginStepsY = steps(g_dOriginY, pulse->m_Y_Pulse);
  g_nMark1StepsX = steps(g_dMark1X, pulse->m_X_Pulse);
  g_nMark1StepsY = steps(g_dMark1Y, pulse->m_Y_Pulse);
  g_nMark2StepsX = steps(g_dMark2X, pulse->m_X_Pulse);
  g_nMark2StepsY = steps(g_dMark2Y, pulse->m_Y_Pulse);
}

}  // namespace

void InstallSettingsFlow(CSMTView& view) {
  auto& stores = smt::settings::SettingsStores::Instance();
  CSMTView* v = &view;
  struct Ids {
    int machine = 0, speed = 0, strategy = 0;
  };
  auto ids = std::make_shared<Ids>();
  ids->machine = stores.machine.AddGeometryListener([v] {
    TakeIntoJogPanel(*v);
    // The conveyor's width after homing is in steps of the width axis.
    auto& conveyor = smt::stations::ConveyorStation::Instance();
    conveyor.SetSettings(conveyor.Settings());
    // The job lives on the window thread; a commit from a worker (the camera
    // offset measurement) hands this part over to it.
    auto board = [view = QPointer<CSMTView>(v)] { RecomputeShownBoard(view); };
    if (smt::platform::GuiDispatcher::Get().IsGuiThread())
      board();
    else
      smt::platform::PostToGui(board);
  });
  ids->speed = stores.speed.AddListener([v] { TakeIntoJogPanel(*v); });
  ids->strategy = smt::run::AddStrategyListener([](const smt::run::SmtStrategy& s) {
    smt::link::UpdateMotionSettings([&s](smt::link::MotionSettings& m) { m.runSelect = s.m_RunSelect; });
  });
  QObject::connect(&view, &QObject::destroyed, [ids] {
    auto& st = smt::settings::SettingsStores::Instance();
    st.machine.RemoveGeometryListener(ids->machine);
    st.speed.RemoveListener(ids->speed);
    smt::run::RemoveStrategyListener(ids->strategy);
  });
}
