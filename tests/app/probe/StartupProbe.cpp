// smt-startup-probe QR-FRAME LENS-FILE: starts the operator's program as
// main() does (through the same start function), in the current directory,
// and at its first idle moment prints every shared object it has mapped
// ("idle: <name>"). Then, right after the
// start, it reads the QR codes in QR-FRAME (a raw 8-bit grey picture: a line
// "<cols> <rows>" and the pixels) with the reader the program set up
// ("qr: <text>"), corrects a picture with the lens data in LENS-FILE
// ("lens: corrected" or "lens: not corrected"), and prints the shared objects
// mapped after that ("after: <name>").
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/ProgramStart.h"
#include "vision/CameraCalib.h"
#include "vision/QrCodeReader.h"

namespace {

std::set<std::string> MappedObjects() {
  std::ifstream in("/proc/self/maps");
  std::set<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string name = std::filesystem::path(line.substr(slash)).filename().string();
    if (name.find(".so") != std::string::npos) names.insert(name);
  }
  return names;
}

void Print(const char* tag, const std::set<std::string>& names) {
  for (const auto& n : names) std::printf("%s: %s\n", tag, n.c_str());
}

cv::Mat ReadRawGrey(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  int cols = 0, rows = 0;
  if (!(in >> cols >> rows) || cols <= 0 || rows <= 0 || cols > 10000 || rows > 10000) return {};
  in.get();
  cv::Mat m(rows, cols, CV_8UC1);
  in.read(reinterpret_cast<char*>(m.data), static_cast<std::streamsize>(m.total()));
  return in ? m : cv::Mat();
}

void AfterStart(const std::string& qrFrame, const std::string& lensFile) {
  const cv::Mat grey = ReadRawGrey(qrFrame);
  cv::Mat frame;
  if (!grey.empty()) cv::merge(std::vector<cv::Mat>{grey, grey, grey}, frame);
  std::vector<std::string> texts;
  std::printf("qr read: %s\n", ReadQrCodes(frame, texts) ? "yes" : "no");
  for (const auto& t : texts) std::printf("qr: %s\n", t.c_str());
  CCameraCalib calib;
  cv::Mat corrected;
  const bool lens = calib.Load(lensFile) && calib.Undistort(corrected, frame) && corrected.size() == frame.size();
  std::printf("lens: %s\n", lens ? "corrected" : "not corrected");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s QR-FRAME LENS-FILE\n", argv[0]);
    return 2;
  }
  const std::string qrFrame = argv[1], lensFile = argv[2];
  return smt::app::RunProgram(argc, argv, [&] {
    Print("idle", MappedObjects());
    AfterStart(qrFrame, lensFile);
    Print("after", MappedObjects());
    std::fflush(stdout);
    QApplication::quit();
  });
}
