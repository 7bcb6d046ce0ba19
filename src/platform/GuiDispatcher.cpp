#include "platform/GuiDispatcher.h"

#include <atomic>

namespace smt::platform {
namespace {
InlineDispatcher g_inline;
std::atomic<GuiDispatcher*> g_current{nullptr};
}  // namespace

GuiDispatcher& GuiDispatcher::Get() {
  GuiDispatcher* d = g_current.load();
  return d ? *d : g_inline;
}

void GuiDispatcher::Install(GuiDispatcher* d) { g_current.store(d); }

}  // namespace smt::platform
