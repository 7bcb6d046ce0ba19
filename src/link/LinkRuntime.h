#pragma once
// Where the command functions find the link the operator chose: the link
// mode, the UDP link object, the open COM port, the panel's hooks and the
// fitted-head mask. The jog panel fills it; tests fill it directly. The
// command set reaches the machine only through ActiveLink().
#include <atomic>
#include <cstdint>

#include "link/Link.h"
#include "link/LinkHooks.h"

namespace smt {
class Machine;
}

namespace smt::link {

struct LinkRuntime {
  // m_CommModel: 0 the serial link, anything else UDP. Read at every send.
  std::atomic<int> commModel{0};
  // The jog panel's two links: the UDP channel and the COM port.
  std::atomic<Link*> udp{nullptr};
  std::atomic<Link*> serial{nullptr};
  // A link put in place of the panel's two (a test's recording link); when
  // set, it carries every command whatever the link mode says.
  std::atomic<Link*> substitute{nullptr};
  std::atomic<LinkHooks*> hooks{nullptr};
  // Bit k-1 set for each fitted head k; replies carry the board's head state.
  std::atomic<uint8_t> headMask{0};
  std::atomic<int> resetMode{0};
  std::atomic<int> serialSendCount{0};
  std::atomic<int> serialAckCount{0};
  // Firmware version switches (section CPUVersionNumberConfig).
  std::atomic<int> v2_04{0};
  std::atomic<int> v2_06{0};
  std::atomic<int> v2_07{0};
  // Jog-panel state the commands read and show.
  std::atomic<uint8_t> pumpButtons{0};      // bit i: "真空泵 i+1" checked
  std::atomic<int> headGroup{1};            // lamp machine: the platform the jog keys drive (1 or 2)
  std::atomic<bool> feederButtonHeld{false};
  std::atomic<int> axisSelection{0};        // cycled by front-panel key 6
  std::atomic<int> speedGear{0};            // 0..4

  // Shows pump button `which` (1..8; 0 all eight) checked or not.
  void SetPumpButton(int which, bool checked);

  LinkHooks& Hooks() {
    LinkHooks* h = hooks.load();
    return h ? *h : noHooks;
  }
  // The link the commands go over: the substitute when set, else the COM
  // port (link mode 0) or the UDP link; nullptr when that one is missing.
  Link* ActiveLink() const;
  // Whether the commands go out in the serial form.
  bool UsesSerial() const;

  LinkHooks noHooks;
};

// The link runtime of a machine, and of the machine in use.
LinkRuntime& RuntimeOf(smt::Machine& machine);

}  // namespace smt::link
