#pragma once
// The conveyor dialog's texts in the operator's language (section
// [AutoTransportConfig] of the language file), with the built-in Chinese.
#include <map>
#include <string>

namespace smt {
class Machine;
}

namespace smt::stations {

struct ConveyorTexts {
  // Key -> text for every key of the dialog.
  std::map<std::string, std::string> all;
  // The progress texts the tasks use.
  std::string in, transfer, out, walk, finish, noClose;

  static ConveyorTexts Defaults();
  static ConveyorTexts Load(const std::string& appDir, const std::string& language);
  // The texts last loaded on `machine` (defaults before any loading).
  static ConveyorTexts Current(smt::Machine& machine);
  static void SetCurrent(smt::Machine& machine, const ConveyorTexts& t);

  std::string Text(const std::string& key) const;
};

}  // namespace smt::stations
