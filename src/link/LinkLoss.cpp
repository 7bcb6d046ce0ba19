#include "link/LinkLoss.h"

#include <atomic>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "link/OperatorNotice.h"
#include "platform/WorkerThreads.h"

namespace smt::link {

namespace {
}  // namespace

bool LinkKnownLost() { return smt::CurrentMachine().link.knownLost.load(); }

void OnLinkRestored() {
  smt::CurrentMachine().link.knownLost = false;
  // A reply owed from before the loss is waited for only a guard time more.
  for (ReplyEvent* e : AllReplyEvents()) e->RenewGuard();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialAxis.RenewGuard();
}

void OnLinkLost(const char* why) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", why);
  if (smt::CurrentMachine().connected.exchange(false)) {
    smt::CurrentMachine().link.knownLost = true;
    Runtime().Hooks().OnLinkLost();
  }
}

void ReportLinkLost(const std::string& what) {
  CLogFile::Instance().Write(true, "Link to the machine lost: %s", what.c_str());
  const std::string text = what + "\r\nThe link to the machine is lost: connect again.";
  if (!smt::CurrentMachine().connected.exchange(false)) {
    // Told already; a link that was never marked up (nothing connected it)
    // still says what failed.
    if (!smt::CurrentMachine().link.knownLost && !smt::platform::WorkerThreads::Instance().ShuttingDown()) NotifyOperator(text);
    return;
  }
  smt::CurrentMachine().link.knownLost = true;
  // A run cannot go on without the machine: it ends as stopped.
  if (smt::CurrentMachine().runContinue.exchange(false)) smt::CurrentMachine().run.pauseEvent.Set();
  Runtime().Hooks().OnLinkLost();
  if (!smt::platform::WorkerThreads::Instance().ShuttingDown())
    NotifyOperator(text);
}

void ReportLinkLoss(const Link& link, const std::string& how) {
  // Only the link the program talks to the machine over makes it lost.
  if (Runtime().ActiveLink() != &link || !smt::CurrentMachine().connected.load()) return;
  ReportLinkLost(link.Describe() + " " + how + " !");
}

}  // namespace smt::link
