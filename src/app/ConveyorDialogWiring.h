#pragma once
// The conveyor dialog and the jog panel: the width buttons jog by the jog
// panel's S-axis steps, "启用自动进板" shows or hides the panel's conveyor
// trace, and the end of a conveyor reset refreshes the open dialog.
class CSMTView;

namespace smt::app {

void InstallConveyorDialogWiring(CSMTView& view);

}  // namespace smt::app
