// Lens correction from calibration files and the QR reader set-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <opencv2/wechat_qrcode.hpp>

#include "vision/CameraCalib.h"
#include "platform/ReadRefusals.h"
#include <limits>
#include "vision/QrCodeReader.h"
#include "vision/SimulatedScene.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("vision-test-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const cv::Mat kK = (cv::Mat_<double>(3, 3) << 900, 0, 640, 0, 900, 512, 0, 0, 1);

void WriteLensFile(const fs::path& file, int width, int height, const cv::Mat& k, const cv::Mat& d) {
  cv::FileStorage fs(file.string(), cv::FileStorage::WRITE);
  fs << "image_Width" << width << "image_Height" << height;
  if (!k.empty()) fs << "Camera_Matrix" << k;
  if (!d.empty()) fs << "Distortion_Coefficients" << d;
}

cv::Point2d BrightCentroid(const cv::Mat& bgr) {
  cv::Mat g;
  cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
  const cv::Moments m = cv::moments(g, false);
  return {m.m10 / m.m00, m.m01 / m.m00};
}
}  // namespace

TEST(CameraCalib, ZeroDistortionIsTheIdentity) {
  TempDir dir;
  const fs::path file = dir.path / "cameraCalibrate_data8mm.xml";
  WriteLensFile(file, 1280, 1024, kK, cv::Mat::zeros(5, 1, CV_64F));
  CCameraCalib calib;
  ASSERT_TRUE(calib.Load(file.string()));
  smt::vision::SimulatedScene scene;
  scene.AddMark({3.0, -2.0}, 2.0);
  scene.AddRect({-8.0, 5.0}, {6.0, 2.0}, 20.0);
  const cv::Mat frame = scene.Render();
  cv::Mat out;
  ASSERT_TRUE(calib.Undistort(out, frame));
  ASSERT_EQ(out.size(), frame.size());
  cv::Mat diff;
  cv::absdiff(out, frame, diff);
  EXPECT_EQ(cv::norm(diff, cv::NORM_INF), 0.0);
}

// A lens file with a value that is no finite number, or a size no camera
// has, is refused naming the field; the correction stays off.
TEST(CameraCalib, ANonFiniteOrImpossibleValueIsRefusedNamingTheField) {
  TempDir dir;
  const fs::path file = dir.path / "cameraCalibrate_data6mm.xml";
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    int width;
    cv::Mat k, d;
    const char* field;
  };
  cv::Mat kNan = kK.clone(), dInf = cv::Mat::zeros(5, 1, CV_64F);
  kNan.at<double>(0, 2) = nan;
  dInf.at<double>(1, 0) = inf;
  const Case cases[] = {{1280, kNan, cv::Mat::zeros(5, 1, CV_64F), "Camera_Matrix"},
                        {1280, kK, dInf, "Distortion_Coefficients"},
                        {2000000000, kK, cv::Mat::zeros(5, 1, CV_64F), "image_Width"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    WriteLensFile(file, c.width, 1024, c.k, c.d);
    smt::platform::ForgetReadRefusals();
    CCameraCalib calib;
    EXPECT_FALSE(calib.Load(file.string()));
    EXPECT_FALSE(calib.IsLoaded());
    const auto refused = smt::platform::ReadRefusalsSoFar();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].file, file.string());
    EXPECT_EQ(refused[0].where, std::string("field \"") + c.field + "\"");
  }
  smt::platform::ForgetReadRefusals();
}

TEST(CameraCalib, DotLandsWhereUndistortPointsSays) {
  TempDir dir;
  const fs::path file = dir.path / "lens.xml";
  const cv::Mat d = (cv::Mat_<double>(5, 1) << -0.25, 0.08, 0.001, -0.0005, 0.0);
  WriteLensFile(file, 1280, 1024, kK, d);
  CCameraCalib calib;
  ASSERT_TRUE(calib.Load(file.string()));
  const cv::Size size(1280, 1024);
  const cv::Mat newK = cv::getOptimalNewCameraMatrix(kK, d, size, 1.0, size);
  for (cv::Point2d at : {cv::Point2d(640, 512), cv::Point2d(300, 200), cv::Point2d(1050, 850), cv::Point2d(900, 300)}) {
    cv::Mat frame = cv::Mat::zeros(size, CV_8UC3);
    cv::circle(frame, cv::Point(static_cast<int>(at.x * 16), static_cast<int>(at.y * 16)), 4 * 16, cv::Scalar::all(255),
               cv::FILLED, cv::LINE_AA, 4);
    const cv::Point2d seen = BrightCentroid(frame);
    cv::Mat out;
    ASSERT_TRUE(calib.Undistort(out, frame));
    std::vector<cv::Point2d> src{seen}, dst;
    cv::undistortPoints(src, dst, kK, d, cv::noArray(), newK);
    const cv::Point2d got = BrightCentroid(out);
    EXPECT_NEAR(got.x, dst[0].x, 0.25) << at;
    EXPECT_NEAR(got.y, dst[0].y, 0.25) << at;
  }
}

TEST(CameraCalib, BadFilesAreRefusedAndAFailedReloadSwitchesTheCorrectionOff) {
  TempDir dir;
  const fs::path good = dir.path / "good.xml", zeroWidth = dir.path / "w0.xml", noMatrix = dir.path / "nok.xml";
  const fs::path badShape = dir.path / "shape.xml";
  const cv::Mat d = cv::Mat::zeros(5, 1, CV_64F);
  WriteLensFile(good, 1280, 1024, kK, d);
  WriteLensFile(zeroWidth, 0, 1024, kK, d);
  WriteLensFile(noMatrix, 1280, 1024, cv::Mat(), d);
  WriteLensFile(badShape, 1280, 1024, cv::Mat::eye(2, 2, CV_64F), d);
  cv::Mat k, dist;
  EXPECT_TRUE(CCameraCalib::ReadFile(good.string(), k, dist));
  EXPECT_FALSE(CCameraCalib::ReadFile(zeroWidth.string(), k, dist));
  EXPECT_FALSE(CCameraCalib::ReadFile(noMatrix.string(), k, dist));
  EXPECT_FALSE(CCameraCalib::ReadFile(badShape.string(), k, dist));
  EXPECT_FALSE(CCameraCalib::ReadFile((dir.path / "missing.xml").string(), k, dist));

  CCameraCalib calib;
  cv::Mat out(4, 4, CV_8UC3, cv::Scalar::all(7));
  EXPECT_FALSE(calib.Undistort(out, cv::Mat::zeros(10, 10, CV_8UC3)));  // nothing loaded
  EXPECT_EQ(out.cols, 4);
  ASSERT_TRUE(calib.Load(good.string()));
  EXPECT_EQ(calib.ImageWidth(), 1280);
  // The lens changed but its file is broken: the old lens's data must not
  // be applied to the new lens.
  EXPECT_FALSE(calib.Load(zeroWidth.string()));
  EXPECT_FALSE(calib.IsLoaded());
  EXPECT_FALSE(calib.Undistort(out, cv::Mat::zeros(10, 10, CV_8UC3)));
}

TEST(CameraCalib, LensSettingChoosesTheFileAndTheSwitch) {
  TempDir dir;
  EXPECT_EQ(LensCalibrationFileName(0), "cameraCalibrate_data8mm.xml");
  EXPECT_EQ(LensCalibrationFileName(1), "cameraCalibrate_data6mm.xml");
  EXPECT_EQ(LensCalibrationFileName(2), "");
  WriteLensFile(dir.path / "cameraCalibrate_data6mm.xml", 1280, 1024, kK, cv::Mat::zeros(5, 1, CV_64F));
  CCameraCalib calib;
  EXPECT_EQ(ApplyLensSetting(calib, dir.path.string(), 0, 1), 0);  // 8 mm file missing: correction off
  EXPECT_EQ(ApplyLensSetting(calib, dir.path.string(), 1, 1), 1);
  EXPECT_TRUE(calib.IsLoaded());
  EXPECT_EQ(ApplyLensSetting(calib, dir.path.string(), 2, 1), 1);  // no file for 2: keeps what is loaded
  EXPECT_TRUE(calib.IsLoaded());
  EXPECT_EQ(ApplyLensSetting(calib, dir.path.string(), 0, 1), 0);
  EXPECT_FALSE(calib.IsLoaded());
}

TEST(QrCodeReader, ModelPathsFromTheDirectoryText) {
  EXPECT_EQ(QrModelPaths("")[0], "./Model/detect.prototxt");
  EXPECT_EQ(QrModelPaths("models")[1], "models/detect.caffemodel");
  EXPECT_EQ(QrModelPaths("models/")[2], "models/sr.prototxt");
  EXPECT_EQ(QrModelPaths("C:\\m\\")[3], "C:\\m\\sr.caffemodel");
}

TEST(QrCodeReader, DecodesAGeneratedCode) {
  cv::Mat code;
  cv::QRCodeEncoder::create()->encode("SMT-FEEDER-W12", code);
  ASSERT_FALSE(code.empty());
  cv::Mat big;
  cv::resize(code, big, cv::Size(), 8, 8, cv::INTER_NEAREST);
  cv::copyMakeBorder(big, big, 60, 60, 60, 60, cv::BORDER_CONSTANT, cv::Scalar(255));
  cv::Mat frame;
  cv::cvtColor(big, frame, cv::COLOR_GRAY2BGR);
  // The detector without its network models (classic detection).
  TempDir noModels;
  ASSERT_TRUE(CreateQrCodeReader(noModels.path.string())) << QrReaderStatus();
  std::vector<std::string> texts;
  ASSERT_TRUE(ReadQrCodes(frame, texts));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "SMT-FEEDER-W12");
}

namespace {
// A frame of `text` as a QR code `module` pixels per module, turned by
// `degrees`, on a white margin; colour, as the cameras give it.
cv::Mat QrFrame(const std::string& text, int module, double degrees) {
  cv::Mat code;
  cv::QRCodeEncoder::create()->encode(text, code);
  if (code.empty()) return {};
  cv::Mat big;
  cv::resize(code, big, cv::Size(), module, module, cv::INTER_NEAREST);
  cv::copyMakeBorder(big, big, 80, 80, 80, 80, cv::BORDER_CONSTANT, cv::Scalar(255));
  if (degrees != 0) {
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(big.cols / 2.0f, big.rows / 2.0f), degrees, 1.0);
    cv::warpAffine(big, big, turn, big.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
  }
  cv::Mat frame;
  cv::cvtColor(big, frame, cv::COLOR_GRAY2BGR);
  return frame;
}
}  // namespace

// A fresh install has no model files: the reader is built all the same,
// without them, says so once, and reads the codes the test makes.
TEST(QrCodeReader, AFreshInstallReadsWithoutTheModelFiles) {
  TempDir dir;
  ASSERT_TRUE(CreateQrCodeReader(dir.path.string())) << QrReaderStatus();
  EXPECT_EQ(CurrentQrReaderMode(), QrReaderMode::WithoutModels);
  EXPECT_NE(QrReaderStatus().find("detect.prototxt is missing"), std::string::npos) << QrReaderStatus();
  struct Case { const char* text; int module; double degrees; };
  for (Case c : {Case{"SMT-FEEDER-W12", 8, 0}, Case{"W1 10k 0603", 4, 0}, Case{"PCB-2026-000417", 6, 30},
                 Case{"Zuführung 7 / 料架 7", 5, -90}}) {
    const cv::Mat frame = QrFrame(c.text, c.module, c.degrees);
    ASSERT_FALSE(frame.empty()) << c.text;
    std::vector<std::string> texts{"stale"};
    ASSERT_TRUE(ReadQrCodes(frame, texts)) << c.text;
    EXPECT_EQ(texts, std::vector<std::string>{c.text}) << c.module << " px per module, " << c.degrees << " degrees";
  }
  // A frame without a code reads nothing (and keeps nothing of the last one).
  std::vector<std::string> texts{"stale"};
  EXPECT_TRUE(ReadQrCodes(cv::Mat(400, 400, CV_8UC3, cv::Scalar(255, 255, 255)), texts));
  EXPECT_TRUE(texts.empty());
}

// Model files that are there but do not load (damaged, half copied): the
// reader says why and reads without them instead of staying off.
TEST(QrCodeReader, ModelFilesThatDoNotLoadFallBackToReadingWithoutThem) {
  TempDir dir;
  for (const std::string& p : QrModelPaths(dir.path.string())) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fputs("not a model", f);
    std::fclose(f);
  }
  ASSERT_TRUE(CreateQrCodeReader(dir.path.string()));
  EXPECT_EQ(CurrentQrReaderMode(), QrReaderMode::WithoutModels);
  EXPECT_NE(QrReaderStatus().find("not loaded"), std::string::npos) << QrReaderStatus();
  std::vector<std::string> texts;
  ASSERT_TRUE(ReadQrCodes(QrFrame("SMT-FEEDER-W12", 8, 0), texts));
  EXPECT_EQ(texts, std::vector<std::string>{"SMT-FEEDER-W12"});
  // Only some of the four files: the same.
  std::filesystem::remove(QrModelPaths(dir.path.string())[3]);
  ASSERT_TRUE(CreateQrCodeReader(dir.path.string()));
  EXPECT_NE(QrReaderStatus().find("sr.caffemodel is missing"), std::string::npos) << QrReaderStatus();
}

// A lens file that is not there leaves the correction off without OpenCV's
// own error on the terminal.
TEST(CameraCalib, MissingLensFileIsQuietOnTheTerminal) {
  TempDir dir;
  const std::string missing = (dir.path / "cameraCalibrate_data8mm.xml").string();
  fflush(stderr);
  const int saved = dup(2);
  const std::string errPath = (dir.path / "stderr.txt").string();
  FILE* err = fopen(errPath.c_str(), "w");
  ASSERT_NE(err, nullptr);
  dup2(fileno(err), 2);
  CCameraCalib calib;
  const bool loaded = calib.Load(missing);
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  fclose(err);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(fs::file_size(errPath), 0u);
}
