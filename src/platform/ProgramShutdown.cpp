#include "platform/ProgramShutdown.h"

#include <atomic>

namespace smt::platform {
namespace {
std::atomic<bool> shuttingDown{false};
}  // namespace

bool ProgramShuttingDown() { return shuttingDown.load(); }
void SetProgramShuttingDown(bool s) { shuttingDown.store(s); }

}  // namespace smt::platform
