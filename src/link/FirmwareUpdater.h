#pragma once
// Board firmware work over the boot loader commands: the update flag, the
// configuration area of a board (read, erase, write), the replacement of a
// board's application, the whole upgrade of every board with an image, and
// the configuration block's display and travel limits.
//
// Runs on one worker thread, without widgets: what it shows goes to a sink
// (the firmware dialog posts it to the window), message boxes go through
// the message service. Every step is bounded by the link's time-outs; a
// board is only told to run its new application after the MD5 of what was
// written equals the MD5 of the image file, and a failed or stopped upgrade
// ends with a failure line and leaves the board in its boot loader.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "link/CMachineLink.h"
#include "link/DiscoverMainBoard.h"
#include "link/FirmwareConfigBlock.h"
#include "link/FirmwareImage.h"
#include "link/FirmwareTexts.h"

namespace smt {
class Machine;
}

namespace smt::link {

// Where the firmware work shows itself. Called on the worker thread.
class FirmwareSink {
 public:
  virtual ~FirmwareSink() = default;
  // The status line (the dialog's upgrade information).
  virtual void Status(const std::string& /*line*/) {}
  // The configuration text (lines ended by "\r\n").
  virtual void ConfigText(const std::string& /*text*/) {}
  // Percentage of the flash transfer, 0 to 100.
  virtual void Progress(int /*percent*/) {}
};

struct FirmwareEnvironment {
  // The machine whose boards are updated: its connected and homed flags
  // follow the main board's restart, its link mutex guards the link's
  // commands. Null: the link's own machine (an update always has its link).
  smt::Machine* machine = nullptr;
  CMachineLink* link = nullptr;  // the jog panel's link object
  std::string appDir = ".";      // where "Update/..." and "config.ini" are
  FirmwareTexts texts;
  // Brings the link back after the main board jumped (it restarts). Empty:
  // ReconnectMainBoard with `discovery`. True when the board answers again.
  std::function<bool()> reconnect;
  DiscoveryOptions discovery;
  // The jog panel's side of a dropped and restored link: connect caption
  // and controls. Both may be empty.
  std::function<void()> linkDropped;
  std::function<void()> linkRestored;
  // True ends the work at its next step or chunk (shut-down).
  std::function<bool()> aborted;
  // The pause between the steps of an upgrade (the boards settle).
  std::chrono::milliseconds settle{1000};
  int reconnectAttempts = 3;
};

class FirmwareUpdater {
 public:
  enum class Outcome {
    Completed,  // every board with an image runs its new application
    Refused,    // stopped at the image check: nothing was sent
    Failed,     // a step failed: the board in work stays in its boot loader
    LinkLost,   // the main board did not come back after its jump
  };

  FirmwareUpdater(FirmwareEnvironment env, FirmwareSink& sink);
  // The machine the update works on.
  smt::Machine& OwnMachine() const;

  // 0xF00 {board, index}. "Modify update flag Error ！" on failure.
  bool SetUpdateFlag(uint8_t board, uint8_t feederBoardIndex);
  // Configuration area of the selected board; `board` 1 to 4 only names it
  // in the error message, any other value does nothing and gives true.
  bool ReadBoardFlash(int board, uint8_t* destination);
  bool EraseBoardFlash(int board);
  bool WriteBoardFlash(int board, const uint8_t* source);
  // Replaces the selected board's application with its image (boards 1 to 4):
  // erase (checked erased), write, and the board's MD5 of the written bytes
  // compared with the file's.
  bool UpdateFirmware(int board);
  bool UpdateFirmware(int board, const FirmwareImage& image);
  // Every board whose image is present, feeder boards 0 to `feedSelect`.
  Outcome UpgradeBoards(int feedSelect);
  // Shows the configuration block of the selected board.
  bool ReadConfigInfo();
  // Writes the X and Y travel limits of the settings into the block and
  // sends them to the machine. The first form reads m_X_Limit, m_Y_Limit
  // ([SetBasicConfig]) and m_X_Pulse, m_Y_Pulse ([SetPulseConfig]).
  bool WritePositionLimits();
  bool WritePositionLimits(double xLimitMm, double xPulsesPerMm, double yLimitMm, double yPulsesPerMm);

  // The configuration text of a block (six lines).
  static std::string ConfigurationText(const FirmwareConfigBlock& block, const FirmwareTexts& t);
  // Main board reconnect through discovery: the board answers again.
  static bool ReconnectMainBoard(CMachineLink& link, const DiscoveryOptions& discovery);

 private:
  bool Aborted() const { return env_.aborted && env_.aborted(); }
  void Status(const std::string& line) { sink_.Status(line); }
  void Message(const std::string& text) const;
  CMachineLink::Progress ProgressFn();
  bool Jump(uint32_t address);
  // Main board: the link dropped with its jump; up to three reconnects.
  bool Relink();
  void Pause() const;

  FirmwareEnvironment env_;
  FirmwareSink& sink_;
};

}  // namespace smt::link
