#pragma once
// Language texts of the feeder dialogs: one section of "<dir>/<language>.ini"
// read key by key with the built-in Chinese text as default.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <QString>

namespace smt::feeder {

class FeederTexts {
 public:
  using Entry = std::pair<const char*, const char*>;  // key, Chinese default
  // Reads every key of `entries` from section `section`.
  void Load(const std::string& appDir, const std::string& language, const std::string& section,
            const std::vector<Entry>& entries);
  // Built-in defaults only.
  void Defaults(const std::vector<Entry>& entries);
  std::string Get(const std::string& key) const;
  QString Q(const std::string& key) const { return QString::fromStdString(Get(key)); }

 private:
  std::map<std::string, std::string> texts_;
};

}  // namespace smt::feeder
