#pragma once
// Loud hooks. A hook is a service one part of the program uses and the shell
// connects (a std::function member of a services struct or a panel). A hook
// nobody connected must never read as "off", empty or zero:
//
//  - `Hook<Sig>` is the member type: it carries its name, and calling it
//    while unconnected logs the name and throws `UnwiredHook`, which ends the
//    current action with a failure at the worker, window-task or command
//    boundary (`GuardAction`). Builds without NDEBUG stop at once instead.
//  - `HookRegistry` holds one line per hook: its name, the machine types that
//    need it (or why it is optional), the actions it blocks, and a probe that
//    tells whether it is connected now. The shell fills it in one place and
//    reports the hooks the current machine type needs and nobody connected at
//    the end of start-up and after every machine-type switch.
//  - `RequireHooks(action, type)` lets an action (Start, Pcb Clamp, ...)
//    refuse with a message naming the missing hooks before it starts.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace smt::platform {

// Thrown when an unconnected hook is called.
class UnwiredHook : public std::runtime_error {
 public:
  explicit UnwiredHook(std::string name);
  const std::string& hook() const { return name_; }

 private:
  std::string name_;
};

// Where hook lines go (the shell points it at the daily log; default stderr).
void SetHookLog(std::function<void(const std::string&)> sink);
// The same, but keeps a sink already installed (a test's capture).
void SetHookLogIfUnset(std::function<void(const std::string&)> sink);
void HookLog(const std::string& line);

// Called by Hook::operator() on an unconnected hook: logs the name, then
// aborts (no NDEBUG, unless switched off for tests) or throws UnwiredHook.
[[noreturn]] void UnwiredCall(const char* name);
// Builds without NDEBUG stop at the first unwired call; tests that check the
// failure path switch this off.
void SetAbortOnUnwiredCall(bool abort);
bool AbortOnUnwiredCall();

// The text shown when an action is refused or ended for a missing hook.
std::string UnwiredMessage(const std::string& hookNames);

// Runs `action`; an UnwiredHook thrown inside ends it: the hook is logged,
// the operator is told which hook is missing, and false is returned.
// `where` names the action in the log line.
bool GuardAction(const char* where, const std::function<void()>& action);

template <class Sig>
class Hook;

template <class R, class... A>
class Hook<R(A...)> {
 public:
  using Function = std::function<R(A...)>;

  explicit Hook(const char* name) : name_(name) {}
  Hook(const Hook&) = default;
  Hook(Hook&&) noexcept = default;
  // Assignment takes the other side's function; a hook keeps its own name.
  Hook& operator=(const Hook& o) {
    fn_ = o.fn_;
    return *this;
  }
  Hook& operator=(Hook&& o) noexcept {
    fn_ = std::move(o.fn_);
    return *this;
  }
  Hook& operator=(std::nullptr_t) {
    fn_ = nullptr;
    return *this;
  }
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Hook> &&
                                              std::is_constructible_v<Function, F&&>>>
  Hook& operator=(F&& f) {
    fn_ = Function(std::forward<F>(f));
    return *this;
  }

  explicit operator bool() const { return static_cast<bool>(fn_); }
  bool connected() const { return static_cast<bool>(fn_); }
  const char* name() const { return name_; }
  const Function& function() const { return fn_; }

  R operator()(A... args) const {
    if (!fn_) UnwiredCall(name_);
    return fn_(std::forward<A>(args)...);
  }

 private:
  const char* name_;
  Function fn_;
};

// Machine types as a bit set (bit t: machine type t needs the hook).
using MachineTypes = uint16_t;
inline constexpr MachineTypes kAllMachineTypes = 0x7FF;  // 0..10
inline constexpr MachineTypes kOptional = 0;
constexpr MachineTypes Types(std::initializer_list<int> types) {
  MachineTypes m = 0;
  for (int t : types) m = static_cast<MachineTypes>(m | (1u << t));
  return m;
}
constexpr MachineTypes AllTypesBut(std::initializer_list<int> types) {
  return static_cast<MachineTypes>(kAllMachineTypes & ~Types(types));
}

struct HookEntry {
  std::string name;
  MachineTypes types = kOptional;  // who needs it; kOptional: nobody must
  std::string reason;              // optional hooks: why
  std::vector<std::string> blocks; // actions refused while it is missing ("Start", ...)
  std::function<bool()> connected; // probe, read now
  bool NeededBy(int machineType) const {
    return machineType >= 0 && machineType <= 10 && (types >> machineType) & 1u;
  }
};

class HookRegistry {
 public:
  static HookRegistry& Instance();

  void Clear();
  void Declare(HookEntry entry);
  size_t Size() const;
  std::vector<HookEntry> Entries() const;

  // Names of the hooks `machineType` needs that are not connected now.
  std::vector<std::string> Missing(int machineType) const;
  // Names of every hook not connected now (needed or optional).
  std::vector<std::string> Unconnected() const;
  // Hooks `action` needs for `machineType` that are not connected now.
  std::vector<std::string> MissingFor(const std::string& action, int machineType) const;

  // Writes the missing hooks of `machineType` to the hook log (one line
  // each, or one line saying all are connected) and returns their names.
  std::vector<std::string> Report(int machineType, const std::string& when) const;

 private:
  mutable std::mutex m_;
  std::vector<HookEntry> entries_;
};

// True when `action` may run: otherwise its missing hooks are logged, the
// operator is told which they are, and false is returned.
bool RequireHooks(const std::string& action, int machineType);

// Joins names with ", ".
std::string JoinHookNames(const std::vector<std::string>& names);

}  // namespace smt::platform
