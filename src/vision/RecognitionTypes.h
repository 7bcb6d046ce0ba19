#pragma once
// Package recognition types (0..13) with the names shown in the selection
// lists, and the "not found" result shared by all recognisers.
#include <opencv2/core.hpp>
#include <string>
#include <string_view>

namespace smt::vision {

enum RecognitionType : int {
  kRecogGeneral = 0,
  kRecogResistance = 1,
  kRecogCapacitance = 2,
  kRecogDiode = 3,
  kRecogTriode = 4,
  kRecogFootEdge1 = 5,
  kRecogFootEdge2 = 6,
  kRecogFootEdge4 = 7,
  kRecogBgaTriangleMark = 8,
  kRecogBga4PointAngle = 9,
  kRecogBga4Chamfer = 10,
  kRecogBga1Chamfer = 11,
  kRecogBgaOther = 12,
  kRecogSpecial = 13,
};
inline constexpr int kRecognitionTypeCount = 14;

// "00:通用" .. "13:特殊器件" (chinese = true) or "00:General" .. "13:Special".
// An index outside 0..13 gives an empty text.
std::string RecognitionTypeName(int type, bool chinese);
// The integer of the name's first two characters ("07:4面引脚" -> 7);
// a text that does not start with two digits, or whose number is no type
// (14 and above), gives -1.
int RecognitionTypeFromName(std::string_view name);

// Not found: centre (-1, -1), size (1, 1), angle 0.
inline cv::RotatedRect NotFoundRect() { return cv::RotatedRect(cv::Point2f(-1.f, -1.f), cv::Size2f(1.f, 1.f), 0.f); }
inline bool IsNotFound(const cv::RotatedRect& r) { return r.center.x == -1.f; }

// Package names of type 13 with a recogniser of their own (exact match).
inline constexpr const char* kSpecialRch110 = "RCH-110NP-101K";
inline constexpr const char* kSpecialKsd42 = "KSD42";
inline constexpr const char* kSpecialLe224 = "LE224-MX-C3.5";
inline constexpr const char* kSpecialG5nb = "G5NB-1ADC12V";
inline constexpr const char* kSpecialC10x16 = "C10X16";

}  // namespace smt::vision
