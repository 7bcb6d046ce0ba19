#include "app/JogToolbarWiring.h"

#include <QAction>

#include "app/SMTView.h"
#include "core/LogFile.h"
#include "job/CDialogPartList.h"
#include "job/CToolBarPartControl.h"
#include "link/CDialogManualControl.h"

namespace smt::app {

void InstallJogToolbarWiring(CSMTView& view) {
  view.initialUpdateSteps.push_back([&view](const std::string&) {
    if (!view.m_pManualControl) return;
    view.m_pManualControl->onEnableToolbarButton = [&view](int button, bool enable) {
      QAction* a = view.m_pPartList ? view.m_pPartList->ToolBar().Button(button) : nullptr;
      if (!a) {
        CLogFile::Instance().Write(true, "Jog enabling: the part list has no toolbar button %d", button);
        return;
      }
      a->setEnabled(enable);
    };
  });
}

}  // namespace smt::app
