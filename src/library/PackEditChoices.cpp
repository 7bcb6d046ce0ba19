#include "library/PackEditChoices.h"

#include <QString>

namespace smt::library {

std::vector<std::string> FeedModesForMachine(int machineType, const std::array<std::string, 9>& names) {
  std::vector<int> modes;
  switch (machineType) {
    case 0: modes = {0, 1, 2, 3, 4, 5, 6, 7, 8}; break;
    case 1: case 2: case 3: case 5: case 10: modes = {0, 1, 2, 3, 4, 5, 7, 8}; break;
    case 4: case 6: case 7: case 8: modes = {1, 2, 3, 7, 8}; break;
    default: break;
  }
  std::vector<std::string> out;
  for (int m : modes) out.push_back(names[m]);
  return out;
}

std::vector<std::string> NozzleChoices(int machineType, bool autoChange, bool nineteenSeat) {
  int n = 0;
  switch (machineType) {
    case 0: case 1: n = autoChange ? 6 : 1; break;
    case 2: case 5: case 10: n = autoChange ? 6 : 2; break;
    case 3: n = !autoChange ? 4 : nineteenSeat ? 16 : 6; break;
    case 4: case 6: n = 4; break;
    case 7: case 8: n = (autoChange && nineteenSeat) ? 16 : 8; break;
    default: n = 0; break;
  }
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back(std::to_string(i));
  return out;
}

const std::array<std::string, 14>& RecognitionNames(int language) {
  static const std::array<std::string, 14> chinese = {
      "00:通用", "01:贴片电阻", "02:贴片电容", "03:二极管", "04:三极管", "05:1面引脚", "06:2面引脚",
      "07:4面引脚", "08:BGA-三角形标记", "09:BGA-4个角点", "10:BGA-4个倒角", "11:BGA-1个倒角", "12:BGA-其他",
      "13:特殊器件"};
  static const std::array<std::string, 14> english = {
      "00:General",   "01:Resistance",        "02:Capacitance",      "03:Diode",
      "04:Triode",    "05:FootEdge1",         "06:FootEdge2",        "07:FootEdge4",
      "08:BGA-TriangleMark", "09:BGA-4PointAngle", "10:BGA-4Chamfer", "11:BGA-1Chamfer",
      "12:BGA-Other", "13:Special"};
  return language == 0 ? chinese : english;
}

std::optional<int> RecognitionTypeOf(const std::string& name) {
  if (name.size() < 2 || name[0] < '0' || name[0] > '9' || name[1] < '0' || name[1] > '9') return std::nullopt;
  const int v = (name[0] - '0') * 10 + (name[1] - '0');
  if (v > 13) return std::nullopt;
  return v;
}

int MatchEntry(const std::vector<std::string>& items, const std::string& field) {
  if (field.empty()) return -1;
  const QString f = QString::fromStdString(field);
  for (size_t i = 0; i < items.size(); ++i)
    if (QString::fromStdString(items[i]).compare(f, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  for (size_t i = 0; i < items.size(); ++i)
    if (QString::fromStdString(items[i]).startsWith(f, Qt::CaseInsensitive)) return static_cast<int>(i);
  return -1;
}

FeedModeEffect EffectOfFeedMode(int modeIndex) {
  FeedModeEffect e;
  switch (static_cast<FeedMode>(modeIndex)) {
    case FeedMode::IntegrationFeed: case FeedMode::F0402: case FeedMode::F48:
      e = {true, true, true, true, true, "1", "200", false};
      break;
    case FeedMode::AutoFeed: e = {true, false, true, false, false, std::nullopt, "100", false}; break;
    case FeedMode::VibrationFeed: e = {true, false, true, false, false, std::nullopt, "200", false}; break;
    case FeedMode::GridBox: e = {true, false, false, false, false, std::nullopt, std::nullopt, false}; break;
    case FeedMode::DragHand: e = {true, false, true, true, true, "1", "200", true}; break;
    default: break;  // dipping modes and unknown texts
  }
  return e;
}

}  // namespace smt::library
