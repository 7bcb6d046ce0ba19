#include "link/LinkLoss.h"

#include <atomic>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MotionGlobals.h"
#include "link/OperatorNotice.h"
#include "platform/RefusalTexts.h"
#include "platform/WorkerThreads.h"

namespace smt::link {

namespace {

// The nozzles whose vacuum was on when the link went, in the operator's
// words, or nothing: without the link no part can be carried to the throw
// position nor its vacuum switched off, so the one message about the loss
// says which nozzles may still hold parts.
std::string VacuumStillOn(smt::Machine& m) {
  if (m.machineType == 9) return {};  // the drill holds no parts
  const uint8_t pumps = RuntimeOf(m).pumpButtons.load();
  std::string list;
  for (int k = 1; k <= 8; ++k)
    if (pumps & (1u << (k - 1))) list += (list.empty() ? " " : ", ") + std::to_string(k);
  if (list.empty()) return {};
  return "\r\n" + LinkTextsOf(m).lostWithVacuumOn + list;
}

// What the machine did while the link was down (a move under way, the board
// restarted) is not known: the machine counts as not homed, and nothing
// moves after the next connect until it is homed.
void PositionsNoLongerKnown(smt::Machine& m) {
  m.resetDone = false;
  m.link.positionLost = true;
}

}  // namespace

bool LinkKnownLost(const smt::Machine& m) { return m.link.knownLost.load(); }


void OnLinkRestored(smt::Machine& m) {
  m.link.knownLost = false;
  for (ReplyEvent* e : AllReplyEvents(m)) e->OnReconnected();
}


void OnLinkLost(smt::Machine& m, const char* why) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", why);
  for (ReplyEvent* e : AllReplyEvents(m)) e->NoteBoardWentAway();
  if (m.connected.exchange(false)) {
    m.link.knownLost = true;
    PositionsNoLongerKnown(m);
    RuntimeOf(m).Hooks().OnLinkLost();
  }
}


void ReportLinkLost(smt::Machine& m, const std::string& what) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", what.c_str());
  const std::string text = what + "\r\n" + LinkTextsOf(m).lostConnectAgain;
  if (!m.connected.exchange(false)) {
    // Told already; a link that was never marked up (nothing connected it)
    // still says what failed.
    if (!m.link.knownLost && !smt::platform::WorkerThreads::Instance().ShuttingDown()) NotifyOperator(text);
    return;
  }
  m.link.knownLost = true;
  PositionsNoLongerKnown(m);
  // A run cannot go on without the machine: it ends as stopped, and says
  // nothing of its own (it can neither carry its parts away nor switch their
  // vacuum off): this message is the operator's one message about it.
  const std::string told = text + VacuumStillOn(m);
  if (m.runContinue.exchange(false)) m.run.pauseEvent.Set();
  RuntimeOf(m).Hooks().OnLinkLost();
  if (!smt::platform::WorkerThreads::Instance().ShuttingDown())
    NotifyOperator(told);
}

void ReportLinkLoss(smt::Machine& m, const Link& link, const std::string& how) {
  // Only the link the program talks to the machine over makes it lost.
  if (RuntimeOf(m).ActiveLink() != &link || !m.connected.load()) return;
  for (ReplyEvent* e : AllReplyEvents(m)) e->NoteBoardWentAway();
  ReportLinkLost(m, smt::platform::FillText(how, {link.Describe()}));
}

}  // namespace smt::link
