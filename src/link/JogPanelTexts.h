#pragma once
// The jog panel's own texts (section ManualControlConfig of the language
// files, keys "ManualControl.c_..."), with the built-in Chinese defaults.
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace smt::link {

class JogPanelTexts {
 public:
  JogPanelTexts();
  // Reads every key from "<appDir>/<language>.ini".
  void Load(const std::string& appDir, const std::string& language);
  // The text of a key given without its "ManualControl." prefix ("c_Online").
  const std::string& operator[](const std::string& name) const;

  // (name, Chinese default) of every key, in reading order.
  static const std::vector<std::pair<std::string, std::string>>& Defaults();

 private:
  std::map<std::string, std::string> texts_;
};

}  // namespace smt::link
