// The main board's upgrade with its restarts, between two network
// namespaces: after each jump the board is silent for a while, and the link
// finds it again by discovery, as on the machine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "FirmwareSimFixture.h"
#include "NamespacePair.h"
#include "link/BootloaderProtocol.h"

using namespace smt::link;

namespace {

TEST(FirmwareRelink, MainBoardIsFoundAgainByDiscoveryAfterEachRestart) {
  linktest::NamespacePair net{"f", 232};
  if (!net.ok()) GTEST_SKIP() << "network namespaces cannot be made here (needs root and ip netns)";
  linktest::ResetLinkState();
  smt::platform::ScopedRecordingMessages messages;
  smt::test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "Update");
  const auto image = fwtest::ImageBytes(20000, 42);
  std::ofstream(FirmwareImage::PathFor(dir.str(), 1), std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));

  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(net.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  // Longer than one discovery attempt: the first reconnect tries in vain.
  sim.SetRestartSilence(std::chrono::milliseconds(1500));

  CMachineLink link{smt::CurrentMachine()};
  bool opened = false;
  ASSERT_TRUE(net.RunIn(false, [&] { opened = link.Open(net.boardAddress()); }));
  ASSERT_TRUE(opened);
  link.StartReplyLoop();
  link.SetBootTimeouts(fwtest::FastTimeouts());
  smt::CurrentMachine().connected = true;

  fwtest::RecordingSink sink;
  FirmwareEnvironment env;
  env.link = &link;
  env.appDir = dir.str();
  env.settle = std::chrono::milliseconds(200);
  env.discovery.attempts = 2;
  env.discovery.attemptTimeout = std::chrono::milliseconds(300);
  int drops = 0, restores = 0;
  env.linkDropped = [&] { ++drops; };
  env.linkRestored = [&] { ++restores; };
  FirmwareUpdater::Outcome outcome = FirmwareUpdater::Outcome::Failed;
  ASSERT_TRUE(net.RunIn(false, [&] {
    FirmwareUpdater updater(env, sink);
    outcome = updater.UpgradeBoards(0);
  }));
  EXPECT_EQ(outcome, FirmwareUpdater::Outcome::Completed) << ::testing::PrintToString(messages.service.Texts());
  EXPECT_EQ(drops, 2);
  EXPECT_EQ(restores, 2);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_FALSE(sim.Bootloader().InBootloader(1, 0));
  EXPECT_EQ(sim.Bootloader().Application(1, 0, static_cast<uint32_t>(image.size())), image);
  EXPECT_GE(sim.DiscoveryRequests(), 3u);  // unanswered while silent, then found
  link.Close();
  sim.Stop();
  linktest::ResetLinkState();
}

}  // namespace
