// The program opens its first window without the QR reader's and the lens
// correction's libraries, and both work right after the start: the real
// program (tests/app/probe) starts in a prepared working directory, lists
// what it has mapped at its first idle moment, then reads a QR code and
// corrects a picture through the reader and the lens data it set up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/DemoWorkdir.h"

extern char** environ;

namespace fs = std::filesystem;

#ifdef SMT_STARTUP_PROBE
namespace {

struct ProbeDir {
  fs::path path;
  ProbeDir() {
    path = fs::temp_directory_path() / ("smt-deferred-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~ProbeDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// What the probe printed, by tag ("idle", "after", "qr", ...).
using Printed = std::map<std::string, std::vector<std::string>>;

// Runs the probe in `dir` with the simulated cameras scripts/run gives the
// program; a probe still running after two minutes is killed.
bool RunProbe(const fs::path& dir, const std::vector<std::string>& args, Printed& printed, std::string& whole) {
  const std::string out = (dir / "probe-output.txt").string();
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("QT_QPA_PLATFORM=", 0) != 0 && v.rfind("SMT_SIMULATED_CAMERAS=", 0) != 0 &&
        v.rfind("SMT_SIM_CAMERA_SOCKET=", 0) != 0)
      env.push_back(v);
  }
  env.push_back("QT_QPA_PLATFORM=offscreen");
  env.push_back("SMT_SIMULATED_CAMERAS=3");
  std::vector<char*> envp, argv{const_cast<char*>(SMT_STARTUP_PROBE)};
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> a = args;
  for (auto& v : a) argv.push_back(v.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  pid_t pid = 0;
  const int r = posix_spawn(&pid, SMT_STARTUP_PROBE, &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (r != 0) return false;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  bool exited = false;
  while (!exited) {
    const pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid) {
      exited = true;
    } else if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    whole += line + "\n";
    const auto colon = line.find(": ");
    if (colon != std::string::npos) printed[line.substr(0, colon)].push_back(line.substr(colon + 2));
  }
  return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Has(const std::vector<std::string>& names, const std::string& prefix) {
  for (const auto& n : names)
    if (n.rfind(prefix, 0) == 0) return true;
  return false;
}

}  // namespace

TEST(DeferredLibraries, FirstWindowOpensWithoutThemAndQrAndLensWorkRightAfter) {
  ProbeDir dir;
  for (const auto& e : fs::directory_iterator(fs::path(SMT_SOURCE_DIR) / "resources" / "defaults"))
    fs::copy(e.path(), dir.path / e.path().filename(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  ASSERT_EQ(smt::app::PrepareDemoWorkdir(dir.path), "");
  // A code as a feeder label carries it, 6 pixels a module, on a white margin.
  const std::string text = "SMT-FEEDER-W12 0603 10k";
  cv::Mat code;
  cv::QRCodeEncoder::create()->encode(text, code);
  ASSERT_FALSE(code.empty());
  cv::Mat frame;
  cv::resize(code, frame, cv::Size(), 6, 6, cv::INTER_NEAREST);
  cv::copyMakeBorder(frame, frame, 70, 70, 70, 70, cv::BORDER_CONSTANT, cv::Scalar(255));
  const fs::path qrFile = dir.path / "qr-frame.raw";
  {
    std::ofstream f(qrFile, std::ios::binary);
    f << frame.cols << " " << frame.rows << "\n";
    f.write(reinterpret_cast<const char*>(frame.data), static_cast<std::streamsize>(frame.total()));
  }
  // A lens with real distortion, so the correction does its work.
  const fs::path lensFile = dir.path / "probe-lens.xml";
  {
    cv::FileStorage fs(lensFile.string(), cv::FileStorage::WRITE);
    fs << "image_Width" << frame.cols << "image_Height" << frame.rows;
    fs << "Camera_Matrix" << (cv::Mat_<double>(3, 3) << 500, 0, frame.cols / 2.0, 0, 500, frame.rows / 2.0, 0, 0, 1);
    fs << "Distortion_Coefficients" << (cv::Mat_<double>(5, 1) << -0.08, 0.01, 0, 0, 0);
  }

  Printed printed;
  std::string whole;
  ASSERT_TRUE(RunProbe(dir.path, {qrFile.string(), lensFile.string()}, printed, whole)) << whole;
  const auto& idle = printed["idle"];
  ASSERT_TRUE(Has(idle, "libopencv_core")) << whole;
  ASSERT_TRUE(Has(idle, "libQt6Widgets")) << whole;
  for (const char* deferred : {"libsmt-cvextra", "libopencv_wechat_qrcode", "libopencv_dnn", "libprotobuf",
                               "libopencv_calib3d", "libopencv_features2d", "libopencv_flann", "libsmt-cvio",
                               "libopencv_imgcodecs", "libopencv_videoio"})
    EXPECT_FALSE(Has(idle, deferred)) << deferred << " is mapped when the first window is idle:\n" << whole;

  EXPECT_EQ(printed["qr read"], std::vector<std::string>{"yes"}) << whole;
  EXPECT_EQ(printed["qr"], std::vector<std::string>{text}) << whole;
  EXPECT_EQ(printed["lens"], std::vector<std::string>{"corrected"}) << whole;
  // They came when they were used.
  const auto& after = printed["after"];
  for (const char* used : {"libsmt-cvextra", "libopencv_wechat_qrcode", "libopencv_calib3d"})
    EXPECT_TRUE(Has(after, used)) << used << " is not mapped after use:\n" << whole;
}
#else
TEST(DeferredLibraries, FirstWindowOpensWithoutThemAndQrAndLensWorkRightAfter) {
  GTEST_SKIP() << "smt-startup-probe not built";
}
#endif
