#include "stations/StationsShell.h"

#include "feeder/FeederServices.h"
#include "platform/MessageService.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/CDialogDippingStation.h"
#include "stations/CDialogLabelingSet.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/CDialogSetCover.h"
#include "stations/ConveyorStation.h"
#include "stations/DippingStation.h"
#include "stations/LabelingMachine.h"
#include "stations/LampPointTable.h"

namespace smt::stations {

void LoadStationSettings(smt::Machine& machine, const std::string& appDir) {
  CDialogAutoTransport::LoadConfig(machine, appDir);
  DippingStation::Of(machine).SetSettings(DippingStationSettings::Load(appDir));
  LabelingMachine::Of(machine).SetSettings(LabelingSettings::Load(appDir));
  LoadLampMachineCounters(machine, appDir);
  LampPointTable::Of(machine).Clear();
}

void LoadStationLanguages(smt::Machine& machine, const std::string& appDir, const std::string& language) {
  CDialogAutoTransport::LoadLanguage(machine, appDir, language);
}

void OpenDippingStation(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language) {
  OpenDippingStationDialog(machine, parent, appDir, language);
}
void OpenConveyor(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  OpenConveyorDialog(machine, parent, appDir);
}
void OpenLabelingSettings(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  OpenLabelingDialog(machine, parent, appDir);
}
void OpenLampMachineTable(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  OpenLampMachineListDialog(machine, parent, appDir);
}
void OpenCoverTape(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language) {
  CDialogSetCover dlg(machine, appDir, language, parent);
  dlg.exec();
}

std::vector<std::string> LampRowsForJob(smt::Machine& machine) { return LampPointTable::Of(machine).RowTexts(); }
void SetLampRowsFromJob(smt::Machine& machine, const std::vector<std::string>& rows) {
  // Rows with a cell that is no number are kept as they were, unused; the
  // operator is told which.
  const auto refused = LampPointTable::Of(machine).SetRowTexts(rows);
  if (refused.empty()) return;
  std::string text;
  for (const auto& r : refused) text += (text.empty() ? "" : "\r\n") + r;
  smt::platform::ShowMessage(text);
}

bool LampRowAdded(smt::Machine& machine) {
  auto& t = LampPointTable::Of(machine);
  return t.FillPointRows(t.PointCount(), LampPointValues{});
}
void LampRowDeleted(smt::Machine& machine, int point) { LampPointTable::Of(machine).DeletePoint(point); }

}  // namespace smt::stations
