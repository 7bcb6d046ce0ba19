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
inline constexpr int kTemplateCells = 17;
using TemplateRow = std::array<std::string, kTemplateCells>;

// Key part of each axis, in cell order 1..16.
const std::array<const char*, kSpeedAxisCount>& SpeedAxisKeys();

struct SpeedPair {
  int start = 0;
  int normal = 0;
  bool operator==(const SpeedPair&) const = default;
};
using SpeedRecord = std::array<SpeedPair, kSpeedAxisCount>;

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

struct SpeedTiers {
  std::vector<TemplateRow> high, medium, low;
  // Rows of a list whose size was not a multiple of three: kept and written
  // back after the low tier so that no row is lost.
  std::vector<std::string> extraRows;

  int Count() const { return static_cast<int>(high.size()); }
  const std::vector<TemplateRow>& Of(Tier t) const;
  std::vector<TemplateRow>& Of(Tier t);
  bool operator==(const SpeedTiers&) const = default;
};

// A template cell that does not read (named by line and field).
struct SpeedCellProblem {
  int line = 0;        // 1-based row of the template list
  std::string field;   // "<template name>: <axis>"
  std::string text;    // what the cell holds
};

struct BuildResult {
  SpeedTiers tiers;
  std::string warning;  // non-empty when the row count was not a multiple of three
  // Cells that do not read: the row keeps its text (it is saved back as it
  // came) and a lookup of that template finds no speeds.
  std::vector<SpeedCellProblem> problems;
};
// Splits the row list into the tiers; names that are built-in speed names
// follow `language`.
BuildResult BuildTemplateArrays(const std::vector<std::string>& rows, const SpeedNameTable& names, int language);
// The row list back from the tiers (extra rows last).
std::vector<std::string> WriteTemplateRows(const SpeedTiers& tiers);
std::vector<std::string> SplitTemplateCells(const std::string& row);  // cells before each TAB
std::string JoinTemplateCells(const TemplateRow& row);

// Looks a template up in a tier: row by name in the high tier, same row of
// `tier`. nullopt for an unknown name, a tier value outside 1..3, and a row
// with a cell that does not read (no speed of 0 or of a word reaches the
// machine).
std::optional<SpeedRecord> FindTemplateSpeeds(const SpeedTiers& tiers, int tier, const std::string& name);
SpeedRecord RecordOfRow(const TemplateRow& row);  // an unreadable cell gives {0, 0}
bool RowReads(const TemplateRow& row);

// The use assignment line: seven template names each followed by TAB.
inline constexpr int kSpeedUseCount = 7;
using SpeedUseNames = std::array<std::string, kSpeedUseCount>;
SpeedUseNames ParseUseLine(const std::string& line, const SpeedNameTable& names, int language);
std::string BuildUseLine(const SpeedUseNames& uses);

}  // namespace smt::settings
