#include "settings/SpeedTemplateEditor.h"

#include <algorithm>

#include "platform/SettingsSection.h"

namespace smt::settings {

namespace {
bool EqualNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                std::tolower(static_cast<unsigned char>(y)); });
}
}  // namespace

SpeedGrid DefaultSpeedGrid() {
  SpeedGrid g;
  for (auto& tier : g)
    for (auto& p : tier) p = {1, 1};
  return g;
}

const char* EditResultMessageKey(EditResult r) {
  switch (r) {
    case EditResult::NoSelection: return "SpeedTemplate.c_Message_02";
    case EditResult::InUse: return "SpeedTemplate.c_Message_03";
    case EditResult::NoTemplates: return "SpeedTemplate.c_Message_04";
    case EditResult::EmptyName: return "SpeedTemplate.c_Message_05";
    case EditResult::DuplicateName: return "SpeedTemplate.c_Message_06";
    default: return "";
  }
}

SpeedTemplateEditor::SpeedTemplateEditor(SpeedTiers tiers, SpeedUseNames uses)
    : tiers_(std::move(tiers)), uses_(std::move(uses)) {
  for (const auto& row : tiers_.high) choices_.push_back(row.Name());
  SortChoices();
}

void SpeedTemplateEditor::SortChoices() { std::sort(choices_.begin(), choices_.end()); }

void SpeedTemplateEditor::SetUse(int use, const std::string& templateName) {
  if (use >= 0 && use < kSpeedUseCount) uses_[use] = templateName;
}

bool SpeedTemplateEditor::GridValid(const SpeedGrid& grid) {
  for (const auto& tier : grid)
    for (const auto& p : tier)
      if (p.start < kSpeedMin || p.start > kSpeedMax || p.normal < kSpeedMin || p.normal > kSpeedMax) return false;
  return true;
}

EditResult SpeedTemplateEditor::SelectRow(Tier page, int row, bool modifyResetSpeed, SpeedGrid& grid,
                                          std::string& name) {
  const auto& rows = tiers_.Of(page);
  if (row < 0 || row >= static_cast<int>(rows.size())) return EditResult::Nothing;
  if (row == 0 && !modifyResetSpeed) return EditResult::Nothing;
  selectedRow_ = row;
  const SpeedTemplate& t = rows[row].Value();
  selectedName_ = t.name;
  name = selectedName_;
  auto& target = grid[static_cast<int>(page) - 1];
  // An axis without speeds (its cell did not read) shows 0 / 0: OK then
  // refuses it until the operator types speeds.
  for (int a = 0; a < kSpeedAxisCount; ++a) target[a] = t.speeds[a].value_or(SpeedPair{0, 0});
  return EditResult::Done;
}

EditResult SpeedTemplateEditor::Add(const std::string& name, const SpeedGrid& grid) {
  if (name.size() > kTemplateNameMax || !GridValid(grid)) return EditResult::BadField;
  if (name.empty()) return EditResult::EmptyName;
  for (const auto& row : tiers_.high)
    if (row.Name() == name) return EditResult::DuplicateName;
  choices_.push_back(name);
  SortChoices();
  tiers_.high.emplace_back(SpeedTemplate::Of(name, grid[0]));
  tiers_.medium.emplace_back(SpeedTemplate::Of(name, grid[1]));
  tiers_.low.emplace_back(SpeedTemplate::Of(name, grid[2]));
  return EditResult::Done;
}

EditResult SpeedTemplateEditor::Change(const std::string& name, int page, const SpeedGrid& grid) {
  if (selectedRow_ < 0 || selectedRow_ >= tiers_.Count()) return EditResult::Nothing;
  if (name.size() > kTemplateNameMax || !GridValid(grid)) return EditResult::BadField;
  // A template without a name, or with the name of another template, could
  // not be told apart by the speed uses that name it.
  if (name.empty()) return EditResult::EmptyName;
  for (int i = 0; i < tiers_.Count(); ++i)
    if (i != selectedRow_ && tiers_.high[i].Name() == name) return EditResult::DuplicateName;
  const int r = selectedRow_;
  for (auto* tier : {&tiers_.high, &tiers_.medium, &tiers_.low}) (*tier)[r].Rename(name);
  if (page >= 1 && page <= 3) tiers_.Of(static_cast<Tier>(page))[r].Set(SpeedTemplate::Of(name, grid[page - 1]));
  if (selectedName_ != name) {
    for (auto& use : uses_)
      if (use == selectedName_) use = name;
    auto it = std::find_if(choices_.begin(), choices_.end(), [&](const auto& c) { return EqualNoCase(c, selectedName_); });
    if (it != choices_.end()) *it = name;
    else choices_.push_back(name);
  }
  selectedRow_ = -1;
  return EditResult::Done;
}

EditResult SpeedTemplateEditor::Delete() {
  if (selectedRow_ < 0 || selectedRow_ >= tiers_.Count()) return EditResult::NoSelection;
  for (const auto& use : uses_)
    if (use == selectedName_) return EditResult::InUse;
  auto it = std::find_if(choices_.begin(), choices_.end(), [&](const auto& c) { return EqualNoCase(c, selectedName_); });
  if (it != choices_.end()) choices_.erase(it);
  for (auto* tier : {&tiers_.high, &tiers_.medium, &tiers_.low}) tier->erase(tier->begin() + selectedRow_);
  selectedRow_ = -1;
  return EditResult::Done;
}

EditResult SpeedTemplateEditor::Derive(Tier target, int zoom, bool keepResetRow) {
  if (tiers_.high.empty()) return EditResult::NoTemplates;
  auto& rows = tiers_.Of(target);
  const size_t first = keepResetRow ? 1 : 0;
  for (size_t r = first; r < tiers_.high.size() && r < rows.size(); ++r) {
    for (int a = 0; a < kSpeedAxisCount; ++a) {
      const auto& p = tiers_.high[r].Value().speeds[a];
      if (!p) continue;
      int s = p->start * zoom / 100, n = p->normal * zoom / 100;
      if (s == 0) s = 1;
      if (n == 0) n = 1;
      rows[r].SetSpeeds(a, {s, n});
    }
  }
  return EditResult::Done;
}

}  // namespace smt::settings
