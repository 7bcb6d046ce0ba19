#pragma once
// Language texts of the station dialogs: a key table with the built-in
// Chinese defaults, read from "<appDir>/<language>.ini".
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace smt::stations {

using TextTable = std::vector<std::pair<const char*, const char*>>;

class StationTexts {
 public:
  StationTexts() = default;
  explicit StationTexts(const TextTable& table);
  void Load(const std::string& appDir, const std::string& language, const std::string& section,
            const TextTable& table);
  std::string Text(const std::string& key) const;

 private:
  std::map<std::string, std::string> texts_;
};

const TextTable& DippingStationTextTable();
const TextTable& CoverTapeTextTable();
// Section [LabelingSetConfig] (keys LabelingSet.c_...) and
// [LampMachineListConfig] (LampMachineList.c_...: list columns c_Col00..34,
// counters, buttons, the point editor's buttons and speed steps).
const TextTable& LabelingTextTable();
const TextTable& LampTextTable();

}  // namespace smt::stations
