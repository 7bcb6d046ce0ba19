#include "app/OperatorConnections.h"

#include <QComboBox>

#include "app/SMTView.h"
#include "feeder/FeederServices.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/PartEditorSupport.h"
#include "job/PcbRecord.h"
#include "library/NozzleChange.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleSeats.h"
#include "library/NozzleStrategy.h"
#include "link/JogPad.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "link/MachineHoming.h"
#include "platform/GuiDispatcher.h"
#include "run/RunServices.h"
#include "settings/CDialogSetBasic.h"
#include "stations/LabelingMachine.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"

namespace {

// The part editors' take buttons measure from the shown board's origin and
// their jog pads drive the machine through the jog panel.
void ConnectPartEditors(CSMTView& view) {
  auto& h = smt::job::PartEditorHooksOf(smt::CurrentMachine());
  h.pcbOrigin = [&view] {
    if (!view.m_pPartList) return std::pair<double, double>{0, 0};
    // The shown board's stored origin (the PCB editor may hold unapplied edits).
    if (const smt::job::PcbRecord* rec = view.m_pPartList->Job().ShownRecord())
      return std::pair<double, double>{rec->m_dOriginX, rec->m_dOriginY};
    const auto& f = view.m_pPartList->PcbEditor().Fields();
    return std::pair<double, double>{f.originX, f.originY};
  };
  h.platformSelect = [] { return smt::link::RuntimeOf(smt::CurrentMachine()).headGroup.load(); };
  h.jog = [&view](int axis, int direction) {
    if (view.m_pManualControl) view.m_pManualControl->Jog(axis, direction == 1, true);
  };
  h.releaseJog = [&view] {
    if (view.m_pManualControl) view.m_pManualControl->JogPad().Release();
  };
  h.nextSpeedGear = [&view] {
    if (view.m_pManualControl) view.m_pManualControl->NextSpeedGear();
  };
}

// The labeling run reads the labeling settings and works the sheet through
// the labeling station.
class ShellLabelingStation : public smt::run::LabelingStation {
 public:
  explicit ShellLabelingStation(CSMTView& view) : view_(view) {}

  smt::run::LabelSettings Settings() override {
    const smt::stations::LabelingSettings l = smt::stations::LabelingMachine::Of(view_.machine()).Settings();
    smt::run::LabelSettings r;
    r.startX = l.m_StartX;
    r.startY = l.m_StartY;
    r.distanceX = l.m_DistanceX;
    r.distanceY = l.m_DistanceY;
    r.serialX = l.m_SerialX;
    r.serialY = l.m_SerialY;
    r.thimbleX = l.m_ThimbleX;
    r.thimbleY = l.m_ThimbleY;
    r.glassSheets = l.m_GlassSheets;
    r.checkTimes = l.m_CheckTimes;
    CSMTView* v = &view_;
    smt::platform::RunOnGui([&] { r.visualZoom = ShownBoardMark(*v).visualZoom; });
    return r;
  }
  // The sheet's next cell: the next run goes on from there.
  void SetSerialX(int serialX) override {
    auto& machine = smt::stations::LabelingMachine::Of(view_.machine());
    smt::stations::LabelingSettings l = machine.Settings();
    l.m_SerialX = serialX;
    machine.SetSettings(l);
  }
  std::vector<std::pair<int, int>> RecognizeGlass() override {
    std::vector<std::pair<int, int>> points;
    for (const cv::Point& p : smt::stations::LabelingMachine::Of(view_.machine()).RecognizeGlass()) points.emplace_back(p.x, p.y);
    return points;
  }
  bool MoveHeadToThimble(int head) override { return smt::stations::LabelingMachine::Of(view_.machine()).MoveHeadToThimble(head); }
  bool RunPickSequence(int head) override { return smt::stations::LabelingMachine::Of(view_.machine()).RunPickSequence(head); }

 private:
  CSMTView& view_;
};

void ConnectLabelRun(CSMTView& view) {
  auto& run = smt::run::Services(view.machine());
  run.labeling.Connect(std::make_shared<ShellLabelingStation>(view));
  run.startHomeMode = [](int mode) { smt::link::MachineHoming::Of(smt::CurrentMachine()).StartRunEndHome(mode); };
}

}  // namespace

// The Mark camera values of the board the part list shows (window thread).
BoardMarkView ShownBoardMark(CSMTView& view) {
  BoardMarkView b;
  if (!view.m_pPartList) return b;
  auto& job = view.m_pPartList->Job();
  const smt::job::PcbRecord* rec = job.pcbs.Find(job.shownPcbName);
  if (!rec) return b;
  if (rec->m_dVisualZoom > 0) b.visualZoom = rec->m_dVisualZoom;
  if (rec->m_dVisualBox > 0) b.visualBox = rec->m_dVisualBox;
  b.contrast = rec->m_nLightContrast;
  b.brightness = rec->m_nLightBrightness;
  b.invert = rec->m_bImageColorReversal;
  return b;
}

void InstallOperatorConnections(CSMTView& view) {
  ConnectPartEditors(view);
  ConnectLabelRun(view);
  view.initialUpdateSteps.push_back([&view](const std::string&) {
    // The in-place choices of the lists: names, types and angles of the
    // common drop-down lists, packages of the package library.
    if (view.m_pPartList) view.m_pPartList->FillChoiceCombos();
    // Update's head check: with automatic nozzle change the head cell names
    // a nozzle, so the head limit does not apply.
    if (view.m_pPartList)
      view.m_pPartList->Logic().autoChangeNozzle = [] {
        return smt::library::CurrentNozzleStrategy().m_AutoChangeNozzle;
      };
  });
}
