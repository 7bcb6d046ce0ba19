#include "platform/GuiDispatcher.h"

#include <atomic>

namespace smt::platform {
namespace {
// The installed dispatcher, or one that runs inline when nobody installed one.
struct Dispatchers {
  InlineDispatcher fallback;
  std::atomic<GuiDispatcher*> installed{nullptr};
} g_dispatchers;
}  // namespace

GuiDispatcher& GuiDispatcher::Get() {
  GuiDispatcher* d = g_dispatchers.installed.load();
  return d ? *d : g_dispatchers.fallback;
}

void GuiDispatcher::Install(GuiDispatcher* d) { g_dispatchers.installed.store(d); }

}  // namespace smt::platform
