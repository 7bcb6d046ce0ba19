#pragma once
// How the component libraries join the main view: the start-up step that
// takes the machine's library list rows in, the menu commands that open the nozzle,
// package and mark libraries, and the openers of the origin update (from the
// basic settings dialog) and the two-mark test (from the PCB editor). The
// shell hands in its registration points and the seams of the other
// subsystems; nothing here depends on the view's class.
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "library/OriginUpdate.h"
#include "library/PackLibrary.h"

namespace smt {
class Machine;
}
namespace smt::link {
class JogRunner;
}

namespace smt::library {

struct LibraryShellWiring {
  // view.RegisterDialog(commandId, open)
  std::function<void(int commandId, std::function<void(QWidget*)> open)> registerDialog;
  // view.initialUpdateSteps
  std::vector<std::function<void(const std::string& appDir)>>* initialUpdateSteps = nullptr;
  // The frame's folder and current language name ("Chinese", "English", "German").
  std::function<std::string()> appDir;
  std::function<std::string()> language;
  // The machine's library lists' holders: nozzleRows, packRows, markRows.
  std::vector<std::string>* nozzleRows = nullptr;
  std::vector<std::string>* packRows = nullptr;
  std::vector<std::string>* markRows = nullptr;
  // Choices of the package editor: camera names (cell 0 of the camera rows)
  // and the speed templates' names.
  std::function<std::vector<std::string>()> cameraNames;
  std::function<std::vector<std::string>()> speedTemplateNames;
  // Camera panel: its light values, and the live view to the Mark camera.
  std::function<std::pair<int, int>()> cameraLight;
  std::function<void()> switchToMarkCamera;
  // The jog panel's jog (the seat editor's pad).
  std::function<smt::link::JogRunner*()> jogRunner;
  // Feeder list: the synchronous modify of a package into the current group.
  std::function<void(const PackFeederUpdate&)> updateFeeders;
  // Origin update targets of other owners (feeders, PCB origin, cameras).
  std::function<void(double dx, double dy)> shiftCurrentFeeders;
  std::function<void(double dx, double dy)> shiftPcbOrigin;
  std::function<void(double dx, double dy)> shiftCameras;
};

// Registers the start-up step and the three library commands (32853 nozzle
// library, 33062 package library, 33125 mark library), and keeps the seat
// records in step with new axis scales.
// `machine`: the machine the shell drives (its libraries and state).
void InstallLibrarySubsystem(smt::Machine& machine, LibraryShellWiring wiring);

// For CDialogSetBasic::Hooks::showOriginUpdate (valid after InstallLibrarySubsystem).
void OpenOriginUpdate(smt::Machine& machine, QWidget* settingsDialog);
// For the PCB editor's two-mark test button.
void OpenDoubleMarkTest(smt::Machine& machine, QWidget* parent);

}  // namespace smt::library
