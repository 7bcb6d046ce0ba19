#include "job/ImportFileSettings.h"

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::job {

ImportFitOptions LoadImportFitOptions(const std::string& appDir) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), kImportFileSection);
  ImportFitOptions o;
  o.m_FitPartPacking = smt::settings::ReadConfigInt(s, "m_FitPartPacking") != 0 ? 1 : 0;
  o.m_FitPartValue = smt::settings::ReadConfigInt(s, "m_FitPartValue") != 0 ? 1 : 0;
  return o;
}

bool SaveImportFitOptions(const std::string& appDir, const ImportFitOptions& options) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), kImportFileSection);
  const bool a = s.WriteInt("m_FitPartPacking", options.m_FitPartPacking);
  const bool b = s.WriteInt("m_FitPartValue", options.m_FitPartValue);
  return a && b;
}

ImportPlace LoadImportPlace(const std::string& appDir, int formatCount) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), kImportFileSection);
  ImportPlace p;
  // The last format is one of the formats the program offers now.
  if (formatCount > 0) p.format = static_cast<int>(s.ReadInteger("LastFormat", 0, formatCount - 1, p.format));
  if (s.Has("LastFolder")) p.folder = s.ReadText("LastFolder");
  return p;
}

bool SaveImportPlace(const std::string& appDir, const ImportPlace& place) {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), kImportFileSection);
  const bool a = s.WriteInt("LastFormat", place.format);
  const bool b = s.WriteText("LastFolder", place.folder);
  return a && b;
}

}  // namespace smt::job
