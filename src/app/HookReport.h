#pragma once
// The report of the hook table to the daily log: the hooks the machine type
// needs and nobody connected.
#include <string>
#include <vector>

namespace smt {
class Machine;
}

namespace smt::app {

// Logs the hooks `machine`'s type needs and nobody connected; returns
// their names.
std::vector<std::string> ReportHooks(const smt::Machine& machine, const std::string& when);
// Points the hook log at the daily log file.
void InstallHookLog();

}  // namespace smt::app
