#include "feeder/FeederEditFields.h"

#include <cctype>
#include <cstdio>

#include "platform/DecimalRounding.h"
#include "platform/FileCell.h"
#include "platform/SettingsSection.h"

namespace smt::feeder {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

char SideLetter(int side) {
  static const char kLetters[5] = {'E', 'S', 'W', 'N', 'G'};
  return side >= 0 && side <= 4 ? kLetters[side] : 0;
}

int SideOfLetter(char letter) {
  switch (letter) {
    case 'E': return kSideE;
    case 'S': return kSideS;
    case 'W': return kSideW;
    case 'N': return kSideN;
    case 'G': return kSideG;
    default: return -1;
  }
}

namespace {
bool IsTrayMode(const std::string& mode, const FeederNameTables& n) {
  return mode == n.Mode(kGridBox) || mode == n.Mode(kGridDip);
}
}  // namespace

std::string FeederNumberText(const FeederEditFields& f, const FeederNameTables& names) {
  char letter = SideLetter(f.side);
  if (IsTrayMode(f.feedMode, names)) letter = 'G';
  std::string s;
  if (letter) s += letter;
  return s + FormatInt(f.number);
}

FeederListRow ListRowFromFields(const FeederEditFields& f, const FeederNameTables& names) {
  FeederListRow r;
  auto& t = r.text;
  t[0] = FeederNumberText(f, names);
  t[1] = f.partType;
  t[2] = f.package;
  t[3] = f.value;
  t[4] = FormatDouble(f.x, 4);
  t[5] = FormatDouble(f.y, 4);
  t[6] = FormatDouble(f.length, 2);
  t[7] = FormatDouble(f.width, 2);
  t[8] = FormatDouble(f.height, 2);
  t[9] = f.angle;
  t[10] = f.head;
  t[11] = FormatDouble(f.vacuum, 4);
  t[12] = f.camera;
  r.icon[12] = f.visionMode == 1 ? 1 : 4;
  t[13] = FormatInt(f.contrast) + "/" + FormatInt(f.brightness);
  r.icon[13] = f.visionMode == 2 ? 2 : 4;
  t[14] = f.feedMode;
  t[15] = FormatInt(f.pickDelay);
  t[16] = FormatInt(f.placeDelay);
  t[17] = FormatDouble(f.feedCoord, 4);
  t[18] = FormatInt(f.feedCount);
  t[19] = FormatInt(f.feedTime);
  t[20] = FormatDouble(f.slack, 4);
  t[21] = FormatDouble(f.tension, 4);
  t[22] = FormatDouble(f.pickHeight, 4);
  t[23] = f.speedTemplate;
  r.icon[23] = f.separateSpeed ? 3 : 4;
  t[24] = FormatDouble(f.earlyVacuum, 4);
  t[25] = f.feature;
  t[26] = FormatInt(f.remainder);
  t[27] = FormatInt(f.precisionXY);
  t[28] = FormatInt(f.precisionA);
  t[29] = FormatInt(f.collectTime);
  return r;
}

FeederEditFields FieldsFromListRow(const FeederListRow& r) {
  // The numbers come from the row's record; a row that cannot be read (a
  // damaged file) gives each field whose cell holds a number and 0 for the
  // rest, the refusal having named the bad one.
  const FeederRow row = RowFromListRow(r, 0);
  const FeederRecord& rec = row.Record();
  FeederEditFields f;
  const auto& t = r.text;
  f.side = rec.side ? SideOfLetter(rec.side) : -1;
  f.number = rec.index;
  f.partType = t[1];
  f.package = t[2];
  f.value = t[3];
  f.x = rec.x;
  f.y = rec.y;
  f.length = rec.length;
  f.width = rec.width;
  f.height = rec.height;
  f.angle = t[9];
  f.head = t[10];
  f.vacuum = rec.vacuum;
  f.camera = t[12];
  f.visionMode = 0;
  if (r.icon[12] == 1) f.visionMode = 1;
  if (r.icon[13] == 2) f.visionMode = 2;
  f.contrast = rec.lightContrast;
  f.brightness = rec.lightBrightness;
  f.feedMode = t[14];
  f.pickDelay = rec.pickDelay;
  f.placeDelay = rec.placeDelay;
  f.feedCoord = rec.feedCoordinate;
  f.feedCount = rec.feedCount;
  f.feedTime = rec.feedTime;
  f.slack = rec.slack;
  f.tension = rec.tension;
  f.pickHeight = rec.pickHeight;
  f.speedTemplate = t[23];
  f.separateSpeed = r.icon[23] == 3 || r.icon[23] == 5;
  f.earlyVacuum = rec.earlyVacuumOff;
  f.feature = t[25];
  f.remainder = rec.quantity;
  f.precisionXY = rec.precisionXY;
  f.precisionA = rec.precisionA;
  f.collectTime = rec.collectTime;
  return f;
}

const std::vector<FeederNumberField>& FeederNumberFields() {
  static const std::vector<FeederNumberField> fields = {
      {"number", "c_FeedNumber", 1, 10000, true},
      {"x", "c_X_Coordinates", -kFeederPositionLimitMm, kFeederPositionLimitMm, false},
      {"y", "c_Y_Coordinates", -kFeederPositionLimitMm, kFeederPositionLimitMm, false},
      {"length", "c_PartLength", 0.1, 100, false},
      {"width", "c_PartWidth", 0.1, 100, false},
      {"height", "c_PartHeight", 0, 100, false},
      {"vacuum", "c_VacuumTestValue", 0, 100, false},
      {"contrast", "c_Contrast", 0, 255, true},
      {"brightness", "c_LightIntensity", 0, 255, true},
      {"pickDelay", "c_SuctionDelay", 0, 65535, true},
      {"placeDelay", "c_PutDelay", 0, 65535, true},
      {"feedCoord", "c_Feed_Coordinates", -kFeederPositionLimitMm, kFeederPositionLimitMm, false},
      {"feedCount", "c_FeedTimes", 1, 10, true},
      {"feedTime", "c_FeedTime", 0, 10000, true},
      {"slack", "c_OpenLength", 0, kMaxBeltLength, false},
      {"tension", "c_CloseLength", -kMaxBeltLength, kMaxBeltLength, false},
      {"pickHeight", "c_NozzleHeight", -1000, 0, false},
      {"earlyVacuum", "c_smtBeforeCloseVacuum", 0, 100, false},
      {"remainder", "c_PartRemainder", 0, 100000, true},
      {"precisionXY", "c_Precision_XY", -1, 10, true},
      {"precisionA", "c_Precision_A", -1, 30, true},
      {"collectTime", "c_CollectTime", -1, 3000, true},
  };
  return fields;
}

std::optional<FieldRangeError> CheckFieldRanges(const FeederEditFields& f) {
  const std::pair<const char*, double> values[] = {
      {"number", f.number},           {"x", f.x},
      {"y", f.y},                     {"length", f.length},
      {"width", f.width},             {"height", f.height},
      {"vacuum", f.vacuum},           {"contrast", f.contrast},
      {"brightness", f.brightness},   {"pickDelay", f.pickDelay},
      {"placeDelay", f.placeDelay},   {"feedCoord", f.feedCoord},
      {"feedCount", f.feedCount},     {"feedTime", f.feedTime},
      {"slack", f.slack},             {"tension", f.tension},
      {"pickHeight", f.pickHeight},   {"earlyVacuum", f.earlyVacuum},
      {"remainder", f.remainder},     {"precisionXY", f.precisionXY},
      {"precisionA", f.precisionA},   {"collectTime", f.collectTime},
  };
  for (const auto& [edit, v] : values)
    for (const FeederNumberField& r : FeederNumberFields())
      if (std::string_view(r.edit) == edit && !(v >= r.min && v <= r.max))
        return FieldRangeError{r.label, r.min, r.max, r.edit};
  return std::nullopt;
}

EditCheckResult CheckFeederEdit(FeederEditFields& f, const FeederNameTables& n,
                                const std::vector<std::string>& listNumbers, int editedRow) {
  auto msg = [](int k) { return EditCheckResult{EditCheck::Message, k, {}}; };
  const int mode = n.ModeOf(f.feedMode);
  const bool tray = mode == kGridBox || mode == kGridDip;
  const bool autoFeed = mode == kAutoFeed || mode == kClDip;
  if (tray) f.side = kSideG;
  if (f.feedCount < 1) f.feedCount = 1;
  switch (f.side) {
    case kSideE: case kSideW: case kSideN:
      if (autoFeed) return msg(13);
      if (tray) return msg(14);
      break;
    case kSideS:
      if (!autoFeed) return msg(11);
      if (f.number > 96) return msg(12);
      break;
    case kSideG:
      if (!tray) return msg(14);
      break;
    default:
      return msg(2);
  }
  if (mode == kIntegrationFeed || mode == k0402) {
    // These feeders need a slack and a tension length: a missing one (0) gets
    // its usual value in its edit, one at a time, and the operator confirms
    // again. Any other slack within its range is the operator's.
    if (f.slack == 0) {
      f.slack = kDefaultSlack;
      return {EditCheck::Filled, 0, FieldRangeError{"c_OpenLength", 0, kMaxBeltLength, "slack"}};
    }
    if (f.tension == 0) {
      f.tension = kDefaultTension;
      return {EditCheck::Filled, 0, FieldRangeError{"c_CloseLength", 0, 0, "tension"}};
    }
  }
  if ((f.visionMode == 1 || f.visionMode == 2) && f.camera.empty()) return msg(3);
  if (f.separateSpeed && f.speedTemplate.empty()) return msg(4);
  if (f.head.empty()) return msg(5);
  const std::string number = FeederNumberText(f, n);
  for (size_t i = 0; i < listNumbers.size(); ++i)
    if (static_cast<int>(i) != editedRow && listNumbers[i] == number) return msg(6);
  return {};
}

std::vector<int> FeederEditMessages(FeederEditFields& f, const FeederNameTables& n,
                                    const std::vector<std::string>& listNumbers, int editedRow, bool numberKnown) {
  std::vector<int> out;
  const int mode = n.ModeOf(f.feedMode);
  const bool tray = mode == kGridBox || mode == kGridDip;
  const bool autoFeed = mode == kAutoFeed || mode == kClDip;
  if (tray) f.side = kSideG;
  switch (f.side) {
    case kSideE: case kSideW: case kSideN:
      if (autoFeed) out.push_back(13);
      else if (tray) out.push_back(14);
      break;
    case kSideS:
      if (!autoFeed) out.push_back(11);
      else if (f.number > 96) out.push_back(12);
      break;
    case kSideG:
      if (!tray) out.push_back(14);
      break;
    default:
      out.push_back(2);
      break;
  }
  if ((f.visionMode == 1 || f.visionMode == 2) && f.camera.empty()) out.push_back(3);
  if (f.separateSpeed && f.speedTemplate.empty()) out.push_back(4);
  if (f.head.empty()) out.push_back(5);
  if (numberKnown) {
    const std::string number = FeederNumberText(f, n);
    for (size_t i = 0; i < listNumbers.size(); ++i)
      if (static_cast<int>(i) != editedRow && listNumbers[i] == number) {
        out.push_back(6);
        break;
      }
  }
  return out;
}

std::optional<TypedFeederNumber> SplitTypedFeederNumber(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return std::nullopt;
  const size_t e = text.find_last_not_of(' ');
  std::string t = text.substr(b, e - b + 1);
  TypedFeederNumber out;
  if (!t.empty()) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
    if (SideOfLetter(c) >= 0) {
      out.side = SideOfLetter(c);
      t.erase(0, 1);
    }
  }
  if (t.empty()) return std::nullopt;
  out.digits = t;
  return out;
}

int SideForFeedMode(int side, int mode) {
  switch (mode) {
    case kIntegrationFeed: case k0402: case k48: case kDragHand:
      return side == kSideS || side == kSideG ? kSideW : side;
    case kAutoFeed: case kClDip:
      return kSideS;
    case kVibrationFeed:
      return side == kSideS || side == kSideG ? kSideE : side;
    case kGridBox: case kGridDip:
      return kSideG;
    default:
      return side;
  }
}

FeedModeControls ControlsForFeedMode(const std::string& feedMode, const FeederNameTables& n, int machineType) {
  FeedModeControls c;
  const int mode = n.ModeOf(feedMode);
  if (mode < 0) return c;
  c.known = true;
  switch (mode) {
    case kIntegrationFeed:
      c.pushButtonShown = true;
      c.stepTestShown = true;
      c.feedCoord = c.count = c.time = c.slack = c.tension = 1;
      break;
    case kAutoFeed: case kClDip:
      c.checkButtonShown = true;
      c.feedCoord = 0;
      c.time = 1;
      c.slack = c.tension = 0;
      break;
    case kVibrationFeed:
      c.pushButtonShown = true;
      c.feedCoord = 0;
      c.count = c.time = 1;
      c.slack = c.tension = 0;
      break;
    case kGridBox: case kGridDip:
      c.pushButtonShown = true;
      c.pushButtonIsTray = true;
      c.feedCoord = c.count = c.time = 0;
      c.slack = c.tension = machineType == 10 ? -1 : 0;
      break;
    case k0402: case k48:
      c.pushButtonShown = true;
      c.feedCoord = c.count = c.time = c.slack = c.tension = 1;
      break;
    case kDragHand:
      c.pushButtonShown = true;
      c.dragControlsShown = true;
      c.feedCoord = 1;
      c.count = 0;
      c.time = c.slack = c.tension = 1;
      c.dragLabels = true;
      break;
    default:
      break;
  }
  return c;
}

std::vector<int> FeedModesForMachine(int t) {
  if (t == 0) return {0, 1, 2, 3, 4, 5, 6, 7, 8};
  if (t == 1 || t == 2 || t == 3 || t == 5 || t == 10) return {0, 1, 2, 3, 4, 5, 7, 8};
  if (t == 4 || t == 6 || t == 7 || t == 8) return {1, 2, 3, 7, 8};
  return {};
}

std::vector<std::string> HeadItemsForMachine(int t, bool autoChange, bool lib19) {
  int n = 0;
  switch (t) {
    case 0: case 1: n = autoChange ? 6 : 1; break;
    case 2: case 5: case 10: n = autoChange ? 6 : 2; break;
    case 3: n = autoChange ? (lib19 ? 19 : 6) : 4; break;
    case 4: case 6: n = 4; break;
    case 7: n = autoChange && lib19 ? 19 : 8; break;
    case 8: n = 8; break;
    default: n = 0; break;
  }
  std::vector<std::string> v;
  for (int i = 1; i <= n; ++i) v.push_back(FormatInt(i));
  return v;
}

int ZAxisCountForMachine(int t) {
  switch (t) {
    case 0: case 1: return 1;
    case 2: case 4: case 5: case 10: return 2;
    case 3: case 6: return 4;
    case 7: case 8: return 8;
    default: return 0;
  }
}

std::vector<std::string> ImageFeatureNames(int language) {
  if (language == 0)
    return {"00:通用", "01:贴片电阻", "02:贴片电容", "03:二极管", "04:三极管", "05:1面引脚", "06:2面引脚",
            "07:4面引脚", "08:BGA-三角形标记", "09:BGA-4个角点", "10:BGA-4个倒角", "11:BGA-1个倒角", "12:BGA-其他",
            "13:特殊器件"};
  return {"00:General", "01:Resistance", "02:Capacitance", "03:Diode", "04:Triode", "05:FootEdge1", "06:FootEdge2",
          "07:FootEdge4", "08:BGA-TriangleMark", "09:BGA-4PointAngle", "10:BGA-4Chamfer", "11:BGA-1Chamfer",
          "12:BGA-Other", "13:Special"};
}

std::vector<std::string> ImageFeatureNames(const std::string& appDir, const std::string& language) {
  std::vector<std::string> names = ImageFeatureNames(0);
  const smt::platform::LanguageSection lang(appDir, language, "CommonConfig");
  for (size_t i = 0; i < names.size(); ++i) {
    char key[40];
    std::snprintf(key, sizeof key, "Common.c_ImageFeature_%02zu", i);
    names[i] = lang.Text(key, names[i]);
  }
  return names;
}

std::string SameImageFeature(const std::vector<std::string>& names, const std::string& stored) {
  if (stored.size() < 3 || stored[2] != ':') return stored;
  for (const auto& n : names)
    if (n == stored) return stored;
  for (const auto& n : names)
    if (n.compare(0, 3, stored, 0, 3) == 0) return n;
  return stored;
}

double TeachValue(int64_t steps, double pulsesPerMm) {
  if (pulsesPerMm == 0) return 0;
  const double v = smt::platform::RoundDecimals(static_cast<double>(steps) / pulsesPerMm, 4);
  if (v > 0) return v + 0.0001;
  if (v < 0) return v - 0.0001;
  return 0;
}

}  // namespace smt::feeder
