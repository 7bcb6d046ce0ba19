#pragma once
// Speed templates: named sets of start and normal speeds for the 16 axes
// driven with template speeds, held in three tiers (high, medium, low) that
// always list the same templates in the same order. The stored form is the
// row list of "config_speed.fig": the high rows, then the medium rows, then
// the low rows, each row its 17 cells followed by TAB.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace smt::settings {

inline constexpr int kSpeedAxisCount = 16;
inline constexpr int kTemplateCells = 17;  // the name, then one cell per axis
// The texts of a stored row's cells (the file's form, used where rows are
// read and written).
using TemplateCells = std::array<std::string, kTemplateCells>;

// Key part of each axis, in cell order 1..16.
const std::array<const char*, kSpeedAxisCount>& SpeedAxisKeys();

struct SpeedPair {
  int start = 0;
  int normal = 0;
  bool operator==(const SpeedPair&) const = default;
};
using SpeedRecord = std::array<SpeedPair, kSpeedAxisCount>;

// A speed template as the program uses it: its name and the start and
// normal speeds of each axis. An axis whose stored cell did not read holds
// no speeds (never 0).
struct SpeedTemplate {
  std::string name;
  std::array<std::optional<SpeedPair>, kSpeedAxisCount> speeds{};
  // Every axis's speeds; nullopt when an axis has none.
  std::optional<SpeedRecord> Record() const;
  static SpeedTemplate Of(std::string name, const SpeedRecord& record);
  bool operator==(const SpeedTemplate&) const = default;
};

// Speeds the template dialog takes.
inline constexpr int kSpeedMin = 1, kSpeedMax = 255;
// Speeds a stored template cell or per-use key may hold: the network link
// carries 32-bit speeds and files of other set-ups hold more than the
// dialog's 255; the bound is the highest speed setting of the program.
inline constexpr int kStoredSpeedMax = 100000;

// "start / normal"
std::string SpeedCell(int start, int normal);
// The two speeds of a cell "start / normal", each a whole number in
// kSpeedMin..kStoredSpeedMax; nullopt for anything else (no " / ", a word,
// "nan", a number out of range).
std::optional<SpeedPair> ParseSpeedCell(const std::string& cell);
// The two texts either side of the first " / " (nullopt without one).
std::optional<std::pair<std::string, std::string>> SplitSpeedCell(const std::string& cell);

// Built-in speed-use names, 3 languages x 8 names (Chinese, English, German).
using SpeedNameTable = std::array<std::array<std::string, 8>, 3>;
const SpeedNameTable& DefaultSpeedNames();
// A name that is one of the 24 built-in names becomes that name in `language`.
std::string TranslateSpeedName(const std::string& name, const SpeedNameTable& names, int language);

enum class Tier { High = 1, Medium = 2, Low = 3 };

// A template cell that does not read (named by line and field).
struct SpeedCellProblem {
  int line = 0;        // 1-based row of the template list
  std::string field;   // "<template name>: <axis>"
  std::string text;    // what the cell holds
};

// One row of the template list: its typed template, read once where the
// row's text comes in, and the text it came with. The row is written back
// as it was read while its template is unchanged; a changed row keeps the
// text of every cell whose value it still holds (odd spellings, cells that
// did not read, cells past the last axis, text after the last TAB) and
// writes the others as "start / normal".
class SpeedTemplateRow {
 public:
  SpeedTemplateRow() = default;
  explicit SpeedTemplateRow(SpeedTemplate value) : value_(std::move(value)) {}
  // Reads a stored row text. A built-in speed name follows `language`.
  // Cells that do not read are added to `problems` (line `line`); the row
  // keeps their text and holds no speeds for their axes.
  static SpeedTemplateRow Read(const std::string& text, const SpeedNameTable& names, int language, int line,
                               std::vector<SpeedCellProblem>* problems);

  const SpeedTemplate& Value() const { return value_; }
  const std::string& Name() const { return value_.name; }
  void Set(SpeedTemplate value) { value_ = std::move(value); }
  void Rename(std::string name) { value_.name = std::move(name); }
  void SetSpeeds(int axis, SpeedPair p) { value_.speeds[static_cast<size_t>(axis)] = p; }

  // The stored text of the row.
  std::string Text() const;
  // What the template list shows per cell: the name and each axis's speeds;
  // an axis without speeds shows the text it was read with.
  TemplateCells ShownCells() const;
  bool operator==(const SpeedTemplateRow&) const = default;

 private:
  SpeedTemplate value_;
  SpeedTemplate read_;             // the template as read
  std::vector<std::string> cells_; // the cell texts as read (each was followed by TAB)
  std::string tail_;               // text after the last TAB as read
  bool fromText_ = false;          // read from a stored row (else made by the program)
};

struct SpeedTiers {
  std::vector<SpeedTemplateRow> high, medium, low;
  // Rows of a list whose size was not a multiple of three: kept and written
  // back after the low tier so that no row is lost.
  std::vector<std::string> extraRows;

  int Count() const { return static_cast<int>(high.size()); }
  const std::vector<SpeedTemplateRow>& Of(Tier t) const;
  std::vector<SpeedTemplateRow>& Of(Tier t);
  bool operator==(const SpeedTiers&) const = default;
};

struct BuildResult {
  SpeedTiers tiers;
  std::string warning;  // non-empty when the row count was not a multiple of three
  // Cells that do not read: the row keeps its text (it is saved back as it
  // came) and a lookup of that template finds no speeds.
  std::vector<SpeedCellProblem> problems;
};
// The template list's reader: splits the row list into the tiers; names that
// are built-in speed names follow `language`.
BuildResult BuildTemplateArrays(const std::vector<std::string>& rows, const SpeedNameTable& names, int language);
// The template list's writer: the row list back from the tiers (extra rows last).
std::vector<std::string> WriteTemplateRows(const SpeedTiers& tiers);
std::vector<std::string> SplitTemplateCells(const std::string& row);  // cells before each TAB
std::string JoinTemplateCells(const TemplateCells& cells);

// Looks a template up in a tier: row by name in the high tier, same row of
// `tier`. nullopt for an unknown name, a tier value outside 1..3, and a
// template with an axis that has no speeds (no speed of 0 or of a word
// reaches the machine).
std::optional<SpeedRecord> FindTemplateSpeeds(const SpeedTiers& tiers, int tier, const std::string& name);

// The use assignment line: seven template names each followed by TAB.
inline constexpr int kSpeedUseCount = 7;
using SpeedUseNames = std::array<std::string, kSpeedUseCount>;
SpeedUseNames ParseUseLine(const std::string& line, const SpeedNameTable& names, int language);
std::string BuildUseLine(const SpeedUseNames& uses);

}  // namespace smt::settings
