// Picture files and cameras go through a plugin loaded on first use: what it
// writes and reads must be exactly what the codecs give when called directly.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "support/TempDir.h"
#include "vision/CameraDS.h"
#include "vision/ImageFiles.h"

using namespace smt::vision;
using smt::test::TempDir;

namespace {
std::string Bytes(const TempDir& dir, const std::string& name) { return dir.Read(name); }

cv::Mat Picture() {
  cv::Mat m(48, 64, CV_8UC3, cv::Scalar(20, 40, 60));
  cv::circle(m, {30, 20}, 12, cv::Scalar(200, 180, 10), -1);
  cv::rectangle(m, {2, 30}, {20, 44}, cv::Scalar(5, 250, 90), -1);
  return m;
}
}  // namespace

// Every format the program writes (templates, test pictures, saved camera
// pictures) comes out byte for byte as the codec writes it directly, and
// reads back as the codec reads it.
TEST(ImageFiles, WritesAndReadsExactlyAsTheCodecs) {
  TempDir dir;
  const cv::Mat pic = Picture();
  for (const char* ext : {".png", ".bmp", ".jpg"}) {
    SCOPED_TRACE(ext);
    const std::string ours = "ours" + std::string(ext), direct = "direct" + std::string(ext);
    ASSERT_TRUE(WriteImageFile((dir / ours).string(), pic));
    ASSERT_TRUE(cv::imwrite((dir / direct).string(), pic));
    EXPECT_EQ(Bytes(dir, ours), Bytes(dir, direct));
    const cv::Mat back = ReadImageFile((dir / ours).string(), ImageRead::Color);
    const cv::Mat expected = cv::imread((dir / direct).string(), cv::IMREAD_COLOR);
    ASSERT_EQ(back.size(), expected.size());
    EXPECT_EQ(cv::norm(back, expected, cv::NORM_INF), 0);
  }
  EXPECT_TRUE(CodecPluginLoaded());
  EXPECT_EQ(CodecPluginError(), "");
}

// The reading flags keep their meaning: a grey picture stays grey when read
// as it is, and becomes three channels when read in colour.
TEST(ImageFiles, ReadingFlagsKeepTheirMeaning) {
  TempDir dir;
  cv::Mat grey(20, 30, CV_8UC1, cv::Scalar(77));
  ASSERT_TRUE(WriteImageFile((dir / "g.png").string(), grey));
  struct Case {
    ImageRead how;
    int channels;
  };
  for (const Case c : {Case{ImageRead::AnyColor, 1}, Case{ImageRead::Color, 3}, Case{ImageRead::Grayscale, 1},
                       Case{ImageRead::Unchanged, 1}}) {
    SCOPED_TRACE(static_cast<int>(c.how));
    const cv::Mat m = ReadImageFile((dir / "g.png").string(), c.how);
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.channels(), c.channels);
    EXPECT_EQ(m.at<uchar>(5, 5), 77);
  }
}

TEST(ImageFiles, FailuresAreReportedNotThrown) {
  TempDir dir;
  EXPECT_TRUE(ReadImageFile((dir / "absent.png").string()).empty());
  dir.Write("not-a-picture.png", "plain text");
  EXPECT_TRUE(ReadImageFile((dir / "not-a-picture.png").string()).empty());
  EXPECT_FALSE(WriteImageFile((dir / "no-such-folder" / "x.png").string(), Picture()));
  EXPECT_FALSE(WriteImageFile((dir / "x.unknown-format").string(), Picture()));
  EXPECT_FALSE(WriteImageFile((dir / "empty.png").string(), cv::Mat()));
}

// A USB camera that is not there does not open (through the plugin too).
TEST(ImageFiles, MissingVideoDeviceDoesNotOpen) {
  EXPECT_EQ(OpenVideoDevice(987654, 640, 480), nullptr);
  CCameraDS cam;
  EXPECT_FALSE(cam.OpenCamera(100000));
  cv::Mat frame;
  EXPECT_FALSE(cam.QueryFrame(frame, std::chrono::milliseconds(10)));
}
