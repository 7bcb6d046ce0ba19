// The image holder: create, load, save, copy and painting into a widget.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "core/Machine.h"
#include "vision/CvvMat.h"
#include "vision/VisionSlots.h"

namespace fs = std::filesystem;

namespace {
fs::path TempFile(const std::string& name) {
  return fs::temp_directory_path() / ("cvvmat-" + std::to_string(::getpid()) + "-" + name);
}
cv::Mat Gradient(int w, int h) {
  cv::Mat m(h, w, CV_8UC3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y % 256, (x + y) % 256);
  return m;
}
}  // namespace

TEST(CvvMat, CreateChecksItsArgumentsAndKeepsAMatchingImage) {
  CvvMat m;
  ASSERT_TRUE(m.Create(100, 50, 24, 0));
  EXPECT_EQ(m.Height(), 50);
  EXPECT_EQ(m.Width(), 100);
  EXPECT_EQ(m.Channels(), 3);
  m.Image().at<cv::Vec3b>(3, 4) = cv::Vec3b(9, 8, 7);
  ASSERT_TRUE(m.Create(100, 50, 24, 1));
  EXPECT_EQ(m.Image().at<cv::Vec3b>(3, 4), cv::Vec3b(9, 8, 7));  // same pixels kept
  EXPECT_FALSE(m.Create(100, 50, 16, 0));
  EXPECT_FALSE(m.Create(10000, 50, 24, 0));
  EXPECT_FALSE(m.Create(100, 50, 24, 2));
  EXPECT_FALSE(m.Create(-1, 50, 8, 0));
  ASSERT_TRUE(m.Create(20, 10, 8, 0));
  EXPECT_EQ(m.Channels(), 1);
}

TEST(CvvMat, LoadRectClipsAndStoresBottomRowFirst) {
  const fs::path file = TempFile("src.png");
  const cv::Mat src = Gradient(640, 480);
  ASSERT_TRUE(cv::imwrite(file.string(), src));
  CvvMat m;
  ASSERT_TRUE(m.LoadRect(file.string(), false, cv::Rect(-10, -10, 50, 50)));
  ASSERT_EQ(m.Width(), 40);
  ASSERT_EQ(m.Height(), 40);
  cv::Mat expect;
  cv::flip(src(cv::Rect(0, 0, 40, 40)), expect, 0);
  EXPECT_EQ(cv::norm(m.Image(), expect, cv::NORM_INF), 0.0);
  // Window-rectangle form and refusals.
  ASSERT_TRUE(m.LoadRect(file.string(), false, 600, 400, 700, 500, true));
  EXPECT_EQ(m.Width(), 40);
  EXPECT_EQ(m.Height(), 80);
  EXPECT_FALSE(m.LoadRect(file.string(), false, cv::Rect(0, 0, -5, 10)));
  EXPECT_FALSE(m.LoadRect(file.string(), false, cv::Rect(700, 0, 10, 10)));
  ASSERT_TRUE(m.LoadRect(file.string(), false, cv::Rect(5, 5, 0, 0)));  // size 0: the whole image
  EXPECT_EQ(m.Width(), 640);
  EXPECT_FALSE(m.Load((file.string() + ".none")));
  fs::remove(file);
}

TEST(CvvMat, SaveCopyFillAndDestroy) {
  CvvMat a;
  EXPECT_FALSE(a.Save(TempFile("empty.png").string()));
  a.CopyOf(Gradient(30, 20));
  CvvMat b;
  b.CopyOf(a);
  cv::Mat twice;
  cv::flip(a.Image(), twice, 0);
  EXPECT_EQ(cv::norm(b.Image(), twice, cv::NORM_INF), 0.0);  // every copy flips
  b.Fill(0x00332211u);
  EXPECT_EQ(b.Image().at<cv::Vec3b>(5, 5), cv::Vec3b(0x11, 0x22, 0x33));
  const fs::path file = TempFile("saved.png");
  ASSERT_TRUE(b.Save(file.string()));
  EXPECT_TRUE(fs::exists(file));
  fs::remove(file);
  b.Destroy();
  EXPECT_TRUE(b.IsEmpty());
}

TEST(CvvMat, PaintsUprightScaledAndWithReversedRectangles) {
  CvvMat m;
  cv::Mat top(40, 60, CV_8UC3, cv::Scalar(0, 0, 0));
  top(cv::Rect(0, 0, 60, 10)).setTo(cv::Scalar(0, 0, 255));  // red band at the top of the frame
  m.CopyOf(top);
  auto paint = [&](QRect r) {
    QImage canvas(120, 80, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    m.DrawToPainter(p, r);
    p.end();
    return canvas;
  };
  const QImage same = paint(QRect(0, 0, 60, 40));
  EXPECT_EQ(same.pixelColor(30, 2), QColor(255, 0, 0));  // shown upright
  EXPECT_EQ(same.pixelColor(30, 30), QColor(0, 0, 0));
  EXPECT_EQ(same.pixelColor(100, 70), QColor(255, 255, 255));
  const QImage stretched = paint(QRect(0, 0, 120, 80));
  EXPECT_EQ(stretched.pixelColor(60, 5), QColor(255, 0, 0));
  EXPECT_EQ(stretched.pixelColor(100, 70), QColor(0, 0, 0));
  // Edges given right-to-left and bottom-to-top: the same area.
  EXPECT_EQ(paint(QRect(120, 80, -120, -80)), stretched);
  EXPECT_EQ(paint(QRect(60, 0, -60, 40)), same);
  CvvMat empty;
  QImage canvas(10, 10, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter p(&canvas);
  empty.DrawToPainter(p, QRect(0, 0, 10, 10));
  p.end();
  EXPECT_EQ(canvas.pixelColor(5, 5), QColor(255, 255, 255));
}

TEST(VisionSlots, PublishTakeAndBadSlots) {
  using namespace smt::vision;
  ResetVisionSlots();
  EXPECT_FALSE(PublishVisionResult(9, cv::Mat::zeros(2, 2, CV_8UC3)));
  EXPECT_FALSE(PublishVisionResult(-1, cv::Mat::zeros(2, 2, CV_8UC3)));
  cv::Mat pic(4, 4, CV_8UC3, cv::Scalar::all(50));
  ASSERT_TRUE(PublishVisionResult(8, pic));
  pic.setTo(cv::Scalar::all(0));  // the slot holds its own copy
  EXPECT_TRUE(VisionResultEvent().Wait(std::chrono::milliseconds(100)));
  cv::Mat got;
  ASSERT_TRUE(TakeVisionResult(8, got));
  EXPECT_EQ(got.at<cv::Vec3b>(1, 1), cv::Vec3b(50, 50, 50));
  EXPECT_FALSE(TakeVisionResult(8, got));
  EXPECT_TRUE(VisionSlotImage(99).empty());
}

// Each machine has its own slots and result event: a result published while
// another machine is in use is that machine's alone.
TEST(VisionSlots, EachMachineHasItsOwnSlotsAndResultEvent) {
  using namespace smt::vision;
  ResetVisionSlots();
  const cv::Mat pic(4, 4, CV_8UC3, cv::Scalar::all(70));
  smt::Machine other;
  {
    smt::MachineScope scope(other);
    ASSERT_TRUE(PublishVisionResult(3, pic));
    EXPECT_TRUE(VisionResultReady(3));
    EXPECT_TRUE(VisionResultEvent().IsSet());
  }
  EXPECT_FALSE(VisionResultReady(3));
  EXPECT_FALSE(VisionResultEvent().IsSet());
  EXPECT_TRUE(VisionSlotImage(3).empty());
  ASSERT_TRUE(PublishVisionResult(3, cv::Mat(2, 2, CV_8UC3, cv::Scalar::all(10))));
  {
    smt::MachineScope scope(other);
    cv::Mat got;
    ASSERT_TRUE(TakeVisionResult(3, got));
    EXPECT_EQ(got.at<cv::Vec3b>(1, 1), cv::Vec3b(70, 70, 70));
  }
  cv::Mat got;
  ASSERT_TRUE(TakeVisionResult(3, got));
  EXPECT_EQ(got.at<cv::Vec3b>(1, 1), cv::Vec3b(10, 10, 10));
}
