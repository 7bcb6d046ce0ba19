#include "job/EdaFileReaders.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "platform/FileIo.h"

namespace smt::job {

EdaImportError::EdaImportError(std::string file, int line, std::string reason)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + reason),
      file_(std::move(file)),
      line_(line),
      reason_(std::move(reason)) {}

namespace {

// ---------------------------------------------------------------- text helpers

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Marks a line whose words are more than its layout holds.
constexpr const char* kTooManyFields = "\x01too many fields";

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (IsBlank(s[b]) || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (IsBlank(s[e - 1]) || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

struct TextLine {
  std::string_view text;
  int number = 0;  // 1-based
};

// Lines at CR LF, LF or CR; the last line is kept even without a line end.
// A double quote that opens a field (at the start of the line or after a
// blank or separator) runs to its closing quote, across line ends: a
// quoted description typed with line breaks stays one line, numbered by
// its first line. A quote that never closes is taken as a plain character.
std::vector<TextLine> SplitLines(std::string_view text) {
  std::vector<TextLine> lines;
  size_t start = 0;
  int number = 1;
  int startNumber = 1;
  bool quoted = false;
  size_t quoteLineStart = 0;  // where the line holding an open quote began
  int quoteLineNumber = 1;
  size_t quoteLines = 0;      // lines already in `lines` when it opened
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      if (quoted) {
        if (i + 1 < text.size() && text[i + 1] == '"') ++i;  // "" inside quotes
        else quoted = false;
      } else {
        const char prev = i == start ? ' ' : text[i - 1];
        if (prev == ' ' || prev == '\t' || prev == ',' || prev == ';' || prev == '!') {
          quoted = true;
          quoteLineStart = start;
          quoteLineNumber = startNumber;
          quoteLines = lines.size();
        }
      }
      continue;
    }
    if (c != '\r' && c != '\n') continue;
    const size_t end = i;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    ++number;
    if (quoted) continue;  // a line end inside a quoted field
    lines.push_back({text.substr(start, end - start), startNumber});
    start = i + 1;
    startNumber = number;
  }
  if (quoted) {
    // The quote never closed: read the rest as plain lines.
    lines.resize(quoteLines);
    start = quoteLineStart;
    number = quoteLineNumber;
    for (size_t i = start; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        lines.push_back({text.substr(start, i - start), number++});
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
      }
    }
    if (start < text.size()) lines.push_back({text.substr(start), number});
    return lines;
  }
  if (start < text.size()) lines.push_back({text.substr(start), startNumber});
  return lines;
}

std::string Join(const std::vector<std::string>& parts, size_t from, const char* sep) {
  std::string r;
  for (size_t i = from; i < parts.size(); ++i) {
    if (i > from) r += sep;
    r += parts[i];
  }
  return r;
}

// ---------------------------------------------------------------- layouts

enum class Sep { Blank, Comma, Tab, Semicolon, Bang };

char SepChar(Sep s) {
  switch (s) {
    case Sep::Comma: return ',';
    case Sep::Tab: return '\t';
    case Sep::Semicolon: return ';';
    case Sep::Bang: return '!';
    case Sep::Blank: break;
  }
  return ' ';
}

enum class Special { None, PowerPcb, Allegro, Eagle };

// Field plan: the field position of each import column (-1: none), and the
// column (if any) that takes every field from its position to the end.
struct Layout {
  Sep sep = Sep::Blank;
  std::array<int, kImportColumns> pos{-1, -1, -1, -1, -1, -1, -1};
  int restColumn = -1;
  // Preamble: `headerLines` lines, or up to and including the
  // `blankLines`-th empty line and then `headerLines` more.
  int blankLines = 0;
  int headerLines = 0;
  Special special = Special::None;
  bool stopAtEndMark = false;  // "## End" ends the data (KiCad)
};

//                         D   P   X   Y   R   C   S
Layout Plan(Sep sep, std::array<int, 7> p, int rest, int blankLines, int headerLines, Special sp = Special::None) {
  Layout l;
  l.sep = sep;
  l.pos = p;
  l.restColumn = rest;
  l.blankLines = blankLines;
  l.headerLines = headerLines;
  l.special = sp;
  return l;
}

Layout LayoutOf(EdaReader r) {
  using R = EdaReader;
  switch (r) {
    case R::ProtelText: return Plan(Sep::Blank, {0, 1, 2, 3, 9, 10, 8}, kImpComment, 1, 0);
    case R::ProtelPik: return Plan(Sep::Blank, {0, 1, 2, 3, 9, -1, 8}, -1, 1, 0);
    case R::Altium20Text: return Plan(Sep::Blank, {0, 3, 4, 5, 6, 1, 2}, -1, 3, 1);
    case R::CommaFile: return Plan(Sep::Comma, {0, 1, 2, 3, 9, 10, 8}, -1, 0, 1);
    case R::Altium20Csv: return Plan(Sep::Comma, {1, 2, 5, 6, 4, 0, 3}, -1, 0, 13);
    case R::PowerPcbText: return Plan(Sep::Blank, {0, 1, 2, 3, 4, 5, -1}, -1, 0, 6, Special::PowerPcb);
    case R::AllegroText: return Plan(Sep::Blank, {0, 4, 1, 2, 3, -1, -1}, -1, 0, 1, Special::Allegro);
    case R::EagleMnt: return Plan(Sep::Blank, {0, -1, 1, 2, 3, -1, -1}, -1, 0, 0, Special::Eagle);
    case R::KiCadPos: {
      Layout l = Plan(Sep::Blank, {0, 2, 3, 4, 5, 1, 6}, kImpSide, 0, 5);
      l.stopAtEndMark = true;
      return l;
    }
    case R::ExcelCsv: return Plan(Sep::Comma, {1, 2, 6, 7, 5, 0, 4}, -1, 0, 1);
    case R::ProteusPkp: return Plan(Sep::Comma, {0, 2, 5, 6, 4, 1, 3}, kImpY, 0, 12);
    case R::MentorText: return Plan(Sep::Blank, {5, 1, 2, 3, 4, 0, 7}, kImpSide, 0, 1);
    case R::PadsText: return Plan(Sep::Tab, {0, 2, 6, 7, 5, 1, 4}, -1, 0, 1);
    case R::PadsTextNew: return Plan(Sep::Tab, {1, 0, 6, 7, 5, -1, 4}, -1, 0, 1);
    case R::PadsCsv: return Plan(Sep::Comma, {1, 0, 6, 7, 5, -1, 4}, -1, 0, 1);
    case R::Pads318: return Plan(Sep::Blank, {0, 1, 2, 3, 4, -1, -1}, kImpRotation, 0, 0);
    case R::GerbCamCsv: return Plan(Sep::Comma, {0, 1, 2, 3, 4, -1, -1}, -1, 0, 9);
    case R::GerbCamText: return Plan(Sep::Blank, {0, 1, 2, 3, 4, 5, -1}, -1, 0, 9);
    case R::AllegroCsv: return Plan(Sep::Comma, {0, 3, 4, 5, 6, 2, -1}, -1, 0, 1);
    case R::AllegroNewText: return Plan(Sep::Blank, {0, 3, 4, 5, 6, 2, -1}, -1, 0, 5);
    case R::SpeedLayoutText: return Plan(Sep::Semicolon, {0, 6, 1, 2, 5, 3, -1}, kImpPackage, 0, 6);
  }
  return Layout{};
}

// ---------------------------------------------------------------- units

// "Units used: mil", "UUNITS = MILLIMETERS", "## Unit = mm, Angle = deg."
std::optional<EdaLengthUnit> UnitStatement(std::string_view line) {
  const std::string l = Lower(line);
  const size_t u = l.find("unit");
  if (u == std::string::npos) return std::nullopt;
  size_t p = u + 4;
  while (p < l.size() && std::isalpha(static_cast<unsigned char>(l[p]))) ++p;  // "units", "uunits"
  // The unit is one of the next words: "Units used: mil", "UUNITS = MILS".
  for (int words = 0; words < 3; ++words) {
    while (p < l.size() && !std::isalpha(static_cast<unsigned char>(l[p]))) {
      if (l[p] == ',' || l[p] == ';') return std::nullopt;
      ++p;
    }
    size_t e = p;
    while (e < l.size() && std::isalpha(static_cast<unsigned char>(l[e]))) ++e;
    if (e == p) return std::nullopt;
    const std::string word = l.substr(p, e - p);
    if (word == "mm" || word.rfind("millimet", 0) == 0 || word == "metric") return EdaLengthUnit::Millimetre;
    if (word == "mil" || word == "mils" || word == "thou") return EdaLengthUnit::Mil;
    if (word.rfind("inch", 0) == 0) return EdaLengthUnit::Inch;
    p = e;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------- column titles

struct TitleMatch {
  int column = -1;  // import column, -1 unknown
  int strength = 0;
};

// A title, lower case, without blanks, '-', '_', '.', a leading '#' and a
// unit in brackets (which is returned).
std::string NormaliseTitle(std::string_view title, std::optional<EdaLengthUnit>* unit) {
  std::string t = Lower(Trim(title));
  const size_t open = t.find('(');
  if (open != std::string::npos) {
    const size_t close = t.find(')', open);
    const std::string inside = t.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    if (unit) {
      if (inside == "mm") *unit = EdaLengthUnit::Millimetre;
      else if (inside == "mil" || inside == "mils") *unit = EdaLengthUnit::Mil;
      else if (inside == "in" || inside == "inch") *unit = EdaLengthUnit::Inch;
    }
    t.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
  }
  std::string r;
  for (char c : t)
    if (!(IsBlank(c) || c == '-' || c == '_' || c == '.' || c == '#' || c == '"')) r.push_back(c);
  return r;
}

TitleMatch MatchTitle(const std::string& n) {
  static const std::map<std::string, TitleMatch> kTitles = {
      {"designator", {kImpDesignator, 3}}, {"ref", {kImpDesignator, 3}},  {"refdes", {kImpDesignator, 3}},
      {"reference", {kImpDesignator, 3}},  {"part", {kImpDesignator, 2}}, {"partname", {kImpDesignator, 2}},
      {"component", {kImpDesignator, 2}},  {"comp", {kImpDesignator, 2}}, {"位号", {kImpDesignator, 3}},
      {"元件名称", {kImpDesignator, 3}},   {"标号", {kImpDesignator, 3}},
      {"footprint", {kImpPackage, 3}},     {"package", {kImpPackage, 3}}, {"pattern", {kImpPackage, 2}},
      {"pcbfootprint", {kImpPackage, 3}},  {"symname", {kImpPackage, 2}}, {"封装", {kImpPackage, 3}},
      {"元件封装", {kImpPackage, 3}},
      {"midx", {kImpX, 3}},                {"centerx", {kImpX, 3}},       {"centrex", {kImpX, 3}},
      {"posx", {kImpX, 3}},                {"x", {kImpX, 2}},             {"locationx", {kImpX, 2}},
      {"x坐标", {kImpX, 3}},               {"refx", {kImpX, 1}},          {"padx", {kImpX, 0}},
      {"midy", {kImpY, 3}},                {"centery", {kImpY, 3}},       {"centrey", {kImpY, 3}},
      {"posy", {kImpY, 3}},                {"y", {kImpY, 2}},             {"locationy", {kImpY, 2}},
      {"y坐标", {kImpY, 3}},               {"refy", {kImpY, 1}},          {"pady", {kImpY, 0}},
      {"rotation", {kImpRotation, 3}},     {"rot", {kImpRotation, 3}},    {"angle", {kImpRotation, 2}},
      {"rotate", {kImpRotation, 2}},       {"orientation", {kImpRotation, 2}}, {"角度", {kImpRotation, 3}},
      {"旋转", {kImpRotation, 3}},         {"旋转角度", {kImpRotation, 3}},
      {"comment", {kImpComment, 3}},       {"value", {kImpComment, 3}},   {"val", {kImpComment, 3}},
      {"partvalue", {kImpComment, 2}},     {"备注", {kImpComment, 3}},    {"注释", {kImpComment, 3}},
      {"元件数值", {kImpComment, 3}},      {"值", {kImpComment, 2}},
      {"layer", {kImpSide, 3}},            {"side", {kImpSide, 3}},       {"tb", {kImpSide, 3}},
      {"mirror", {kImpSide, 2}},           {"symmirror", {kImpSide, 3}},  {"symx", {kImpX, 3}},
      {"symy", {kImpY, 3}},                {"symrotate", {kImpRotation, 3}}, {"symrotation", {kImpRotation, 3}},
      {"compvalue", {kImpComment, 3}},           {"层", {kImpSide, 2}},         {"标记", {kImpSide, 2}},
  };
  const auto it = kTitles.find(n);
  return it == kTitles.end() ? TitleMatch{} : it->second;
}

struct TitledColumns {
  std::array<int, kImportColumns> pos{-1, -1, -1, -1, -1, -1, -1};
  int fieldCount = 0;
  std::optional<EdaLengthUnit> unit;
  std::vector<std::string> names;             // normalised titles
  std::vector<std::pair<int, int>> spans;     // character stretch of each title (blank-separated)
};

// A blank-separated word of a line with its place in characters (code
// points, so that a "µ" before it counts once).
struct Token {
  std::string text;  // without its quotes
  size_t byteBegin = 0, byteEnd = 0;
  int begin = 0, end = 0;  // characters [begin, end)
};

std::vector<Token> BlankTokens(std::string_view line) {
  std::vector<Token> out;
  size_t i = 0;
  int ch = 0;  // characters before i
  auto step = [&] {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++ch;
    ++i;
  };
  auto nextIsCont = [&] { return i < line.size() && (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80; };
  while (i < line.size()) {
    while (i < line.size() && (IsBlank(line[i]) || line[i] == '\r' || line[i] == '\n')) step();
    if (i >= line.size()) break;
    Token t;
    t.byteBegin = i;
    t.begin = ch;
    if (line[i] == '"') {
      step();
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            t.text.push_back('"');
            step();
            step();
            continue;
          }
          step();
          break;
        }
        t.text.push_back(line[i]);
        step();
      }
      while (i < line.size() && !IsBlank(line[i])) {
        t.text.push_back(line[i]);
        step();
      }
    } else {
      while (i < line.size() && !IsBlank(line[i]) && line[i] != '\r' && line[i] != '\n') {
        t.text.push_back(line[i]);
        step();
      }
    }
    while (nextIsCont()) step();
    t.byteEnd = i;
    t.end = ch;
    out.push_back(std::move(t));
  }
  return out;
}

struct TitleField {
  std::string text;
  int begin = 0, end = 0;  // characters of the title line (blank-separated titles)
};

// Titles of a title line: separated fields; for blank-separated lines two
// neighbouring words form one title when together they name a column
// ("Mid X", "Center X").
std::vector<TitleField> TitleFields(std::string_view line, Sep sep) {
  std::vector<TitleField> titles;
  if (sep != Sep::Blank) {
    for (std::string& f : SplitDelimitedFields(line, SepChar(sep))) titles.push_back({std::move(f), 0, 0});
    return titles;
  }
  std::vector<Token> words = BlankTokens(line);
  if (!words.empty() && words.front().text == "#") words.erase(words.begin());
  for (size_t i = 0; i < words.size(); ++i) {
    if (i + 1 < words.size()) {
      const std::string pair = words[i].text + " " + words[i + 1].text;
      if (MatchTitle(NormaliseTitle(pair, nullptr)).column >= 0) {
        titles.push_back({pair, words[i].begin, words[i + 1].end});
        ++i;
        continue;
      }
    }
    titles.push_back({words[i].text, words[i].begin, words[i].end});
  }
  return titles;
}

std::optional<TitledColumns> ReadTitleLine(std::string_view line, Sep sep) {
  const std::vector<TitleField> titles = TitleFields(line, sep);
  TitledColumns tc;
  tc.fieldCount = static_cast<int>(titles.size());
  std::array<int, kImportColumns> strength{-1, -1, -1, -1, -1, -1, -1};
  int known = 0;
  for (int i = 0; i < tc.fieldCount; ++i) {
    std::optional<EdaLengthUnit> unit;
    const std::string norm = NormaliseTitle(titles[static_cast<size_t>(i)].text, &unit);
    tc.names.push_back(norm);
    const TitleMatch m = MatchTitle(norm);
    if (m.column < 0) continue;
    ++known;
    if (unit && (m.column == kImpX || m.column == kImpY)) tc.unit = unit;
    if (m.strength > strength[static_cast<size_t>(m.column)]) {
      strength[static_cast<size_t>(m.column)] = m.strength;
      tc.pos[static_cast<size_t>(m.column)] = i;
    }
  }
  if (known < 3 || tc.pos[kImpDesignator] < 0 || tc.pos[kImpX] < 0 || tc.pos[kImpY] < 0) return std::nullopt;
  if (sep == Sep::Blank && line.find('\t') == std::string_view::npos)
    for (const TitleField& t : titles) tc.spans.push_back({t.begin, t.end});
  return tc;
}

// Cuts a line of a blank-separated file at the character positions of its
// title line: each word belongs to the title it lies under (left-aligned
// texts start where their title starts, right-aligned numbers end where
// theirs ends), and words that lie under no title belong to the column on
// whose stretch they start, so texts with blanks and no quotes ("M3 Socket
// head") stay whole. Empty when the line does not keep to the positions.
std::optional<std::vector<std::string>> CutAtTitlePositions(std::string_view line,
                                                           const std::vector<std::pair<int, int>>& spans) {
  const std::vector<Token> tokens = BlankTokens(line);
  const int n = static_cast<int>(spans.size());
  std::vector<std::string> fields(static_cast<size_t>(n));
  std::vector<int> first(static_cast<size_t>(n), -1), last(static_cast<size_t>(n), -1);
  int column = 0;
  for (int t = 0; t < static_cast<int>(tokens.size()); ++t) {
    const Token& tok = tokens[static_cast<size_t>(t)];
    int best = -1, bestOverlap = 0;
    for (int j = 0; j < n; ++j) {
      const int overlap = std::min(tok.end, spans[static_cast<size_t>(j)].second) -
                          std::max(tok.begin, spans[static_cast<size_t>(j)].first);
      if (overlap > bestOverlap) bestOverlap = overlap, best = j;
    }
    if (best < 0) {
      best = 0;
      for (int j = 0; j < n; ++j)
        if (tok.begin >= spans[static_cast<size_t>(j)].first) best = j;
    }
    if (best < column) return std::nullopt;  // out of order
    column = best;
    if (first[static_cast<size_t>(best)] < 0) {
      const auto& sp = spans[static_cast<size_t>(best)];
      if (tok.begin != sp.first && tok.end != sp.second) return std::nullopt;  // not aligned
      first[static_cast<size_t>(best)] = t;
    }
    last[static_cast<size_t>(best)] = t;
  }
  for (int j = 0; j < n; ++j) {
    const int a = first[static_cast<size_t>(j)], b = last[static_cast<size_t>(j)];
    if (a < 0) continue;
    if (a == b) {
      fields[static_cast<size_t>(j)] = tokens[static_cast<size_t>(a)].text;
    } else {
      const size_t from = tokens[static_cast<size_t>(a)].byteBegin, to = tokens[static_cast<size_t>(b)].byteEnd;
      fields[static_cast<size_t>(j)] = std::string(line.substr(from, to - from));
    }
  }
  return fields;
}

// ---------------------------------------------------------------- rows

bool IsCommentLine(std::string_view t) { return !t.empty() && t.front() == '#'; }

bool IsRuleLine(std::string_view t) {
  // "=====" or "-----" separators of a preamble
  return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c == '=' || c == '-' || IsBlank(c); });
}

std::vector<std::string> Fields(std::string_view line, Sep sep) {
  return sep == Sep::Blank ? SplitBlankFields(line) : SplitDelimitedFields(line, SepChar(sep));
}

// Cells of one line by a field plan.
std::array<std::string, kImportColumns> ApplyPlan(const std::vector<std::string>& f,
                                                  const std::array<int, kImportColumns>& pos, int restColumn,
                                                  const char* joiner) {
  std::array<std::string, kImportColumns> cells;
  for (int c = 0; c < kImportColumns; ++c) {
    const int p = pos[static_cast<size_t>(c)];
    if (p < 0 || p >= static_cast<int>(f.size())) continue;
    cells[static_cast<size_t>(c)] = c == restColumn ? Join(f, static_cast<size_t>(p), joiner) : f[static_cast<size_t>(p)];
  }
  return cells;
}

bool IsMirrorFlag(const std::string& f) {
  const std::string l = Lower(f);
  return l == "m" || l == "mirror" || l == "yes" || l == "y" || l == "mirrored";
}
bool IsNotMirroredFlag(const std::string& f) {
  const std::string l = Lower(f);
  return l == "no" || l == "n" || l.empty();
}

// An Allegro place_txt line. The old layout: "refdes x y rotation [m]
// symbol", blank-separated; Allegro 16 and 17 separate the columns with
// '!' ("refdes ! x ! y ! rotation ! mirror ! symbol ..."), or name them in
// a '#' title line (`titled`). A line with more words than the layout
// holds is left without a package, so that it is refused rather than
// read with a value glued into the package.
std::array<std::string, kImportColumns> AllegroCells(std::string_view line, const std::optional<TitledColumns>& titled) {
  std::array<std::string, kImportColumns> cells;
  if (line.find('!') != std::string_view::npos) {
    std::vector<std::string> f = SplitDelimitedFields(line, '!');
    if (titled) {
      for (int c = 0; c < kImportColumns; ++c) {
        const int p = titled->pos[static_cast<size_t>(c)];
        if (p >= 0 && p < static_cast<int>(f.size())) cells[static_cast<size_t>(c)] = f[static_cast<size_t>(p)];
      }
      if (!cells[kImpSide].empty()) cells[kImpSide] = IsMirrorFlag(cells[kImpSide]) ? "B" : "";
      return cells;
    }
    const std::array<int, 4> cols{kImpDesignator, kImpX, kImpY, kImpRotation};
    for (size_t k = 0; k < cols.size() && k < f.size(); ++k) cells[static_cast<size_t>(cols[k])] = f[k];
    size_t next = 4;
    if (f.size() > next && (IsMirrorFlag(f[next]) || IsNotMirroredFlag(f[next]))) {
      if (IsMirrorFlag(f[next])) cells[kImpSide] = "B";
      ++next;
    }
    if (f.size() > next) cells[kImpPackage] = f[next];
    if (f.size() > next + 1) cells[kImpComment] = f[next + 1];
    return cells;
  }
  const std::vector<std::string> f = SplitBlankFields(line);
  if (f.size() >= 1) cells[kImpDesignator] = f[0];
  if (f.size() >= 2) cells[kImpX] = f[1];
  if (f.size() >= 3) cells[kImpY] = f[2];
  if (f.size() >= 4) cells[kImpRotation] = f[3];
  if (f.size() == 6 && IsMirrorFlag(f[4])) {
    cells[kImpSide] = "B";
    cells[kImpPackage] = f[5];
  } else if (f.size() == 5) {
    cells[kImpPackage] = f[4];
  } else if (f.size() > 5) {
    cells[kImpComment] = kTooManyFields;
  }
  return cells;
}

std::array<std::string, kImportColumns> SpecialCells(Special sp, std::string_view line, bool bottomFile) {
  std::array<std::string, kImportColumns> cells;
  if (sp == Special::PowerPcb) {
    // "<designator>,<package> <x>,<y>,<rotation>,<value> ..."
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) return cells;
    cells[kImpDesignator] = std::string(Trim(line.substr(0, comma)));
    std::vector<std::string> t;
    std::string cur;
    for (char c : line.substr(comma + 1)) {
      if (IsBlank(c) || c == ',') {
        if (!cur.empty()) t.push_back(cur), cur.clear();
      } else {
        cur.push_back(c);
      }
    }
    if (!cur.empty()) t.push_back(cur);
    const int map[] = {kImpPackage, kImpX, kImpY, kImpRotation, kImpComment};
    for (size_t i = 0; i < t.size() && i < 5; ++i) cells[static_cast<size_t>(map[i])] = t[i];
    return cells;
  }
  if (sp == Special::Allegro) return AllegroCells(line, {});
  const std::vector<std::string> f = SplitBlankFields(line);
  // Eagle: name x y angle value... package; the value may hold blanks, the
  // package is the last word.
  if (f.size() >= 1) cells[kImpDesignator] = f[0];
  if (f.size() >= 2) cells[kImpX] = f[1];
  if (f.size() >= 3) cells[kImpY] = f[2];
  if (f.size() >= 4) cells[kImpRotation] = f[3];
  if (f.size() >= 5) cells[kImpPackage] = f.back();
  if (f.size() >= 6) {
    std::vector<std::string> value(f.begin() + 4, f.end() - 1);
    cells[kImpComment] = Join(value, 0, " ");
  }
  cells[kImpSide] = bottomFile ? "B" : "T";
  return cells;
}

// Empty when the cells make a part; else the reason.
std::string CheckCells(const std::array<std::string, kImportColumns>& c, bool needDesignator) {
  if (c[kImpComment] == kTooManyFields) return "字段多于该格式的列 / more fields than the format's columns";
  if (needDesignator && c[kImpDesignator].empty()) return "没有元件名称 / no designator";
  if (c[kImpX].empty()) return "没有X坐标 / no X coordinate";
  if (!ParseEdaLength(c[kImpX])) return "X坐标不是数字 / X is not a number: \"" + c[kImpX] + "\"";
  if (c[kImpY].empty()) return "没有Y坐标 / no Y coordinate";
  if (!ParseEdaLength(c[kImpY])) return "Y坐标不是数字 / Y is not a number: \"" + c[kImpY] + "\"";
  if (c[kImpRotation].empty()) return "没有旋转角度 / no rotation";
  if (!ParseEdaNumber(c[kImpRotation]))
    return "旋转角度不是数字 / rotation is not a number: \"" + c[kImpRotation] + "\"";
  return {};
}

// Index of the first line that belongs to the data by the layout's
// preamble rule (lines before it may be skipped when they are not data).
size_t PreambleEnd(const std::vector<TextLine>& lines, const Layout& l) {
  size_t i = 0;
  int blanks = 0;
  if (l.blankLines > 0) {
    while (i < lines.size() && blanks < l.blankLines) {
      if (Trim(lines[i].text).empty()) ++blanks;
      ++i;
    }
    if (blanks < l.blankLines) return 0;  // no such empty line: no preamble
  }
  return std::min(lines.size(), i + static_cast<size_t>(l.headerLines));
}

Sep DetectSeparator(const std::vector<TextLine>& lines, Sep preferred) {
  if (preferred == Sep::Blank) return preferred;
  // The separator that occurs most, outside quotes, in the first lines.
  std::map<char, int> counts;
  int seen = 0;
  for (const auto& l : lines) {
    if (Trim(l.text).empty()) continue;
    bool quoted = false;
    for (char c : l.text) {
      if (c == '"') quoted = !quoted;
      else if (!quoted && (c == ',' || c == '\t' || c == ';')) ++counts[c];
    }
    if (++seen >= 20) break;
  }
  char best = SepChar(preferred);
  for (const auto& [c, n] : counts)
    if (n > counts[best]) best = c;
  return best == ',' ? Sep::Comma : best == '\t' ? Sep::Tab : best == ';' ? Sep::Semicolon : preferred;
}

}  // namespace

// ---------------------------------------------------------------- field cutting

std::vector<std::string> SplitBlankFields(std::string_view line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (IsBlank(line[i]) || line[i] == '\r' || line[i] == '\n')) ++i;
    if (i >= line.size()) break;
    std::string f;
    if (line[i] == '"') {
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            f.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f.push_back(line[i++]);
      }
      // text glued to the closing quote belongs to the same field
      while (i < line.size() && !IsBlank(line[i])) f.push_back(line[i++]);
    } else {
      while (i < line.size() && !IsBlank(line[i])) f.push_back(line[i++]);
    }
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<std::string> SplitDelimitedFields(std::string_view line, char sep) {
  std::vector<std::string> out;
  size_t i = 0;
  while (true) {
    while (i < line.size() && line[i] != sep && IsBlank(line[i])) ++i;
    std::string f;
    if (i < line.size() && line[i] == '"') {
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            f.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f.push_back(line[i++]);
      }
      while (i < line.size() && line[i] != sep) f.push_back(line[i++]);  // after the closing quote
      f = std::string(Trim(f));
    } else {
      const size_t e = line.find(sep, i);
      f = std::string(Trim(line.substr(i, e == std::string_view::npos ? std::string_view::npos : e - i)));
      i = e == std::string_view::npos ? line.size() : e;
    }
    out.push_back(std::move(f));
    if (i >= line.size()) break;
    ++i;  // the separator
    if (i >= line.size()) {
      out.emplace_back();  // a separator at the end leaves one empty field
      break;
    }
  }
  return out;
}

bool ParseEdaNumber(std::string_view text, double* value) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  double v = 0;
  const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (ec != std::errc() || ptr != t.data() + t.size()) return false;
  if (!std::isfinite(v)) return false;  // "nan", "inf" are no numbers of a part
  if (value) *value = v;
  return true;
}

namespace {

// The unit written on a length ("12.5mm", "100mil"), and the number before it.
EdaLengthUnit SplitLengthSuffix(std::string_view& t) {
  const std::string l = Lower(t);
  for (const char* suffix : {"mils", "mil", "mm"}) {
    const size_t n = std::char_traits<char>::length(suffix);
    if (l.size() > n && l.compare(l.size() - n, n, suffix) == 0) {
      t = t.substr(0, t.size() - n);
      return suffix[1] == 'm' ? EdaLengthUnit::Millimetre : EdaLengthUnit::Mil;
    }
  }
  return EdaLengthUnit::Unstated;
}

constexpr double kMmPerMil = 0.0254;
constexpr double kMmPerInch = 25.4;

}  // namespace

bool ParseEdaLength(std::string_view text, double* value) {
  std::string_view t = Trim(text);
  SplitLengthSuffix(t);
  return ParseEdaNumber(t, value);
}

void ReadImportNumbers(ImportRow& row) {
  struct Field {
    const char* chinese;
    const char* english;
  };
  // "X坐标不是数字 / X is not a number: "abc"", as the line checks say it.
  auto notNumber = [&row](Field f, const std::string& text) {
    throw EdaImportError(row.sourceFile, row.sourceLine,
                         std::string(f.chinese) + "不是数字 / " + f.english + " is not a number: \"" + text + "\"");
  };
  auto outside = [&row](Field f, const std::string& text, double hi, const char* unit) {
    const std::string range = "-" + std::to_string(static_cast<long long>(hi)) + ".." +
                              std::to_string(static_cast<long long>(hi)) + " " + unit;
    throw EdaImportError(row.sourceFile, row.sourceLine,
                         std::string(f.chinese) + "超出范围 " + range + " / " + f.english + " is outside " + range +
                             ": \"" + text + "\"");
  };
  auto length = [&](int column, Field field, double& mm, bool& asWritten) {
    const std::string& cell = row.Cell(column);
    std::string_view t = Trim(cell);
    const EdaLengthUnit written = SplitLengthSuffix(t);
    double v = 0;
    if (!ParseEdaNumber(t, &v)) notNumber(field, cell);
    EdaLengthUnit unit = written;
    if (unit == EdaLengthUnit::Unstated) unit = row.fileUnit;
    if (unit == EdaLengthUnit::Unstated && row.rule == EdaUnitRule::Thou) unit = EdaLengthUnit::Mil;
    // A bare number in millimetres (or in no unit a rule converts) goes to
    // the placement row as the file wrote it.
    asWritten = written == EdaLengthUnit::Unstated &&
                (unit == EdaLengthUnit::Millimetre || unit == EdaLengthUnit::Unstated);
    mm = unit == EdaLengthUnit::Mil ? v * kMmPerMil : unit == EdaLengthUnit::Inch ? v * kMmPerInch : v;
    if (!(mm >= -kMaxImportMm && mm <= kMaxImportMm)) outside(field, cell, kMaxImportMm, "mm");
  };
  length(kImpX, {"X坐标", "X"}, row.xMm, row.xAsWritten);
  length(kImpY, {"Y坐标", "Y"}, row.yMm, row.yAsWritten);
  const Field rotation{"旋转角度", "rotation"};
  const std::string& cell = row.Cell(kImpRotation);
  double a = 0;
  if (!ParseEdaNumber(cell, &a)) notNumber(rotation, cell);
  if (!(a >= -kMaxImportRotation && a <= kMaxImportRotation)) outside(rotation, cell, kMaxImportRotation, "degrees");
  row.rotation = a;
}

// ---------------------------------------------------------------- the reader

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
  const size_t n = std::char_traits<char>::length(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// "VERSION = 2.0", "UUNITS = MILS": a setting line of a preamble.
bool IsSettingLine(std::string_view t) {
  size_t i = 0;
  while (i < t.size() && (std::isalpha(static_cast<unsigned char>(t[i])) || t[i] == '_')) ++i;
  if (i == 0) return false;
  while (i < t.size() && IsBlank(t[i])) ++i;
  return i < t.size() && t[i] == '=';
}

// Whether an Allegro format's file is a place_txt (old or new layout).
bool LooksLikePlaceTxt(const std::vector<TextLine>& lines) {
  for (const TextLine& l : lines) {
    const std::string_view t = Trim(l.text);
    if (t.empty()) continue;
    const std::string low = Lower(t.substr(0, 8));
    return low.rfind("version", 0) == 0 || low.rfind("uunits", 0) == 0 ||
           (t.find('!') != std::string_view::npos);
  }
  return false;
}

// The format a file's own header points to, or -1: the first lines of
// Allegro and KiCad, the titles of Altium, KiCad and EasyEDA exports, and
// the file's extension.
int FormatTheHeaderNames(const std::vector<TextLine>& lines, const std::string& fileName) {
  const size_t probe = std::min<size_t>(lines.size(), 60);
  for (size_t i = 0; i < probe; ++i) {
    const std::string_view t = Trim(lines[i].text);
    if (t.empty()) continue;
    const std::string low = Lower(t);
    if (low.rfind("uunits", 0) == 0 || (low.rfind("version", 0) == 0 && IsSettingLine(t))) return 7;
    if (low.rfind("### module positions", 0) == 0 || low.rfind("## unit", 0) == 0) return 9;
    for (Sep sep : {Sep::Tab, Sep::Comma, Sep::Blank}) {
      if (sep != Sep::Blank && t.find(SepChar(sep)) == std::string_view::npos) continue;
      const auto titled = ReadTitleLine(t, sep);
      if (!titled) continue;
      auto has = [&](const char* n) {
        return std::find(titled->names.begin(), titled->names.end(), n) != titled->names.end();
      };
      if (has("posx")) return sep == Sep::Blank ? 9 : 10;
      if (has("midx") || has("centerx") || has("refx")) {
        if (sep == Sep::Tab) return 22;
        if (sep == Sep::Comma) return t.front() == '"' ? 5 : 4;
        return has("centerx") ? 3 : 2;
      }
      break;
    }
  }
  const std::string name = Lower(fileName);
  if (EndsWith(name, ".mnt") || EndsWith(name, ".mnb")) return 8;
  if (EndsWith(name, ".pos")) return 9;
  if (EndsWith(name, ".pkp")) return 11;
  if (EndsWith(name, ".318")) return 16;
  if (EndsWith(name, ".pik")) return 1;
  return -1;
}

// The unit a header implies without stating it: KiCad's position titles
// (PosX, PosY) are millimetres.
std::optional<EdaLengthUnit> UnitTheTitlesImply(const TitledColumns& t) {
  for (const std::string& n : t.names)
    if (n == "posx" || n == "posy") return EdaLengthUnit::Millimetre;
  return std::nullopt;
}

std::string CleanCell(std::string s) {
  // A quoted text typed with line breaks becomes one line.
  if (s.find_first_of("\r\n") == std::string::npos) return s;
  std::string r;
  bool br = false;
  for (char c : s) {
    if (c == '\r' || c == '\n') {
      br = true;
      continue;
    }
    if (br && !r.empty() && r.back() != ' ' && c != ' ') r.push_back(' ');
    br = false;
    r.push_back(c);
  }
  return r;
}

EdaFileContent ReadLines(int formatIndex, const std::vector<TextLine>& lines, const std::string& fileName) {
  const EdaFormat& format = EdaFormatAt(formatIndex);
  Layout layout = LayoutOf(format.reader);
  EdaFileContent out;
  layout.sep = DetectSeparator(lines, layout.sep);

  // Allegro 16 and 17 write place_txt in their own layout, whichever of the
  // Allegro formats reads it.
  const bool allegroFormat = format.reader == EdaReader::AllegroText || format.reader == EdaReader::AllegroCsv ||
                             format.reader == EdaReader::AllegroNewText;
  if (allegroFormat && (format.reader == EdaReader::AllegroText || LooksLikePlaceTxt(lines))) {
    layout = Plan(Sep::Blank, {0, 4, 1, 2, 3, -1, -1}, -1, 0, 1, Special::Allegro);
  }

  std::string lowerName = Lower(fileName);
  const bool bottomFile = EndsWith(lowerName, ".mnb");

  // A title line among the first lines names the columns.
  std::optional<TitledColumns> titled;
  size_t dataStart = 0;
  const size_t probe = std::min<size_t>(lines.size(), 60);
  if (layout.special == Special::None) {
    for (size_t i = 0; i < probe; ++i) {
      if (auto t = ReadTitleLine(lines[i].text, layout.sep)) {
        titled = t;
        dataStart = i + 1;
        break;
      }
    }
  } else if (layout.special == Special::Allegro) {
    // "# REFDES ! SYM_X ! ..." names the columns of the '!' layout.
    for (size_t i = 0; i < probe; ++i) {
      const std::string_view t = Trim(lines[i].text);
      if (!IsCommentLine(t) || t.find('!') == std::string_view::npos) continue;
      if (auto tc = ReadTitleLine(t.substr(1), Sep::Bang)) {
        titled = tc;
        break;
      }
    }
  }
  // The preamble may state the unit.
  const size_t preambleEnd = titled && layout.special == Special::None ? dataStart : PreambleEnd(lines, layout);
  for (size_t i = 0; i < std::min(lines.size(), std::max<size_t>(preambleEnd, 16)); ++i) {
    if (auto u = UnitStatement(lines[i].text)) {
      out.fileUnit = *u;
      break;
    }
  }
  if (titled && titled->unit) out.fileUnit = *titled->unit;
  out.titledColumns = titled.has_value();

  // A format that reads bare numbers in a unit of its own cannot read a
  // file whose header points to a tool writing another unit.
  if (format.unitRule == EdaUnitRule::Thou && out.fileUnit == EdaLengthUnit::Unstated && titled) {
    if (const auto implied = UnitTheTitlesImply(*titled); implied && *implied != EdaLengthUnit::Mil)
      throw EdaImportError(fileName, 0,
                           std::string("文件标题的坐标单位是毫米，与格式 ") + format.comboText +
                               " 的千分之一英寸不符 / the file's titles give millimetres, which contradicts " +
                               format.comboText + "'s thousandths of an inch");
  }

  const std::string joinText = layout.sep == Sep::Blank ? std::string(" ") : std::string(1, SepChar(layout.sep));

  auto isData = [&](std::string_view text) {
    return !(text.empty() || IsRuleLine(text) || IsCommentLine(text) ||
             (layout.special == Special::Allegro && IsSettingLine(text)));
  };
  const size_t firstLine = titled && layout.special == Special::None ? dataStart : 0;
  size_t lastLine = lines.size();
  if (layout.stopAtEndMark)
    for (size_t i = firstLine; i < lines.size(); ++i)
      if (Trim(lines[i].text).rfind("## End", 0) == 0) {
        lastLine = i;
        break;
      }

  // Blank-separated columns under a title line whose words keep to the
  // titles' positions are cut at those positions: texts may then hold
  // blanks without quotes, and an empty column stays empty.
  bool positional = false;
  if (titled && layout.special == Special::None && layout.sep == Sep::Blank && !titled->spans.empty()) {
    positional = true;
    int dataLines = 0;
    for (size_t i = firstLine; i < lastLine && positional; ++i) {
      const std::string_view text = Trim(lines[i].text);
      if (!isData(text)) continue;
      ++dataLines;
      if (!CutAtTitlePositions(lines[i].text, titled->spans)) positional = false;
    }
    positional = positional && dataLines > 0;
  }

  bool dataBegun = titled.has_value() && layout.special == Special::None;
  for (size_t i = firstLine; i < lastLine; ++i) {
    const std::string_view text = Trim(lines[i].text);
    if (!isData(text)) continue;

    std::array<std::string, kImportColumns> cells;
    if (layout.special == Special::Allegro) {
      cells = AllegroCells(text, titled);
    } else if (layout.special != Special::None) {
      cells = SpecialCells(layout.special, text, bottomFile);
    } else if (positional) {
      cells = ApplyPlan(*CutAtTitlePositions(lines[i].text, titled->spans), titled->pos, -1, " ");
    } else if (titled) {
      std::vector<std::string> f = Fields(text, layout.sep);
      // Extra fields of a blank-separated line belong to its last column
      // when that column is text.
      if (layout.sep == Sep::Blank && static_cast<int>(f.size()) > titled->fieldCount && titled->fieldCount > 0) {
        const int last = titled->fieldCount - 1;
        bool lastIsNumber = false;
        for (int c : {kImpX, kImpY, kImpRotation})
          if (titled->pos[static_cast<size_t>(c)] == last) lastIsNumber = true;
        if (lastIsNumber)
          throw EdaImportError(fileName, lines[i].number,
                               "字段数 " + std::to_string(f.size()) + " 多于标题 " +
                                   std::to_string(titled->fieldCount) + " / more fields than the title line names");
        f[static_cast<size_t>(last)] = Join(f, static_cast<size_t>(last), " ");
        f.resize(static_cast<size_t>(titled->fieldCount));
      }
      cells = ApplyPlan(f, titled->pos, -1, " ");
    } else {
      cells = ApplyPlan(Fields(text, layout.sep), layout.pos, layout.restColumn, joinText.c_str());
    }

    const bool needDesignator = layout.special != Special::PowerPcb;
    const std::string fault = CheckCells(cells, needDesignator);
    if (!fault.empty()) {
      // Lines of the preamble that are not parts are skipped; once the
      // parts have begun, or past the preamble, a line that is not a part
      // refuses the file.
      if (!dataBegun && i < preambleEnd) continue;
      throw EdaImportError(fileName, lines[i].number, fault);
    }
    dataBegun = true;
    ImportRow row;
    for (int c = 0; c < kImportColumns; ++c)
      row.cells[static_cast<size_t>(c)] = CleanCell(std::move(cells[static_cast<size_t>(c)]));
    row.rule = format.unitRule;
    row.fileUnit = out.fileUnit;
    row.sourceFile = fileName;
    row.sourceLine = lines[i].number;
    ReadImportNumbers(row);
    out.rows.push_back(std::move(row));
  }
  if (out.rows.empty()) throw EdaNoPartsError(fileName);
  for (auto& r : out.rows) r.fileUnit = out.fileUnit;
  return out;
}

}  // namespace

EdaNoPartsError::EdaNoPartsError(std::string file)
    : EdaImportError(std::move(file), 0, "文件中没有找到元件 / no parts found in the file") {}

EdaFileContent ReadEdaBytes(int formatIndex, const std::vector<uint8_t>& bytes, const std::string& fileName,
                            std::optional<EdaTextEncoding> encoding) {
  if (bytes.size() > kMaxEdaFileBytes) throw EdaImportError(fileName, 0, "文件太大 / the file is too large");
  const EdaDecodedText decoded = encoding ? DecodeEdaText(bytes, *encoding) : DecodeEdaText(bytes);
  const std::vector<TextLine> lines = SplitLines(decoded.text);
  try {
    EdaFileContent out = ReadLines(formatIndex, lines, fileName);
    out.encoding = decoded.encoding;
    return out;
  } catch (EdaNoPartsError&) {
    throw;
  } catch (EdaImportError& e) {
    // Offer the format the file's own header points to.
    const int suggested = FormatTheHeaderNames(lines, fileName);
    if (suggested >= 0 && suggested != formatIndex) e.SetSuggestedFormat(suggested);
    throw;
  }
}

EdaFileContent ReadEdaFile(int formatIndex, const std::filesystem::path& path, std::optional<EdaTextEncoding> encoding) {
  const std::string name = path.string();
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw EdaImportError(name, 0, "无法打开文件 / the file cannot be opened");
  if (size > kMaxEdaFileBytes) throw EdaImportError(name, 0, "文件太大 / the file is too large");
  std::vector<uint8_t> bytes;
  try {
    bytes = smt::platform::ReadWholeFile(path);
  } catch (const smt::platform::FileError&) {
    throw EdaImportError(name, 0, "无法打开文件 / the file cannot be opened");
  }
  return ReadEdaBytes(formatIndex, bytes, name, encoding);
}

}  // namespace smt::job
