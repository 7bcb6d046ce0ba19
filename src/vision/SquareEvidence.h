#pragma once
// What the thresholded search square says about whether a part is in it at
// all. A part stands apart from the ground round it: its grey levels and the
// ground's form two groups far apart compared with the spread inside each;
// it survives the 3x3 opening nearly whole; and it lies inside the square
// rather than running across its edge. Noise splits into two groups that
// touch, crumbles under the opening, and a threshold that lets the ground
// through turns the square's edge into "part".
#include <array>
#include <cstdint>
#include <opencv2/core.hpp>

namespace smt::vision {

using GreyHistogram = std::array<uint32_t, 256>;

// Counts of each grey level of an 8-bit one-channel picture.
GreyHistogram CountGreyLevels(const cv::Mat& grey);
// Otsu's level: the one that splits the histogram into two groups with the
// largest spread between them (0 when everything lies in one group). The
// same level as the library's automatic threshold.
int OtsuLevel(const GreyHistogram& h);

// The two groups a level splits the histogram into: dark = up to the level,
// bright = above it.
struct GreySplit {
  uint64_t darkCount = 0, brightCount = 0;
  double darkMean = 0, darkSd = 0, brightMean = 0, brightSd = 0;
  // Distance of the means in units of the two spreads added; 0 when a group
  // is empty.
  double Separation() const;
};
GreySplit SplitAt(const GreyHistogram& h, int level);

// The verdict on a thresholded square.
enum class SquareVerdict { Part, NoContrast, Noise, Ground };
// Text for the log.
const char* SquareVerdictText(SquareVerdict v);

struct SquareEvidence {
  GreySplit split;
  uint64_t partBefore = 0;  // pixels of the part's group (bright, or dark when inverted)
  uint64_t partKept = 0;    // part pixels left by a 3x3 opening of the part
  double edgeCover = 0;              // share of the square's outermost pixels that are part (0..1)
};

// Below this separation the two groups are one spread of grey levels:
// uniform noise splits at 0.87 with the automatic level, Gaussian noise at
// 1.33, and no noise reaches 1.8 at any fixed level; parts on the simulated
// cameras split at 4 (thin leads at a coarse scale) to thousands.
inline constexpr double kMinSeparation = 2.0;
// A part keeps at least this share of its bright pixels through the 3x3
// opening (thin leads and anti-aliased edges lose a little); noise keeps a
// few per cent.
inline constexpr double kMinKeptByOpening = 0.5;
// Part over more than this share of the square's edge is the ground let
// through by the threshold.
inline constexpr double kMaxEdgeCover = 0.5;

SquareVerdict JudgeSquare(const SquareEvidence& e);

// Share of the outermost rows and columns of a binary picture that is set.
double EdgeCover(const cv::Mat& binary);

// The evidence of a square thresholded at `level`: `part` is the binary
// square as the recognisers get it (part white); `partOpened` says whether
// it already went through the 3x3 opening (else it is opened here to count
// what survives); `darkPart` when the part is the dark group (inverted).
SquareEvidence WeighSquare(const GreyHistogram& h, int level, const cv::Mat& part, bool partOpened, bool darkPart);

}  // namespace smt::vision
