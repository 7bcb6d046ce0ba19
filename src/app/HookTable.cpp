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
#include "link/LinkRoutes.h"
#include "link/ManualMarkOffsets.h"
#include "platform/Hooks.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "settings/SettingsMenuCommands.h"
#include "vision/CDialogCameraList.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/LampTeach.h"
#include "stations/LabelingMachine.h"
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
#define RUN(m) Ref{"RunServices." #m, [] { return smt::run::Services().m.connected(); }}
#define FEED(m) Ref{"FeederServices." #m, [] { return smt::feeder::FeederHooks().m.connected(); }}
#define RUNCTL(m) \
  Ref{"RunControl." #m, [v] { return v->m_pPartList && v->m_pPartList->Run().m.connected(); }}
#define LOGIC(m) \
  Ref{"PartListLogic." #m, [v] { return v->m_pPartList && v->m_pPartList->Logic().m.connected(); }}
#define PCB(m) \
  Ref{"CDialogPCBEdit." #m, [v] { return v->m_pPartList && v->m_pPartList->PcbEditor().m.connected(); }}
#define JOG(m) \
  Ref{"CDialogManualControl." #m, [v] { return v->m_pManualControl && v->m_pManualControl->m.connected(); }}
#define COORD(m) \
  Ref{"CoordinateTests." #m, [v] { return v->m_pPartList && v->m_pPartList->CoordTests().m.connected(); }}
#define CAMLIST(m) \
  Ref{"CDialogCameraList.hooks." #m, [v] { return v->m_pCameraList && v->m_pCameraList->hooks.m.connected(); }}
#define SETVIEW(m) \
  Ref{"CDialogSetView.hooks." #m, [v] { return v->m_pSetView && v->m_pSetView->hooks.m.connected(); }}

void DeclareShellHooks(CSMTView& view) {
  CSMTView* v = &view;

  // --- run engine: what it shows (part list, jog panel's information line) ---
  Need(Ref{"RunDisplay", [] { return smt::run::Services().display.connected(); }}, kAll);
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
  Need(RUN(alignBoardMarks), kAll);
  Need(RUN(recognizeHeadPart), kPlacing);
  Need(RUN(flyVisionAllHeads), kPlacing);
  Need(RUN(recognizeOwnMark), kPlacing);
  Need(RUN(flyVisionAvailable), kPlacing);
  Need(RUN(openMarkCamera), kAll);
  Need(RUN(cameraAngleOffsets), kPlacing);
  Need(RUN(sharedViewAngleOffset), Types({5}));
  Need(RUN(visionCameraPosition), kPlacing);
  Need(RUN(captureCameraCount), Types({5}));
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
  Need(RUN(lampTarget), kLamp);
  Need(RUN(lampDot), kLamp);
  Need(RUN(lampRow), kLamp);
  Need(RUN(setLampMarkOffsets), kLamp);
  Need(RUN(lampCounts), kLamp);
  Need(RUN(setLampCounts), kLamp);
  Need(RUN(platformMarkParams), kLamp);
  Need(RUN(markCameraReady), kLamp);
  Need(RUN(sightMark), kLamp);
  Need(RUN(platformVisionCentre), kLamp);
  Need(RUN(labelSettings), kLabeling);
  Need(RUN(setLabelSerialX), kLabeling);
  Need(RUN(recognizeGlass), kLabeling);
  Need(RUN(moveHeadToThimble), kLabeling);
  Need(RUN(runPickSequence), kLabeling);
  Need(Ref{"LampTeachHooks.jog", [] { return smt::stations::TeachHooks().jog.connected(); }}, kLamp, kNone);
  Need(Ref{"LampTeachHooks.jogRelease", [] { return smt::stations::TeachHooks().jogRelease.connected(); }}, kLamp, kNone);
  Need(Ref{"LampTeachHooks.nextSpeedGear", [] { return smt::stations::TeachHooks().nextSpeedGear.connected(); }}, kLamp, kNone);
  Need(Ref{"LampTeachHooks.speedGear", [] { return smt::stations::TeachHooks().speedGear.connected(); }}, kLamp, kNone);
  Need(Ref{"LampTeachHooks.openMarkCamera", [] { return smt::stations::TeachHooks().openMarkCamera.connected(); }}, kLamp, kNone);
  Need(Ref{"LampTeachHooks.measureMark", [] { return smt::stations::TeachHooks().measureMark.connected(); }}, kLamp, kNone);
  Need(Ref{"LabelingHooks.jog", [] { return smt::stations::LabelingShellHooks().jog.connected(); }}, kLabeling, kNone);
  Need(Ref{"LabelingHooks.jogRelease", [] { return smt::stations::LabelingShellHooks().jogRelease.connected(); }}, kLabeling, kNone);
  Need(Ref{"LabelingHooks.nextSpeedGear", [] { return smt::stations::LabelingShellHooks().nextSpeedGear.connected(); }}, kLabeling, kNone);
  Need(Ref{"LabelingHooks.openMarkCamera", [] { return smt::stations::LabelingShellHooks().openMarkCamera.connected(); }}, kLabeling, kNone);

  // --- feeders ---
  Need(FEED(openMarkCameraWithFeederLight), kFeeding, kNone);
  Need(FEED(showVisualParameters), kFeeding, kNone);
  Need(FEED(visionCamera), kFeeding, kNone);
  Need(FEED(templateCommand), kFeeding, kNone);
  Need(FEED(setImageFeature), kFeeding, kNone);
  Need(FEED(cameraContrastBrightness), kFeeding, kNone);
  Need(FEED(autoChangeNozzle), kFeeding, kNone);
  Need(FEED(nozzleLibrary19), kFeeding, kNone);
  Need(FEED(headNozzle), kFeeding, kNone);
  Need(FEED(pickNozzleFromLibrary), kFeeding, kNone);
  Need(FEED(returnNozzleToLibrary), kFeeding, kNone);
  Need(FEED(nozzleNote), kFeeding, kNone);
  Need(FEED(pickFromFeederTest), Types({8}), kNone);
  Need(FEED(dippingStation), kFeeding, kNone);
  Need(FEED(dippingZMeasured), kFeeding, kNone);
  Need(FEED(showMeasurementHeight), kAll, kNone);
  Need(FEED(updateRowsForFeeder), kFeeding, kNone);
  Need(FEED(placementFeederNumbers), kFeeding, kNone);
  Need(FEED(replacePartEditorFeeder), kFeeding, kNone);
  Optional(FEED(partListEditLock), "the part list never locks the feeder number; unlocked when not connected");
  Need(FEED(showFeederList), kAll, kNone);
  Need(FEED(jog), kAll, kNone);
  Need(FEED(jogRelease), kAll, kNone);
  Need(FEED(nextSpeedGear), kAll, kNone);
  Need(FEED(homeZ), kFeeding, kNone);
  Need(FEED(clearLiftFlags), kFeeding, kNone);
  Need(FEED(platformChoice), kAll, kNone);
  Need(FEED(packRows), kAll, kNone);
  Need(FEED(setPackRows), kAll, kNone);
  Need(FEED(dropDownLists), kAll, kNone);
  Need(FEED(cameraNames), kAll, kNone);

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
  Need(Ref{"MarkCameraPanel", [v] { return v->m_pPartList && smt::job::PartListOf(smt::CurrentMachine()).camera.connected(); }}, kAll, kNone);
  // --- PCB editor ---
  Need(PCB(openImportDialog), kAll, kNone);
  Need(PCB(openDoubleMarkTest), kAll, kNone);

  // --- conveyor dialog ---
  Need(Ref{"ConveyorDialogHooks.widthJogSteps", [] { return ConveyorDialogShellHooks().widthJogSteps.connected(); }}, kAll, kNone);
  Need(Ref{"ConveyorDialogHooks.showConveyorTrace", [] { return ConveyorDialogShellHooks().showConveyorTrace.connected(); }}, kAll, kNone);

  // --- jog panel ---
  Need(JOG(openCamerasAfterConnect), kAll, kNone);

  // --- camera panel ---
  Need(SETVIEW(cameraRecord), kAll, kNone);
  Need(SETVIEW(boardMark), kAll, kNone);
  Need(SETVIEW(selectedFeederPackage), kFeeding, kNone);
  Need(SETVIEW(lensCorrection), kAll, kNone);
  Need(SETVIEW(visualColourReversal), kAll, kNone);
  Need(SETVIEW(homingWaiver), kAll, kNone);
  Need(SETVIEW(recognizeLiveFrame), kPlacing, kNone);
  Need(SETVIEW(heightChanged), kAll, kNone);

  // --- coordinate tests ---
  Need(COORD(autoChangeNozzle), kAll, kNone);

  // --- manual Mark offsets (jog panel menu) ---
#define MARKS(m) Ref{"ManualMarkRoutes." #m, [] { return smt::link::ManualMarks().m.connected(); }}
  Need(MARKS(currentBoard), kAll, kNone);
  Need(MARKS(offsets), kAll, kNone);
  Need(MARKS(storeOffsets), kAll, kNone);
  Need(MARKS(convertPointToSteps), kAll, kNone);
  Need(MARKS(partRowCount), kAll, kNone);
  Need(MARKS(smtThreadBusy), kAll, kNone);
  Need(MARKS(feedThreadBusy), kAll, kNone);
  Need(MARKS(conveyorThreadBusy), kAll, kNone);
  Need(MARKS(openMarkCamera), kAll, kNone);
  Need(MARKS(setAlignmentBase), kAll, kNone);
  Need(MARKS(alignBoardMarks), kAll, kNone);
#undef MARKS

  // --- strategy page (connected when the shell wires the page; each opening takes them) ---
#define STRAT(m) Ref{"CDialogSMTStrategy." #m, [] { return smt::run::StrategyPageHooks().m.connected(); }}
  Need(STRAT(openCoverDialog), kAll, kNone);
#undef STRAT

  // --- link routes (the link hands work to the window's parts) ---
#define LINK(m) \
  Ref{"LinkRoutes." #m, [] { return smt::link::ReadRoutes([](const smt::link::LinkRoutes& r) { return r.m.connected(); }); }}
  Need(LINK(partListStart), kAll, kNone);
  Need(LINK(jog), kAll, kNone);
  Need(LINK(resetCaptureDone), kAll, kNone);
  Need(LINK(waitCaptureDone), kAll, kNone);
  Need(LINK(cameraToVisionOrigin), kAll, kNone);
  Need(LINK(showConveyorWidth), kAll, kNone);
  Optional(LINK(nextSpeedGear), "the link steps its own speed gear when no jog panel takes front-panel key 5");
  Need(LINK(runPausedShown), kAll, kNone);
  Need(LINK(showBoardCameraValues), kAll, kNone);
  Need(LINK(switchCamera), kAll, kNone);
#undef LINK

  // --- camera table and head layout ---
  Need(CAMLIST(rowsCommitted), kAll, kNone);
  Need(CAMLIST(feederCameraColumn), kAll, kNone);
  Need(CAMLIST(markFeedersWithoutVision), kAll, kNone);
  Need(CAMLIST(boardMark), kAll, kNone);
  Need(CAMLIST(layoutHeads), kAll, kNone);
  Need(Ref{"HeadLayout.flyCameraInputs", [] { return smt::job::g_GetFlyCameraInputs.connected(); }}, kAll, kNone);
  Need(Ref{"Settings.pulseCommitted", [] { return smt::settings::PulseCommitted().connected(); }}, kAll, kNone);
  (void)kLabeling;
  (void)AllTypesBut;
}

}  // namespace smt::app
