#pragma once
// The newcomer's set-up exactly as scripts/run makes it: a working directory
// prepared by the demo set-up, the board simulator started as its own
// program (the built smt-sim) with the serial line linked as COM1 and its
// cameras served on a socket in the working directory, and the real shell
// with the simulated cameras taking their frames from that socket.
#include <QMenu>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "DemoMachineFixture.h"
#include "vision/FrameSocket.h"
#include "vision/PartRecognizers.h"

extern char** environ;

namespace sim_process {

// The simulator program started with `args`; its output goes to `log`. Its
// standard input stays open: closing it ends the program (that is how the
// fixture stops it, and "quit"/"parts" are commands typed there).
class SimProgram {
 public:
  bool Start(const std::vector<std::string>& args, const fs::path& log, std::string& why) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
      why = "no pipe";
      return false;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    std::vector<std::string> all = {SMT_SIM_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int r = posix_spawn(&pid_, SMT_SIM_BINARY, &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    if (r != 0) {
      ::close(in[1]);
      pid_ = -1;
      why = std::string("cannot start ") + SMT_SIM_BINARY;
      return false;
    }
    stdin_ = in[1];
    log_ = log;
    return true;
  }
  // A command line typed on the simulator's standard input.
  void Type(const std::string& line) {
    const std::string l = line + "\n";
    if (stdin_ >= 0) (void)!::write(stdin_, l.data(), l.size());
  }
  std::string Output() const {
    std::ifstream f(log_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  bool Running() {
    if (pid_ < 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    return true;
  }
  // Closes its input and waits (bounded) for it to end; killed if it does not.
  void Stop() {
    if (stdin_ >= 0) ::close(stdin_);
    stdin_ = -1;
    if (pid_ < 0) return;
    const auto end = std::chrono::steady_clock::now() + 5s;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(10ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  ~SimProgram() { Stop(); }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  fs::path log_;
};

inline std::vector<uint8_t> Header(const char* magic, uint32_t status, uint32_t cols, uint32_t rows, uint32_t channels,
                            uint32_t length, uint64_t shotAtNs = 0) {
  std::vector<uint8_t> out(magic, magic + 4);
  for (uint32_t v : {status, cols, rows, channels, length})
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(shotAtNs >> (8 * i)));
  return out;
}

// A stand-in for the simulator's camera socket that misbehaves on purpose.
// Held answers nothing until Release(), then every request, in turn, with a
// 4x4 grey frame whose pixels all hold the request's number (1, 2, ...).
// A stream socket listening at `path`; `ok` tells whether it could bind and
// listen (the socket is returned either way, for the caller to close).
inline int ListenOnUnixSocket(const std::string& path, bool& ok) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 8) == 0;
  return fd;
}

enum class Fake { Silent, CloseAtOnce, Raw, Held };

class FakeServer {
 public:
  FakeServer(const std::string& path, Fake how, std::vector<uint8_t> reply = {})
      : how_(how), reply_(std::move(reply)) {
    fd_ = ListenOnUnixSocket(path, ok_);
    thread_ = std::thread([this] { Loop(); });
  }
  ~FakeServer() {
    stop_ = true;
    thread_.join();
    for (int c : clients_) ::close(c);
    ::close(fd_);
  }
  bool ok() const { return ok_; }
  int Requests() const { return requests_.load(); }
  void Release() { released_ = true; }

 private:
  void Loop() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      for (int c : clients_) {
        // Requests are read (and counted) but, when silent, never answered.
        uint8_t buf[64];
        const ssize_t n = ::recv(c, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
          requests_ += static_cast<int>(n / smt::vision::kFrameRequestSize);
          if (how_ == Fake::Raw) (void)!::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
        }
        while (how_ == Fake::Held && released_ && answered_ < requests_.load()) {
          std::vector<uint8_t> r = Header("SMCF", 0, 4, 4, 1, 16);
          r.insert(r.end(), 16, static_cast<uint8_t>(++answered_));
          (void)!::send(c, r.data(), r.size(), MSG_NOSIGNAL);
        }
      }
      if (::poll(&p, 1, 10) <= 0) continue;
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      if (how_ == Fake::CloseAtOnce)
        ::close(c);
      else
        clients_.push_back(c);
    }
  }
  Fake how_;
  std::vector<uint8_t> reply_;
  int fd_ = -1;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<bool> released_{false};
  int answered_ = 0;
  std::vector<int> clients_;
  std::thread thread_;
};


}  // namespace sim_process

class SimProcess : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    socketPath = (dir / "sim-cameras.sock").string();
    // As scripts/run starts it, without the network side (tests share the host).
    std::string why;
    ASSERT_TRUE(sim.Start({"--no-udp", "--no-discovery", "--head-mask", "0x03", "--pty-link", (dir / "sim-com").string(),
                           "--world", (dir / smt::app::kDemoWorldName).string(), "--camera-socket", socketPath},
                          dir / "smt-sim.log", why))
        << why;
    ASSERT_TRUE(PumpUntil([&] { return sim.Output().find("cameras on") != std::string::npos || !sim.Running(); }))
        << sim.Output();
    ASSERT_TRUE(sim.Running()) << sim.Output();
    std::ofstream(dir / "config.ini", std::ios::app) << "\n[SerialPortConfig]\nCOM1=" << (dir / "sim-com").string() << "\n";
    setenv("SMT_SIMULATED_CAMERAS", "3", 1);
    setenv("SMT_SIM_CAMERA_SOCKET", socketPath.c_str(), 1);
    smt::platform::ClearProfileCache();
  }
  void TearDown() override {
    if (app) {
      if (auto* v = app->frame()->view(); v && v->m_pSetView) v->m_pSetView->CloseCameras();
    }
    ShellTest::TearDown();
    unsetenv("SMT_SIMULATED_CAMERAS");
    unsetenv("SMT_SIM_CAMERA_SOCKET");
    sim.Stop();
    smt::CurrentMachine().connected = false;
  }

  CDialogManualControl& Jog() { return *app->frame()->view()->m_pManualControl; }
  QWidget* Control(int id) { return Jog().Control(id); }
  CDialogSetView& Cameras() { return *app->frame()->view()->m_pSetView; }

  void ConnectAndHome() {
    Click(Jog().findChild<QAbstractButton*>("ManualControl.c_Online"));
    ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().connected.load(); })) << Jog().InfoText();
    ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }));
    smt::CurrentMachine().resetDone = false;
    Click(Control(smt::link::jogid::kReset));
    ASSERT_TRUE(PumpUntil([&] {
      return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load() && Control(smt::link::jogid::kXPlus)->isEnabled();
    }, 20s)) << Jog().InfoText();
  }

  // The operator picks a jog step for X and Y from the panel's menu.
  void ChooseXYStep(int command) {
    std::unique_ptr<QMenu> menu(Jog().BuildPanelMenu(nullptr));
    QAction* found = nullptr;
    for (QAction* a : menu->findChildren<QAction*>())
      if (a->data().toInt() == command) found = a;
    ASSERT_NE(found, nullptr) << command;
    found->trigger();
  }

  // One press and release of a jog button; done when the machine is idle again.
  void JogOnce(int button) {
    const int32_t x = smt::CurrentMachine().curX.load(), y = smt::CurrentMachine().curY.load();
    ASSERT_TRUE(PumpUntil([&] { return Control(button)->isEnabled() && !smt::CurrentMachine().machineBusy.load(); })) << button;
    Press(Control(button));
    Release(Control(button));
    ASSERT_TRUE(PumpUntil([&] { return (smt::CurrentMachine().curX.load() != x || smt::CurrentMachine().curY.load() != y) && !smt::CurrentMachine().machineBusy.load(); }, 5s))
        << button << " " << Jog().InfoText();
  }

  // The daily log the program writes.
  std::string Log() {
    std::ifstream in(CLogFile::Instance().FilePath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // A frame of the Mark camera as the program takes it.
  cv::Mat MarkFrame() {
    cv::Mat frame;
    EXPECT_TRUE(Cameras().GrabFrame(smt::vision::kRoleMarkCamera, frame, kVisionFrameWait))
        << Cameras().StatusText().toStdString();
    return frame;
  }

  std::string socketPath;
  sim_process::SimProgram sim;
};
