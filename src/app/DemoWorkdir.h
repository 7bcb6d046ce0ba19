#pragma once
// A working directory for the simulated machine: settings that match the
// board simulator (travel, scales, speeds and a speed template, jog steps,
// the simulated industrial cameras and their camera rows, a nozzle library),
// a feeder group and a small demo job that runs to its end on it. scripts/run
// prepares a new working directory this way; a real machine's settings are
// never written here.
#include <filesystem>
#include <string>

namespace smt::app {

// The demo job's file name inside the working directory.
inline constexpr const char* kDemoJobName = "demo.smt";
// The simulated machine's world as the board simulator reads it (smt-sim
// --world): the same geometry, board and feeders as the settings and the job.
inline constexpr const char* kDemoWorldName = "sim-world.txt";

// A pick-and-place file of a second board layout in KiCad's .pos form, for
// trying the PCB editor's import ("KiCad.pos"): six parts with the demo
// feeders' values and package.
inline constexpr const char* kDemoImportName = "demo-board.pos";
inline constexpr int kDemoImportParts = 6;

// Writes the demo settings, library files and job into `dir`. Returns an
// empty string on success, else what could not be written.
std::string PrepareDemoWorkdir(const std::filesystem::path& dir);

}  // namespace smt::app
