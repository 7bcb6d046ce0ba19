#pragma once
// The check a picked part's result passes before it is reported found: what
// the type's recogniser says must agree with what the search square shows.
// The part's outline is measured a second, independent way (the blobs round
// the found centre, taken together); the found centre and turn must agree
// with it, the part must lie inside the square, and its size must be that
// of the package at the camera's scale when the package's size is known.
// A result that fails is "not found", with the reason for the log: a part
// placed where a wrong result says is worse than a question to the
// operator.
#include <opencv2/core.hpp>
#include <string>

namespace smt::vision {

// What the recogniser is asked to find: the package's length and width in
// mm (either order; 0: not known, the size is then not compared).
struct PartExpectation {
  double lengthMm = 0.0, widthMm = 0.0;
  // The package's leads (or balls) all together, for the types that count
  // them (leads in rows, ball grids); 0: not known, not compared.
  int leads = 0;
  bool SizeKnown() const { return lengthMm > 0.0 && widthMm > 0.0; }
};

// Each side of the outline may differ from the package's by this share
// and a pixel or two of edge.
inline constexpr double kPartSizeTolerance = 0.25;
inline constexpr double kPartSizeSlackPx = 2.0;
// Leads seen beyond the body (types with leads): on each end of a side at
// most this far (mm), or this share of the body's side where that is more.
inline constexpr double kLeadReachMm = 0.6;
inline constexpr double kLeadReachShare = 0.25;
// The found centre may lie this far from the outline's centre (mm; at least
// this many pixels).
inline constexpr double kCentreAgreementMm = 0.08;
inline constexpr double kCentreAgreementPx = 2.0;
// The found turn may differ from the outline's by this much (degrees; more
// on outlines too short to show a turn that fine).
inline constexpr double kTurnAgreementDeg = 0.75;
// ... and from the turn of the part's straight edges, where it has them.
inline constexpr double kEdgeTurnAgreementDeg = 0.5;
// Edges of this many pixels together (all solid sides) and more give a turn
// a pixel step does not tilt.
inline constexpr double kLongEdgesPx = 400.0;
// Blobs smaller than this (pixels) are specks, not part of a part; a part
// covers at least the second figure.
inline constexpr double kSpeckPx = 12.0;
// ... nor a blob of this share of the largest blob round the found centre
// or more (a lead or ball of the part).
inline constexpr double kSpeckShareOfLargest = 0.3;
// A blob of this many times a lead's area is leads run together.
inline constexpr double kJoinedLeadsShare = 1.5;
// A ball grid's mark covers at least this many times a ball's area.
inline constexpr double kMarkBallShare = 1.6;
inline constexpr double kMarkBallMost = 6.0;
// Types that take the outline as their result: their corners may lie this
// share of the outline's length, and this many degrees, off it.
inline constexpr double kCornerAgreementShare = 0.03;
inline constexpr double kCornerTurnAgreementDeg = 2.0;
// ... where the outline is held to this many leads or balls at least.
inline constexpr int kLeastRowElements = 8;
// The share of its rectangle that a package's outline (its convex hull)
// fills at least; a disc fills 0.785.
inline constexpr double kLeastCornerFill = 0.86;
inline constexpr double kSmallestPartPx = 40.0;

struct PartVerdict {
  bool sound = false;
  std::string reason;      // for the log when not sound
  cv::RotatedRect outline; // the second measure (pixels of the square)
  // The finer measure of the part's centre and turn where the check has one
  // of its own (a triode's three leads, a ball grid without its mark): the
  // found result agreed with it; its size is the found one.
  bool measured = false;
  cv::RotatedRect measure;
};

// `binary`: the square as the recogniser got it (part white); `found`: its
// result (pixels of the square); `type` the recognition type.
PartVerdict CheckFoundPart(const cv::Mat& binary, const cv::RotatedRect& found, int type,
                           const std::string& packageName, double pixelsPerMm, const PartExpectation& expect);

// The types whose found corners are refined by the outline once the two
// agree: the outline of all the leads (or balls) is the finer measure.
bool TakesOutline(int type);
// The types (and special packages) whose recogniser measures the turn
// between two rounded points a few pixels apart: once the turn agrees with
// the outline's, the outline's (over the whole part) is taken.
bool TakesOutlineTurn(int type, const std::string& packageName);

// Keys and default texts of the reasons (vision language section).
inline constexpr const char* kCheckEdgeKey = "VisionCheck.c_TouchesEdge";
inline constexpr const char* kCheckEdgeText = "the part runs across the edge of the search square";
inline constexpr const char* kCheckSizeKey = "VisionCheck.c_WrongSize";
inline constexpr const char* kCheckSizeText = "the outline's size does not match the package";
inline constexpr const char* kCheckCentreKey = "VisionCheck.c_CentreDisagrees";
inline constexpr const char* kCheckCentreText = "the centre does not agree with the outline's centre";
inline constexpr const char* kCheckTurnKey = "VisionCheck.c_TurnDisagrees";
inline constexpr const char* kCheckTurnText = "the angle does not agree with the outline's angle";
inline constexpr const char* kCheckLeadsKey = "VisionCheck.c_LeadCount";
inline constexpr const char* kCheckLeadsText = "the leads seen do not match the package's leads";
inline constexpr const char* kCheckShapeKey = "VisionCheck.c_RoundOutline";
inline constexpr const char* kCheckShapeText = "the outline is round, the package has corners";
inline constexpr const char* kCheckNothingKey = "VisionCheck.c_NoOutline";
inline constexpr const char* kCheckNothingText = "no outline round the found centre";
inline constexpr const char* kCheckNotFoundKey = "VisionCheck.c_NotFound";
inline constexpr const char* kCheckNotFoundText = "Part not found";

// Where the reasons' texts come from (the language files, set by the
// shell); by default the built-in English.
void SetVisionCheckTexts(std::string (*lookup)(const char* key, const char* def));
std::string VisionCheckText(const char* key, const char* def);

}  // namespace smt::vision
