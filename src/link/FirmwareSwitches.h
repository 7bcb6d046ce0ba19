#pragma once
// The firmware version switches of the main board (section
// CPUVersionNumberConfig): which command details the board's firmware has,
// and whether the daily log file is written.
#include <string>

namespace smt {
class Machine;
}

namespace smt::link {

struct FirmwareSwitches {
  int m_V2_04 = 0;  // serial 0x64: 0 short frame (16-bit X/Y), 1 long frame (32-bit), other: none
  int m_V2_05 = 0;  // stored and shown only
  int m_V2_06 = 0;  // serial: run the axis pulse run after the hello is acknowledged
  int m_V2_07 = 0;  // the feed command carries the feed count
  int m_Write_Logfile = 0;

  void Load(const std::string& appDir);
  bool Save(const std::string& appDir) const;
  // Hands the switches to the machine's command layer and the log writer.
  void Apply(smt::Machine& machine) const;
};

}  // namespace smt::link
