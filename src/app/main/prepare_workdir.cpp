// smt-prepare-workdir DIR: fills a new working directory with the simulated
// machine's settings, its library files and the demo job (scripts/run calls
// it for a working directory it has just created).
#include <cstdio>

#include "app/DemoWorkdir.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WORKING-DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string error = smt::app::PrepareDemoWorkdir(argv[1]);
  if (!error.empty()) {
    std::fprintf(stderr, "%s: could not write %s\n", argv[0], error.c_str());
    return 1;
  }
  return 0;
}
