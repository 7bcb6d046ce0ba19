#pragma once
// Loading one of the program's own plugins (shared objects it opens on first
// use rather than at start).
#include <functional>
#include <string>

namespace smt::vision {

// Opens the plugin `fileName` from beside the running program, else from
// `builtPath` (where this build put it; may be null), and returns what its
// entry function `entrySymbol` hands back, when `accept` takes it. The plugin
// stays loaded for the rest of the process. nullptr when no place had a
// usable one; `tried` then lists each place and why.
const void* LoadPlugin(const std::string& fileName, const char* builtPath, const char* entrySymbol,
                       const std::function<bool(const void*)>& accept, std::string& tried);

}  // namespace smt::vision
