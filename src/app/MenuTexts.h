#pragma once
// The menu texts of each language: which key of section "MenuSetConfig"
// names which menu, submenu or command, with its built-in Chinese text, and
// the enabling of the go-to items by machine type.
#include <optional>
#include <string>
#include <vector>

namespace smt::app {

struct MenuTextEntry {
  enum Kind { TopMenu, SubMenu, Command, StoredOnly } kind;
  int id;             // top: position; sub: its own number (see MainFrame); command: command number; stored: index
  const char* key;
  const char* chinese;
};

// Every entry read by the menu localiser, in reading order.
const std::vector<MenuTextEntry>& MenuTextTable();

// The 58 texts kept for the drop-down menus: 43 go-to texts, then the 15
// settings texts.
inline constexpr int kGoToTextCount = 43;
inline constexpr int kSettingsTextCount = 15;
inline constexpr int kMenuTextCount = kGoToTextCount + kSettingsTextCount;
const std::vector<MenuTextEntry>& GoToTextTable();       // 43 entries
const std::vector<const char*>& SettingsTextKeys();      // 15 keys, in drop-down order

// Submenu numbers used by MenuTextEntry::SubMenu.
inline constexpr int kSubSpeedTemplate = 1;
inline constexpr int kSubLanguage = 2;
inline constexpr int kSubMachineType = 3;
inline constexpr int kSubUpdate = 4;

// Go-to item enabling: the enabled state for a machine type, or nullopt
// when the item is left as the framework sets it (always enabled).
std::optional<bool> GoToItemEnabled(int command, int machineType);

// Window titles per language index.
const char* WindowTitle(int languageIndex);
inline constexpr const char* kTitleChinese = "Tovrana贴片机控制系统V2.076";
inline constexpr const char* kTitleEnglish = "Tovrana SMT Control System V2.076";

}  // namespace smt::app
