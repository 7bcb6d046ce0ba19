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
