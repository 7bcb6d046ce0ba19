#include "link/LinkRuntime.h"

#include "core/Machine.h"

namespace smt::link {

LinkRuntime& RuntimeOf(smt::Machine& machine) { return machine.Part<LinkRuntime>(); }

Link* LinkRuntime::ActiveLink() const {
  if (Link* l = substitute.load()) return l;
  if (commModel.load() == 0) return serial.load();
  return udp.load();
}

bool LinkRuntime::UsesSerial() const {
  if (const Link* l = substitute.load()) return l->Form() == LinkForm::Serial;
  return commModel.load() == 0;
}

void LinkRuntime::SetPumpButton(int which, bool checked) {
  if (which < 0 || which > 8) return;
  const uint8_t bits = which == 0 ? 0xFF : static_cast<uint8_t>(1u << (which - 1));
  if (checked) pumpButtons.fetch_or(bits);
  else pumpButtons.fetch_and(static_cast<uint8_t>(~bits));
  Hooks().SetPumpButtonCheck(which, checked);
}

}  // namespace smt::link
