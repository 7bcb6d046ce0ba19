#pragma once
// The range of every numeric key of config.ini that the detour, feeder,
// conveyor, cover-tape, dipping, labeling, lamp, jog panel, firmware switch,
// strategy, run feed, PCB editor, origin update, package editor, nozzle
// change, two-mark test and import sections hold.
// One table for all of them, because several subsystems read the same key (the jog panel reads the
// conveyor speeds and the feed delay, the nozzle library the strategy
// switches): every reader of a key reads it with the same range and the same
// default, so a key is refused once and means one value everywhere.
//
// The machine settings, pulses and speeds have field tables of their own
// (BasicSettings.h, PulseSettings.h, SpeedSettings.h).
#include <span>
#include <string>
#include <utility>
#include <string_view>

#include "platform/SettingsSection.h"

namespace smt::settings {

struct ConfigKeyRange {
  std::string_view section;
  std::string_view key;
  double lo, hi;
  bool integer;
  // The value of a missing or empty key, and of a refused one.
  double def;
  // A stored 0 means "not set yet" and reads as `def` without a word (the
  // keys whose 0 the loaders have always turned into a working value).
  bool zeroIsUnset;
  // 'X' or 'Y': a position or distance on the machine's table along that
  // axis, within the travel the machine is configured for (see
  // ConfigKeyBounds); 0: lo..hi.
  char travel = 0;
};

std::span<const ConfigKeyRange> ConfigKeyRanges();

// The machine's travel along 'X' or 'Y' (mm, positive) as the settings file
// at `configPath` holds it ([SetBasicConfig] m_X_Limit / m_Y_Limit); a
// limit not set yet, or not a number of its range, gives the widest travel
// a limit can take (10000 mm).
double ConfiguredTravel(const std::string& configPath, char axis);
// The range of `r`'s values for the settings file at `configPath`: -travel
// ..travel of its axis for a key on the machine's table, else lo..hi. The
// dialog that edits the key and every reader of it use this one range.
std::pair<double, double> ConfigKeyBounds(const ConfigKeyRange& r, const std::string& configPath);
const ConfigKeyRange* FindConfigKeyRange(std::string_view section, std::string_view key);

// Reads `key` of the section `s` through the typed reader with the key's
// range and default from the table: a text that is not a number of that
// range is refused (named file, section, key and range, told once) and the
// default is used; the file is not written. A key missing from the table is
// a programming fault: it reads as any 32-bit integer / any finite number
// with default 0 and says so on stderr.
int ReadConfigInt(const platform::SettingsSection& s, std::string_view key);
double ReadConfigNumber(const platform::SettingsSection& s, std::string_view key);

}  // namespace smt::settings
