#pragma once
// What the shell wires for the process stations: the start-up loading of
// their settings, the language loaders, the dialogs of the main menu and the
// job's lamp-point rows. Everything here is a plain function so the view's
// hooks (initialUpdateSteps, languageLoaders, RegisterDialog) and the job's
// seams (getLampRows, setLampRows) can take it directly.
#include <string>
#include <vector>

class QWidget;
namespace smt {
class Machine;
}

namespace smt::stations {

// Start-up (the view's first initial update): conveyor, dipping station,
// cover tape counters are read by the strategy page itself, labeling, lamp
// counters, on `machine`.
void LoadStationSettings(smt::Machine& machine, const std::string& appDir);
// Every language switch, on `machine`.
void LoadStationLanguages(smt::Machine& machine, const std::string& appDir, const std::string& language);

// Menu commands: 33291 dipping station, 33181 conveyor, 33338 labeling
// settings, 33185 lamp machine table; each edits the stations of `machine`.
void OpenDippingStation(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language);
void OpenConveyor(smt::Machine& machine, QWidget* parent, const std::string& appDir);
void OpenLabelingSettings(smt::Machine& machine, QWidget* parent, const std::string& appDir);
void OpenLampMachineTable(smt::Machine& machine, QWidget* parent, const std::string& appDir);
// The cover-tape page, opened by the strategy page's "设置" button.
void OpenCoverTape(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language);

// The job's lamp-point rows (machine type 4 side file) in `machine`'s table.
std::vector<std::string> LampRowsForJob(smt::Machine& machine);
void SetLampRowsFromJob(smt::Machine& machine, const std::vector<std::string>& rows);
// The part list's row add and delete on machine type 4.
bool LampRowAdded(smt::Machine& machine);
void LampRowDeleted(smt::Machine& machine, int point);

}  // namespace smt::stations
