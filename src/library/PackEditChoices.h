#pragma once
// The choices the package editor offers: feed modes and nozzle numbers by
// machine type, the recognition-type names, list matching, and what a feed
// mode does to the feed fields.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace smt::library {

enum class FeedMode { IntegrationFeed = 0, AutoFeed, VibrationFeed, GridBox, F0402, F48, DragHand, CL_DIP, GRID_DIP };

// The modes a machine type offers, as names of `names` (the nine of the current language).
std::vector<std::string> FeedModesForMachine(int machineType, const std::array<std::string, 9>& names);
// "1".."16" by machine type and the nozzle-change switches.
std::vector<std::string> NozzleChoices(int machineType, bool autoChange, bool nineteenSeat);
// The fourteen recognition-type names: Chinese for language 0, English otherwise.
const std::array<std::string, 14>& RecognitionNames(int language);
// Type number of a stored name: the integer of its first two characters
// (nullopt when empty or outside 0..13).
std::optional<int> RecognitionTypeOf(const std::string& name);

// The entry a field selects: equal without regard to case, else the first
// that begins with the field (without regard to case); -1 for none or an empty field.
int MatchEntry(const std::vector<std::string>& items, const std::string& field);

// What choosing a feed mode does to the four feed fields.
struct FeedModeEffect {
  bool change = false;             // false: the dipping modes leave everything as it is
  bool countOn = false, timeOn = false, slackOn = false, tensionOn = false;
  std::optional<std::string> countText, timeText;
  bool mmShown = false;
};
FeedModeEffect EffectOfFeedMode(int modeIndex);

}  // namespace smt::library
