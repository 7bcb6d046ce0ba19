#pragma once
// What the link's reply handling asks of the jog panel. The panel installs
// itself; without a panel (tests, the simulator benchmarks) nothing is shown.
// Every hook may be called on a link thread: an implementation that touches
// widgets posts the work to the window thread.
#include <cstdint>
#include <string>

namespace smt::link {

class LinkHooks {
 public:
  virtual ~LinkHooks() = default;
  // Whether the first information box shows anything now: trace lines are
  // not even formatted while it does not.
  virtual bool InfoShown() const { return true; }
  // The first information box (only while the information switch is on).
  virtual void AppendInfoLine(const std::string& /*text*/, bool /*lineEnd*/) {}
  // The second information box.
  virtual void AppendInfoLine2(const std::string& /*text*/, bool /*lineEnd*/) {}
  // A word the operator must see (a refused click, a camera that stopped,
  // nothing read): the information box in sight, whatever the switch says.
  virtual void ShowNotice(const std::string& text) { AppendInfoLine(text, true); }
  // A vacuum reading arrived (the machine's link.vacuumKpa holds it).
  virtual void ShowVacuumValue() {}
  // UDP report 0x14: a front-panel key, codes 1 to 11.
  virtual void OnStatusReport(uint8_t /*key*/) {}
  // Serial status frame: the key character ('1' to '9').
  virtual void OnSerialStatusReport(uint8_t /*key*/) {}
  // UDP report 0x15: the eight input values.
  virtual void ShowInputValues(const uint8_t* /*values*/, int /*count*/) {}
  // A serial acknowledgement of 0x53, 0x54, 0x61 or 0x64 was counted.
  virtual void OnSerialAck(int /*ackCount*/) {}
  // The board acknowledged the serial hello (command 0x00).
  virtual void OnSerialHelloAck() {}
  // Serial error E2: a motor or sensor fault with its sub-code.
  virtual void OnMotorFault(uint8_t /*subCode*/) {}
  // A vacuum pump button (1..8, 0 all eight) shown checked or not.
  virtual void SetPumpButtonCheck(int /*which*/, bool /*checked*/) {}
  // A Z stroke (0x67 or 0x68) was acknowledged: the Z box shows 0.
  virtual void ShowZAtZero() {}
  // The position globals changed: refresh the position boxes.
  virtual void OnPositionsChanged() {}
  // The move counter (m_nSerialSendCount) changed.
  virtual void OnMoveCounted(int /*count*/) {}
  // Jog, home and pump controls (and the part list's Start) on or off.
  virtual void EnableJogControls(bool /*enable*/) {}
  // The home button alone on (after a connect without homing).
  virtual void EnableHomeButton() {}
  // The link failed (time-out or failed send): no longer connected.
  virtual void OnLinkLost() {}
};

}  // namespace smt::link
