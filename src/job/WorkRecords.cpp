#include "job/WorkRecords.h"

#include <bit>

#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>

#include "job/FixedDecimals.h"
#include "job/JobRows.h"
#include "platform/Archive.h"

namespace smt::job {

using platform::CellReader;

namespace {

bool Blank(std::string_view t) { return t.find_first_not_of(" \t") == std::string_view::npos; }

// A flag cell: stored "1/..." or list text "Yes".
bool FlagCell(std::string_view cell) {
  const size_t slash = cell.find('/');
  if (slash != std::string_view::npos) return cell.substr(0, slash) == "1";
  return cell == "Yes";
}

// A row with every one of these cells empty is a blank row (inserted and
// never filled in): its numbers read as 0. Otherwise each must be a number.
bool AllBlank(const CellReader& in, std::initializer_list<size_t> cells) {
  for (size_t c : cells)
    if (!Blank(in.Text(c))) return false;
  return true;
}

std::vector<std::string_view> ViewsOf(const std::vector<std::string>& cells) {
  return {cells.begin(), cells.end()};
}

// The word of a flag cell after its "1/" or "0/" (the whole text without one).
std::string_view FlagWord(std::string_view cell) {
  const size_t slash = cell.find('/');
  return slash == std::string_view::npos ? cell : cell.substr(slash + 1);
}

bool PlainNumber(std::string_view t, bool integer, double lo, double hi, double& value, CellForm& form);

// The number of a cell that may not be one (an editor's text): the value and
// its form, or 0 with the text kept. A plain serial beyond the serial range
// keeps its text too, so no integer conversion sees a value that does not fit.
double LenientNumber(std::string_view text, CellForm& form, bool integer) {
  double v = 0;
  const double lo = integer ? 0.0 : -std::numeric_limits<double>::max();
  const double hi = integer ? static_cast<double>(kMaxSerial) : std::numeric_limits<double>::max();
  if (PlainNumber(text, integer, lo, hi, v, form)) return v;
  form.decimals = CellForm::kAsRead;
  form.text = std::string(text);
  if (integer) {
    if (auto n = platform::ParseCellInteger(text, 0, kMaxSerial)) return static_cast<double>(*n);
    return 0;
  }
  if (auto n = platform::ParseCellNumber(text, -kMaxBoardMm * 10, kMaxBoardMm * 10)) return *n;
  return 0;
}

// A number cell in the plain decimal form (an integer: digits only) read in one pass: its value and
// form, true when the text is that form and the value lies in [lo, hi].
// At most 15 digits make the digits an exact integer, and one correctly
// rounded division by an exact power of ten gives the nearest double, the
// same value the general reader gives. Anything else goes to the general
// reader (blanks, signs, exponents, refusals).
bool PlainNumber(std::string_view t, bool integer, double lo, double hi, double& value, CellForm& form) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* p = t.data();
  const char* const end = p + t.size();
  const bool negative = !integer && p != end && *p == '-';
  if (negative) ++p;
  const char* const intStart = p;
  uint64_t m = 0;
  while (p != end && static_cast<unsigned>(*p - '0') < 10u) m = m * 10 + static_cast<unsigned>(*p++ - '0');
  size_t digits = static_cast<size_t>(p - intStart);
  if (digits == 0 || (digits > 1 && *intStart == '0')) return false;
  int decimals = 0;
  if (!integer && p != end && *p == '.') {
    const char* const fracStart = ++p;
    while (p != end && static_cast<unsigned>(*p - '0') < 10u) m = m * 10 + static_cast<unsigned>(*p++ - '0');
    decimals = static_cast<int>(p - fracStart);
    digits += static_cast<size_t>(decimals);
    if (decimals == 0) return false;
  }
  if (p != end || digits > 15) return false;
  double v = static_cast<double>(m);
  if (decimals > 0) v /= kPow10[decimals];
  if (negative) v = -v;
  if (!(v >= lo && v <= hi)) return false;
  value = v;
  form.decimals = static_cast<int8_t>(decimals);
  // The text is the value written with these decimals (at most 15 digits,
  // no leading zero): kept to be written again as long as the value is.
  form.text.assign(t);
  form.readBits = std::bit_cast<uint64_t>(v);
  return true;
}

}  // namespace

CellForm FormOfCell(std::string_view t, bool allowSign) {
  CellForm f;
  size_t i = 0;
  const size_t n = t.size();
  if (allowSign && i < n && t[i] == '-') ++i;
  const size_t intStart = i;
  while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
  size_t digits = i - intStart;
  // No empty integer part and no leading zero ("007" is written as it was).
  bool plain = digits > 0 && !(digits > 1 && t[intStart] == '0');
  int decimals = 0;
  if (plain && i < n && t[i] == '.') {
    ++i;
    const size_t fracStart = i;
    while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
    decimals = static_cast<int>(i - fracStart);
    digits += i - fracStart;
    plain = decimals > 0;
  }
  if (plain && i == n && digits <= 15) {
    f.decimals = static_cast<int8_t>(decimals);
    return f;
  }
  f.decimals = CellForm::kAsRead;
  f.text = std::string(t);
  return f;
}

void AppendCellNumber(std::string& out, double value, const CellForm& form) {
  if (const std::string* text = form.TextFor(value)) {
    out += *text;
    return;
  }
  char buf[400];
  if (form.decimals >= 0) {
    static_assert(sizeof buf >= kFixedDecimalsRoom);
    out.append(buf, WriteFixedDecimals(value, form.decimals, buf));
    return;
  }
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (r.ec == std::errc()) out.append(buf, r.ptr);
}

std::string CellNumberText(double value, const CellForm& form) {
  std::string s;
  AppendCellNumber(s, value, form);
  return s;
}

FeederRef ReadFeederRef(std::string_view t) {
  FeederRef ref;
  if (t.empty()) return ref;
  switch (t.front()) {
    case 'W': case 'N': case 'E': case 'S': case 'G': ref.side = t.front(); break;
    default: return ref;
  }
  std::string_view digits = t.substr(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 9) return ref;
  int v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return ref;
    v = v * 10 + (c - '0');
  }
  ref.index = v;
  return ref;
}

FeederCell::FeederCell(FeederRef ref)
    : text_(ref.side ? std::string(1, ref.side) + std::to_string(ref.index) : std::string()), ref_(ref) {}

namespace {

const std::string& TextField(const PlacementRecord& r, int k) {
  static const std::string none;
  switch (k) {
    case kSmtName: return r.name;
    case 5: return r.type;
    case 6: return r.package;
    case 8: return r.value;
    case kSmtFeeder: return r.feeder;
    case 11: return r.feederValue;
    case kSmtTime: return r.addTime;
    case kSmtOwnMark: return r.ownMark;
    case 15: return r.spare;
    default: return none;
  }
}

// Not the feeder cell, whose reference is read when it is set.
std::string* TextField(PlacementRecord& r, int k) {
  return const_cast<std::string*>(&TextField(static_cast<const PlacementRecord&>(r), k));
}

void AppendListCell(std::string& out, const PlacementRecord& r, int k) {
  switch (k) {
    case kSmtSerial: AppendCellNumber(out, r.serial, r.serialForm); return;
    case kSmtX: AppendCellNumber(out, r.x, r.xForm); return;
    case kSmtY: AppendCellNumber(out, r.y, r.yForm); return;
    case kSmtAngle: AppendCellNumber(out, r.angle, r.angleForm); return;
    case kSmtHead: AppendCellNumber(out, r.head, r.headForm); return;
    case kSmtPlace: out += r.placeWord; return;
    case kSmtVision: out += r.visionWord; return;
    default: out += TextField(r, k); return;
  }
}

}  // namespace

std::string ListPlacementCell(const PlacementRecord& r, int k) {
  std::string s;
  if (k >= 0 && k < kPlacementCells) AppendListCell(s, r, k);
  return s;
}

std::string StoredPlacementCell(const PlacementRecord& r, int k) {
  std::string s;
  if (k == kSmtPlace) s = r.place ? "1/" : "0/";
  if (k == kSmtVision) s = r.vision ? "1/" : "0/";
  if (k >= 0 && k < kPlacementCells) AppendListCell(s, r, k);
  return s;
}

void AppendStoredPlacement(std::string& out, const PlacementRecord& r) {
  for (int k = 0; k < kPlacementCells; ++k) {
    if (k == kSmtPlace) out += r.place ? "1/" : "0/";
    if (k == kSmtVision) out += r.vision ? "1/" : "0/";
    AppendListCell(out, r, k);
    out += '\t';
  }
}

namespace {

size_t NumberBound(double v, const CellForm& f) {
  if (f.decimals == CellForm::kAsRead) return f.text.size();
  // Fixed notation: the integer digits (up to 309), the sign, the point and
  // the decimals.
  // The shortest form of a tiny or huge value runs to some 330 characters.
  if (f.decimals < 0) return 400;
  return (std::fabs(v) < 1e15 ? 16 : 312) + 2 + static_cast<size_t>(f.decimals);
}

}  // namespace

size_t PlacementLineBound(const PlacementRecord& r) {
  return kPlacementCells + 4 + NumberBound(r.serial, r.serialForm) + NumberBound(r.x, r.xForm) +
         NumberBound(r.y, r.yForm) + NumberBound(r.angle, r.angleForm) + r.name.size() + r.type.size() +
         r.package.size() + r.placeWord.size() + r.value.size() + r.feeder.size() + r.visionWord.size() +
         r.feederValue.size() + NumberBound(r.head, r.headForm) + r.addTime.size() + r.ownMark.size() + r.spare.size();
}

namespace {

// True when the archive conversion of `t` alone meets a character whose
// bytes run past its end: written as part of a longer line, that character
// would take bytes of what follows, so the cells are not converted one by one.
bool CutShortAtEnd(std::string_view t) {
  const auto* s = reinterpret_cast<const uint8_t*>(t.data());
  const size_t len = t.size();
  size_t i = 0;
  while (i < len) {
    const uint8_t c = s[i];
    size_t l = 1;
    if ((c >> 5) == 0x6) l = 2;
    else if ((c >> 4) == 0xE) l = 3;
    else if ((c >> 3) == 0x1E) l = 4;
    if (i + l > len) return true;
    i += l;
  }
  return false;
}

inline uint8_t* PutAscii(uint8_t* o, const char* b, const char* e) {
  for (; b != e; ++b, o += 2) {
    o[0] = static_cast<uint8_t>(*b);
    o[1] = 0;
  }
  return o;
}

inline uint8_t* PutTab(uint8_t* o) {
  o[0] = '\t';
  o[1] = 0;
  return o + 2;
}

// Writes a cell's text as UTF-16LE units. Plain characters are widened here;
// a text with others goes through the archive conversion, and `whole` turns
// false when such a text ends inside a character (see CutShortAtEnd).
inline uint8_t* PutText(uint8_t* o, std::string_view t, bool& whole) {
  const char* const b = t.data();
  const size_t n = t.size();
  unsigned high = 0;
  for (size_t i = 0; i < n; ++i) {
    high |= static_cast<uint8_t>(b[i]);
    o[2 * i] = static_cast<uint8_t>(b[i]);
    o[2 * i + 1] = 0;
  }
  if (high < 0x80) return o + 2 * n;
  whole &= !CutShortAtEnd(t);
  return o + 2 * platform::EncodeUtf16Le(t, o);
}

uint8_t* PutNumber(uint8_t* o, double value, const CellForm& form, bool& whole) {
  if (const std::string* text = form.TextFor(value)) return PutText(o, *text, whole);
  char buf[400];
  static_assert(sizeof buf >= kFixedDecimalsRoom);
  if (form.decimals >= 0) return PutAscii(o, buf, WriteFixedDecimals(value, form.decimals, buf));
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  return r.ec == std::errc() ? PutAscii(o, buf, r.ptr) : o;
}

}  // namespace

size_t PutStoredPlacement(const PlacementRecord& r, uint8_t* out) {
  // The text after the header of a line of fewer than 255 units; a longer
  // line moves up behind its longer header.
  uint8_t* const text = out + 4;
  uint8_t* o = text;
  bool whole = true;
  o = PutTab(PutNumber(o, r.serial, r.serialForm, whole));
  o = PutTab(PutNumber(o, r.x, r.xForm, whole));
  o = PutTab(PutNumber(o, r.y, r.yForm, whole));
  o = PutTab(PutNumber(o, r.angle, r.angleForm, whole));
  o = PutTab(PutText(o, r.name, whole));
  o = PutTab(PutText(o, r.type, whole));
  o = PutTab(PutText(o, r.package, whole));
  static constexpr char kOn[] = "1/", kOff[] = "0/";
  o = PutAscii(o, r.place ? kOn : kOff, (r.place ? kOn : kOff) + 2);
  o = PutTab(PutText(o, r.placeWord, whole));
  o = PutTab(PutText(o, r.value, whole));
  o = PutTab(PutText(o, r.feeder.Text(), whole));
  o = PutAscii(o, r.vision ? kOn : kOff, (r.vision ? kOn : kOff) + 2);
  o = PutTab(PutText(o, r.visionWord, whole));
  o = PutTab(PutText(o, r.feederValue, whole));
  o = PutTab(PutNumber(o, r.head, r.headForm, whole));
  o = PutTab(PutText(o, r.addTime, whole));
  o = PutTab(PutText(o, r.ownMark, whole));
  o = PutTab(PutText(o, r.spare, whole));
  if (!whole) {
    // A cell ends inside a character: the line is converted as a whole.
    std::string line;
    AppendStoredPlacement(line, r);
    return platform::PutArchiveString(line, out);
  }
  const size_t units = static_cast<size_t>(o - text) / 2;
  const size_t header = platform::UnicodeHeaderSize(units);
  if (header != 4) std::memmove(out + header, text, 2 * units);
  platform::PutUnicodeHeader(out, units);
  return header + 2 * units;
}

void SetStoredPlacementCell(PlacementRecord& r, int k, std::string_view text) {
  switch (k) {
    case kSmtSerial: r.serial = static_cast<int>(LenientNumber(text, r.serialForm, true)); return;
    case kSmtX: r.x = LenientNumber(text, r.xForm, false); return;
    case kSmtY: r.y = LenientNumber(text, r.yForm, false); return;
    case kSmtAngle: r.angle = LenientNumber(text, r.angleForm, false); return;
    case kSmtHead: r.head = static_cast<int>(LenientNumber(text, r.headForm, true)); return;
    case kSmtPlace:
    case kSmtVision: {
      const auto p = SplitPrefix(text);
      const bool on = p.hasSlash && p.prefix == "1";
      (k == kSmtPlace ? r.place : r.vision) = on;
      (k == kSmtPlace ? r.placeWord : r.visionWord) = p.text;
      return;
    }
    case kSmtFeeder: r.feeder = text; return;
    default:
      if (k > 0 && k < kPlacementCells) TextField(r, k)->assign(text);
  }
}

PlacementRecord PlacementFromStoredCells(const std::vector<std::string>& cells) {
  PlacementRecord r;
  for (int k = 0; k < kPlacementCells; ++k)
    SetStoredPlacementCell(r, k, static_cast<size_t>(k) < cells.size() ? std::string_view(cells[static_cast<size_t>(k)])
                                                                         : std::string_view());
  return r;
}

ListRow PlacementListRow(const PlacementRecord& r) {
  ListRow row(kPlacementCells);
  for (int k = 0; k < kPlacementCells; ++k) AppendListCell(row.cells[static_cast<size_t>(k)], r, k);
  row.SetImage(kSmtPlace, r.place ? kImgYes : kImgNo);
  row.SetImage(kSmtVision, r.vision ? kImgVisionYes : kImgVisionNo);
  return row;
}

PlacementRecord PlacementFromListRow(const ListRow& row) {
  PlacementRecord r;
  PlacementFromListRowInto(row, r);
  return r;
}

void PlacementFromListRowInto(const ListRow& row, PlacementRecord& r) {
  // A number cell that is no plain decimal leaves the bits read untouched:
  // they start as a new record's.
  for (CellForm* f : {&r.serialForm, &r.xForm, &r.yForm, &r.angleForm, &r.headForm}) f->readBits = 0;
  for (int k = 0; k < kPlacementCells; ++k) {
    if (k == kSmtPlace || k == kSmtVision) continue;
    SetStoredPlacementCell(r, k, row.Cell(k));
  }
  r.place = row.Image(kSmtPlace) == kImgYes;
  r.placeWord = row.Cell(kSmtPlace);
  r.vision = row.Image(kSmtVision) == kImgVisionYes;
  r.visionWord = row.Cell(kSmtVision);
}

namespace {

// The number cell shows `value` as the plain decimal it was read from, so
// reading the cell again gives the same value, form and text.
bool ShowsPlainRead(std::string_view cell, double value, const CellForm& f) {
  return f.decimals >= 0 && !f.text.empty() && f.text == cell && std::bit_cast<uint64_t>(value) == f.readBits;
}

}  // namespace

bool ListRowHoldsPlacement(const ListRow& row, const PlacementRecord& r) {
  return ShowsPlainRead(row.Cell(kSmtSerial), r.serial, r.serialForm) && ShowsPlainRead(row.Cell(kSmtX), r.x, r.xForm) &&
         ShowsPlainRead(row.Cell(kSmtY), r.y, r.yForm) && ShowsPlainRead(row.Cell(kSmtAngle), r.angle, r.angleForm) &&
         ShowsPlainRead(row.Cell(kSmtHead), r.head, r.headForm) && r.name == row.Cell(kSmtName) &&
         r.type == row.Cell(kSmtType) && r.package == row.Cell(kSmtPackage) && r.value == row.Cell(kSmtValue) &&
         r.feeder.Text() == row.Cell(kSmtFeeder) && r.feeder.Ref() == ReadFeederRef(row.Cell(kSmtFeeder)) &&
         r.feederValue == row.Cell(kSmtFeederValue) && r.addTime == row.Cell(kSmtTime) &&
         r.ownMark == row.Cell(kSmtOwnMark) && r.spare == row.Cell(kSmtSpare) &&
         r.place == (row.Image(kSmtPlace) == kImgYes) && r.placeWord == row.Cell(kSmtPlace) &&
         r.vision == (row.Image(kSmtVision) == kImgVisionYes) && r.visionWord == row.Cell(kSmtVision);
}

bool PlacementCellReads(const ListRow& row, int k) {
  const std::vector<std::string_view> views(row.cells.begin(), row.cells.end());
  const CellReader in("placement list", 0, views);
  const auto& n = PlacementFieldNames();
  const size_t c = static_cast<size_t>(k);
  try {
    if (k == kSmtSerial) {
      in.IntegerOr(c, n[c], 0, kMaxSerial, 0);
    } else if (k == kSmtX || k == kSmtY) {
      if (!AllBlank(in, {kSmtX, kSmtY, kSmtAngle})) in.Number(c, n[c], -kMaxBoardMm, kMaxBoardMm);
    }
  } catch (const platform::FileCellError&) {
    return false;
  }
  return true;
}

RowPoint ReadRowPoint(RowKind kind, const ListRow& row, int line) {
  const std::vector<std::string_view> views(row.cells.begin(), row.cells.end());
  const char* list = kind == RowKind::Placement ? "placement list"
                     : kind == RowKind::Dispense ? "dispensing list"
                                                 : "drill list";
  const CellReader in(list, line, views);
  const auto& names = kind == RowKind::Placement ? PlacementFieldNames()
                      : kind == RowKind::Dispense ? DispenseFieldNames()
                                                  : DrillFieldNames();
  static_assert(kSmtX == kDisX && kSmtY == kDisY);
  const size_t cx = static_cast<size_t>(kind == RowKind::Drill ? kDrillX : kSmtX);
  const size_t cy = static_cast<size_t>(kind == RowKind::Drill ? kDrillY : kSmtY);
  RowPoint p;
  if (AllBlank(in, {cx, cy})) return p;
  p.x = in.Number(cx, names[cx], -kMaxBoardMm, kMaxBoardMm);
  p.y = in.Number(cy, names[cy], -kMaxBoardMm, kMaxBoardMm);
  return p;
}

const std::vector<std::string>& PlacementFieldNames() {
  static const std::vector<std::string> names = {"serial", "X",       "Y",          "angle", "name",   "type",
                                                 "package", "place",  "value",      "feeder", "vision", "feeder value",
                                                 "head",    "time",   "own mark",   "spare"};
  return names;
}

const std::vector<std::string>& DispenseFieldNames() {
  static const std::vector<std::string> names = {
      "serial",           "X",                 "Y",           "Z",          "dispense", "valve-open timing",
      "valve-close timing", "valve-close delay", "bottom delay", "suck-back time", "note", "spare", "spare", "spare",
      "spare"};
  return names;
}

const std::vector<std::string>& DrillFieldNames() {
  static const std::vector<std::string> names = {
      "serial", "name",           "diameter",      "X",                "Y",                 "Z",
      "depth",  "feed per step",  "lift height",   "lift to top",      "feed start speed",  "feed run speed",
      "lift start speed", "lift run speed", "spare"};
  return names;
}

PlacementRecord ReadPlacement(const CellReader& in) {
  PlacementRecord r;
  ReadPlacementInto(in, r);
  return r;
}

void ReadPlacementInto(const CellReader& in, PlacementRecord& r) {
  const auto& n = PlacementFieldNames();
  double serial = 0;
  if (PlainNumber(in.Text(kSmtSerial), true, 0, kMaxSerial, serial, r.serialForm)) {
    r.serial = static_cast<int>(serial);
  } else {
    r.serial = static_cast<int>(in.IntegerOr(kSmtSerial, n[0], 0, kMaxSerial, 0));
    r.serialForm = FormOfCell(in.Text(kSmtSerial), false);
  }
  // The common case first: three plain decimals in range.
  if (!(PlainNumber(in.Text(kSmtX), false, -kMaxBoardMm, kMaxBoardMm, r.x, r.xForm) &&
        PlainNumber(in.Text(kSmtY), false, -kMaxBoardMm, kMaxBoardMm, r.y, r.yForm) &&
        PlainNumber(in.Text(kSmtAngle), false, -kMaxAngle, kMaxAngle, r.angle, r.angleForm))) {
    r.x = r.y = r.angle = 0;
    if (!AllBlank(in, {kSmtX, kSmtY, kSmtAngle})) {
      r.x = in.Number(kSmtX, n[1], -kMaxBoardMm, kMaxBoardMm);
      r.y = in.Number(kSmtY, n[2], -kMaxBoardMm, kMaxBoardMm);
      r.angle = in.Number(kSmtAngle, n[3], -kMaxAngle, kMaxAngle);
    }
    r.xForm = FormOfCell(in.Text(kSmtX));
    r.yForm = FormOfCell(in.Text(kSmtY));
    r.angleForm = FormOfCell(in.Text(kSmtAngle));
  }
  r.name = in.Text(kSmtName);
  r.type = in.Text(5);
  r.package = in.Text(6);
  r.place = FlagCell(in.Text(kSmtPlace));
  r.placeWord = FlagWord(in.Text(kSmtPlace));
  r.value = in.Text(8);
  r.feeder = in.Text(kSmtFeeder);
  r.vision = FlagCell(in.Text(kSmtVision));
  r.visionWord = FlagWord(in.Text(kSmtVision));
  r.feederValue = in.Text(11);
  // A head cell is written back as it was read; one that holds no head
  // number reads as 0 (any head) and refuses nothing.
  r.head = static_cast<int>(LenientNumber(in.Text(kSmtHead), r.headForm, true));
  r.addTime = in.Text(kSmtTime);
  r.ownMark = in.Text(kSmtOwnMark);
  r.spare = in.Text(15);
}

bool ReadPlainStoredPlacementLine(std::string_view line, PlacementRecord& r) {
  // The cells: the text before each of the first 16 TABs (what follows the
  // 16th is not read, as by the cell reader).
  // One walk over the line (its cells are short: a call per cell costs
  // more than the bytes it looks at).
  std::string_view c[kPlacementCells];
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const char* from = begin;
  int k = 0;
  for (const char* q = begin; q != end; ++q) {
    if (*q != '\t') continue;
    c[k] = std::string_view(from, static_cast<size_t>(q - from));
    from = q + 1;
    if (++k == kPlacementCells) break;
  }
  if (k < kPlacementCells) return false;
  double serial = 0;
  if (!PlainNumber(c[kSmtSerial], true, 0, kMaxSerial, serial, r.serialForm) ||
      !PlainNumber(c[kSmtX], false, -kMaxBoardMm, kMaxBoardMm, r.x, r.xForm) ||
      !PlainNumber(c[kSmtY], false, -kMaxBoardMm, kMaxBoardMm, r.y, r.yForm) ||
      !PlainNumber(c[kSmtAngle], false, -kMaxAngle, kMaxAngle, r.angle, r.angleForm))
    return false;
  r.serial = static_cast<int>(serial);
  r.name.assign(c[kSmtName]);
  r.type.assign(c[kSmtType]);
  r.package.assign(c[kSmtPackage]);
  auto on = [](std::string_view cell) { return cell.size() >= 2 && cell[0] == '1' && cell[1] == '/'; };
  r.place = on(c[kSmtPlace]);
  r.placeWord.assign(FlagWord(c[kSmtPlace]));
  r.value.assign(c[kSmtValue]);
  r.feeder = c[kSmtFeeder];
  r.vision = on(c[kSmtVision]);
  r.visionWord.assign(FlagWord(c[kSmtVision]));
  r.feederValue.assign(c[kSmtFeederValue]);
  r.head = static_cast<int>(LenientNumber(c[kSmtHead], r.headForm, true));
  r.addTime.assign(c[kSmtTime]);
  r.ownMark.assign(c[kSmtOwnMark]);
  r.spare.assign(c[kSmtSpare]);
  return true;
}

PlacementRecord ReadStoredPlacement(const CellReader& in) {
  PlacementRecord r;
  ReadStoredPlacementInto(in, r);
  return r;
}

void ReadStoredPlacementInto(const CellReader& in, PlacementRecord& r) {
  ReadPlacementInto(in, r);
  auto on = [](std::string_view cell) {
    const size_t slash = cell.find('/');
    return slash != std::string_view::npos && cell.substr(0, slash) == "1";
  };
  r.place = on(in.Text(kSmtPlace));
  r.vision = on(in.Text(kSmtVision));
}

namespace {

// Reads a row's fields one by one. Without `unread` a field that does not
// read refuses the line (the file readers); with it, the field keeps its
// record's 0, is marked and the first refusal is kept (the editors).
template <size_t N>
class FieldReads {
 public:
  FieldReads(std::array<bool, N>* unread, std::string* problem) : unread_(unread), problem_(problem) {}
  template <class Read>
  void operator()(size_t cell, Read read) const {
    if (!unread_) {
      read();
      return;
    }
    try {
      read();
    } catch (const platform::FileCellError& e) {
      (*unread_)[cell] = true;
      if (problem_->empty()) *problem_ = e.what();
    }
  }

 private:
  std::array<bool, N>* unread_;
  std::string* problem_;
};

void ReadDispenseInto(const CellReader& in, DispensePoint& p, const FieldReads<kDispenseCells>& field) {
  const auto& n = DispenseFieldNames();
  field(0, [&] { p.serial = static_cast<int>(in.IntegerOr(0, n[0], 0, kMaxSerial, 0)); });
  // The dot's place must be there; its height may be empty (0, the top).
  if (!AllBlank(in, {kDisX, kDisY, kDisZ})) {
    field(kDisX, [&] { p.x = in.Number(kDisX, n[1], -kMaxBoardMm, kMaxBoardMm); });
    field(kDisY, [&] { p.y = in.Number(kDisY, n[2], -kMaxBoardMm, kMaxBoardMm); });
  }
  field(kDisZ, [&] { p.z = in.NumberOr(kDisZ, n[3], -255.0, 0.0, 0); });
  p.dispense = in.Text(kDisEnable) == "Yes";
  field(5, [&] { p.valveOpen = in.NumberOr(5, n[5], 0, 65535, 0); });
  field(6, [&] { p.valveClose = in.NumberOr(6, n[6], 0, 65535, 0); });
  field(7, [&] { p.closeDelay = static_cast<int>(in.IntegerOr(7, n[7], 0, 65535, 0)); });
  field(8, [&] { p.bottomDelay = static_cast<int>(in.IntegerOr(8, n[8], 0, 65535, 0)); });
  field(9, [&] { p.suckBack = static_cast<int>(in.IntegerOr(9, n[9], 0, 65535, 0)); });
  p.note = in.Text(kDisNote);
}

void ReadDrillInto(const CellReader& in, DrillRecord& d, const FieldReads<kDrillCells>& field) {
  const auto& n = DrillFieldNames();
  field(0, [&] { d.serial = static_cast<int>(in.IntegerOr(0, n[0], 0, kMaxSerial, 0)); });
  d.name = in.Text(1);
  // The hole's place must be there; the other cells may be empty (0).
  if (AllBlank(in, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13})) return;
  field(2, [&] { d.diameter = in.NumberOr(2, n[2], 0, 32, 0); });
  field(3, [&] { d.x = in.Number(3, n[3], -kMaxBoardMm, kMaxBoardMm); });
  field(4, [&] { d.y = in.Number(4, n[4], -kMaxBoardMm, kMaxBoardMm); });
  field(5, [&] { d.z = in.NumberOr(5, n[5], -100, 0, 0); });
  field(6, [&] { d.depth = in.NumberOr(6, n[6], 0, 100, 0); });
  field(7, [&] { d.feed = in.NumberOr(7, n[7], 0, 100, 0); });
  field(8, [&] { d.lift = in.NumberOr(8, n[8], 0, 100, 0); });
  field(9, [&] { d.liftToTop = in.IntegerOr(9, n[9], 0, 1, 0) != 0; });
  field(10, [&] { d.feedStart = static_cast<int>(in.IntegerOr(10, n[10], 1, 255, 0)); });
  field(11, [&] { d.feedRun = static_cast<int>(in.IntegerOr(11, n[11], 1, 255, 0)); });
  field(12, [&] { d.liftStart = static_cast<int>(in.IntegerOr(12, n[12], 1, 255, 0)); });
  field(13, [&] { d.liftRun = static_cast<int>(in.IntegerOr(13, n[13], 1, 255, 0)); });
}

}  // namespace

DispensePoint ReadDispensePoint(const CellReader& in) {
  DispensePoint p;
  ReadDispenseInto(in, p, FieldReads<kDispenseCells>(nullptr, nullptr));
  return p;
}

DrillRecord ReadDrillRecord(const CellReader& in) {
  DrillRecord d;
  ReadDrillInto(in, d, FieldReads<kDrillCells>(nullptr, nullptr));
  return d;
}

DispenseRowRecord ReadDispenseRow(const ListRow& row, int line) {
  DispenseRowRecord r;
  const std::vector<std::string_view> views(row.cells.begin(), row.cells.end());
  ReadDispenseInto(CellReader("dispensing list", line, views), r.point, FieldReads(&r.unread, &r.problem));
  return r;
}

DrillRowRecord ReadDrillRow(const ListRow& row, int line) {
  DrillRowRecord r;
  const std::vector<std::string_view> views(row.cells.begin(), row.cells.end());
  ReadDrillInto(CellReader("drill list", line, views), r.drill, FieldReads(&r.unread, &r.problem));
  return r;
}

namespace {

// A field is written when the operator touched it, or when its cell read
// and the value is not the one it held.
template <size_t N, size_t Cells>
std::array<bool, N> FieldsToWrite(const std::array<bool, Cells>& unread, const std::array<bool, N>& touched,
                                  const std::array<bool, N>& differs) {
  std::array<bool, N> out{};
  for (size_t k = 0; k < N; ++k) out[k] = touched[k] || (!unread[k] && differs[k]);
  return out;
}

}  // namespace

std::array<bool, 11> DispenseFieldsToWrite(const DispenseRowRecord& held, const DispensePoint& e,
                                           const std::array<bool, 11>& touched) {
  const DispensePoint& p = held.point;
  const std::array<bool, 11> differs = {p.serial != e.serial,         p.x != e.x,
                                        p.y != e.y,                   p.z != e.z,
                                        p.dispense != e.dispense,     p.valveOpen != e.valveOpen,
                                        p.valveClose != e.valveClose, p.closeDelay != e.closeDelay,
                                        p.bottomDelay != e.bottomDelay, p.suckBack != e.suckBack,
                                        p.note != e.note};
  return FieldsToWrite(held.unread, touched, differs);
}

std::array<bool, 14> DrillFieldsToWrite(const DrillRowRecord& held, const DrillRecord& e,
                                        const std::array<bool, 14>& touched) {
  const DrillRecord& d = held.drill;
  const std::array<bool, 14> differs = {d.serial != e.serial,       d.name != e.name,
                                        d.diameter != e.diameter,   d.x != e.x,
                                        d.y != e.y,                 d.z != e.z,
                                        d.depth != e.depth,         d.feed != e.feed,
                                        d.lift != e.lift,           d.liftToTop != e.liftToTop,
                                        d.feedStart != e.feedStart, d.feedRun != e.feedRun,
                                        d.liftStart != e.liftStart, d.liftRun != e.liftRun};
  return FieldsToWrite(held.unread, touched, differs);
}

namespace {

void SetRowCell(ListRow& r, int k, std::string text) {
  if (k >= static_cast<int>(r.cells.size())) r.cells.resize(static_cast<size_t>(k) + 1);
  r.cells[static_cast<size_t>(k)] = std::move(text);
}

}  // namespace

void WriteDispenseFields(ListRow& r, const DispensePoint& p, const std::array<bool, 11>& fl) {
  if (r.cells.size() < static_cast<size_t>(kDispenseCells)) r.cells.resize(kDispenseCells);
  if (fl[0]) SetRowCell(r, kDisSerial, std::to_string(p.serial));
  if (fl[1]) SetRowCell(r, kDisX, FormatG(p.x));
  if (fl[2]) SetRowCell(r, kDisY, FormatG(p.y));
  if (fl[3]) SetRowCell(r, kDisZ, FormatG(p.z));
  if (fl[4]) {
    SetRowCell(r, kDisEnable, p.dispense ? "Yes" : "No");
    r.SetImage(kDisEnable, p.dispense ? kImgYes : kImgNo);
  }
  if (fl[5]) SetRowCell(r, kDisValveOpen, FormatG(p.valveOpen));
  if (fl[6]) SetRowCell(r, kDisValveClose, FormatG(p.valveClose));
  if (fl[7]) SetRowCell(r, kDisCloseDelay, std::to_string(p.closeDelay));
  if (fl[8]) SetRowCell(r, kDisBottomDelay, std::to_string(p.bottomDelay));
  if (fl[9]) SetRowCell(r, kDisSuckBack, std::to_string(p.suckBack));
  if (fl[10]) SetRowCell(r, kDisNote, p.note);
}

void WriteDrillFields(ListRow& r, const DrillRecord& d, const std::array<bool, 14>& fl) {
  if (r.cells.size() < static_cast<size_t>(kDrillCells)) r.cells.resize(kDrillCells);
  if (fl[0]) SetRowCell(r, kDrillSerial, std::to_string(d.serial));
  if (fl[1]) SetRowCell(r, kDrillName, d.name);
  const double v[7] = {d.diameter, d.x, d.y, d.z, d.depth, d.feed, d.lift};
  for (int i = 0; i < 7; ++i)
    if (fl[static_cast<size_t>(i + 2)]) SetRowCell(r, i + 2, FormatG(v[i]));
  const int n[5] = {d.liftToTop ? 1 : 0, d.feedStart, d.feedRun, d.liftStart, d.liftRun};
  for (int i = 0; i < 5; ++i)
    if (fl[static_cast<size_t>(i + 9)]) SetRowCell(r, i + 9, std::to_string(n[i]));
}

PlacementRecord PlacementFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadPlacement(CellReader(file, line, views));
}

DispensePoint DispensePointFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadDispensePoint(CellReader(file, line, views));
}

DrillRecord DrillFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadDrillRecord(CellReader(file, line, views));
}

namespace {

template <class Record, class Read>
std::vector<Record> RecordsOf(const std::vector<ListRow>& rows, std::string& refusal, std::string_view list, Read read) {
  refusal.clear();
  std::vector<Record> out;
  out.reserve(rows.size());
  std::vector<std::string_view> views;
  try {
    for (size_t i = 0; i < rows.size(); ++i) {
      views.assign(rows[i].cells.begin(), rows[i].cells.end());
      out.push_back(read(CellReader(list, static_cast<int>(i + 1), views)));
    }
  } catch (const platform::FileCellError& e) {
    refusal = e.what();
    out.clear();
  }
  return out;
}

}  // namespace

std::vector<PlacementRecord> PlacementRecordsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<PlacementRecord>(rows, refusal, "placement list", ReadPlacement);
}

std::vector<DispensePoint> DispensePointsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<DispensePoint>(rows, refusal, "dispensing list", ReadDispensePoint);
}

std::vector<DrillRecord> DrillRecordsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<DrillRecord>(rows, refusal, "drill list", ReadDrillRecord);
}

void CheckDispenseLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < lines.size(); ++i) {
    platform::SplitTabCellViews(lines[i], cells);
    ReadDispensePoint(CellReader(file, static_cast<int>(i + 1), cells));
  }
}

void CheckDrillLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < lines.size(); ++i) {
    platform::SplitTabCellViews(lines[i], cells);
    ReadDrillRecord(CellReader(file, static_cast<int>(i + 1), cells));
  }
}

void CheckLampRows(const std::vector<std::string>& rows, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < rows.size(); ++i) {
    platform::SplitTabCellViews(rows[i], cells);
    const CellReader in(file, static_cast<int>(i + 1), cells);
    if (Blank(in.Text(1))) continue;
    bool valuesBlank = true;  // a row named but never filled in
    for (size_t c = 3; c <= 34 && valuesBlank; ++c) valuesBlank = Blank(in.Text(c));
    in.IntegerOr(2, "check", 0, 1000, 0);
    if (valuesBlank) continue;
    in.Number(3, "Mark X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(4, "Mark Y", -kMaxBoardMm, kMaxBoardMm);
    in.Integer(5, "offset X", -2'000'000'000LL, 2'000'000'000LL);
    in.Integer(6, "offset Y", -2'000'000'000LL, 2'000'000'000LL);
    in.Number(7, "LED X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(8, "LED Y", -kMaxBoardMm, kMaxBoardMm);
    in.Number(9, "camera X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(10, "camera Y", -kMaxBoardMm, kMaxBoardMm);
    in.Number(11, "Z", -3, 3);
    in.Integer(12, "start speed", 1, 255);
    in.Integer(13, "run speed", 1, 255);
    static const char* dots[3] = {"red glue", "silver glue 1", "silver glue 2"};
    for (size_t g = 0; g < 3; ++g) {
      const size_t b = 14 + 7 * g;
      const std::string d = dots[g];
      in.Number(b, d + " X", -kMaxBoardMm, kMaxBoardMm);
      in.Number(b + 1, d + " Y", -kMaxBoardMm, kMaxBoardMm);
      in.Number(b + 2, d + " height", -100, 0);
      in.Number(b + 3, d + " valve open", -100, 0);
      in.Integer(b + 4, d + " bottom delay", 0, 10000);
      in.Number(b + 5, d + " valve close", 0, 100);
      in.Integer(b + 6, d + " close delay", 0, 10000);
    }
  }
}

}  // namespace smt::job
