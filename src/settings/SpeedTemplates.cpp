#include "settings/SpeedTemplates.h"

#include "platform/FileCell.h"
#include "platform/SettingsSection.h"

namespace smt::settings {

const std::array<const char*, kSpeedAxisCount>& SpeedAxisKeys() {
  static const std::array<const char*, kSpeedAxisCount> k = {
      "X", "Y", "Z1", "Z2", "A1", "A2", "A3", "A4", "WestWalk", "WestLift", "NorthWalk", "NorthLift",
      "EastWalk", "EastLift", "AutoWalk1", "AutoWalk2"};
  return k;
}

std::string SpeedCell(int start, int normal) { return std::to_string(start) + " / " + std::to_string(normal); }

std::optional<std::pair<std::string, std::string>> SplitSpeedCell(const std::string& cell) {
  const auto at = cell.find(" / ");
  if (at == std::string::npos) return std::nullopt;
  return std::make_pair(cell.substr(0, at), cell.substr(at + 3));
}

std::optional<SpeedPair> ParseSpeedCell(const std::string& cell) {
  auto parts = SplitSpeedCell(cell);
  if (!parts) return std::nullopt;
  const auto start = platform::ParseCellInteger(parts->first, kSpeedMin, kStoredSpeedMax);
  const auto normal = platform::ParseCellInteger(parts->second, kSpeedMin, kStoredSpeedMax);
  if (!start || !normal) return std::nullopt;
  return SpeedPair{static_cast<int>(*start), static_cast<int>(*normal)};
}

const SpeedNameTable& DefaultSpeedNames() {
  static const SpeedNameTable k = {{
      {"复位速度", "手控速度", "取料速度", "贴装速度", "视觉对中速度", "视觉贴装速度", "自动换吸嘴速度", "取芯片速度1"},
      {"Reset speed", "Manual control", "Picking speed", "Mounting speed", "Visual aglinment speed",
       "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1"},
      {"Reset speed", "Manual control", "Picking speed", "Mounting speed", "Visual aglinment speed",
       "Visual mounting speed", "Nozzle change speed", "Pick chip speed 1"},
  }};
  return k;
}

std::string TranslateSpeedName(const std::string& name, const SpeedNameTable& names, int language) {
  if (language < 0 || language > 2) return name;
  for (const auto& lang : names)
    for (size_t i = 0; i < lang.size(); ++i)
      if (lang[i] == name) return names[language][i];
  return name;
}

std::optional<SpeedRecord> SpeedTemplate::Record() const {
  SpeedRecord rec{};
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const auto& p = speeds[static_cast<size_t>(a)];
    if (!p) return std::nullopt;
    rec[static_cast<size_t>(a)] = *p;
  }
  return rec;
}

SpeedTemplate SpeedTemplate::Of(std::string name, const SpeedRecord& record) {
  SpeedTemplate t;
  t.name = std::move(name);
  for (int a = 0; a < kSpeedAxisCount; ++a) t.speeds[static_cast<size_t>(a)] = record[static_cast<size_t>(a)];
  return t;
}

SpeedTemplateRow SpeedTemplateRow::Read(const std::string& text, const SpeedNameTable& names, int language, int line,
                                        std::vector<SpeedCellProblem>* problems) {
  SpeedTemplateRow row;
  row.fromText_ = true;
  row.cells_ = SplitTemplateCells(text);
  const auto lastTab = text.rfind('\t');
  row.tail_ = lastTab == std::string::npos ? text : text.substr(lastTab + 1);
  const size_t present = row.cells_.size();
  if (present >= 1) row.read_.name = TranslateSpeedName(row.cells_[0], names, language);
  // A row cut short is one refusal (its missing axes have no speeds).
  if (problems && present < static_cast<size_t>(kTemplateCells))
    problems->push_back({line, row.read_.name + ": cells",
                         std::to_string(present) + " of " + std::to_string(kTemplateCells) + " cells"});
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const size_t c = static_cast<size_t>(a + 1);
    if (c >= present) break;
    row.read_.speeds[static_cast<size_t>(a)] = ParseSpeedCell(row.cells_[c]);
    if (problems && !row.read_.speeds[static_cast<size_t>(a)])
      problems->push_back({line, row.read_.name + ": " + SpeedAxisKeys()[static_cast<size_t>(a)], row.cells_[c]});
  }
  row.value_ = row.read_;
  return row;
}

std::string SpeedTemplateRow::Text() const {
  // Each cell as read while it still holds the value read from it.
  std::vector<std::string> cells = cells_;
  // A new or changed row has every cell.
  if (cells.size() < static_cast<size_t>(kTemplateCells) && (!fromText_ || value_ != read_))
    cells.resize(kTemplateCells);
  if (!cells.empty() && (cells_.empty() || value_.name != cells_[0])) cells[0] = value_.name;
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const size_t c = static_cast<size_t>(a + 1);
    if (c >= cells.size()) break;
    const auto& now = value_.speeds[static_cast<size_t>(a)];
    const bool asRead = c < cells_.size() && now == read_.speeds[static_cast<size_t>(a)];
    if (!asRead) cells[c] = now ? SpeedCell(now->start, now->normal) : std::string();
  }
  std::string s;
  for (const auto& c : cells) {
    s += c;
    s += '\t';
  }
  return s + tail_;
}

TemplateCells SpeedTemplateRow::ShownCells() const {
  TemplateCells shown;
  shown[0] = value_.name;
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    const size_t c = static_cast<size_t>(a + 1);
    if (const auto& p = value_.speeds[static_cast<size_t>(a)]) shown[c] = SpeedCell(p->start, p->normal);
    else if (c < cells_.size()) shown[c] = cells_[c];
  }
  return shown;
}

const std::vector<SpeedTemplateRow>& SpeedTiers::Of(Tier t) const {
  return t == Tier::High ? high : t == Tier::Medium ? medium : low;
}
std::vector<SpeedTemplateRow>& SpeedTiers::Of(Tier t) {
  return t == Tier::High ? high : t == Tier::Medium ? medium : low;
}

std::vector<std::string> SplitTemplateCells(const std::string& row) {
  std::vector<std::string> cells;
  size_t begin = 0;
  for (;;) {
    const auto tab = row.find('\t', begin);
    if (tab == std::string::npos) break;  // text after the last TAB is no cell
    cells.push_back(row.substr(begin, tab - begin));
    begin = tab + 1;
  }
  return cells;
}

std::string JoinTemplateCells(const TemplateCells& row) {
  std::string s;
  for (const auto& c : row) {
    s += c;
    s += '\t';
  }
  return s;
}

BuildResult BuildTemplateArrays(const std::vector<std::string>& rows, const SpeedNameTable& names, int language) {
  BuildResult r;
  const size_t count = rows.size() / 3;
  // Every speed cell is checked where the list is read.
  auto rowAt = [&](size_t i) {
    return SpeedTemplateRow::Read(rows[i], names, language, static_cast<int>(i + 1), &r.problems);
  };
  for (size_t i = 0; i < count; ++i) r.tiers.high.push_back(rowAt(i));
  for (size_t i = 0; i < count; ++i) r.tiers.medium.push_back(rowAt(count + i));
  for (size_t i = 0; i < count; ++i) r.tiers.low.push_back(rowAt(2 * count + i));
  for (size_t i = 3 * count; i < rows.size(); ++i) r.tiers.extraRows.push_back(rows[i]);
  if (!r.tiers.extraRows.empty()) {
    r.warning = "config_speed.fig: " + std::to_string(rows.size()) +
                " template rows is not a multiple of three; the last " + std::to_string(r.tiers.extraRows.size()) +
                " row(s) are not used but kept in the file";
  }
  return r;
}

std::vector<std::string> WriteTemplateRows(const SpeedTiers& t) {
  std::vector<std::string> rows;
  if (t.Count() >= 1) {
    for (const auto* tier : {&t.high, &t.medium, &t.low})
      for (const auto& row : *tier) rows.push_back(row.Text());
  }
  for (const auto& extra : t.extraRows) rows.push_back(extra);
  return rows;
}

std::optional<SpeedRecord> FindTemplateSpeeds(const SpeedTiers& tiers, int tier, const std::string& name) {
  if (tier < 1 || tier > 3) return std::nullopt;
  for (size_t i = 0; i < tiers.high.size(); ++i) {
    if (tiers.high[i].Name() == name) {
      const auto& rows = tiers.Of(static_cast<Tier>(tier));
      if (i >= rows.size()) return std::nullopt;
      return rows[i].Value().Record();
    }
  }
  return std::nullopt;
}

SpeedUseNames ParseUseLine(const std::string& line, const SpeedNameTable& names, int language) {
  SpeedUseNames uses;
  auto parts = SplitTemplateCells(line);
  for (size_t i = 0; i < parts.size() && i < uses.size(); ++i) uses[i] = TranslateSpeedName(parts[i], names, language);
  return uses;
}

std::string BuildUseLine(const SpeedUseNames& uses) {
  std::string s;
  for (const auto& u : uses) {
    s += u;
    s += '\t';
  }
  return s;
}

}  // namespace smt::settings
