#pragma once
// Loading one of the program's own plugins (shared objects it opens on first
// use rather than at start).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "platform/Hooks.h"

namespace smt::vision {

// Opens the plugin `fileName` from beside the running program, else from
// `builtPath` (where this build put it; may be null), and returns what its
// entry function `entrySymbol` hands back, when `accept` takes it. The plugin
// stays loaded for the rest of the process. nullptr when no place had a
// usable one; `tried` then lists each place and why.
const void* LoadPlugin(const std::string& fileName, const char* builtPath, const char* entrySymbol,
                       const std::function<bool(const void*)>& accept, std::string& tried);

// A plugin whose entry hands back an `Api` (with its `version` and
// `kVersion`), loaded the first time it is asked for and then kept. When no
// usable one is found, `missing` followed by the places tried is logged once
// and kept as the error.
template <class Api>
class PluginOnFirstUse {
 public:
  PluginOnFirstUse(const char* fileName, const char* builtPath, const char* entrySymbol, std::string missing)
      : fileName_(fileName), builtPath_(builtPath), entrySymbol_(entrySymbol), missing_(std::move(missing)) {}

  const Api* Get() {
    std::call_once(once_, [this] { Load(); });
    return api_;
  }
  bool Loaded() const { return api_ != nullptr; }
  std::string Error() const { return error_; }

 private:
  void Load() {
    std::string tried;
    const void* api = LoadPlugin(
        fileName_, builtPath_, entrySymbol_,
        [](const void* a) { return static_cast<const Api*>(a)->version == Api::kVersion; }, tried);
    if (api) {
      api_ = static_cast<const Api*>(api);
      return;
    }
    error_ = missing_ + tried;
    smt::platform::HookLog(error_);
  }

  const char* fileName_;
  const char* builtPath_;
  const char* entrySymbol_;
  std::string missing_;
  std::once_flag once_;
  std::atomic<const Api*> api_{nullptr};
  std::string error_;
};

}  // namespace smt::vision
