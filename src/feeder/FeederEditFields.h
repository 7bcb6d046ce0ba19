#pragma once
// The fields of the feeder editor and their conversion to and from a feeder
// list row, the editor's confirm checks and the feed-mode rules (side and
// default values by feed mode, controls shown by feed mode). No widgets: the
// editor dialog shows and reads these.
#include <optional>
#include <string>
#include <vector>

#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"

namespace smt::feeder {

// Side index of the editor: 0 E, 1 S, 2 W, 3 N, 4 G.
enum FeederSide { kSideE = 0, kSideS = 1, kSideW = 2, kSideN = 3, kSideG = 4 };
char SideLetter(int side);  // 0 outside 0..4
int SideOfLetter(char letter);  // -1 for other letters

struct FeederEditFields {
  int number = 0;
  int side = kSideW;
  std::string partType, package, value;
  double x = 0, y = 0, length = 0, width = 0, height = 0;
  std::string angle = "0";
  std::string head;
  double vacuum = 0;
  std::string camera;
  int visionMode = 0;  // 0 none, 1 vision centring, 2 flying centring
  int contrast = 0, brightness = 0;
  std::string feedMode;
  int pickDelay = 0, placeDelay = 0;
  double feedCoord = 0;
  int feedCount = 1;
  int feedTime = 0;
  double slack = 0, tension = 0;
  double pickHeight = 0;
  bool separateSpeed = false;
  std::string speedTemplate;
  double earlyVacuum = 0;
  std::string feature;
  int remainder = 0;
  int precisionXY = 0, precisionA = 0, collectTime = 0;
};

// The feeder number text of the fields: side letter (G for the tray modes) + number.
std::string FeederNumberText(const FeederEditFields& f, const FeederNameTables& names);
// The list row the panel writes from the fields.
FeederListRow ListRowFromFields(const FeederEditFields& f, const FeederNameTables& names);
// The fields read back from a list row.
FeederEditFields FieldsFromListRow(const FeederListRow& row);

// The first field outside its range: its label key, the range and the
// editor's name of its edit; nullopt when all fit.
struct FieldRangeError {
  std::string field;
  double min = 0, max = 0;
  std::string edit;
};
std::optional<FieldRangeError> CheckFieldRanges(const FeederEditFields& f);

// Every number edit of the editor: its name, its label key, its range
// (+-kAnyFeederNumber: any number) and whether it takes whole numbers only.
inline constexpr double kAnyFeederNumber = 1e300;
struct FeederNumberField {
  const char* edit;
  const char* label;
  double min, max;
  bool integer;
};
const std::vector<FeederNumberField>& FeederNumberFields();

// Slack length range, and the slack and tension lengths an integrated or
// 0402 feeder gets when it has none (0).
inline constexpr double kMaxBeltLength = 10000;
inline constexpr double kDefaultSlack = 15;
inline constexpr double kDefaultTension = 20;

// Confirm checks after the controls were read: pass, a message of the
// language file, a field outside its range, or a missing value filled in
// (its edit shows it; the confirm stops without a message).
enum class EditCheck { Pass, Range, Message, Filled };
struct EditCheckResult {
  EditCheck outcome = EditCheck::Pass;
  int messageNumber = 0;  // FeedEdit.c_Message_NN
  FieldRangeError range;  // outcome Range
};
// `listNumbers`: cell 0 of every list row; `editedRow` the row being edited (-1 when adding).
// May change the feed count, the side (tray modes), and a missing slack or
// tension length to its usual value (outcome Filled, `range.edit` names it).
EditCheckResult CheckFeederEdit(FeederEditFields& f, const FeederNameTables& names,
                                const std::vector<std::string>& listNumbers, int editedRow);

// Every confirm message the fields call for, in the order the editor says
// them (FeedEdit.c_Message_NN numbers): the side against the feed mode, a
// missing camera, speed template or head, a number another feeder has
// (not judged when `numberKnown` is false: the number edit was refused).
// The tray modes put the side to G first, as the confirm does.
std::vector<int> FeederEditMessages(FeederEditFields& f, const FeederNameTables& names,
                                    const std::vector<std::string>& listNumbers, int editedRow, bool numberKnown = true);

// The feeder number edit: a number, or a side letter (E, S, W, N, G, either
// case) and a number as the list shows it ("W3"). nullopt when it is
// neither; `side` is -1 when no letter was typed.
struct TypedFeederNumber {
  int side = -1;
  std::string digits;
};
std::optional<TypedFeederNumber> SplitTypedFeederNumber(const std::string& text);

// Side after a feed-mode choice (step 2 of the feed-mode selection).
int SideForFeedMode(int side, int mode);

// Which controls the feed mode enables.
struct FeedModeControls {
  bool known = false;
  bool pushButtonShown = false;
  bool pushButtonIsTray = false;
  bool checkButtonShown = false;
  bool stepTestShown = false;
  bool dragControlsShown = false;
  // -1 leave, 0 off, 1 on
  int feedCoord = -1, count = -1, time = -1, slack = -1, tension = -1;
  bool dragLabels = false;
};
FeedModeControls ControlsForFeedMode(const std::string& feedMode, const FeederNameTables& names, int machineType);

// Feed-mode combo items by machine type (mode indexes).
std::vector<int> FeedModesForMachine(int machineType);
// Head combo items by machine type and nozzle-change switches.
std::vector<std::string> HeadItemsForMachine(int machineType, bool autoChangeNozzle, bool nozzleLibrary19);
// Z-axis combo items ("Z1"..); the pump items are the same with "P".
int ZAxisCountForMachine(int machineType);
// The 14 image-feature names of a language.
std::vector<std::string> ImageFeatureNames(int language);
// The names in the window's language, read from "<appDir>/<language>.ini"
// (section CommonConfig, "Common.c_ImageFeature_00" .. "_13").
std::vector<std::string> ImageFeatureNames(const std::string& appDir, const std::string& language);
// The entry of `names` with the same number ("01:...") as `stored`, which a
// window of another language may have written; `stored` when none has.
std::string SameImageFeature(const std::vector<std::string>& names, const std::string& stored);

// Teach conversion: steps / pulses printed "%0.4f", read back, moved 0.0001 away from zero.
double TeachValue(int64_t steps, double pulsesPerMm);

}  // namespace smt::feeder
