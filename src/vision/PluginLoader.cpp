#include "vision/PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace smt::vision {

const void* LoadPlugin(const std::string& fileName, const char* builtPath, const char* entrySymbol,
                       const std::function<bool(const void*)>& accept, std::string& tried) {
  std::vector<std::string> candidates;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) candidates.push_back((exe.parent_path() / fileName).string());
  if (builtPath) candidates.push_back(builtPath);
  tried.clear();
  for (const auto& path : candidates) {
    if (::access(path.c_str(), R_OK) != 0) {
      tried += "\n  " + path + ": not there";
      continue;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* e = ::dlerror();
      tried += "\n  " + path + ": " + (e ? e : "cannot be loaded");
      continue;
    }
    using Entry = const void* (*)();
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, entrySymbol));
    const void* api = entry ? entry() : nullptr;
    if (!api || !accept(api)) {
      tried += "\n  " + path + ": not a plugin of this program's version";
      ::dlclose(handle);
      continue;
    }
    return api;
  }
  return nullptr;
}

}  // namespace smt::vision
