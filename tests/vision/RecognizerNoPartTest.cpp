// Pictures with no part in them: every recognition type (and each special
// package) says "not found" on noise of any kind and level, on flat pictures
// and on a picture that is part from edge to edge, whatever the threshold;
// and the judge of the thresholded square passes the parts it should.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "platform/MessageService.h"
#include "tests/vision/PackageScenes.h"
#include "vision/PartRecognizers.h"
#include "vision/SimulatedScene.h"
#include "vision/SquareEvidence.h"
#include "vision/VisionSlots.h"

using namespace smt::vision;

namespace {

constexpr int kCols = 1280, kRows = 1024;

struct NoPart {
  std::string what;
  std::function<cv::Mat(unsigned seed)> make;
};

cv::Mat Uniform(unsigned seed, int low, int high) {
  cv::Mat m(kRows, kCols, CV_8UC3);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::UNIFORM, cv::Scalar::all(low), cv::Scalar::all(high + 1));
  return m;
}
cv::Mat Grey(const cv::Mat& one) {
  cv::Mat m;
  cv::cvtColor(one, m, cv::COLOR_GRAY2BGR);
  return m;
}
cv::Mat UniformGrey(unsigned seed, int low, int high) {
  cv::Mat m(kRows, kCols, CV_8UC1);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::UNIFORM, cv::Scalar(low), cv::Scalar(high + 1));
  return Grey(m);
}
cv::Mat Gaussian(unsigned seed, double mean, double sd) {
  cv::Mat m(kRows, kCols, CV_8UC1);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::NORMAL, cv::Scalar(mean), cv::Scalar(sd));
  return Grey(m);
}
cv::Mat SaltAndPepper(unsigned seed, double share) {
  cv::Mat m(kRows, kCols, CV_8UC1);
  cv::RNG rng(seed);
  for (int y = 0; y < m.rows; ++y)
    for (int x = 0; x < m.cols; ++x) m.at<uint8_t>(y, x) = rng.uniform(0.0, 1.0) < share ? 255 : 0;
  return Grey(m);
}
cv::Mat Blurred(cv::Mat m, int k) {
  cv::blur(m, m, cv::Size(k, k));
  return m;
}
cv::Mat Flat(int grey, double noise, unsigned seed) {
  SimulatedScene scene(kCols, kRows, 20.0);
  scene.SetBackground(grey);
  scene.SetNoise(noise, seed);
  return scene.Render();
}
// A part far larger than the search square, lying across all of it.
cv::Mat AllPart(unsigned seed) {
  SimulatedScene scene(kCols, kRows, 20.0);
  scene.SetBackground(20);
  scene.SetNoise(1.5, seed);
  scene.AddRect({0.3, -0.2}, {60.0, 48.0}, 3.0, 230);
  return scene.Render();
}

const std::vector<NoPart>& NoPartPictures() {
  static const std::vector<NoPart> pictures = {
      {"colour noise 0..255", [](unsigned s) { return Uniform(s, 0, 255); }},
      {"grey noise 0..255", [](unsigned s) { return UniformGrey(s, 0, 255); }},
      {"grey noise 100..160", [](unsigned s) { return UniformGrey(s, 100, 160); }},
      {"grey noise 20..28", [](unsigned s) { return UniformGrey(s, 20, 28); }},
      {"grey noise 200..255", [](unsigned s) { return UniformGrey(s, 200, 255); }},
      {"gaussian noise 128 +- 40", [](unsigned s) { return Gaussian(s, 128, 40); }},
      {"gaussian noise 30 +- 5", [](unsigned s) { return Gaussian(s, 30, 5); }},
      {"blurred noise 0..255", [](unsigned s) { return Blurred(UniformGrey(s, 0, 255), 5); }},
      {"salt and pepper 50 %", [](unsigned s) { return SaltAndPepper(s, 0.5); }},
      {"salt and pepper 10 %", [](unsigned s) { return SaltAndPepper(s, 0.1); }},
      {"flat black", [](unsigned) { return Flat(0, 0.0, 1); }},
      {"flat grey", [](unsigned) { return Flat(128, 0.0, 1); }},
      {"flat white", [](unsigned) { return Flat(255, 0.0, 1); }},
      {"ground with sensor noise", [](unsigned s) { return Flat(20, 1.5, s); }},
      {"bright ground with sensor noise", [](unsigned s) { return Flat(200, 3.0, s); }},
      {"all part", [](unsigned s) { return AllPart(s); }},
  };
  return pictures;
}

TEST(RecognizerNoPart, EveryTypeSaysNotFoundWhereThereIsNoPart) {
  smt::platform::ScopedRecordingMessages messages;
  const auto& packages = visiontest::PackageCases();
  struct Look {
    int threshold;
    bool invert;
    double boxMm;
  } looks[] = {{0, false, 40.0}, {0, true, 40.0}, {0, false, 10.0}, {128, false, 40.0}, {60, true, 25.0}};
  for (const NoPart& picture : NoPartPictures()) {
    for (unsigned seed : {1u, 2u, 3u}) {
      const cv::Mat frame = picture.make(seed);
      for (const Look& look : looks) {
        for (const visiontest::PackageCase& p : packages) {
          double dX = 1234, dY = 1234, dA = 1234;
          ResetVisionSlots();
          const cv::RotatedRect r = RecognizeSpecialPart(2, frame, look.threshold, look.invert, p.type, p.name,
                                                         look.boxMm, 20.0, 0.0, 0.0, dX, dY, dA);
          const std::string where = visiontest::PackageCaseLabel(p) + " on " + picture.what + " seed " +
                                    std::to_string(seed) + " threshold " + std::to_string(look.threshold) +
                                    (look.invert ? " inverted" : "") + " box " + std::to_string(look.boxMm);
          EXPECT_TRUE(IsNotFound(r)) << where << ": found " << r.center << " " << r.size;
          EXPECT_EQ(dX, 1234) << where;
          EXPECT_EQ(dA, 1234) << where;
          EXPECT_TRUE(VisionResultReady(2)) << where << ": no Error picture";
        }
      }
      if (seed == 1) {
        // The round-target recogniser of the marks and nozzles as well.
        double dX = 1234, dY = 1234;
        const CircleResult c = RecognizePart(frame, 0, false, 10.0, 20.0, dX, dY);
        EXPECT_FALSE(c.found) << picture.what;
        EXPECT_EQ(dX, 1234) << picture.what;
      }
    }
  }
  EXPECT_TRUE(messages.service.Texts().empty());
}

// A 200-pixel grey square of one level with a 70 x 40 pad of another.
cv::Mat PadOn(int ground, int pad, int thickness = cv::FILLED) {
  cv::Mat m(200, 200, CV_8UC1, cv::Scalar(ground));
  cv::rectangle(m, cv::Rect(60, 80, 70, 40), cv::Scalar(pad), thickness);
  return m;
}
cv::Mat NoisyWithFaintFrame() {
  cv::Mat m(200, 200, CV_8UC1);
  cv::randu(m, cv::Scalar(0), cv::Scalar(200));
  cv::rectangle(m, cv::Rect(60, 80, 70, 40), cv::Scalar(20), 3);
  return m;
}
cv::Mat ScatteredPixels() {
  cv::Mat m(200, 200, CV_8UC1, cv::Scalar(10));
  for (int i = 0; i < 400; ++i) m.at<uint8_t>((i * 37) % 200, (i * 91) % 200) = 250;
  return m;
}
cv::Mat WiderThanTheSquare() {
  cv::Mat m(200, 200, CV_8UC1, cv::Scalar(20));
  cv::rectangle(m, cv::Rect(0, 0, 200, 150), cv::Scalar(230), cv::FILLED);
  return m;
}

// Each criterion alone: a part on a clean ground passes; take one thing away
// and the verdict names what is missing.
TEST(RecognizerNoPart, TheSquareJudgeNamesWhatIsMissing) {
  struct Case {
    const char* what;
    cv::Mat square;
    int threshold;
    bool invert;
    SquareVerdict verdict;
  } cases[] = {
      {"bright pad on a dark ground", PadOn(20, 230), 0, false, SquareVerdict::Part},
      {"dark pad on a bright ground, inverted", PadOn(220, 30), 0, true, SquareVerdict::Part},
      {"small pad at a fixed level", PadOn(20, 200), 100, false, SquareVerdict::Part},
      {"flat", cv::Mat(200, 200, CV_8UC1, cv::Scalar(90)), 0, false, SquareVerdict::NoContrast},
      {"a faint outline drowned in noise", NoisyWithFaintFrame(), 0, false, SquareVerdict::NoContrast},
      {"single bright pixels", ScatteredPixels(), 0, false, SquareVerdict::Noise},
      {"ground let through by a low threshold", PadOn(120, 10), 60, false, SquareVerdict::Ground},
      {"a part wider than the square", WiderThanTheSquare(), 0, false, SquareVerdict::Ground},
  };
  for (const Case& c : cases) {
    const PreparedSquare p = PrepareSquare(c.square, c.threshold, c.invert);
    EXPECT_EQ(JudgeSquare(p.evidence), c.verdict) << c.what << ": " << SquareVerdictText(JudgeSquare(p.evidence));
  }
}

// The level chosen for the automatic threshold is the library's, so that the
// binary square is the one the recognisers always saw.
TEST(RecognizerNoPart, AutomaticLevelIsTheLibrarysOtsuLevel) {
  std::vector<cv::Mat> pictures;
  for (unsigned seed : {1u, 2u}) {
    pictures.push_back(UniformGrey(seed, 0, 255));
    pictures.push_back(Gaussian(seed, 60, 12));
    pictures.push_back(SaltAndPepper(seed, 0.3));
  }
  pictures.push_back(Flat(77, 0.0, 1));
  pictures.push_back(AllPart(4));
  for (const auto& k : visiontest::PictureConditions())
    for (const auto& p : visiontest::PackageCases()) pictures.push_back(visiontest::RenderPackage(p, k, 3));
  for (size_t i = 0; i < pictures.size(); ++i) {
    cv::Mat grey, out;
    cv::cvtColor(pictures[i], grey, cv::COLOR_BGR2GRAY);
    const double library = cv::threshold(grey, out, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    EXPECT_EQ(OtsuLevel(CountGreyLevels(grey)), static_cast<int>(library)) << "picture " << i;
  }
}

}  // namespace
