#include "app/HookTable.h"

#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/FeederServices.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "link/CDialogManualControl.h"
#include "link/ManualMarkOffsets.h"
#include "link/WindowPanels.h"
#include "platform/Hooks.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "settings/SettingsMenuCommands.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"

// Every hook of the program, one line each: which machine types need it (and
// which actions it blocks while missing), or why it is optional. The shell
// reports the needed ones nobody connected at the end of start-up and after
// every machine-type switch.

namespace smt::app {

namespace {

using smt::platform::AllTypesBut;
using smt::platform::HookEntry;
using smt::platform::HookRegistry;
using smt::platform::kAllMachineTypes;
using smt::platform::MachineTypes;
using smt::platform::Types;

struct Ref {
  std::string name;
  std::function<bool()> probe;
};

// Machine types by what they do.
constexpr MachineTypes kAll = kAllMachineTypes;
constexpr MachineTypes kPlacing = Types({0, 1, 2, 3, 5, 6, 7, 8});      // pick and place parts
constexpr MachineTypes kFeeding = Types({0, 1, 2, 3, 4, 5, 6, 7, 8});   // feeder thread / feeder tests
constexpr MachineTypes kDispensing = Types({1, 4, 6});                  // dispensing list runs
constexpr MachineTypes kDrilling = Types({9});
constexpr MachineTypes kLabeling = Types({10});
constexpr MachineTypes kLamp = Types({4});

const std::vector<std::string> kStart = {"Start"};
const std::vector<std::string> kNone = {};

void Need(const Ref& r, MachineTypes types, std::vector<std::string> blocks = kStart) {
  HookEntry e;
  e.name = r.name;
  e.types = types;
  e.blocks = std::move(blocks);
  e.connected = r.probe;
  HookRegistry::Instance().Declare(std::move(e));
}

void Optional(const Ref& r, std::string reason) {
  HookEntry e;
  e.name = r.name;
  e.reason = std::move(reason);
  e.connected = r.probe;
  HookRegistry::Instance().Declare(std::move(e));
}

}  // namespace

// The probes read the live objects each time they are asked.
#define RUN(m) Ref{"RunServices." #m, [machine] { return smt::run::Services(*machine).m.connected(); }}
// An interface port of the machine in use (read each time).
#define PORT(port) Ref{(port).name(), [machine] { return (port).connected(); }}
#define RUNCTL(m) \
  Ref{"RunControl." #m, [v] { return v->m_pPartList && v->m_pPartList->Run().m.connected(); }}
#define LOGIC(m) \
  Ref{"PartListLogic." #m, [v] { return v->m_pPartList && v->m_pPartList->Logic().m.connected(); }}
#define PCB(m) \
  Ref{"CDialogPCBEdit." #m, [v] { return v->m_pPartList && v->m_pPartList->PcbEditor().m.connected(); }}
#define COORD(m) \
  Ref{"CoordinateTests." #m, [v] { return v->m_pPartList && v->m_pPartList->CoordTests().m.connected(); }}
// A port or hook of a panel the view holds (unconnected while the panel is missing).
#define PANEL(name, panel, member) Ref{name, [v] { return v->panel && v->panel->member.connected(); }}

void DeclareShellHooks(CSMTView& view) {
  CSMTView* v = &view;
  // The machine outlives its window: the probes may be asked after the view is gone.
  smt::Machine* machine = &view.machine();

  // --- run engine: what it shows (part list, jog panel's information line) ---
  Need(Ref{"RunDisplay", [machine] { return smt::run::Services(*machine).display.connected(); }}, kAll);
  // --- run engine: part list ---
  Need(RUN(placementRows), kPlacing);
  Need(RUN(nextPlaceRow), kPlacing);
  Need(RUN(onRunEnd), kAll);
  Need(RUN(feedModeNames), kPlacing);
  Need(RUN(cameraNames), kPlacing);
  Need(RUN(text), kAll);
  Need(RUN(dispenseRows), kDispensing);
  Need(RUN(nextDispenseRow), kDispensing);
  Need(RUN(drillRows), kDrilling);
  Need(RUN(boardCount), kAll);
  Need(RUN(setBoardCount), kAll);
  Need(RUN(lightValue), kPlacing);
  Need(RUN(board), kAll);
  // --- run engine: vision steps ---
  Need(Ref{"RunServices.vision", [machine] { return smt::run::Services(*machine).vision.connected(); }}, kAll);
  // --- run engine: stations and view ---
  Need(RUN(autoTransport), kAll);
  Need(RUN(runZones), kAll);
  Need(RUN(moveBetweenSetPoints), kAll);
  Need(RUN(visionOriginAfterPlacement), kPlacing);
  Need(RUN(startHome), kAll);
  Need(RUN(startHomeMode), kLabeling);
  Need(RUN(speedLevel), kAll);
  Need(RUN(cover), kPlacing);
  Need(RUN(saveCoverCounters), kPlacing);
  Need(RUN(dippingStation), kPlacing);
  // --- run engine: lamp machine and labeling machine ---
  Need(Ref{"RunServices.lamp", [machine] { return smt::run::Services(*machine).lamp.connected(); }}, kLamp);
  Need(Ref{"RunServices.labeling", [machine] { return smt::run::Services(*machine).labeling.connected(); }}, kLabeling);

  // --- window panels and the feeders' neighbours (the jog panel connects itself) ---
  Need(PORT(smt::link::JogPanelPortOf(*machine)), kAll, kNone);
  Need(PORT(smt::link::CameraPanelPortOf(*machine)), kAll, kNone);
  Need(PORT(smt::link::LinkWindowPortOf(*machine)), kAll, kNone);
  Need(PORT(smt::link::ManualMarkPortOf(*machine)), kAll, kNone);
  Need(Ref{smt::feeder::FeederPartListPort(*machine).name(),
           [machine] { return smt::feeder::FeederPartListPort(*machine).connected(); }},
       kFeeding, kNone);
  Need(Ref{smt::feeder::FeederNeighboursPort(*machine).name(),
           [machine] { return smt::feeder::FeederNeighboursPort(*machine).connected(); }},
       kAll, kNone);

  // --- part list: run control ---
  Need(Ref{"RunControlView", [v] { return v->m_pPartList && v->m_pPartList->Run().view.connected(); }}, kAll);
  Need(RUNCTL(startRun), kAll);
  Need(RUNCTL(runMode), kAll);
  Need(RUNCTL(boardCount), kAll);
  Need(RUNCTL(later), kAll);
  Need(RUNCTL(autoTransport), kAll);
  Need(RUNCTL(boardClamped), kAll, {"Pcb Clamp"});
  Need(RUNCTL(startTransport), kAll, {"Pcb Clamp"});
  Need(RUNCTL(networkLink), kAll);
  Optional(RUNCTL(sleep), "a real wait when not connected; tests make it instant");

  // --- part list: list logic ---
  Need(Ref{"PartListView", [v] { return v->m_pPartList && v->m_pPartList->Logic().view.connected(); }}, kAll, kNone);
  Need(LOGIC(autoChangeNozzle), kPlacing, kNone);
  Optional(LOGIC(timeStamp), "the local time when not connected; tests fix it");
  Need(LOGIC(lampRowAdded), kLamp, kNone);
  Need(LOGIC(lampRowDeleted), kLamp, kNone);
  Need(LOGIC(calcFeederPickTarget), kPlacing, kNone);

  // --- PCB editor and coordinate tests: the camera panel ---
  Need(Ref{"MarkCameraPanel", [v, machine] { return v->m_pPartList && smt::job::PartListOf(*machine).camera.connected(); }}, kAll, kNone);
  // --- PCB editor ---
  Need(PCB(openImportDialog), kAll, kNone);
  Need(PCB(openDoubleMarkTest), kAll, kNone);
  Need(PCB(askBeforeImport), kAll, kNone);

  // --- camera panel and camera list ---
  Need(PANEL("CDialogSetView.neighbours", m_pSetView, neighbours), kAll, kNone);
  Need(PANEL("CDialogSetView.recognizeLiveFrame", m_pSetView, recognizeLiveFrame), kPlacing, kNone);
  Need(PANEL("CDialogCameraList.neighbours", m_pCameraList, neighbours), kAll, kNone);

  // --- coordinate tests ---
  Need(COORD(autoChangeNozzle), kAll, kNone);

  // --- strategy page (connected when the shell wires the page; each opening takes them) ---
#define STRAT(m) Ref{"CDialogSMTStrategy." #m, [machine] { return smt::run::StrategyPageHooks(*machine).m.connected(); }}
  Need(STRAT(openCoverDialog), kAll, kNone);
#undef STRAT

  // --- head layout and pulses ---
  Need(Ref{"HeadLayout.flyCameraInputs", [machine] { return smt::job::FlyCameraInputsHook(*machine).connected(); }}, kAll, kNone);
  Need(Ref{"Settings.pulseCommitted", [machine] { return smt::settings::PulseCommitted(*machine).connected(); }}, kAll, kNone);
  (void)kLabeling;
  (void)AllTypesBut;
}

}  // namespace smt::app
