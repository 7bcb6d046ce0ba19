#pragma once
// The one road from worker threads to the window thread: Post queues work,
// RunBlocking waits for it (message boxes that need the operator's answer).
// Without an installed dispatcher (tests without a window) work runs inline.
#include <functional>

namespace smt::platform {

class GuiDispatcher {
 public:
  virtual ~GuiDispatcher() = default;
  virtual void Post(std::function<void()> work) = 0;
  // Runs `work` on the window thread and returns when it is done. Called on
  // the window thread it runs at once.
  virtual void RunBlocking(std::function<void()> work) = 0;
  virtual bool IsGuiThread() const = 0;

  static GuiDispatcher& Get();
  // Installs `d` (not owned); nullptr restores inline execution.
  static void Install(GuiDispatcher* d);
};

// Runs everything at once on the calling thread.
class InlineDispatcher : public GuiDispatcher {
 public:
  void Post(std::function<void()> work) override { work(); }
  void RunBlocking(std::function<void()> work) override { work(); }
  bool IsGuiThread() const override { return true; }
};

// Convenience wrappers.
inline void PostToGui(std::function<void()> work) { GuiDispatcher::Get().Post(std::move(work)); }
inline void RunOnGui(std::function<void()> work) { GuiDispatcher::Get().RunBlocking(std::move(work)); }

}  // namespace smt::platform
