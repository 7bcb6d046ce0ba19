#include "feeder/FeederRecord.h"

#include <algorithm>
#include <cmath>

#include "platform/SettingsSection.h"

namespace smt::feeder {

using platform::CellReader;

namespace {

constexpr double kMaxMm = kFeederPositionLimitMm;
constexpr int kMaxHeadOrNozzle = 19;

std::pair<bool, std::string_view> Flag(std::string_view cell) {
  const size_t slash = cell.find('/');
  if (slash == std::string_view::npos) return {cell == "Yes", {}};
  return {cell.substr(0, slash) == "Yes", cell.substr(slash + 1)};
}

bool Blank(std::string_view t) { return t.find_first_not_of(' ') == std::string_view::npos; }

// A side letter is followed by the feeder's number (a feeder of an unknown
// side is refused by what uses it, naming the side).
void ReadNumberCell(const CellReader& in, FeederRecord& r) {
  r.number = in.Text(0);
  if (r.number.empty()) return;
  const char s = r.number[0];
  if (s == 'W' || s == 'N' || s == 'E' || s == 'S' || s == 'G') {
    r.side = s;
    r.index = static_cast<int>(in.IntegerIn(std::string_view(r.number).substr(1), FeederFieldNames()[0], 0, 100000));
  }
}

// What a row that cannot be read still tells the editor that shows it:
// each number whose cell holds one, whatever its range (the editor names
// the range when the operator confirms), and 0 for the others.
void ReadWhatReads(const FeederCells& cells, FeederRecord& r) {
  auto num = [&](int c) {
    return platform::ParseCellNumber(cells[static_cast<size_t>(c)], -1e300, 1e300).value_or(0);
  };
  auto whole = [&](int c) { return static_cast<int>(std::clamp(num(c), -2147483648.0, 2147483647.0)); };
  r.x = num(4), r.y = num(5), r.length = num(6), r.width = num(7), r.height = num(8);
  r.vacuum = num(11), r.feedCoordinate = num(17), r.slack = num(20), r.tension = num(21);
  r.pickHeight = num(22), r.earlyVacuumOff = num(24);
  r.pickDelay = whole(15), r.placeDelay = whole(16), r.feedCount = whole(18), r.feedTime = whole(19);
  r.quantity = whole(26), r.precisionXY = whole(27), r.precisionA = whole(28), r.collectTime = whole(29);
  // The lights of the flying-centring cell, "<flag>/<contrast>/<brightness>".
  const std::string& lights = cells[13];
  const size_t first = lights.find('/');
  if (first != std::string::npos) {
    const size_t second = lights.find('/', first + 1);
    const std::string contrast = lights.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    auto lightOf = [](const std::string& t) {
      return static_cast<int>(std::clamp(platform::ParseCellNumber(t, -1e300, 1e300).value_or(0), -2147483648.0, 2147483647.0));
    };
    r.lightContrast = lightOf(contrast);
    if (second != std::string::npos) r.lightBrightness = lightOf(lights.substr(second + 1));
  }
}

}  // namespace

const std::array<std::string, kFeederRecordCells>& FeederFieldNames() {
  static const std::array<std::string, kFeederRecordCells> names = {
      "feeder number", "part type",     "package",        "value",          "X",
      "Y",             "length",        "width",          "height",         "angle",
      "head",          "vacuum",        "vision camera",  "flying centring", "feed mode",
      "pick delay",    "place delay",   "feed coordinate", "feed count",    "feed time",
      "slack length",  "tension length", "pick height",   "own speed",      "early vacuum off",
      "image feature", "quantity",      "XY accuracy",    "angle accuracy", "capture time"};
  return names;
}

// The pick point must be there; any other number cell may be empty (the
// feeder editor writes every one; an empty cell reads as the field's 0, or
// -1 "not set" for the accuracies and the capture time). Whatever a cell
// holds must be a finite number in the field's range.
FeederRecord ReadFeederRecord(const CellReader& in) {
  const auto& n = FeederFieldNames();
  FeederRecord r;
  ReadNumberCell(in, r);
  r.partType = in.Text(1);
  r.package = in.Text(2);
  r.value = in.Text(3);
  r.x = in.Number(4, n[4], -kMaxMm, kMaxMm);
  r.y = in.Number(5, n[5], -kMaxMm, kMaxMm);
  r.length = in.NumberOr(6, n[6], 0, 100, 0);
  r.width = in.NumberOr(7, n[7], 0, 100, 0);
  r.height = in.NumberOr(8, n[8], 0, 100, 0);
  r.angle = in.NumberOr(9, n[9], -3600, 3600, 0);  // whole turns come off in the run
  // A head 1..8, or with automatic nozzle change a nozzle of the magazine
  // (1..19), as the feeder editor and a package's nozzle offer it.
  r.head = static_cast<int>(in.IntegerOr(10, n[10], 0, kMaxHeadOrNozzle, 0));
  r.vacuum = in.NumberOr(11, n[11], 0, 100, 0);
  {
    auto [on, name] = Flag(in.Text(12));
    r.visionOn = on;
    r.cameraNamed = in.Text(12).find('/') != std::string_view::npos;
    r.camera = name;
  }
  {
    auto [on, rest] = Flag(in.Text(13));
    r.flyingCentring = on;
    r.lightsNamed = in.Text(13).find('/') != std::string_view::npos;
    const size_t slash = rest.find('/');
    const std::string_view contrast = rest.substr(0, slash);
    if (!Blank(contrast)) r.lightContrast = static_cast<int>(in.IntegerIn(contrast, "light contrast", 0, 255));
    if (slash != std::string_view::npos)
      r.lightBrightness = static_cast<int>(in.IntegerIn(rest.substr(slash + 1), "light brightness", 0, 255));
  }
  r.feedMode = in.Text(14);
  r.pickDelay = static_cast<int>(in.IntegerOr(15, n[15], 0, 65535, 0));
  r.placeDelay = static_cast<int>(in.IntegerOr(16, n[16], 0, 65535, 0));
  r.feedCoordinate = in.NumberOr(17, n[17], -kMaxMm, kMaxMm, 0);
  r.feedCount = static_cast<int>(in.IntegerOr(18, n[18], 0, 10000, 0));
  r.feedTime = static_cast<int>(in.IntegerOr(19, n[19], 0, 65535, 0));
  r.slack = in.NumberOr(20, n[20], -kMaxMm, kMaxMm, 0);
  r.tension = in.NumberOr(21, n[21], -kMaxMm, kMaxMm, 0);
  r.pickHeight = in.NumberOr(22, n[22], -1000, 0, 0);
  {
    auto [on, name] = Flag(in.Text(23));
    r.ownSpeed = on;
    r.speedNamed = in.Text(23).find('/') != std::string_view::npos;
    r.speedTemplate = name;
  }
  r.earlyVacuumOff = in.NumberOr(24, n[24], 0, 100, 0);
  r.feature = in.Text(25);
  if (r.feature.size() >= 2)
    r.recognitionType = static_cast<int>(in.IntegerIn(std::string_view(r.feature).substr(0, 2), n[25], 0, 99));
  r.quantity = static_cast<int>(in.IntegerOr(26, n[26], 0, 100'000'000, 0));
  r.precisionXY = static_cast<int>(in.IntegerOr(27, n[27], -1, 10, -1));
  r.precisionA = static_cast<int>(in.IntegerOr(28, n[28], -1, 30, -1));
  r.collectTime = static_cast<int>(in.IntegerOr(29, n[29], -1, 3000, -1));
  return r;
}

FeederRecord FeederRecordFromCells(const std::array<std::string, kFeederRecordCells>& cells, std::string_view file,
                                   int line) {
  const std::vector<std::string_view> views(cells.begin(), cells.end());
  return ReadFeederRecord(CellReader(file, line, views));
}

FeederRow::FeederRow(FeederCells cells, std::string_view file, int line)
    : cells_(std::move(cells)), file_(file), line_(line) {
  Read();
}

void FeederRow::Read() {
  error_.reset();
  record_ = FeederRecord{};
  if (cells_[0].empty()) return;  // a row without a number is dropped at the next save
  try {
    record_ = FeederRecordFromCells(cells_, file_, line_);
  } catch (const platform::FileCellError& e) {
    // The numbers are not known; the texts are (the list still sorts and
    // finds the row by them).
    record_ = FeederRecord{};
    try {
      const std::vector<std::string_view> number{cells_[0]};
      ReadNumberCell(CellReader(file_, line_, number), record_);
    } catch (const platform::FileCellError&) {
      record_ = FeederRecord{};
      record_.number = cells_[0];
    }
    record_.partType = cells_[1];
    record_.package = cells_[2];
    record_.value = cells_[3];
    record_.feedMode = cells_[14];
    record_.camera = Flag(cells_[12]).second;
    record_.speedTemplate = Flag(cells_[23]).second;
    record_.feature = cells_[25];
    ReadWhatReads(cells_, record_);
    error_ = e;
  }
}

void FeederRow::SetText(int cell, std::string text) {
  if (cell < 0 || cell >= kFeederRecordCells) return;
  cells_[static_cast<size_t>(cell)] = std::move(text);
  Read();
}

bool FeederRow::SetPickPoint(double x, double y) {
  if (!Readable()) return false;
  if (!(std::fabs(x) <= kMaxMm && std::fabs(y) <= kMaxMm)) return false;
  if (x != record_.x) {
    record_.x = x;
    cells_[4] = platform::FormatDouble(x, 4);
  }
  if (y != record_.y) {
    record_.y = y;
    cells_[5] = platform::FormatDouble(y, 4);
  }
  return true;
}

bool FeederRow::SetFeedCount(int count) {
  if (!Readable()) return false;
  if (count < 0 || count > 10000) return false;
  if (count != record_.feedCount || cells_[18].empty()) {
    record_.feedCount = count;
    cells_[18] = platform::FormatInt(count);
  }
  return true;
}

bool FeederRow::SetQuantity(int quantity) {
  if (!Readable()) return false;
  if (quantity < 0 || quantity > 100'000'000) return false;
  if (quantity != record_.quantity || cells_[26].empty()) {
    record_.quantity = quantity;
    cells_[26] = platform::FormatInt(quantity);
  }
  return true;
}

bool FeederRow::SetPickHeight(double mm) {
  if (!Readable()) return false;
  if (!(mm >= -1000 && mm <= 0)) return false;
  if (mm != record_.pickHeight || cells_[22].empty()) {
    record_.pickHeight = mm;
    cells_[22] = platform::FormatDouble(mm, 4);
  }
  return true;
}

TrayLine ReadTraySize(const CellReader& in, int maxSide) {
  TrayLine t;
  t.rows = static_cast<int>(in.Integer(0, "tray rows", 0, maxSide));
  t.cols = static_cast<int>(in.Integer(1, "tray columns", 0, maxSide));
  return t;
}

TrayLine ReadTrayLine(const CellReader& in, int maxSide, double maxSpacing) {
  TrayLine t = ReadTraySize(in, maxSide);
  t.rowSerial = static_cast<int>(in.Integer(2, "tray next row", -1, maxSide));
  t.colSerial = static_cast<int>(in.Integer(3, "tray next column", 0, maxSide));
  t.rowSpace = in.Number(4, "tray row pitch", -maxSpacing, maxSpacing);
  t.colSpace = in.Number(5, "tray column pitch", -maxSpacing, maxSpacing);
  return t;
}

}  // namespace smt::feeder
