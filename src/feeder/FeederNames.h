#pragma once
// The name tables the feeder cells are translated with: the nine feed-mode
// names and the eight speed-use names of each of the three languages, and
// the language in use. Cells store a name in the language current when they
// were written; loading and showing translate them.
#include <array>
#include <string>

namespace smt {
class Machine;
}

namespace smt::feeder {

enum FeedMode {
  kIntegrationFeed = 0, kAutoFeed, kVibrationFeed, kGridBox, k0402, k48, kDragHand, kClDip, kGridDip, kFeedModeCount
};

struct FeederNameTables {
  std::array<std::string, 27> feed;   // language * 9 + mode
  std::array<std::string, 24> speed;  // language * 8 + use
  int language = 0;                   // 0 Chinese, 1 English, 2 German

  const std::string& Mode(int mode) const { return feed[static_cast<size_t>(Lang() * 9 + mode)]; }
  int Lang() const { return language < 0 || language > 2 ? 0 : language; }
  // The mode index of a current-language name, -1 when none.
  int ModeOf(const std::string& name) const;
};

// The tables of `machine` (its names.feedTypeNames, names.speedNames and languageSet);
// built-in Chinese feed-mode names stand in for names not loaded yet.
FeederNameTables NameTablesOf(const smt::Machine& machine);
// Built-in names (Chinese feed modes for every language when none are given).
FeederNameTables BuiltInNameTables(int language = 0);

// Cell 14: a name of the first seven modes of any language becomes the same
// mode's name in the current language; anything else stays as it is.
std::string TranslateFeedModeCell(const std::string& cell, const FeederNameTables& t);
// The same comparison; nullopt-like empty result when nothing matched.
bool MatchFeedMode(const std::string& cell, const FeederNameTables& t, int* mode);
// Cell 23: "<flag>/<speed-use name>" with the name translated; unchanged
// without "/" or without a match.
std::string TranslateSpeedCell(const std::string& cell, const FeederNameTables& t);
bool MatchSpeedName(const std::string& name, const FeederNameTables& t, int* use);

}  // namespace smt::feeder
