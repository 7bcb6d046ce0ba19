#include "app/CMainFrameAccess.h"

#include <atomic>

#include "app/MainFrame.h"

namespace {
std::atomic<CMainFrame*> g_frame{nullptr};
}

CMainFrame* GetMainFrame() { return g_frame.load(); }
void SetMainFrame(CMainFrame* frame) { g_frame.store(frame); }
CSMTView* GetActiveView() {
  CMainFrame* f = g_frame.load();
  return f ? f->view() : nullptr;
}
