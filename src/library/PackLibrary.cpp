#include "library/PackLibrary.h"

#include <algorithm>

#include "library/LibraryRows.h"
#include "platform/SettingsSection.h"
#include "core/Machine.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::library {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

namespace {

struct SwitchKey {
  const char* key;
  int PackEditSwitches::*member;
};
const SwitchKey kSwitchKeys[] = {
    {"m_SynchronousModify", &PackEditSwitches::m_SynchronousModify},
    {"m_SelectFeedMode", &PackEditSwitches::m_SelectFeedMode},
    {"m_FeedTimes", &PackEditSwitches::m_FeedTimes},
    {"m_FeedTime", &PackEditSwitches::m_FeedTime},
    {"m_OpenLength", &PackEditSwitches::m_OpenLength},
    {"m_CloseLength", &PackEditSwitches::m_CloseLength},
    {"m_Precision_XY", &PackEditSwitches::m_Precision_XY},
    {"m_Precision_A", &PackEditSwitches::m_Precision_A},
    {"m_CollectPictureTime", &PackEditSwitches::m_CollectPictureTime},
    {"m_NozzleHeight", &PackEditSwitches::m_NozzleHeight},
    {"m_VacuumTestValue", &PackEditSwitches::m_VacuumTestValue},
    {"m_smtBeforeCloseVacuum", &PackEditSwitches::m_smtBeforeCloseVacuum},
};

// "Yes/<value>" or "No/<value>".
std::string FlagCell(bool on, const std::string& value) { return std::string(on ? "Yes/" : "No/") + value; }

}  // namespace

PackEditSwitches LoadPackEditSwitches(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "PackEditConfig");
  PackEditSwitches out;
  for (const auto& k : kSwitchKeys) out.*k.member = smt::settings::ReadConfigInt(s, k.key);
  return out;
}

void SavePackEditSwitches(const std::string& appDir, const PackEditSwitches& sw) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "PackEditConfig");
  for (const auto& k : kSwitchKeys) s.WriteInt(k.key, sw.*k.member);
}

std::vector<std::string> PackRowStrings(const std::vector<PackRow>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(JoinRow(r));
  return out;
}

std::vector<std::string> PackListStrings(const std::vector<PackListRow>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(JoinRow(r.cells));
  return out;
}

std::vector<std::string> KeepPackLinesAsRead(std::vector<std::string> built, const std::vector<std::string>& readLines) {
  return KeepLinesAsRead(std::move(built), readLines, PackRowStrings(BuildPackTable(readLines)));
}

void TranslatePackRow(PackRow& row, const std::array<std::string, 27>& feedNames,
                      const std::array<std::string, 24>& speedNames, int language) {
  if (language < 0 || language > 2) return;
  [&] {
    for (int l = 0; l < 3; ++l)
      for (int m = 0; m < 7; ++m)
        if (!feedNames[l * 9 + m].empty() && row[15] == feedNames[l * 9 + m]) {
          row[15] = feedNames[language * 9 + m];
          return;
        }
  }();
  [&] {
    for (int l = 0; l < 3; ++l)
      for (int u = 0; u < 8; ++u)
        if (!speedNames[l * 8 + u].empty() && row[13] == speedNames[l * 8 + u]) {
          row[13] = speedNames[language * 8 + u];
          return;
        }
  }();
}

void WritePackFields(PackRow& row, const PackEditFields& f) {
  PackRecord r;
  r.name = f.name;
  r.length = f.length;
  r.width = f.width;
  r.thickness = f.thickness;
  r.contrast = f.contrast;
  r.brightness = f.brightness;
  r.pickDelay = f.pickDelay;
  r.placeDelay = f.placeDelay;
  r.camera = f.camera;
  r.visionCentring = f.visionMode == 1;
  r.flyingCentring = f.visionMode == 2;
  r.nozzle = f.nozzle;
  r.ownSpeed = f.ownSpeed != 0;
  r.speedName = f.speedName;
  r.recognition = f.recognition;
  r.feedMode = f.feedMode;
  r.feedCount = f.feedCount;
  r.feedTime = f.feedTime;
  r.slackLength = f.slackLength;
  r.tensionLength = f.tensionLength;
  r.precisionXY = f.precisionXY;
  r.precisionA = f.precisionA;
  r.captureTime = f.captureTime;
  r.pickHeight = f.pickHeight;
  r.vacuumTest = f.vacuumTest;
  r.closeEarly = f.closeEarly;
  // The reserved cells stay as the row held them.
  r.reserved26 = row[26];
  r.reserved27 = row[27];
  row = PackRowOf(r);
}

PackEditFields PackFieldsOf(const PackRecord& r, int machineType) {
  PackEditFields f;
  f.name = r.name;
  f.length = r.length;
  f.width = r.width;
  f.thickness = r.thickness;
  f.contrast = r.contrast;
  f.brightness = r.brightness;
  f.pickDelay = r.pickDelay;
  f.placeDelay = r.placeDelay;
  f.camera = r.camera;
  f.visionMode = (r.visionCentring && machineType != 4) ? 1 : 0;
  if (r.flyingCentring) f.visionMode = 2;
  f.nozzle = r.nozzle;
  f.ownSpeed = r.ownSpeed ? 1 : 0;
  f.speedName = r.speedName;
  f.recognition = r.recognition;
  f.feedMode = r.feedMode;
  f.feedCount = r.feedCount;
  f.feedTime = r.feedTime;
  f.slackLength = r.slackLength;
  f.tensionLength = r.tensionLength;
  f.precisionXY = r.precisionXY;
  f.precisionA = r.precisionA;
  f.captureTime = r.captureTime;
  f.pickHeight = r.pickHeight;
  f.vacuumTest = r.vacuumTest;
  f.closeEarly = r.closeEarly;
  return f;
}

PackEditFields ReadPackFields(const PackRow& row, int machineType, int line) {
  return PackFieldsOf(PackRecordOf(row, kPackFileName, line), machineType);
}

void SortPackRows(std::vector<PackListRow>& rows, int column) {
  if (column < 0 || column >= kPackCells) return;
  std::stable_sort(rows.begin(), rows.end(), [column](const PackListRow& a, const PackListRow& b) {
    return Utf16Less(a[static_cast<size_t>(column)], b[static_cast<size_t>(column)]);
  });
}

void TranslatePackRow(PackListRow& row, const std::array<std::string, 27>& feedNames,
                      const std::array<std::string, 24>& speedNames, int language) {
  PackRow cells = row.cells;
  TranslatePackRow(cells, feedNames, speedNames, language);
  if (cells != row.cells) row = PackListRow(cells, row.line);
}

void SortPackRows(std::vector<PackRow>& rows, int column) {
  if (column < 0 || column >= kPackCells) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [column](const PackRow& a, const PackRow& b) { return Utf16Less(a[column], b[column]); });
}

bool ApplyPackToFeederRow(std::vector<std::string>& r, const PackFeederUpdate& u) {
  if (r.size() < 30) r.resize(30);
  const PackEditFields& v = u.values;
  if (r[2] != v.name) return false;
  r[6] = FormatDouble(v.length, 2);
  r[7] = FormatDouble(v.width, 2);
  r[8] = FormatDouble(v.thickness, 2);
  r[10] = v.nozzle;
  r[12] = FlagCell(v.visionMode == 1, v.camera);
  r[13] = FlagCell(v.visionMode == 2, FormatInt(v.contrast) + "/" + FormatInt(v.brightness));
  r[15] = FormatInt(v.pickDelay);
  r[16] = FormatInt(v.placeDelay);
  r[23] = FlagCell(v.ownSpeed != 0, v.speedName);
  r[25] = v.recognition;
  const PackEditSwitches& p = u.pass;
  if (p.m_SelectFeedMode) r[14] = v.feedMode;
  if (p.m_FeedTimes) r[18] = FormatInt(v.feedCount);
  if (p.m_FeedTime) r[19] = FormatInt(v.feedTime);
  if (p.m_OpenLength) r[20] = FormatInt(v.slackLength);
  if (p.m_CloseLength) r[21] = FormatInt(v.tensionLength);
  if (p.m_Precision_XY) r[27] = FormatInt(v.precisionXY);
  if (p.m_Precision_A) r[28] = FormatInt(v.precisionA);
  if (p.m_CollectPictureTime) r[29] = FormatInt(v.captureTime);
  if (p.m_NozzleHeight) r[22] = FormatDouble(v.pickHeight);
  if (p.m_VacuumTestValue) r[11] = FormatInt(static_cast<long long>(v.vacuumTest));
  if (p.m_smtBeforeCloseVacuum) r[24] = FormatDouble(v.closeEarly);
  return true;
}

PackLibrary& ThePackLibrary(smt::Machine& machine) {
  return machine.Part<PackLibrary>();
}

}  // namespace smt::library
