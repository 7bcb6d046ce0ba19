// How the libraries join the view: the start-up step takes the frame's rows
// in and the three library commands are registered.
#include <gtest/gtest.h>

#include <map>

#include "core/Machine.h"
#include "LibraryTestSupport.h"
#include "library/LibraryShellWiring.h"
#include "library/MarkLibrary.h"
#include "library/NozzleLibrary.h"
#include "library/PackLibrary.h"
#include "link/LinkRuntime.h"
#include "platform/SettingsSection.h"

using namespace smt::library;

TEST(LibraryWiring, StartUpTakesTheFramesRowsAndRegistersTheLibraryCommands) {
  const auto dir = librarytest::ScratchDir("wiring");
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(dir.string()), "NozzleListConfig");
  s.WriteInt("m_Delay", 250);
  std::vector<std::string> nozzles{"1\t12.5\t-3\t-1\t12.5\t-3\t-2\t40\tA\t"}, packs{"P\t1\t"}, marks{"M\t2\t"};
  std::map<int, std::function<void(QWidget*)>> commands;
  std::vector<std::function<void(const std::string&)>> steps;
  LibraryShellWiring w;
  w.registerDialog = [&](int id, std::function<void(QWidget*)> open) { commands[id] = std::move(open); };
  w.initialUpdateSteps = &steps;
  w.nozzleRows = &nozzles;
  w.packRows = &packs;
  w.markRows = &marks;
  librarytest::UseScales(100, 100, 100);
  InstallLibrarySubsystem(smt::CurrentMachine(), w);
  EXPECT_EQ(commands.size(), 3u);
  EXPECT_TRUE(commands.count(32853) && commands.count(33062) && commands.count(33125));
  ASSERT_EQ(steps.size(), 1u);
  smt::link::RuntimeOf(smt::CurrentMachine()).headMask = 0;
  steps[0](dir.string());
  EXPECT_EQ(TheNozzleLibrary(smt::CurrentMachine()).Row(0).cells[1], "12.5");
  EXPECT_EQ(TheNozzleLibrary(smt::CurrentMachine()).Settings().m_Delay, 250);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 1250);
  EXPECT_EQ(ThePackLibrary(smt::CurrentMachine()).m_PackRows[0][0], "P");
  EXPECT_EQ(TheMarkLibrary(smt::CurrentMachine()).Find("M")->at(1), "2");
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load(), 0x03) << "missing axis switches keep both heads";
  // New axis scales confirmed: the seats follow.
  auto pulse = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse();
  pulse.m_X_Pulse = 200;
  ASSERT_TRUE(smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.CommitPulse(dir.string(), pulse).ok);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 2500);
  TheNozzleLibrary(smt::CurrentMachine()).ReadRows({});
  ThePackLibrary(smt::CurrentMachine()).m_PackRows.clear();
  TheMarkLibrary(smt::CurrentMachine()).m_MarkRows.clear();
  smt::link::RuntimeOf(smt::CurrentMachine()).headMask = 0x01;
}
