#include "vision/RecognitionTypes.h"

#include <array>

namespace smt::vision {

namespace {
const std::array<const char*, kRecognitionTypeCount> kChinese = {
    "00:通用",        "01:贴片电阻",     "02:贴片电容",   "03:二极管",     "04:三极管",
    "05:1面引脚",     "06:2面引脚",      "07:4面引脚",    "08:BGA-三角形标记", "09:BGA-4个角点",
    "10:BGA-4个倒角", "11:BGA-1个倒角",  "12:BGA-其他",   "13:特殊器件"};
const std::array<const char*, kRecognitionTypeCount> kEnglish = {
    "00:General",     "01:Resistance",     "02:Capacitance",    "03:Diode",
    "04:Triode",      "05:FootEdge1",      "06:FootEdge2",      "07:FootEdge4",
    "08:BGA-TriangleMark", "09:BGA-4PointAngle", "10:BGA-4Chamfer", "11:BGA-1Chamfer",
    "12:BGA-Other",   "13:Special"};
}  // namespace

std::string RecognitionTypeName(int type, bool chinese) {
  if (type < 0 || type >= kRecognitionTypeCount) return {};
  return chinese ? kChinese[type] : kEnglish[type];
}

int RecognitionTypeFromName(std::string_view name) {
  if (name.size() < 2) return -1;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(name[0]) || !digit(name[1])) return -1;
  const int type = (name[0] - '0') * 10 + (name[1] - '0');
  return type < kRecognitionTypeCount ? type : -1;
}

}  // namespace smt::vision
