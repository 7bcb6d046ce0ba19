#include "feeder/FeederNames.h"

#include "core/MachineState.h"
#include "core/NameTables.h"
#include "settings/SpeedTemplates.h"

namespace smt::feeder {

namespace {
const char* const kChineseModes[9] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
}

int FeederNameTables::ModeOf(const std::string& name) const {
  for (int m = 0; m < kFeedModeCount; ++m)
    if (!name.empty() && Mode(m) == name) return m;
  return -1;
}

FeederNameTables BuiltInNameTables(int language) {
  FeederNameTables t;
  for (int l = 0; l < 3; ++l)
    for (int m = 0; m < 9; ++m) t.feed[static_cast<size_t>(l * 9 + m)] = kChineseModes[m];
  const auto& sp = smt::settings::DefaultSpeedNames();
  for (size_t l = 0; l < 3; ++l)
    for (size_t u = 0; u < 8; ++u) t.speed[l * 8 + u] = sp[l][u];
  t.language = language;
  return t;
}

FeederNameTables NameTablesOf(const smt::Machine& machine) {
  FeederNameTables t = BuiltInNameTables(machine.languageSet.load());
  for (size_t i = 0; i < 27; ++i)
    if (!machine.names.feedTypeNames[i].empty()) t.feed[i] = machine.names.feedTypeNames[i];
  for (size_t i = 0; i < 24; ++i)
    if (!machine.names.speedNames[i].empty()) t.speed[i] = machine.names.speedNames[i];
  return t;
}

bool MatchFeedMode(const std::string& cell, const FeederNameTables& t, int* mode) {
  if (cell.empty()) return false;
  for (int l = 0; l < 3; ++l)
    for (int m = 0; m < 7; ++m)
      if (t.feed[static_cast<size_t>(l * 9 + m)] == cell) {
        if (mode) *mode = m;
        return true;
      }
  return false;
}

std::string TranslateFeedModeCell(const std::string& cell, const FeederNameTables& t) {
  int m = 0;
  return MatchFeedMode(cell, t, &m) ? t.Mode(m) : cell;
}

bool MatchSpeedName(const std::string& name, const FeederNameTables& t, int* use) {
  if (name.empty()) return false;
  for (int l = 0; l < 3; ++l)
    for (int u = 0; u < 8; ++u)
      if (t.speed[static_cast<size_t>(l * 8 + u)] == name) {
        if (use) *use = u;
        return true;
      }
  return false;
}

std::string TranslateSpeedCell(const std::string& cell, const FeederNameTables& t) {
  const size_t slash = cell.find('/');
  if (slash == std::string::npos) return cell;
  int u = 0;
  if (!MatchSpeedName(cell.substr(slash + 1), t, &u)) return cell;
  return cell.substr(0, slash + 1) + t.speed[static_cast<size_t>(t.Lang() * 8 + u)];
}

}  // namespace smt::feeder
