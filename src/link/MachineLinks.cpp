#include "link/MachineLinks.h"

#include <memory>
#include <mutex>

#include "core/Machine.h"

namespace smt::link {
namespace {

// The machine's part that holds its links, made with the machine on first use.
struct LinksSlot {
  std::once_flag made;
  std::unique_ptr<MachineLinks> links;
};

}  // namespace

MachineLinks::~MachineLinks() { Close(); }

void MachineLinks::Close() {
  serial.Close();
  udp.Close();
}

MachineLinks& LinksOf(smt::Machine& machine) {
  LinksSlot& slot = machine.Part<LinksSlot>();
  std::call_once(slot.made, [&] {
    slot.links = std::make_unique<MachineLinks>(machine);
    // The links' receive threads are stopped and joined before any part of
    // the machine (reply events, link values, the run machine) is freed.
    machine.AddStopAction([&slot] { slot.links->Close(); });
  });
  return *slot.links;
}

}  // namespace smt::link
