#pragma once
// Set-up shared by the library tests: a scratch program directory, machine
// settings with round scales, and the nozzle-change switches.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "library/NozzleLibrary.h"
#include "library/NozzleStrategy.h"
#include "settings/SettingsStores.h"

namespace librarytest {

inline std::filesystem::path ScratchDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("smt-library-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline void UseScales(double x, double y, double z, double a = 10) {
  smt::settings::PulseSettings p;
  p.m_X_Pulse = x;
  p.m_Y_Pulse = y;
  p.m_Z_Pulse = z;
  p.m_A_Pulse = a;
  p.m_WestWalk_Pulse = p.m_WestLift_Pulse = p.m_NorthWalk_Pulse = p.m_NorthLift_Pulse = 1;
  p.m_EastWalk_Pulse = p.m_EastLift_Pulse = p.m_AutoWalk1_Pulse = p.m_AutoWalk2_Pulse = 1;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
}

inline void UseBasic(const std::function<void(smt::settings::BasicSettings&)>& change) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  smt::settings::BasicSettings b = *store.Basic();
  change(b);
  store.SetBasic(b);
}

inline void UseStrategy(int autoChange, int nineteen, int select) {
  smt::library::SetNozzleStrategySource(smt::CurrentMachine(), [=] {
    smt::library::NozzleStrategy s;
    s.m_AutoChangeNozzle = autoChange;
    s.m_19NozzleLibrary = nineteen;
    s.m_ChangeNozzleSelect = select;
    return s;
  });
}

inline void ResetNozzleState() {
  smt::CurrentMachine().Part<smt::library::NozzleState>().seats.FillAll();
  for (auto& h : smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle) h = 0;
}

}  // namespace librarytest
