#include "library/MarkLibrary.h"

#include <algorithm>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "library/LibraryRows.h"
#include "link/MotionGlobals.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::library {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

MarkEditFields ReadMarkRow(const MarkRow& r, int line) { return MarkRecordOf(r, kMarkFileName, line); }

std::vector<platform::FileCellError> MarkLibrary::LoadTable(const std::vector<std::string>& rowStrings) {
  m_MarkRows.clear();
  for (size_t i = 0; i < rowStrings.size(); ++i)
    m_MarkRows.emplace_back(SplitRow<kMarkCells>(rowStrings[i]), static_cast<int>(i + 1));
  return CheckMarkLines(rowStrings);
}

std::vector<std::string> MarkLibrary::BuildRowStrings() const {
  std::vector<std::string> out;
  for (const auto& r : m_MarkRows) out.push_back(JoinRow(r.cells));
  return out;
}

std::optional<MarkRow> MarkLibrary::Find(const std::string& name) const {
  for (const auto& r : m_MarkRows)
    if (r.Name() == name) return r.cells;
  return std::nullopt;
}

std::optional<MarkRecord> MarkLibrary::FindRecord(const std::string& name) const {
  for (const auto& r : m_MarkRows) {
    if (r.Name() != name) continue;
    if (!r.record) CLogFile::Instance().Write(true, "mark \"%s\" not used: %s", name.c_str(), r.problem.c_str());
    return r.record;
  }
  return std::nullopt;
}

void SortMarkRows(std::vector<MarkListRow>& rows, int column) {
  if (column < 0 || column >= kMarkCells) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [column](const MarkListRow& a, const MarkListRow& b) { return Utf16Less(a[column], b[column]); });
}

MarkLibrary& TheMarkLibrary(smt::Machine& machine) {
  return machine.Part<MarkLibrary>();
}

namespace {
std::optional<double> Capture(bool x, smt::Machine& machine, int platform) {
  const int machineType = machine.machineType.load();
  auto& store = smt::settings::SettingsStores::Of(machine).machine;
  const auto p = store.Pulse();
  const double scale = x ? p->m_X_Pulse : p->m_Y_Pulse;
  double current = x ? machine.curX.load() : machine.curY.load();
  double zero = store.m_ZeroPoint[x ? 0 : 1].load();
  if (machineType == 4) {
    if (platform == 2) {
      current = machine.motion.curPlatform[x ? 0 : 1].load();
      zero = store.m_ZeroPoint[x ? 2 : 3].load();
    } else if (platform != 1) {
      return std::nullopt;
    }
  }
  return CaptureMillimetres(current - zero, scale);
}
}  // namespace

std::optional<double> CaptureMarkX(smt::Machine& machine, int platform) { return Capture(true, machine, platform); }
std::optional<double> CaptureMarkY(smt::Machine& machine, int platform) { return Capture(false, machine, platform); }

}  // namespace smt::library
