#pragma once
// The dipping station beside the head (a film of flux or glue fed from a
// vibration bowl): its settings ([DippingStationConfig]), the on/off switch
// of its feed (output 10), the teach values and the two machine tasks
// (head 1 to the station, measure the station's height) that the feeder
// test thread carries out.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace smt {
class Machine;
}

namespace smt::stations {

struct DippingStationSettings {
  int m_DippingStation = 0;
  double m_DippingStation_X = 0, m_DippingStation_Y = 0, m_DippingStation_Z = 0;
  double m_WaterFilmThickness = 0;
  int m_DippingStation_RunTime = 0, m_DippingStation_StopDelay = 0, m_DippingStation_Delay = 0;

  static DippingStationSettings Load(const std::string& appDir);
  bool Save(const std::string& appDir) const;
  // The first field outside its dialog range, or empty.
  std::string CheckRanges() const;
};

// A taught value: position / scale with four decimals, nudged 0.0001 away
// from zero (a position of exactly zero stays 0.0000). An unset scale (0)
// reads as 1.
double TeachValue(int32_t pulses, double pulsesPerMm);
std::string TeachText(int32_t pulses, double pulsesPerMm);

class DippingStation {
 public:
  explicit DippingStation(smt::Machine& machine) : machine_(machine) {}
  // The station of `machine`.
  static DippingStation& Of(smt::Machine& machine);

  DippingStationSettings Settings() const;
  void SetSettings(const DippingStationSettings& s);

  // Switches the station's feed: the first press after start-up switches
  // output 10 off, the next on, and so on. Types 7 and 8 only flip the state.
  // False when the output command failed.
  bool Operate();

  // Head 1 to the station (-3) or measure its height (-2): guards (connected,
  // homed, not running, every Z at 0) and then the feeder test worker.
  bool StartTask(int mode);

  // The measuring task's result: stored as the station Z and shown while the
  // dialog is open.
  void OnMeasuredZ(double z);
  void SetDialogOpen(bool open) { dialogOpen_ = open; }
  bool DialogOpen() const { return dialogOpen_.load(); }
  void SetMeasuredZView(std::function<void(double)> view);

  // Tests and start-up.
  void ResetSwitchState() { switchFlag_ = false; }

 private:
  smt::Machine& machine_;
  mutable std::mutex m_;
  DippingStationSettings settings_;
  std::atomic<bool> switchFlag_{false};
  std::atomic<bool> dialogOpen_{false};
  std::function<void(double)> zView_;
};

// The feeder test thread's way to start `machine`'s dipping tasks (installed
// by the shell; default: smt::feeder::StartDippingStationTest).
void SetDippingTaskStarter(smt::Machine& machine, std::function<void(int mode)> starter);

}  // namespace smt::stations
