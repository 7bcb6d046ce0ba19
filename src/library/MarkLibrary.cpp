#include "library/MarkLibrary.h"

#include <algorithm>

#include "core/MachineState.h"
#include "library/LibraryRows.h"
#include "link/MotionGlobals.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"

namespace smt::library {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

MarkRow MakeMarkRow(const MarkEditFields& f) {
  return {f.name,
          FormatDouble(f.mark1X),
          FormatDouble(f.mark1Y),
          FormatDouble(f.mark2X),
          FormatDouble(f.mark2Y),
          FormatInt(f.allowedDeviation),
          FormatDouble(f.viewBox),
          FormatDouble(f.diameter),
          FormatInt(f.precision),
          FormatInt(f.contrast),
          FormatInt(f.brightness),
          FormatInt(f.captureTime),
          FormatInt(f.repeats),
          f.colourReversal ? "Yes" : "No",
          FormatDouble(f.platform1),
          FormatDouble(f.platform2)};
}

MarkEditFields ReadMarkRow(const MarkRow& r) {
  MarkEditFields f;
  f.name = r[0];
  f.mark1X = CellDouble(r[1]);
  f.mark1Y = CellDouble(r[2]);
  f.mark2X = CellDouble(r[3]);
  f.mark2Y = CellDouble(r[4]);
  f.allowedDeviation = CellInt(r[5]);
  f.viewBox = CellDouble(r[6]);
  f.diameter = CellDouble(r[7]);
  f.precision = CellInt(r[8]);
  f.contrast = CellInt(r[9]);
  f.brightness = CellInt(r[10]);
  f.captureTime = CellInt(r[11]);
  f.repeats = CellInt(r[12]);
  f.colourReversal = r[13] == "Yes";
  f.platform1 = CellDouble(r[14]);
  f.platform2 = CellDouble(r[15]);
  return f;
}

void MarkLibrary::LoadTable(const std::vector<std::string>& rowStrings) {
  m_MarkRows.clear();
  for (const auto& s : rowStrings) m_MarkRows.push_back(SplitRow<kMarkCells>(s));
}

std::vector<std::string> MarkLibrary::BuildRowStrings() const {
  std::vector<std::string> out;
  for (const auto& r : m_MarkRows) out.push_back(JoinRow(r));
  return out;
}

std::optional<MarkRow> MarkLibrary::Find(const std::string& name) const {
  for (const auto& r : m_MarkRows)
    if (r[0] == name) return r;
  return std::nullopt;
}

void SortMarkRows(std::vector<MarkRow>& rows, int column) {
  if (column < 0 || column >= kMarkCells) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [column](const MarkRow& a, const MarkRow& b) { return Utf16Less(a[column], b[column]); });
}

MarkLibrary& TheMarkLibrary() {
  static MarkLibrary lib;
  return lib;
}

namespace {
std::optional<double> Capture(bool x, int machineType, int platform) {
  auto& store = smt::settings::SettingsStores::Instance().machine;
  const auto p = store.Pulse();
  const double scale = x ? p->m_X_Pulse : p->m_Y_Pulse;
  double current = x ? smt::CurrentMachine().curX.load() : smt::CurrentMachine().curY.load();
  double zero = store.m_ZeroPoint[x ? 0 : 1].load();
  if (machineType == 4) {
    if (platform == 2) {
      current = smt::CurrentMachine().motion.curPlatform[x ? 0 : 1].load();
      zero = store.m_ZeroPoint[x ? 2 : 3].load();
    } else if (platform != 1) {
      return std::nullopt;
    }
  }
  return CaptureMillimetres(current - zero, scale);
}
}  // namespace

std::optional<double> CaptureMarkX(int machineType, int platform) { return Capture(true, machineType, platform); }
std::optional<double> CaptureMarkY(int machineType, int platform) { return Capture(false, machineType, platform); }

}  // namespace smt::library
