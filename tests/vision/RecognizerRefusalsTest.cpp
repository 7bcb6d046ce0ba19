// Results the recognisers must not pass off as parts: the whole search
// square, a crowd of blobs past the combination caps, label sizes that do
// not fit the search, and a part of another size than its package.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "platform/MessageService.h"
#include "vision/HeadVision.h"
#include "vision/PackageRecognizers.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognitionTypes.h"
#include "vision/RecognizerGeometry.h"
#include "vision/SimulatedScene.h"
#include "vision/SpecialPartRecognizers.h"

using namespace smt::vision;

namespace {

// A binary picture of n small dots in a grid.
cv::Mat Dots(int n) {
  const int side = 20 * (static_cast<int>(std::sqrt(n)) + 2);
  cv::Mat m = cv::Mat::zeros(side, side, CV_8UC1);
  const int per = static_cast<int>(std::sqrt(n)) + 1;
  for (int i = 0; i < n; ++i) cv::circle(m, {20 + 20 * (i % per), 20 + 20 * (i / per)}, 4, cv::Scalar(255), -1);
  return m;
}

TEST(RecognizerRefusals, BlobCombinationSearchesStopPastTheirCaps) {
  // Below the cap the searches still run (and may or may not find a part);
  // past it they say "not found" at once.
  EXPECT_EQ(RecognizeTriode(Dots(kMaxTripleBlobs + 1)).center.x, -1.f);
  EXPECT_EQ(RecognizeSpecialRch110(Dots(kMaxQuadBlobs + 1)).center.x, -1.f);
  EXPECT_EQ(RecognizeTriode(Dots(400)).center.x, -1.f);
}

TEST(RecognizerRefusals, AResultFillingTheSearchSquareIsNotFound) {
  smt::platform::ScopedRecordingMessages messages;
  // A bright frame: the threshold lets all of it through.
  const cv::Mat bright(480, 640, CV_8UC3, cv::Scalar(200, 200, 200));
  double x = 0, y = 0, a = 0;
  const cv::RotatedRect r = RecognizeSpecialPart(1, bright, 60, false, 0, "", 5.0, 20.0, 0, 0, x, y, a);
  EXPECT_EQ(r.center.x, -1.f);
}

TEST(RecognizerRefusals, LabelSizesOutsideTheSearchAreRefusedBeforeConversion) {
  smt::platform::ScopedRecordingMessages messages;
  const cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(30, 30, 30));
  for (double length : {1e300, std::nan(""), 50.0}) {
    messages.service.Clear();
    EXPECT_TRUE(RecognizeLabel(frame, 100, 20, 10.0, 20.0, length, 2.0).empty()) << length;
    EXPECT_EQ(messages.service.Texts().size(), 1u) << length;
  }
}

TEST(RecognizerRefusals, APartOfAnotherSizeThanItsPackageIsNotCentred) {
  smt::platform::ScopedRecordingMessages messages;
  SimulatedScene scene(640, 480, 40.0);
  scene.AddRect({0.1, -0.1}, {5.0, 2.5}, 3.0);
  HeadVisionJob job;
  job.contrast = 100;
  job.recognitionType = 1;
  job.visionMode = 2;  // measure only
  HeadVisionCamera cam;
  cam.zoom = 40;
  cam.visualSize = 11;
  cam.correctionTimes = 2;
  HeadVisionIo io;
  io.cameraReady = [](int) { return true; };
  io.grabFrame = [&](int, cv::Mat& f) {
    f = scene.Render();
    return true;
  };
  io.sleepMs = [](int) {};
  struct Case {
    double length, width;
    bool centred;
  } cases[] = {{5.0, 2.5, true}, {1.6, 0.8, false}, {20.0, 10.0, false}};
  for (const Case& c : cases) {
    job.partLength = c.length;
    job.partWidth = c.width;
    job.failed = 0;
    job.correctionX = job.correctionY = 0;
    EXPECT_TRUE(RecognizeHeadPart(job, cam, io));
    EXPECT_EQ(job.failed, c.centred ? 0 : 1) << c.length;
    if (!c.centred) {
      EXPECT_EQ(job.correctionX, 0) << c.length;
    }
  }
}

}  // namespace
