// The program starts without the image codecs and video capture, the QR
// reader and the lens correction: the dynamic loader's list of what
// smt-control needs at start holds OpenCV's core but none of those libraries
// (they come with the program's plugins on first use).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#ifdef SMT_CONTROL_BINARY
namespace {
// What the dynamic loader loads for `binary` (it lists them and exits
// without running the program).
std::string LoadedObjects(const std::string& binary) {
  std::string cmd = "LD_TRACE_LOADED_OBJECTS=1 '" + binary + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return {};
  std::string out;
  std::array<char, 4096> buf{};
  size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  ::pclose(p);
  return out;
}
}  // namespace

TEST(StartupLibraries, ProgramStartsWithoutCodecCaptureQrAndCalibrationLibraries) {
  const std::string libs = LoadedObjects(SMT_CONTROL_BINARY);
  ASSERT_NE(libs.find("libopencv_core"), std::string::npos) << libs;
  ASSERT_NE(libs.find("libQt6Widgets"), std::string::npos) << libs;
  for (const char* heavy : {"libopencv_imgcodecs", "libopencv_videoio", "libavcodec", "libgdal", "libgst",
                            "libjxl", "libgdcm", "libde265", "libsmt-cvio", "libsmt-cvextra",
                            "libopencv_wechat_qrcode", "libopencv_dnn", "libprotobuf", "libopencv_calib3d",
                            "libopencv_features2d", "libopencv_flann"})
    EXPECT_EQ(libs.find(heavy), std::string::npos) << heavy << " is loaded at start:\n" << libs;
}
#else
TEST(StartupLibraries, ProgramStartsWithoutCodecCaptureQrAndCalibrationLibraries) { GTEST_SKIP() << "smt-control not built"; }
#endif
