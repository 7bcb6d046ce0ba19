#pragma once
// Values the program refused while reading its settings and tables (a key of
// config.ini, a cell of the speed or camera list, a camera's parameter file):
// each is written to the log and told to the operator once per run of the
// program, whatever number of loaders read the same value again. The file is
// never rewritten because of a refusal: the value in use is the key's default
// (or the last good one) until the operator saves.
#include <cstdint>
#include <string>
#include <vector>

namespace smt::platform {

struct ReadRefusal {
  std::string file;     // path of the file as it was opened
  std::string where;    // "[Section] key" or "line N, field F"
  std::string text;     // what the file held
  std::string need;     // "a number in lo..hi", "a whole number in lo..hi"
  std::string used;     // what the program uses instead ("" when nothing is used)
};

// The operator's text of one refusal (Chinese line, then English line).
std::string DescribeReadRefusal(const ReadRefusal& r);

// Logs the refusal and tells the operator, once per (file, where, text). The
// box is shown on the window thread without holding up the reader; the
// refusals that arrive before it is shown share one box. Returns false when
// the same refusal was told already.
bool ReportReadRefusal(const ReadRefusal& r);

// Every refusal told since start (or since ForgetReadRefusals), in order.
std::vector<ReadRefusal> ReadRefusalsSoFar();
uint64_t ReadRefusalCount();
// Tests: forget what was told, so the same refusal is told again.
void ForgetReadRefusals();

}  // namespace smt::platform
