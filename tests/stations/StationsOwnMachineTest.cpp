// The stations' machine work acts on the machine it is given: with a second
// machine object beside the current one (connected, homed, other scales and
// positions), each step reads and sets that machine and refuses by its
// guards, and the current machine is left as it was.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "link/LinkTestSupport.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"
#include "stations/ConveyorStation.h"
#include "stations/DippingStation.h"
#include "stations/LabelingMachine.h"
#include "stations/LampPointTable.h"
#include "stations/LampTeach.h"

namespace {

using namespace smt::stations;

void UseScales(smt::Machine& m, double perMm) {
  auto& store = smt::settings::SettingsStores::Of(m).machine;
  smt::settings::PulseSettings p = *store.Pulse();
  p.m_X_Pulse = p.m_Y_Pulse = p.m_Z_Pulse = perMm;
  store.SetPulse(p);
}

struct StepCase {
  const char* name;
  // The step on `m`; what it returned or left on `m`.
  std::function<std::string(smt::Machine& m)> act;
  std::string expected;
  std::vector<std::string> messages;
};

const StepCase kSteps[] = {
    {"lamp camera target lands in its machine's motion targets",
     [](smt::Machine& m) {
       LampPointValues v = LampPointValues::Zero();
       v.markX = 10;
       v.ledX = 1;
       v.cameraX = 2;
       v.markY = 5;
       v.ledY = 1;
       v.cameraY = 1;
       EXPECT_TRUE(LampPointTable::Of(m).FillPointRows(0, v));
       const LampTargets t = ApplyLampTargets(m, 1, 1, 0);
       return std::to_string(t.x) + " " + std::to_string(m.motion.targetX.load()) + " " +
              std::to_string(m.motion.targetY.load());
     },
     // (10 + 1 + 2) mm and (5 + 1 + 1) mm at 100 pulses per mm.
     "1300 1300 700",
     {}},
    {"lamp teach reads its machine's glue gantry, glue heads and platforms",
     [](smt::Machine& m) {
       return std::to_string(GlueX(m)) + " " + std::to_string(Z5(m)) + " " + std::to_string(Z6(m)) + " " +
              std::to_string(PlatformY(m, 1)) + " " + std::to_string(PlatformY(m, 2));
     },
     "4321 -12 -34 -600 -800",
     {}},
    {"dipping task starts by its own machine's guards and starter",
     [](smt::Machine& m) {
       m.curZ[4] = m.curZ[5] = 0;  // every head up
       auto started = std::make_shared<std::vector<int>>();
       SetDippingTaskStarter(m, [started](int mode) { started->push_back(mode); });
       const bool ok = DippingStation::Of(m).StartTask(-2);
       return std::to_string(ok) + " " + (started->empty() ? std::string("-") : std::to_string(started->front()));
     },
     "1 -2",
     {}},
    {"dipping task refused while a head of its machine is down",
     [](smt::Machine& m) {
       m.curZ[3] = -5;
       return std::to_string(DippingStation::Of(m).StartTask(-3));
     },
     "0",
     {smt::link::kErrorE3}},
    {"conveyor fitted is its machine's setting",
     [](smt::Machine& m) {
       ConveyorSettings s;
       s.m_AutoTransport = 1;
       ConveyorStation::Of(m).SetSettings(s);
       return std::to_string(ConveyorStation::Of(m).Fitted()) + " " + std::to_string(ConveyorStation::Of(smt::CurrentMachine()).Fitted());
     },
     "1 0",
     {}},
    {"conveyor task refused while its machine is busy",
     [](smt::Machine& m) {
       m.machineBusy = true;
       return std::to_string(ConveyorStation::Of(m).StartTransport(kTaskNone));
     },
     "0",
     {smt::link::kRunning}},
    {"labeling test claims and releases its own machine",
     [](smt::Machine& m) {
       smt::CurrentMachine().machineBusy = true;  // the machine in use could not be claimed
       const bool ok = LabelingMachine::Of(m).StartTest(6, 1);
       const bool done = linktest::WaitFor([&] { return !m.machineBusy.load(); });
       smt::CurrentMachine().machineBusy = false;
       return std::to_string(ok) + " " + std::to_string(done) + " " +
              std::to_string(m.camera.channelVisionMode.load());
     },
     "1 1 3",
     {}},
};

TEST(StationsOwnMachine, EachStepActsOnTheMachineItIsGiven) {
  for (const StepCase& c : kSteps) {
    SCOPED_TRACE(c.name);
    smt::platform::ScopedRecordingMessages messages;
    smt::Machine& current = smt::CurrentMachine();
    smt::Machine second;
    // The machine in use would refuse every guard and reads other values.
    current.connected = false;
    current.resetDone = false;
    UseScales(current, 1);
    current.motion.curPlatform[0] = 7;
    current.motion.curPlatform[1] = 8;
    current.curY = 9;
    current.curZ[4] = current.curZ[5] = 0;
    const int visionModeBefore = current.camera.channelVisionMode.load();
    second.connected = true;
    second.resetDone = true;
    UseScales(second, 100);
    second.motion.curPlatform[0] = 4321;
    second.motion.curPlatform[1] = -800;
    second.curY = -600;
    for (auto& z : second.curZ) z = 0;
    second.curZ[4] = -12;
    second.curZ[5] = -34;
    EXPECT_EQ(c.act(second), c.expected);
    EXPECT_EQ(messages.service.Texts(), c.messages);
    EXPECT_EQ(current.motion.targetX.load(), 0) << "the current machine was changed";
    EXPECT_EQ(current.motion.targetY.load(), 0) << "the current machine was changed";
    EXPECT_FALSE(current.machineBusy.load());
    EXPECT_EQ(current.camera.channelVisionMode.load(), visionModeBefore);
    EXPECT_EQ(LampPointTable::Of(current).PointCount(), 0);
  }
}

}  // namespace
