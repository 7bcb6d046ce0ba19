#include "app/ConveyorDialogWiring.h"

#include <QWidget>

#include "app/SMTView.h"
#include "link/CDialogManualControl.h"
#include "link/JogPanelLayout.h"
#include "link/LinkRoutes.h"
#include "platform/GuiDispatcher.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/ConveyorStation.h"

namespace smt::app {

void InstallConveyorDialogWiring(CSMTView& view) {
  ConveyorDialogHooks& hooks = ConveyorDialogShellHooks();
  hooks.widthJogSteps = [&view] {
    return view.m_pManualControl ? view.m_pManualControl->JogPad().Steps().m_S_RunSteps : 0;
  };
  hooks.showConveyorTrace = [&view](bool shown) {
    if (!view.m_pManualControl) return;
    if (QWidget* trace = view.m_pManualControl->Control(smt::link::jogid::kInfo2)) trace->setVisible(shown);
  };
  // The end of a conveyor reset (homing mode 9, or its width-axis fault):
  // the width is the reset width at once; the open dialog shows it and
  // offers the reset again.
  smt::link::InstallShowConveyorWidth([] {
    smt::stations::ConveyorStation::Instance().OnConveyorWidthReset();
    smt::platform::PostToGui([] {
      if (CDialogAutoTransport* open = CDialogAutoTransport::Open()) open->ShowConveyorWidth();
    });
  });
}

}  // namespace smt::app
