#pragma once
// How the machine settings join the main view: start-up loading, language
// switching and the settings menu commands. The shell hands in its own
// registration points; nothing here depends on the view's class.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "settings/CDialogSetBasic.h"
#include "settings/SpeedTemplates.h"

namespace smt {
class Machine;
}

namespace smt::settings {

class PulseTestRunner;

struct SettingsShellWiring {
  // view.RegisterDialog(commandId, open)
  std::function<void(int commandId, std::function<void(QWidget*)> open)> registerDialog;
  // view.initialUpdateSteps / view.languageLoaders
  std::vector<std::function<void(const std::string& appDir)>>* initialUpdateSteps = nullptr;
  std::vector<std::function<void(const std::string& appDir, const std::string& language)>>* languageLoaders = nullptr;
  // The frame's stored form of "config_speed.fig" (use line and rows).
  std::function<std::string()> speedUseLine;
  std::function<std::vector<std::string>()> speedRows;
  // Told when cells of those rows were refused: the list came from a damaged
  // file, and its backup copy must stay as it is.
  std::function<void()> speedRowsRefused;
  // After the speed dialog's OK: the new stored form for the frame, and the tier to tick (1..3).
  std::function<void(const std::string& useLine, const std::vector<std::string>& rows)> speedCommitted;
  std::function<void(int tier)> tickActiveTier;
  // The speed-use names of the three languages (the frame's table); default built-in.
  std::function<SpeedNameTable()> speedNames;
  // Optional seams of later subsystems.
  CDialogSetBasic::Hooks basicHooks;
  PulseTestRunner* pulseTestRunner = nullptr;
  // The view's busy texts SMTView.c_Message_01 / _02 (for the guards).
  std::function<std::string(int k)> viewMessage;
};

// Registers the start-up step, the language loader and the six settings
// commands (32841 basic, 32843 pulse, 32921 speed uses, 32864 high,
// 32862 medium, 32863 low) on the stores of `machine`.
void InstallSettingsSubsystem(smt::Machine& machine, SettingsShellWiring wiring);

}  // namespace smt::settings
