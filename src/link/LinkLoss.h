#pragma once
// The loss of the link to the machine and its return: whatever ends the
// link (a reply time-out, a failed send, the port or socket gone) makes the
// machine disconnected, tells the operator once and stops a run; nothing is
// sent again until the next connect.
#include <string>

#include "link/Link.h"

namespace smt {
class Machine;
}

namespace smt::link {

// The link failed (a time-out, a failed send, the port or socket gone): not
// connected any more; the jog panel shows it and the operator connects again.
// Logged every time; told to the operator once per loss.
void OnLinkLost(smt::Machine& machine, const char* why);
// The same, with the operator's one message naming what was lost (`what`).
// A run going on is stopped: nothing it would send can reach the machine.
void ReportLinkLost(smt::Machine& machine, const std::string& what);
// True from a loss until the next connect: commands are not sent (a run's
// remaining commands do not each wait out a time-out and stack messages).
bool LinkKnownLost(const smt::Machine& machine);
// A connect brought the link up again.
void OnLinkRestored(smt::Machine& machine);
// The port or socket of `link` failed (`how` the operator's sentence from the
// language file, %1 standing for the link's name: "%1 was closed !"). Only
// the link the commands go over makes the machine disconnected; the loss of
// another one changes nothing.
// The forms without a machine act on the machine in use.
void ReportLinkLoss(smt::Machine& machine, const Link& link, const std::string& how);

}  // namespace smt::link
