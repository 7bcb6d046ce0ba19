#include "app/RunStepsWiring.h"

#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "core/LogFile.h"
#include "job/CDialogPartList.h"
#include "link/CDialogManualControl.h"
#include "link/MachineHoming.h"
#include "platform/GuiDispatcher.h"
#include "run/RunFeedSettings.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "stations/CoverTapeSettings.h"
#include "stations/DippingStation.h"
#include "stations/StationsShell.h"
#include "vision/CDialogSetView.h"

namespace {

// What a run shows, on the part list and on the panels a run disables.
class ShellRunDisplay : public smt::run::PanelRunDisplay {
 public:
  ShellRunDisplay(CSMTView& view, CDialogPartList& panel) : PanelRunDisplay(view.machine(), panel), view_(view) {}
  void EnableRunWindows(bool enabled) override {
    PanelRunDisplay::EnableRunWindows(enabled);
    CSMTView* v = &view_;
    smt::platform::PostToGui([v, enabled] {
      if (v->m_pManualControl) v->m_pManualControl->EnableJogControls(enabled);
      if (v->m_pSetView) {
        if (!enabled) v->m_pSetView->m_dDisplayZoom = 1.0;
        v->m_pSetView->setEnabled(enabled);
      }
    });
  }

 private:
  CSMTView& view_;
};

}  // namespace

void InstallRunSteps(CSMTView& view) {
  CMainFrame* frame = view.frame();
  view.initialUpdateSteps.push_back([&view, frame](const std::string& appDir) {
    smt::run::SetRunFeedSettings(view.machine(), smt::run::LoadRunFeedSettings(appDir));
    CDialogPartList* pl = view.m_pPartList;
    if (!pl) return;
    auto& run = smt::run::Services(view.machine());
    // At the start the placement list, the camera panel and the jog panel
    // are disabled and the camera panel's zoom goes back to 1; the end of
    // the run enables them again.
    run.display.Connect(std::make_shared<ShellRunDisplay>(view, *pl));
    // The end of a run switches the live view to the Mark camera, then homes
    // the machine. The switch is done on the window thread; the homing is
    // queued behind it, so the switch still sees a homed machine.
    run.startHome = [&machine = view.machine()] {
      smt::platform::PostToGui([&machine] { smt::link::MachineHoming::Of(machine).StartHomeThread(0, 0); });
    };
    run.cover = [appDir] {
      const auto c = smt::stations::CoverTapeSettings::Load(appDir);
      smt::run::CoverSettings s;
      s.stepPulse = c.m_StepPulse;
      s.coverTotal = c.m_CoverTotal;
      s.onceTotal = c.m_CoverOnceTotal;
      s.blankTotal = c.m_BlankTotal;
      s.delayMs = c.m_CoverDelay;
      s.totalCount = c.m_CoverTotalCount;
      s.count = c.m_CoverCount;
      return s;
    };
    run.saveCoverCounters = [appDir](int total, int count) {
      if (!smt::stations::SaveCoverCounters(appDir, total, count))
        CLogFile::Instance().Write(true, "cover tape: counters not saved (%d, %d)", total, count);
    };
    run.dippingStation = [&view]() -> std::optional<smt::run::DipStation> {
      const auto d = smt::stations::DippingStation::Of(view.machine()).Settings();
      return smt::run::DipStation{d.m_DippingStation_X,       d.m_DippingStation_Y,        d.m_DippingStation_Z,
                                  d.m_DippingStation_RunTime, d.m_DippingStation_StopDelay, d.m_DippingStation_Delay};
    };
    // The strategy page's "设置" opens the cover-tape page.
    smt::run::SetCoverPageOpener(view.machine(), [frame, &view](QWidget* parent) {
      smt::stations::OpenCoverTape(view.machine(), parent, frame->m_strAppPath, frame->m_strLanguage);
    });
  });
}
