#pragma once
// The settings menu commands of the main view: they open the settings
// dialogs modally and refuse the ones that must not run while the machine
// works. The view calls these from its menu and toolbar handlers.
#include <QWidget>
#include <functional>
#include <string>

#include "platform/Hooks.h"
#include "settings/CDialogSetBasic.h"

namespace smt {
class Machine;
}

namespace smt::settings {

// After the pulse settings' OK: what follows the new pulses outside the
// settings (the camera table's positions and steps). One per machine; the
// shell connects the one of the machine it drives.
smt::platform::Hook<void()>& PulseCommitted(smt::Machine& machine);

class MachineSettingsStore;
class SpeedStore;
class PulseTestRunner;

class SettingsMenuCommands {
 public:
  SettingsMenuCommands(QWidget* parent, smt::Machine& machine, MachineSettingsStore& store, SpeedStore& speed,
                       std::string appDir);

  void SetLanguage(std::string language) { language_ = std::move(language); }
  void SetBasicHooks(CDialogSetBasic::Hooks hooks) { basicHooks_ = std::move(hooks); }
  void SetPulseTestRunner(PulseTestRunner* runner) { runner_ = runner; }
  // Called after the speed dialog's OK with the tier to tick (1..3).
  void SetActiveTierListener(std::function<void(int)> l) { onActiveTier_ = std::move(l); }
  // The view's operator messages (SMTView.c_Message_01 / _02).
  void SetBusyMessages(std::string message01, std::string message02);

  // 32841 "基本设置"
  void OnSetBasic();
  // 32843 "脉冲设置"
  void OnSetPulse();
  // 32921 "速度设置" (page 0), 32864 "高速模板" (1), 32862 "中速模板" (2), 32863 "低速模板" (3)
  void OnSpeedSet() { OpenSpeedTemplates(0); }
  void OnHighSpeedTemplate() { OpenSpeedTemplates(1); }
  void OnMediumSpeedTemplate() { OpenSpeedTemplates(2); }
  void OnLowSpeedTemplate() { OpenSpeedTemplates(3); }
  void OpenSpeedTemplates(int page);

  // Guards of the commands whose dialogs belong to other parts of the
  // program; each returns true when the command may go on (a refusal has
  // been shown, or is silent, otherwise).
  bool MayOpenFeedGroup() const;        // busy: message 01
  bool MayOpenWhileNotBusy() const;     // busy: message 02 (camera list, auto transport, labeling)
  bool MayOpenAutoFeed() const;         // type 8: silent; busy: message 02
  bool MayOpenLampMachineSet() const;   // type 4 only, else "no function!"
  bool MayOpenFirmwareUpdate() const;   // busy: message 02; serial link: "no function!"

  // Test seam: how a dialog is run (default: exec()).
  void SetDialogRunner(std::function<int(QDialog&)> run) { run_ = std::move(run); }

 private:
  QWidget* parent_;
  smt::Machine& machine_;
  MachineSettingsStore& store_;
  SpeedStore& speed_;
  std::string appDir_;
  std::string language_ = "Chinese";
  std::string message01_, message02_;
  CDialogSetBasic::Hooks basicHooks_;
  PulseTestRunner* runner_ = nullptr;
  std::function<void(int)> onActiveTier_;
  std::function<int(QDialog&)> run_;
};

}  // namespace smt::settings
