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

void LoadStationSettings(const std::string& appDir) {
  CDialogAutoTransport::LoadConfig(appDir);
  DippingStation::Instance().SetSettings(DippingStationSettings::Load(appDir));
  LabelingMachine::Instance().SetSettings(LabelingSettings::Load(appDir));
  LoadLampMachineCounters(appDir);
  LampPointTable::Instance().Clear();
}

void LoadStationLanguages(const std::string& appDir, const std::string& language) {
  CDialogAutoTransport::LoadLanguage(appDir, language);
}

void OpenDippingStation(QWidget* parent, const std::string& appDir, const std::string& language) {
  OpenDippingStationDialog(parent, appDir, language);
}
void OpenConveyor(QWidget* parent, const std::string& appDir) { OpenConveyorDialog(parent, appDir); }
void OpenLabelingSettings(QWidget* parent, const std::string& appDir) { OpenLabelingDialog(parent, appDir); }
void OpenLampMachineTable(QWidget* parent, const std::string& appDir) { OpenLampMachineListDialog(parent, appDir); }
void OpenCoverTape(QWidget* parent, const std::string& appDir, const std::string& language) {
  CDialogSetCover dlg(appDir, language, parent);
  dlg.exec();
}

std::vector<std::string> LampRowsForJob() { return LampPointTable::Instance().RowTexts(); }
void SetLampRowsFromJob(const std::vector<std::string>& rows) {
  // Rows with a cell that is no number are kept as they were, unused; the
  // operator is told which.
  const auto refused = LampPointTable::Instance().SetRowTexts(rows);
  if (refused.empty()) return;
  std::string text;
  for (const auto& r : refused) text += (text.empty() ? "" : "\r\n") + r;
  smt::platform::ShowMessage(text);
}

bool LampRowAdded() {
  auto& t = LampPointTable::Instance();
  return t.FillPointRows(t.PointCount(), LampPointValues{});
}
void LampRowDeleted(int point) { LampPointTable::Instance().DeletePoint(point); }

}  // namespace smt::stations
