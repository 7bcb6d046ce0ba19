#include "app/SettingsFlowWiring.h"

#include <QObject>
#include <QPointer>
#include <cmath>
#include <functional>
#include <memory>

#include "app/SMTView.h"
#include "job/CDialogPartList.h"
#include "job/CurrentBoard.h"
#include "link/CDialogManualControl.h"
#include "link/MachineHoming.h"
#include "link/MotionSettings.h"
#include "platform/GuiDispatcher.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "stations/ConveyorStation.h"
#include "vision/CDialogSetView.h"

namespace {

// The jog panel and the link: limits, scales, switches, homing and manual
// speeds, the speed options and the position boxes.
void TakeIntoJogPanel(CSMTView& view) {
  if (CDialogManualControl* panel = view.m_pManualControl) {
    panel->TakeMachineSettings();
    panel->OnPositionsChanged();
  } else {
    smt::Machine& machine = view.machine();
    smt::link::UpdateMotionSettings(machine, [&machine](smt::link::MotionSettings& m) {
      smt::link::ApplyStoreValuesFrom(m, smt::settings::SettingsStores::Of(machine));
    });
  }
}

// The board the part list shows, in steps with the current scales (its
// millimetres stay as they are).
void RecomputeShownBoard(QPointer<CSMTView> view) {
  if (!view || !view->m_pPartList) return;
  const auto& job = view->m_pPartList->Job();
  if (job.pcbs.FindPcbIndex(job.shownPcbName) < 0) return;
  const auto pulse = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse();
  auto steps = [](double mm, double perMm) { return static_cast<int32_t>(std::trunc(mm * perMm)); };
  smt::CurrentMachine().board.originStepsX = steps(smt::CurrentMachine().board.originX, pulse->m_X_Pulse);
  smt::CurrentMachine().board.originStepsY = steps(smt::CurrentMachine().board.originY, pulse->m_Y_Pulse);
  smt::CurrentMachine().board.mark1StepsX = steps(smt::CurrentMachine().board.mark1X, pulse->m_X_Pulse);
  smt::CurrentMachine().board.mark1StepsY = steps(smt::CurrentMachine().board.mark1Y, pulse->m_Y_Pulse);
  smt::CurrentMachine().board.mark2StepsX = steps(smt::CurrentMachine().board.mark2X, pulse->m_X_Pulse);
  smt::CurrentMachine().board.mark2StepsY = steps(smt::CurrentMachine().board.mark2Y, pulse->m_Y_Pulse);
}

// The camera panel's settings: the feeder brightness of the Mark camera.
void TakeIntoCameraPanel(QPointer<CSMTView> view) {
  if (!view || !view->m_pSetView) return;
  view->m_pSetView->m_FeedBrightness = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_FeedBrightness;
}

// Runs `work` on the window thread: at once when already there.
void OnWindowThread(std::function<void()> work) {
  if (smt::platform::GuiDispatcher::Get().IsGuiThread())
    work();
  else
    smt::platform::PostToGui(std::move(work));
}

}  // namespace

void InstallSettingsFlow(CSMTView& view) {
  smt::Machine& machine = view.machine();
  auto& stores = smt::settings::SettingsStores::Of(machine);
  CSMTView* v = &view;
  struct Ids {
    int machine = 0, speed = 0, strategy = 0;
  };
  auto ids = std::make_shared<Ids>();
  ids->machine = stores.machine.AddGeometryListener([v] {
    TakeIntoJogPanel(*v);
    // The conveyor's width after homing is in steps of the width axis.
    auto& conveyor = smt::stations::ConveyorStation::Of(v->machine());
    conveyor.SetSettings(conveyor.Settings());
    // The job and the panels live on the window thread; a commit from a
    // worker (the camera offset measurement) hands this part over to it.
    OnWindowThread([view = QPointer<CSMTView>(v)] {
      RecomputeShownBoard(view);
      TakeIntoCameraPanel(view);
    });
  });
  ids->speed = stores.speed.AddListener([v] { TakeIntoJogPanel(*v); });
  ids->strategy = smt::run::AddStrategyListener(machine, [&machine](const smt::run::SmtStrategy& s) {
    smt::link::UpdateMotionSettings(machine, [&s](smt::link::MotionSettings& m) { m.runSelect = s.m_RunSelect; });
  });
  // The run's correction at the vision origin after a placed board.
  smt::run::Services(machine).visionOriginAfterPlacement = [v] { return v->VisionOriginAfterPlacement(); };
  // Once the panels exist: the camera panel's settings and what it shows
  // while the homing hands over to the vision-origin move.
  view.initialUpdateSteps.push_back([v](const std::string&) {
    CDialogSetView* panel = v->m_pSetView;
    if (!panel) return;
    TakeIntoCameraPanel(v);
  });
  QObject::connect(&view, &QObject::destroyed, [ids, &machine] {
    auto& st = smt::settings::SettingsStores::Of(machine);
    st.machine.RemoveGeometryListener(ids->machine);
    st.speed.RemoveListener(ids->speed);
    smt::run::RemoveStrategyListener(machine, ids->strategy);
  });
}
