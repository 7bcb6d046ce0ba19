#pragma once
// The table of every hook the shell connects (one line each, in
// HookTable.cpp); HookReport.h reports it to the log.
#include <string>
#include <vector>

class CSMTView;

namespace smt::app {

// Declares every hook with its machine types or its reason to be optional.
void DeclareShellHooks(CSMTView& view);

}  // namespace smt::app
