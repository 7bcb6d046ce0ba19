#pragma once
// The table of every hook the shell connects (one line each, in
// HookTable.cpp) and its report to the log.
#include <string>
#include <vector>

class CSMTView;

namespace smt::app {

// Declares every hook with its machine types or its reason to be optional.
void DeclareShellHooks(CSMTView& view);
// Logs the hooks the current machine type needs and nobody connected;
// returns their names.
std::vector<std::string> ReportHooks(const std::string& when);
// Points the hook log at the daily log file.
void InstallHookLog();

}  // namespace smt::app
