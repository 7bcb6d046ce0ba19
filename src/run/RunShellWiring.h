#pragma once
// Connects the run engine to the part list panel, the feeder table and the
// current board, and the strategy page to the panel's toolbar. The shell
// calls these once when the panels exist; the vision, conveyor and view
// services are connected by their owners through Services().
#include "run/CDialogSMTStrategy.h"
#include <functional>
#include <string>

#include "run/RunDisplay.h"

class CDialogPartList;
class QWidget;

namespace smt::job {
class JobModel;
}

namespace smt {
class Machine;
}

namespace smt::run {

// Loads [SmtStrategyConfig] into the run engine, sets the head count and
// makes the nozzle library follow the committed strategy.
void LoadStrategyAtStart(smt::Machine& machine, const std::string& appDir);
// The machine-type commands: head mode and nozzle-change choice back to 0,
// committed and saved.
void ResetStrategyHeadMode(smt::Machine& machine, const std::string& appDir);

// The run's display on the part list panel: row states, progress, the row
// and the list in view, the board label and the part counter go to the panel
// (queued or posted to the window thread), the information line to the jog
// panel's box. The shell's display adds the camera and jog panels to the
// windows a run disables.
class PanelRunDisplay : public RunDisplay {
 public:
  PanelRunDisplay(smt::Machine& machine, CDialogPartList& panel) : machine_(machine), panel_(panel) {}
  void RowState(smt::job::RowKind list, int row, int image, bool select) override;
  void ResetRowStates(smt::job::RowKind list) override;
  void Progress(int pos, int range) override;
  void ShowRow(int row) override;
  void ShowList(int list) override;
  void PanelLabel(int r, int c, int boardsDone) override;
  void CoverCount(int count) override;
  void EnableRunWindows(bool enabled) override;
  void Info(const std::string& line) override;

 protected:
  smt::Machine& machine_;
  CDialogPartList& panel_;
};

// The panel's Start reaches StartRun; the next-row search reaches the pick
// target; the run reads the rows and board through the panel and shows its
// work on it (a PanelRunDisplay). The feeders it reads are its machine's
// feeder table.
// Start starts the run on `machine`; the hooks go into its run services.
void WireRunEngine(smt::Machine& machine, CDialogPartList& partList);

// The toolbar's "Strategy" opens the strategy page (modal) for the panel.
void WireStrategyPage(smt::Machine& machine, CDialogPartList& partList, QWidget* parent, std::string appDir,
                      std::function<std::string()> language);
// The page's hooks as WireStrategyPage connected them (one per machine, kept
// by that machine; each opening of the page takes them with its own
// folder, language and machine type). The hook table reads them.
CDialogSMTStrategy::Environment& StrategyPageHooks(smt::Machine& machine);

// What the strategy page's "设置" opens (the cover-tape page); the shell
// installs it.
void SetCoverPageOpener(smt::Machine& machine, std::function<void(QWidget* parent)> open);

}  // namespace smt::run
