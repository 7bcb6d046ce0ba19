#include "feeder/FeederTexts.h"

#include "platform/SettingsSection.h"

namespace smt::feeder {

void FeederTexts::Load(const std::string& appDir, const std::string& language, const std::string& section,
                       const std::vector<Entry>& entries) {
  smt::platform::LanguageSection s(appDir, language, section);
  for (const auto& [key, def] : entries) {
    std::string t = s.Text(key, def);
    if (t.size() > 512) t.resize(512);
    texts_[key] = t;
  }
}

void FeederTexts::Defaults(const std::vector<Entry>& entries) {
  for (const auto& [key, def] : entries) texts_[key] = def;
}

std::string FeederTexts::Get(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

}  // namespace smt::feeder
