#pragma once
// Whether the program is shutting down: set when the workers are asked to
// stop (platform/WorkerThreads), read by every bounded wait and by the
// message service, which shows nothing any more once it is set.
namespace smt::platform {

bool ProgramShuttingDown();
void SetProgramShuttingDown(bool shuttingDown);

}  // namespace smt::platform
