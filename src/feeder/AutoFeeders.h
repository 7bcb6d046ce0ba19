#pragma once
// The automatic feeders 1..96 as a 96-bit on/off mask, the command fields of
// the last grid click, and the feeding parameters of section [AutoFeedConfig]
// (integrated feeders, feed-back delay, automatic feeder test). One
// process-wide object: the window edits it, the feeder test worker reads it.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace smt {
class Machine;
}

namespace smt::feeder {

struct AutoFeedConfig {
  int m_Feed_Times = 0;
  int m_Feed_Delay = 0;
  int m_Open_Length = 0;
  int m_Close_Length = 0;
  int m_FeedBack_Delay = 70;
  int m_bIntegrationFeed = 0;
  int m_bAutoFeed = 0;
  int m_bVibrationFeed = 0;
  int m_bDragHand = 0;
  int m_TestLoop = 0;
  bool operator==(const AutoFeedConfig&) const = default;
};

class AutoFeeders {
 public:
  // The automatic feeders of `machine`.
  static AutoFeeders& Of(smt::Machine& machine);

  // Feeder n (1..96): bit (n-1)%32 of word (n-1)/32. Outside 1..96 counts as on.
  bool IsFeederOn(int n) const;
  // Flips feeder n; cmdWord = its word (1..3); cmdFeeder = n when now on,
  // else 0 (on machine type 8 it stays n). Outside 1..96 nothing changes.
  void ToggleFeeder(int n, int machineType);
  // Sets feeder n on (pick and put-back tests); true when it was off.
  bool SetFeederOn(int n);
  void SetFeederOff(int n);
  // Grid row r (0..5): all 16 feeders on or off; cmdFeeder/cmdWord become
  // the first feeder of the row's word and the word (1..3).
  void SetRow(int r, bool on);
  std::array<uint32_t, 3> Mask() const;
  void SetMask(const std::array<uint32_t, 3>& m);
  // Index 1..3 of the word that holds feeder n.
  static int WordOf(int n) { return (n - 1) / 32 + 1; }

  int CmdWord() const { return cmdWord_.load(); }
  int CmdFeeder() const { return cmdFeeder_.load(); }
  void SetCmd(int word, int feeder) {
    cmdWord_ = word;
    cmdFeeder_ = feeder;
  }

  AutoFeedConfig Config() const;
  void SetConfig(const AutoFeedConfig& c);
  // [AutoFeedConfig] of "<dir>/config.ini" with the load rules (0 count -> 1,
  // 0 delay -> 200, 0 slack -> 30, 0 tension -> 45, loop below 1 -> 1). The
  // mask is not read: every start begins with all feeders off.
  void LoadConfig(const std::string& appDir);
  // Writes the three mask words and the ten values ("%d"). False when the file could not be written.
  bool SaveConfig(const std::string& appDir) const;

  // Tests: all off, command fields and parameters as constructed.
  void Reset();

 private:
  std::array<std::atomic<uint32_t>, 3> mask_{};
  std::atomic<int> cmdWord_{1};
  std::atomic<int> cmdFeeder_{0};
  mutable std::mutex m_;
  AutoFeedConfig config_;
};

}  // namespace smt::feeder
