#include "run/FeederPickTest.h"

#include <cmath>
#include <cstdlib>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "link/WindowPanels.h"
#include "platform/MessageService.h"
#include "run/EightHeadCommands.h"
#include "run/FeederPickTarget.h"
#include "run/RunServices.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

namespace smt::run {

namespace {
double HeadFeedHeight(const smt::settings::BasicSettings& b, int k) {
  const double h[8] = {b.m_Z_Nozzle1ToFeed, b.m_Z_Nozzle2ToFeed, b.m_Z_Nozzle3ToFeed, b.m_Z_Nozzle4ToFeed,
                       b.m_Z_Nozzle5ToFeed, b.m_Z_Nozzle6ToFeed, b.m_Z_Nozzle7ToFeed, b.m_Z_Nozzle8ToFeed};
  return h[k - 1];
}
}  // namespace

void PickFromFeederTest(smt::Machine& m, int head, int camera, const std::string& feederNumber) {
  using namespace smt::feeder;
  using smt::platform::ShowMessage;
  if (head < 1) return;
  const FeederTable& table = Feeders(m);
  const int index = table.FindCurrentRow(feederNumber);
  const auto row = index >= 0 ? FeederRecordAt(m, table.CurrentIndex(), index) : std::nullopt;
  if (!row) {
    ShowMessage(kFeedIndexNoFind);
    return;
  }
  if (head > 8) {
    ShowMessage(kPickHeaderNoSelect);
    return;
  }
  const auto& c = *row;
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  auto& speeds = smt::settings::SettingsStores::Of(m).speed;
  const auto pick = speeds.Record(smt::settings::SpeedUse::PickPart);
  HeadPickState r;
  HeadPlaceState p;
  p.headTarget = head;
  p.pickX = c.x;
  p.pickY = c.y;
  p.pickHeight = c.pickHeight;
  if (p.pickHeight == 0.0) p.pickHeight = HeadFeedHeight(*basic, head);
  for (size_t i = 0; i < 8; ++i) p.pickSpeeds[i] = pick[i];
  if (c.ownSpeed && c.speedNamed) {
    const int level = Services(m).speedLevel ? Services(m).speedLevel() : 1;
    const auto rec = smt::settings::FindTemplateSpeeds(speeds.Get()->tiers, level, c.speedTemplate);
    if (!rec) {
      ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_NoSpeedTemplate", "没有找到速度模板 !"));
      return;
    }
    p.pickSpeeds[kSpZ1] = (*rec)[2];
  }
  p.pickDelay = c.pickDelay;
  p.vacuumHeight = std::min(0.0, c.vacuum + p.pickHeight);
  r.feedSide = FeedSideOfNumber(c.number);
  r.feederIndex = c.index;
  const auto names = FeedModeNames(m);
  r.feedMode = -1;
  for (int i = 0; i < 9; ++i)
    if (names[static_cast<size_t>(i)] == c.feedMode) r.feedMode = i;
  if (r.feedMode < 0) {
    ShowMessage(kFeedModeNoFind);
    return;
  }
  r.feedTime = c.feedTime;
  r.feedCount = c.feedCount;
  for (auto& a : m.motion.headMoveArgs) a = 0;
  if (!TheMachine(m).PickWithHead(PickMoveOf(m, r, p))) return;
  // The part over the vision camera.
  const int light = c.lightBrightness;
  TheMachine(m).TriggerCamera(camera == 2 ? 3 : 2, light);
  const auto pos = Services(m).vision->VisionCameraPosition(camera == 2 ? 2 : 1);
  const int32_t tx = pos.first - smt::job::NozzleOffsetX(m, head);
  const int32_t ty = m.machineType == 4 ? m.curY.load() : pos.second - smt::job::NozzleOffsetY(m, head);
  if (auto* panel = smt::link::CameraPanelPortOf(m).get()) {
    panel->ShowVisualParameters(c.lightContrast, light, c.recognitionType, c.length + basic->m_AutoMagnify, 0);
  }
  const auto handle = speeds.Record(smt::settings::SpeedUse::Handle);
  TheMachine(m).MoveGantry(tx - m.curX, Speed(handle[0]), ty - m.curY, Speed(handle[1]), smt::link::GantryMove::Checked);
}

}  // namespace smt::run
