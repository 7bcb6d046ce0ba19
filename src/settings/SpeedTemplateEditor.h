#pragma once
// Editing the speed templates on a working copy: add, change (and rename),
// delete, and derive the medium or low tier from the high tier. The speed
// dialog holds one editor while it is open; OK hands the result to the
// speed store, Cancel drops it.
#include <array>
#include <string>
#include <vector>

#include "settings/SpeedTemplates.h"

namespace smt::settings {

// The 96 edit fields: tier (high, medium, low) x axis x {start, normal}.
using SpeedGrid = std::array<SpeedRecord, 3>;
SpeedGrid DefaultSpeedGrid();  // every value 1
inline constexpr size_t kTemplateNameMax = 30;

enum class EditResult {
  Done,
  Nothing,          // no selection / row not selectable: nothing happens
  NoSelection,      // SpeedTemplate.c_Message_02
  InUse,            // SpeedTemplate.c_Message_03
  NoTemplates,      // SpeedTemplate.c_Message_04
  EmptyName,        // SpeedTemplate.c_Message_05
  DuplicateName,    // SpeedTemplate.c_Message_06
  BadField,         // a name or speed outside its range
};
// The message key of a refusal ("" for Done / Nothing).
const char* EditResultMessageKey(EditResult r);

class SpeedTemplateEditor {
 public:
  SpeedTemplateEditor(SpeedTiers tiers, SpeedUseNames uses);

  const SpeedTiers& Tiers() const { return tiers_; }
  const SpeedUseNames& Uses() const { return uses_; }
  // Template names of the speed-use choice box, sorted.
  const std::vector<std::string>& ChoiceNames() const { return choices_; }
  int SelectedRow() const { return selectedRow_; }
  const std::string& SelectedName() const { return selectedName_; }

  // Sets the template of one speed use (the use table's column 1).
  void SetUse(int use, const std::string& templateName);

  // Row click on a tier page: selects the row and loads its speeds into that
  // tier of `grid`. Row 0 needs `modifyResetSpeed`.
  EditResult SelectRow(Tier page, int row, bool modifyResetSpeed, SpeedGrid& grid, std::string& name);

  EditResult Add(const std::string& name, const SpeedGrid& grid);
  // `page` 0..3: 1..3 rewrite that tier's speeds; every page renames in all tiers.
  EditResult Change(const std::string& name, int page, const SpeedGrid& grid);
  EditResult Delete();
  EditResult Derive(Tier target, int zoom, bool keepResetRow);

 private:
  static bool GridValid(const SpeedGrid& grid);
  void SortChoices();

  SpeedTiers tiers_;
  SpeedUseNames uses_;
  std::vector<std::string> choices_;
  int selectedRow_ = -1;
  std::string selectedName_;
};

}  // namespace smt::settings
