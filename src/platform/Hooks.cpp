#include "platform/Hooks.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"

namespace smt::platform {

namespace {
// Where hook lines go and what an unconnected call does, for the whole process.
struct HookLogState {
  std::mutex m;
  std::function<void(const std::string&)> sink;
#ifdef NDEBUG
  std::atomic<bool> abortOnUnwired{false};
#else
  std::atomic<bool> abortOnUnwired{true};
#endif
};
HookLogState& State() {
  static HookLogState state;
  return state;
}
}  // namespace

UnwiredHook::UnwiredHook(std::string name)
    : std::runtime_error("hook not connected: " + name), name_(std::move(name)) {}

void SetHookLog(std::function<void(const std::string&)> sink) {
  std::lock_guard lk(State().m);
  State().sink = std::move(sink);
}

void SetHookLogIfUnset(std::function<void(const std::string&)> sink) {
  std::lock_guard lk(State().m);
  if (!State().sink) State().sink = std::move(sink);
}

void HookLog(const std::string& line) {
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lk(State().m);
    sink = State().sink;
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void SetAbortOnUnwiredCall(bool abort) { State().abortOnUnwired = abort; }
bool AbortOnUnwiredCall() { return State().abortOnUnwired.load(); }

void UnwiredCall(const char* name) {
  HookLog(std::string("Hook not connected: ") + name);
  if (State().abortOnUnwired.load()) {
    std::fprintf(stderr, "Hook not connected: %s\n", name);
    std::abort();
  }
  throw UnwiredHook(name);
}

std::string UnwiredMessage(const std::string& hookNames) {
  return "功能未连接: " + hookNames + "\r\nNot connected: " + hookNames;
}

bool GuardAction(const char* where, const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const UnwiredHook& e) {
    HookLog(std::string(where) + " ended: hook not connected: " + e.hook());
    // A worker does not wait for the window thread to show the box.
    const std::string text = UnwiredMessage(e.hook());
    if (GuiDispatcher::Get().IsGuiThread()) {
      ShowMessage(text, MsgButtons::Ok, MsgIcon::Error);
    } else {
      PostToGui([text] { ShowMessage(text, MsgButtons::Ok, MsgIcon::Error); });
    }
    return false;
  }
}

HookRegistry& HookRegistry::Instance() {
  static HookRegistry r;
  return r;
}

void HookRegistry::Clear() {
  std::lock_guard lk(m_);
  entries_.clear();
}

void HookRegistry::Declare(HookEntry entry) {
  std::lock_guard lk(m_);
  for (auto& e : entries_) {
    if (e.name == entry.name) {
      e = std::move(entry);
      return;
    }
  }
  entries_.push_back(std::move(entry));
}

size_t HookRegistry::Size() const {
  std::lock_guard lk(m_);
  return entries_.size();
}

std::vector<HookEntry> HookRegistry::Entries() const {
  std::lock_guard lk(m_);
  return entries_;
}

static bool IsConnected(const HookEntry& e) { return e.connected && e.connected(); }

std::vector<std::string> HookRegistry::Missing(int machineType) const {
  std::vector<std::string> out;
  for (const auto& e : Entries())
    if (e.NeededBy(machineType) && !IsConnected(e)) out.push_back(e.name);
  return out;
}

std::vector<std::string> HookRegistry::Unconnected() const {
  std::vector<std::string> out;
  for (const auto& e : Entries())
    if (!IsConnected(e)) out.push_back(e.name);
  return out;
}

std::vector<std::string> HookRegistry::MissingFor(const std::string& action, int machineType) const {
  std::vector<std::string> out;
  for (const auto& e : Entries()) {
    if (!e.NeededBy(machineType) || IsConnected(e)) continue;
    for (const auto& b : e.blocks) {
      if (b == action) {
        out.push_back(e.name);
        break;
      }
    }
  }
  return out;
}

std::vector<std::string> HookRegistry::Report(int machineType, const std::string& when) const {
  const auto missing = Missing(machineType);
  if (missing.empty()) {
    HookLog("Hooks (" + when + ", machine type " + std::to_string(machineType) + "): all " +
            std::to_string(Size()) + " connected or optional");
  } else {
    HookLog("Hooks (" + when + ", machine type " + std::to_string(machineType) + "): " +
            std::to_string(missing.size()) + " needed and not connected");
    for (const auto& n : missing) HookLog("  not connected: " + n);
  }
  return missing;
}

std::string JoinHookNames(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) {
    if (!s.empty()) s += ", ";
    s += n;
  }
  return s;
}

bool RequireHooks(const std::string& action, int machineType) {
  const auto missing = HookRegistry::Instance().MissingFor(action, machineType);
  if (missing.empty()) return true;
  const std::string names = JoinHookNames(missing);
  HookLog(action + " refused: not connected: " + names);
  ShowMessage(action + ": " + UnwiredMessage(names), MsgButtons::Ok, MsgIcon::Error);
  return false;
}

}  // namespace smt::platform
