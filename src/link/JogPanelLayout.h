#pragma once
// Where the jog pad's axis buttons sit and which of the panel's controls are
// shown for each machine type, and which of them a jog enable or disable
// touches. Pure tables: the panel applies them to its widgets.
#include <map>
#include <vector>

namespace smt::link {

// Control identifiers of the jog panel.
namespace jogid {
inline constexpr int kReset = 1058;
inline constexpr int kXPlus = 1139, kXMinus = 1138, kYPlus = 1147, kYMinus = 1148;
inline constexpr int kFeedXPlus = 1227, kFeedXMinus = 1228, kFeedYPlus = 1229, kFeedYMinus = 1230;
inline constexpr int kFeedDirection = 1231;
inline constexpr int kSMinus = 1232, kSPlus = 1233;
inline constexpr int kHeadGroup = 1234;
inline constexpr int kConnect = 1135;
inline constexpr int kShowInformation = 1044;
inline constexpr int kStepDisplay = 1223;
inline constexpr int kCoordinates = 1250;
inline constexpr int kPosX = 1134, kPosY = 1013, kPosZ = 1014, kPosA = 1015;
inline constexpr int kSendCount = 1016, kAckCount = 1017;
inline constexpr int kInfo = 1226, kInfo2 = 1235;
// Z+ / Z- and A+ / A- of heads 1..8.
inline constexpr int kZPlus[8] = {1145, 1146, 1154, 1157, 1160, 1162, 1164, 1165};
inline constexpr int kZMinus[8] = {1149, 1150, 1155, 1158, 1161, 1163, 1166, 1167};
inline constexpr int kAPlus[8] = {1022, 1152, 1023, 1024, 1025, 1026, 1027, 1028};
inline constexpr int kAMinus[8] = {1151, 1153, 1156, 1159, 1168, 1169, 1171, 1170};
// Pump buttons 1..8 and the head boxes 1..8.
inline constexpr int kPump[8] = {1225, 1037, 1038, 1039, 1040, 1041, 1042, 1043};
inline constexpr int kHeadBox[8] = {1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012};
}  // namespace jogid

struct ControlRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const ControlRect&) const = default;
};

struct ControlPlace {
  bool visible = true;
  bool moved = false;  // rect applies: a button of the jog pad, placed in the pad
  ControlRect rect;
};

// Every control the layout of `machineType` places or shows; a type outside
// 0..10 places nothing and only decides the second information box. Only the
// head and XY buttons of the jog pad have places (in the pad's own
// coordinates); the panel's layouts arrange the rest.
std::map<int, ControlPlace> JogPanelLayout(int machineType, bool conveyorFitted);

// The Z and A buttons of heads 1..4 (first bank) or 5..8 (second bank).
std::vector<int> HeadBankControls(int bank);

// What EnableJogControls does on a machine type: control id -> enabled.
std::map<int, bool> JogEnableStates(int machineType, bool enable, bool autoTransport);

// Every control id of the panel that is a button or box of the jog area.
const std::vector<int>& JogPanelControlIds();

}  // namespace smt::link
