// smt-control: the operator's program. Runs in the current directory, which
// holds config.ini, the language files and the library list files.
#include "app/ProgramStart.h"

int main(int argc, char** argv) { return smt::app::RunProgram(argc, argv); }
