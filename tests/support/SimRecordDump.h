#pragma once
// Writes what the simulated machine recorded in a test (every command it
// received, in order, and where every part was let go) to a text file, when
// the environment variable SMT_SIM_RECORD_DIR names a folder: one file per
// test, "<suite>.<test>.txt". Two builds' records compare with diff, so a
// change of structure can show that the machine saw the same run.
// Nothing is written without the variable.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sim/SimBoard.h"
#include "sim/SimWorld.h"

namespace testsupport {

inline void DumpSimRecord(const smt::sim::SimBoard& board, const smt::sim::SimWorld* world) {
  const char* dir = std::getenv("SMT_SIM_RECORD_DIR");
  if (!dir || !*dir) return;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return;
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  std::ofstream out(std::string(dir) + "/" + name + ".txt");
  char b[64];
  for (const auto& r : board.Received()) {
    std::snprintf(b, sizeof b, "%s %03X", r.link == smt::sim::SimLink::Udp ? "U" : "S", r.code);
    out << b;
    for (uint8_t v : r.payload) {
      std::snprintf(b, sizeof b, " %02X", v);
      out << b;
    }
    out << "\n";
  }
  if (world) {
    for (const auto& p : world->Releases()) {
      std::snprintf(b, sizeof b, "%s head %d at %.3f %.3f %.2f", p.placed ? "placed" : "thrown", p.head, p.boardX,
                    p.boardY, p.boardAngleDeg);
      out << b << "\n";
    }
  }
}

}  // namespace testsupport
