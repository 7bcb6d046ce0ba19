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
#include "link/BootloaderProtocol.h"

using namespace smt::link;

namespace {

class BoardNetwork {
 public:
  BoardNetwork() {
    const std::string id = std::to_string(getpid() % 100000);
    host_ = "smtfh" + id;
    board_ = "smtfb" + id;
    const std::string net = "10.232." + std::to_string(getpid() % 250) + ".";
    const std::string vh = "fh" + id, vb = "fb" + id;
    ok_ = Run("ip netns add " + host_) && Run("ip netns add " + board_) &&
          Run("ip link add " + vh + " netns " + host_ + " type veth peer name " + vb + " netns " + board_) &&
          Run("ip -n " + host_ + " addr add " + net + "1/24 dev " + vh) &&
          Run("ip -n " + board_ + " addr add " + net + "2/24 dev " + vb) &&
          Run("ip -n " + host_ + " link set " + vh + " up") && Run("ip -n " + board_ + " link set " + vb + " up") &&
          Run("ip -n " + host_ + " link set lo up") && Run("ip -n " + board_ + " link set lo up") &&
          Run("ip -n " + host_ + " route add 224.0.0.0/4 dev " + vh) &&
          Run("ip -n " + board_ + " route add 224.0.0.0/4 dev " + vb);
    boardAddress_ = net + "2";
  }
  ~BoardNetwork() {
    Run("ip netns del " + host_);
    Run("ip netns del " + board_);
  }
  bool ok() const { return ok_; }
  const std::string& boardAddress() const { return boardAddress_; }
  // Runs `fn` on a thread inside the namespace: the sockets it makes live there.
  bool RunIn(bool board, const std::function<void()>& fn) const {
    bool entered = false;
    std::thread t([&] {
      const int fd = open(("/var/run/netns/" + (board ? board_ : host_)).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) return;
      close(fd);
      entered = true;
      fn();
    });
    t.join();
    return entered;
  }

 private:
  static bool Run(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }
  std::string host_, board_, boardAddress_;
  bool ok_ = false;
};

TEST(FirmwareRelink, MainBoardIsFoundAgainByDiscoveryAfterEachRestart) {
  BoardNetwork net;
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

  CMachineLink link;
  bool opened = false;
  ASSERT_TRUE(net.RunIn(false, [&] { opened = link.Open(net.boardAddress()); }));
  ASSERT_TRUE(opened);
  link.StartReplyLoop();
  link.SetBootTimeouts(fwtest::FastTimeouts());
  g_bConnected = true;

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
  EXPECT_TRUE(g_bConnected);
  EXPECT_FALSE(sim.Bootloader().InBootloader(1, 0));
  EXPECT_EQ(sim.Bootloader().Application(1, 0, static_cast<uint32_t>(image.size())), image);
  EXPECT_GE(sim.DiscoveryRequests(), 3u);  // unanswered while silent, then found
  link.Close();
  sim.Stop();
  linktest::ResetLinkState();
}

}  // namespace
