#include "run/RunShellWiring.h"

#include "core/LogFile.h"

#include <mutex>

#include "platform/MessageService.h"

#include "core/MachineState.h"
#include "job/CDialogPartList.h"
#include "job/CurrentBoard.h"
#include "job/ListNumbers.h"
#include "library/NozzleSeats.h"
#include "library/NozzleStrategy.h"
#include "platform/GuiDispatcher.h"
#include "run/CDialogSMTStrategy.h"
#include "run/FeederPickTarget.h"
#include "run/RunDispatch.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"

namespace smt::run {

namespace {

RunBoard CurrentBoardForRun() {
  RunBoard b;
  b.originX = g_dOriginX;
  b.originY = g_dOriginY;
  b.marksOn = g_bUseMarks;
  b.marksPerCell = g_bMarksPerPanel;
  b.mark1X = g_dMark1X;
  b.mark1Y = g_dMark1Y;
  b.mark2X = g_dMark2X;
  b.mark2Y = g_dMark2Y;
  b.panelRows = std::max(g_nPanelRows, 1);
  b.panelCols = std::max(g_nPanelCols, 1);
  b.rowPitch = g_dPanelRowPitch;
  b.colPitch = g_dPanelColPitch;
  b.thickness = g_dBoardThickness;
  for (int r = 0; r < b.panelRows; ++r)
    for (int c = 0; c < b.panelCols; ++c) b.skipped.push_back(smt::job::PanelCellSkipped(r, c));
  return b;
}

}  // namespace

void LoadStrategyAtStart(const std::string& appDir) {
  const SmtStrategy s = LoadStrategy(appDir);
  SetStrategy(s);
  g_nHeadCount = HeadCountOfMode(s.m_HeaderSelect);
  smt::library::SetNozzleStrategySource([] {
    const SmtStrategy now = Strategy();
    smt::library::NozzleStrategy n;
    n.m_AutoChangeNozzle = now.m_AutoChangeNozzle;
    n.m_19NozzleLibrary = now.m_19NozzleLibrary;
    n.m_ChangeNozzleSelect = now.m_ChangeNozzleSelect;
    return n;
  });
}

void ResetStrategyHeadMode(const std::string& appDir) {
  SmtStrategy s = Strategy();
  s.m_HeaderSelect = 0;
  s.m_ChangeNozzleSelect = 0;
  SetStrategy(s);
  g_nHeadCount = 1;
  SaveStrategy(appDir, s);
}

void WireRunEngine(CDialogPartList& list, smt::feeder::FeederTable* feeders) {
  CDialogPartList* pl = &list;
  list.Run().startRun = [](int mode) { return StartRun(mode); };
  // Start dispatches on the strategy's run mode; the job shows the list that
  // mode works on.
  list.Run().runMode = [] { return Strategy().m_RunSelect; };
  list.Job().runSelect = Strategy().m_RunSelect;
  list.Logic().calcFeederPickTarget = [](const std::string& feeder, int slot, int requested) {
    return CalcFeederPickTarget(slot, requested, feeder);
  };
  auto& s = Services();
  s.feeders = feeders;
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
  s.setSmtRowState = [pl](int row, int image, bool select) { pl->SetSmtRowState(row, image, select); };
  s.resetSmtRowStates = [pl] { pl->ResetSmtRowStates(); };
  s.showList = [pl](int list) {
    const auto v = list == 2   ? smt::job::VisibleList::Dispense
                   : list == 3 ? smt::job::VisibleList::Drill
                               : smt::job::VisibleList::Placement;
    smt::platform::PostToGui([pl, v] { pl->Job().SetVisible(v); });
  };
  s.panelLabel = [pl](int r, int c, int done) { pl->UpdatePanelProgressLabel(r, c, done < 0 ? 0 : done); };
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
  s.selectors = [pl] {
    RunSelectors sel;
    sel.fromCurrentSmt = pl->Logic().m_bStartFromCurrentSmt != 0;
    sel.selectedSmt = pl->Logic().m_bSelectedSmt != 0;
    sel.fromCurrentDis = pl->Logic().m_bStartFromCurrentDis != 0;
    sel.selectedDis = pl->Logic().m_bSelectedDis != 0;
    sel.fromCurrentDrill = pl->Logic().m_bStartFromCurrentDrill != 0;
    sel.selectedDrill = pl->Logic().m_bSelectedDrill != 0;
    return sel;
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
  s.setDispenseRowState = [pl](int row) { pl->SetDispenseRowState(row); };
  s.resetDispenseRowStates = [pl] { pl->ResetDispenseRowStates(); };
  s.setDrillRowState = [pl](int row, int state) { pl->SetDrillRowState(row, state); };
  s.resetDrillRowStates = [pl] { pl->ResetDrillRowStates(); };
  s.currentDisRow = [pl] { return std::max(pl->Logic().State(smt::job::RowKind::Dispense).testRow, 0); };
  s.currentDrillRow = [pl] { return std::max(pl->Logic().State(smt::job::RowKind::Drill).testRow, 0); };
  s.drillRowSelected = [pl](int row) { return pl->Logic().IsSelected(smt::job::RowKind::Drill, row); };
  s.clearDrillFromCurrent = [pl] { pl->Logic().m_bStartFromCurrentDrill = 0; };
  s.placedOne = [pl] { ++pl->Run().m_nPlacedCount; };
  s.currentSmtRow = [pl] { return std::max(pl->Logic().State(smt::job::RowKind::Placement).testRow, 0); };
  s.boardCount = [pl] { return pl->Run().boardCount ? pl->Run().boardCount() : 1; };
  s.setBoardCount = [pl](int n) {
    if (pl->Run().boardCount) pl->Run().boardCount() = n;
  };
  s.smtBusy = &list.Run().m_bSmtThreadBusy;
  s.feedBusy = &list.Run().m_bFeedThreadBusy;
  s.conveyorBusy = &list.Run().m_bConveyorThreadBusy;
  s.board = [] {
    RunBoard b;
    smt::platform::RunOnGui([&] { b = CurrentBoardForRun(); });
    return b;
  };
  // The glue-injection stroke goes down to the dispensing height.
  s.glueInjectDepth = [] {
    return smt::settings::SettingsStores::Instance().machine.Basic()->m_Z_DropsGlueToPCBHeight;
  };
  s.autoTransport = [pl] { return pl->Run().autoTransport && pl->Run().autoTransport(); };
}

namespace {
std::mutex g_coverOpenerM;
std::function<void(QWidget*)> g_coverOpener;
}  // namespace

void SetCoverPageOpener(std::function<void(QWidget* parent)> open) {
  std::lock_guard lk(g_coverOpenerM);
  g_coverOpener = std::move(open);
}

CDialogSMTStrategy::Environment& StrategyPageHooks() {
  static CDialogSMTStrategy::Environment hooks;
  return hooks;
}

void WireStrategyPage(CDialogPartList& list, QWidget* parent, std::string appDir,
                      std::function<std::string()> language) {
  CDialogPartList* pl = &list;
  CDialogSMTStrategy::Environment& env = StrategyPageHooks();
  env = CDialogSMTStrategy::Environment{};
  env.sortList = [pl](int key) {
    pl->Logic().sortCode = key;
    pl->Logic().SortList(smt::job::RowKind::Placement);
  };
  env.checkFeederOrder = [pl] { pl->Logic().CheckFeederOrder(); };
  env.fillDispenseFromSmtIfEmpty = [pl] {
    if (pl->Job().dispenseRows.empty() && !pl->Job().placementRows.empty()) pl->Logic().FillDispenseFromSmt();
  };
  env.resetNozzleHolders = [] {
    for (auto& h : g_nHeadNozzle) h = 0;
    g_NozzleSeats.FillAll();
  };
  env.openCoverDialog = [parent] {
    std::function<void(QWidget*)> open;
    {
      std::lock_guard lk(g_coverOpenerM);
      open = g_coverOpener;
    }
    if (open) open(parent);
    else smt::platform::ShowMessage("Cover tape page not connected !");
  };
  env.setHeadCount = [](int heads) { g_nHeadCount = heads; };
  env.showDispenseView = [pl](bool dispense) {
    pl->Job().SetVisible(dispense ? smt::job::VisibleList::Dispense : smt::job::VisibleList::Placement);
  };
  env.renumberLists = [pl] { smt::job::RenumberLists(pl->Job()); };
  list.openStrategy = [pl, parent, appDir, language] {
    CDialogSMTStrategy::Environment env = StrategyPageHooks();
    env.appDir = appDir;
    env.language = language ? language() : "Chinese";
    env.machineType = g_nMachineType;
    CDialogSMTStrategy dlg(Strategy(), env, parent);
    dlg.exec();
    pl->Job().runSelect = Strategy().m_RunSelect;
  };
}

}  // namespace smt::run
