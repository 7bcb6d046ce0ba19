#include "run/RunShellWiring.h"

#include "core/LogFile.h"

#include <mutex>

#include "core/Machine.h"
#include "platform/MessageService.h"

#include "core/MachineState.h"
#include "job/CDialogPartList.h"
#include "job/CurrentBoard.h"
#include "job/ListNumbers.h"
#include "library/NozzleSeats.h"
#include "link/LinkRuntime.h"
#include "library/NozzleStrategy.h"
#include "platform/GuiDispatcher.h"
#include "run/CDialogSMTStrategy.h"
#include "run/FeederPickTarget.h"
#include "run/RunDispatch.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::run {

namespace {

RunBoard BoardForRun(smt::Machine& m) {
  RunBoard b;
  b.originX = m.board.originX;
  b.originY = m.board.originY;
  b.marksOn = m.board.useMarks;
  b.marksPerCell = m.board.marksPerPanel;
  b.mark1X = m.board.mark1X;
  b.mark1Y = m.board.mark1Y;
  b.mark2X = m.board.mark2X;
  b.mark2Y = m.board.mark2Y;
  b.panelRows = std::max(m.board.panelRows, 1);
  b.panelCols = std::max(m.board.panelCols, 1);
  b.rowPitch = m.board.panelRowPitch;
  b.colPitch = m.board.panelColPitch;
  b.thickness = m.board.boardThickness;
  for (int r = 0; r < b.panelRows; ++r)
    for (int c = 0; c < b.panelCols; ++c) b.skipped.push_back(smt::job::PanelCellSkipped(m, r, c));
  return b;
}

}  // namespace

void LoadStrategyAtStart(smt::Machine& m, const std::string& appDir) {
  const SmtStrategy s = LoadStrategy(appDir);
  SetStrategy(m, s);
  m.headCount = HeadCountOfMode(s.m_HeaderSelect);
  // The nozzle library of this machine reads this machine's strategy.
  smt::library::SetNozzleStrategySource(m, [&m] {
    const SmtStrategy now = Strategy(m);
    smt::library::NozzleStrategy n;
    n.m_AutoChangeNozzle = now.m_AutoChangeNozzle;
    n.m_19NozzleLibrary = now.m_19NozzleLibrary;
    n.m_ChangeNozzleSelect = now.m_ChangeNozzleSelect;
    return n;
  });
}

void ResetStrategyHeadMode(smt::Machine& m, const std::string& appDir) {
  SmtStrategy s = Strategy(m);
  s.m_HeaderSelect = 0;
  s.m_ChangeNozzleSelect = 0;
  SetStrategy(m, s);
  m.headCount = 1;
  SaveStrategy(appDir, s);
}

void PanelRunDisplay::RowState(smt::job::RowKind list, int row, int image, bool select) {
  switch (list) {
    case smt::job::RowKind::Placement: panel_.SetSmtRowState(row, image, select); break;
    case smt::job::RowKind::Dispense: panel_.SetDispenseRowState(row); break;
    case smt::job::RowKind::Drill: panel_.SetDrillRowState(row, image); break;
  }
}

void PanelRunDisplay::ResetRowStates(smt::job::RowKind list) {
  switch (list) {
    case smt::job::RowKind::Placement: panel_.ResetSmtRowStates(); break;
    case smt::job::RowKind::Dispense: panel_.ResetDispenseRowStates(); break;
    case smt::job::RowKind::Drill: panel_.ResetDrillRowStates(); break;
  }
}

void PanelRunDisplay::Progress(int pos, int range) { panel_.SetRunProgress(pos, range); }
void PanelRunDisplay::ShowRow(int row) { panel_.ScrollRunRow(row); }

void PanelRunDisplay::ShowList(int list) {
  const auto v = list == 2   ? smt::job::VisibleList::Dispense
                 : list == 3 ? smt::job::VisibleList::Drill
                             : smt::job::VisibleList::Placement;
  CDialogPartList* pl = &panel_;
  smt::platform::PostToGui([pl, v] { pl->Job().SetVisible(v); });
}

void PanelRunDisplay::PanelLabel(int r, int c, int boardsDone) {
  panel_.UpdatePanelProgressLabel(r, c, boardsDone < 0 ? 0 : boardsDone);
}

void PanelRunDisplay::CoverCount(int count) { panel_.ShowCoverCount(count); }
void PanelRunDisplay::EnableRunWindows(bool enabled) { panel_.EnableListsForRun(enabled); }
void PanelRunDisplay::Info(const std::string& line) { smt::link::RuntimeOf(machine_).Hooks().AppendInfoLine(line, true); }

void WireRunEngine(smt::Machine& m, CDialogPartList& list) {
  CDialogPartList* pl = &list;
  list.Run().startRun = [&m](int mode) { return StartRun(m, mode); };
  // Start dispatches on the strategy's run mode; the job shows the list that
  // mode works on.
  list.Run().runMode = [&m] { return Strategy(m).m_RunSelect; };
  list.Job().runSelect = Strategy(m).m_RunSelect;
  list.Logic().calcFeederPickTarget = [&m](const std::string& feeder, int slot, int requested) {
    return CalcFeederPickTarget(m, slot, requested, feeder);
  };
  auto& s = Services(m);
  s.display.Connect(std::make_shared<PanelRunDisplay>(m, list));
  // The lists' rows become records once, when the run takes them; a list
  // holding a number that cannot be read gives the run nothing to work on
  // and the operator is told the row and the field.
  auto refuse = [](const std::string& refusal) {
    if (refusal.empty()) return;
    CLogFile::Instance().Write(true, "run refused: %s", refusal.c_str());
    smt::platform::ShowMessage(refusal);
  };
  s.placementRows = [pl, refuse] {
    std::vector<PlacementRow> rows;
    std::string refusal;
    smt::platform::RunOnGui([&] { rows = smt::job::PlacementRecordsOf(pl->Job().placementRows, refusal); });
    refuse(refusal);
    return rows;
  };
  s.nextPlaceRow = [pl](int& row, int count, int slot, int requested) {
    return pl->NextPlaceRow(row, count, slot, requested);
  };
  s.onRunEnd = [pl](bool finished) { pl->OnRunEnd(finished); };
  s.text = [pl](const std::string& key) { return pl->Logic().Text(key); };
  s.feedModeNames = [pl] {
    static const char* keys[9] = {"PartList.c_IntegrationFeed", "PartList.c_AutoFeed", "PartList.c_VibrationFeed",
                                  "PartList.c_GridBox", "PartList.c_0402", "PartList.c_48",
                                  "PartList.c_DragHand", "PartList.c_CL_DIP", "PartList.c_GRID_DIP"};
    std::array<std::string, 9> names;
    for (size_t i = 0; i < 9; ++i) names[i] = pl->Logic().Text(keys[i]);
    return names;
  };
  s.dispenseRows = [pl, refuse] {
    std::vector<DispenseRow> rows;
    std::string refusal;
    smt::platform::RunOnGui(
        [&] { rows = smt::job::DispensePointsOf(pl->Logic().Rows(smt::job::RowKind::Dispense), refusal); });
    refuse(refusal);
    return rows;
  };
  s.drillRows = [pl, refuse] {
    std::vector<DrillRow> rows;
    std::string refusal;
    smt::platform::RunOnGui([&] { rows = smt::job::DrillRecordsOf(pl->Logic().Rows(smt::job::RowKind::Drill), refusal); });
    refuse(refusal);
    return rows;
  };
  s.nextDispenseRow = [pl](int& row, int count) { return pl->NextDispenseRow(row, count); };
  s.boardCount = [pl] { return pl->Run().boardCount ? pl->Run().boardCount() : 1; };
  s.setBoardCount = [pl](int n) {
    if (pl->Run().boardCount) pl->Run().boardCount() = n;
  };
  // Read on the window thread: the board of this run's machine, not of
  // whichever machine is in use there.
  s.board = [&m] {
    RunBoard b;
    smt::platform::RunOnGui([&] { b = BoardForRun(m); });
    return b;
  };
  s.autoTransport = [pl] { return pl->Run().autoTransport && pl->Run().autoTransport(); };
}

namespace {
// The cover-tape dialog opener the shell installed on the machine.
struct InstalledCoverOpener {
  std::mutex mutex;
  std::function<void(QWidget*)> open;
};
InstalledCoverOpener& CoverOpener(smt::Machine& m) { return m.Part<InstalledCoverOpener>(); }
}  // namespace

void SetCoverPageOpener(smt::Machine& m, std::function<void(QWidget* parent)> open) {
  auto& opener = CoverOpener(m);
  std::lock_guard lk(opener.mutex);
  opener.open = std::move(open);
}

namespace {
// The strategy page's environment the shell connected on the machine.
struct StrategyPageEnvironment {
  CDialogSMTStrategy::Environment env;
};
}  // namespace

CDialogSMTStrategy::Environment& StrategyPageHooks(smt::Machine& m) {
  return m.Part<StrategyPageEnvironment>().env;
}

void WireStrategyPage(smt::Machine& m, CDialogPartList& list, QWidget* parent, std::string appDir,
                      std::function<std::string()> language) {
  CDialogPartList* pl = &list;
  CDialogSMTStrategy::Environment& env = StrategyPageHooks(m);
  env = CDialogSMTStrategy::Environment{};
  env.openCoverDialog = [&m, parent] {
    std::function<void(QWidget*)> open;
    {
      auto& opener = CoverOpener(m);
      std::lock_guard lk(opener.mutex);
      open = opener.open;
    }
    if (open) open(parent);
    else smt::platform::ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_CoverPageNotConnected", "盖带设置页没有连接 !"));
  };
  list.openStrategy = [&m, pl, parent, appDir, language] {
    CDialogSMTStrategy::Environment env = StrategyPageHooks(m);
    env.appDir = appDir;
    env.language = language ? language() : "Chinese";
    env.machineType = m.machineType;
    CDialogSMTStrategy dlg(Strategy(m), m, env, parent);
    dlg.exec();
    pl->Job().runSelect = Strategy(m).m_RunSelect;
  };
}

}  // namespace smt::run
