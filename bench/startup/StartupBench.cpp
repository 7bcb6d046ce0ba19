// Start-up to the first idle main window: the operator's program (as main()
// starts it, in a working directory prepared as scripts/run prepares one)
// against a Qt hello window, each a whole new process, in turn, measured in
// the same run. Prints both medians, the ratio, how many shared objects each
// had loaded and the dynamic loader's relocation counts.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/startup/MappedObjects.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  double idleSeconds = 0;  // from the fork to the program's first idle moment
  double seconds = 0;      // the whole process, its exit included
  int objects = 0;
  // The dynamic loader's own count at start (with loaderStatistics): symbol
  // relocations and relative relocations.
  long relocations = 0, relativeRelocations = 0;
  bool ok = false;
};

// The number after `label` in `line`, or -1.
long NumberAfter(const std::string& line, const std::string& label) {
  const auto at = line.find(label);
  return at == std::string::npos ? -1 : std::atol(line.c_str() + at + label.size());
}

// Runs `program` in `dir` and waits for it (bounded by the process's own
// quitting; a program that does not quit within 20 s is killed).
Outcome RunOnce(const std::string& program, const fs::path& dir, const std::vector<std::string>& args = {},
                bool loaderStatistics = false) {
  const fs::path out = dir / "startup-output.txt";
  const auto t0 = std::chrono::steady_clock::now();
  const long long startNs = MonotonicNs();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    if (loaderStatistics) ::setenv("LD_DEBUG", "statistics", 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  Outcome o;
  if (pid < 0) return o;
  int status = 0;
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(20)) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return o;
    }
    ::usleep(200);
  }
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  o.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("shared objects: ", 0) == 0) o.objects = std::atoi(line.c_str() + 16);
    else if (line.rfind("idle at: ", 0) == 0) o.idleSeconds = static_cast<double>(std::atoll(line.c_str() + 9) - startNs) / 1e9;
    else if (const long n = NumberAfter(line, " number of relocations: "); n >= 0 && o.relocations == 0) o.relocations = n;
    else if (const long r = NumberAfter(line, " number of relative relocations: "); r >= 0 && o.relativeRelocations == 0)
      o.relativeRelocations = r;
  return o;
}

// A working directory as scripts/run sets one up: the shipped defaults, the
// built language files and the demo machine and job.
fs::path PrepareWorkdir() {
  const fs::path dir = fs::temp_directory_path() / ("smt-startup-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(fs::path(SMT_SOURCE_DIR) / "resources" / "defaults"))
    fs::copy(e.path(), dir / e.path().filename(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const auto& e : fs::directory_iterator(SMT_LANG_DIR))
    if (e.path().extension() == ".ini") fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
  RunOnce(SMT_PREPARE_WORKDIR, dir, {dir.string()});
  return dir;
}

// The first three fields of /proc/loadavg (1, 5 and 15 minutes): the
// machine's load while the pairs ran, printed with the figures.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void BM_StartupAgainstHelloWindow(benchmark::State& state) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The three simulated industrial cameras scripts/run gives the program
  // (here drawn in the process, no simulator): without cameras the program
  // stops at start-up with "No camera found !".
  setenv("SMT_SIMULATED_CAMERAS", "3", 1);
  unsetenv("SMT_SIM_CAMERA_SOCKET");
  const fs::path dir = PrepareWorkdir();
  constexpr int kRounds = 11;
  std::vector<double> shell, hello, ratios, shellWhole, helloWhole, wholeRatios;
  int shellObjects = 0, helloObjects = 0;
  bool ok = true;
  const std::string loadBefore = LoadAverage();
  for (auto _ : state) {
    RunOnce(SMT_STARTUP_HELLO, dir);  // warm-up of both
    RunOnce(SMT_STARTUP_SHELL, dir);
    for (int i = 0; i < kRounds; ++i) {
      const Outcome h = RunOnce(SMT_STARTUP_HELLO, dir);
      const Outcome s = RunOnce(SMT_STARTUP_SHELL, dir);
      ok = ok && h.ok && s.ok && h.idleSeconds > 0 && s.idleSeconds > 0;
      hello.push_back(h.idleSeconds);
      shell.push_back(s.idleSeconds);
      ratios.push_back(s.idleSeconds / h.idleSeconds);
      helloWhole.push_back(h.seconds);
      shellWhole.push_back(s.seconds);
      wholeRatios.push_back(s.seconds / h.seconds);
      helloObjects = h.objects;
      shellObjects = s.objects;
    }
  }
  // One more run of each, untimed, for the loader's relocation counts.
  const Outcome helloLoader = RunOnce(SMT_STARTUP_HELLO, dir, {}, true);
  const Outcome shellLoader = RunOnce(SMT_STARTUP_SHELL, dir, {}, true);
  const double s = Median(shell) * 1000, h = Median(hello) * 1000;
  state.counters["startup_ms"] = s;
  state.counters["hello_window_ms"] = h;
  state.counters["ratio"] = Median(ratios);
  state.counters["whole_process_ratio"] = Median(wholeRatios);
  state.counters["shared_objects"] = shellObjects;
  state.counters["hello_shared_objects"] = helloObjects;
  std::printf("start-up to the first idle main window: %.1f ms against a Qt hello window %.1f ms (medians of %d), "
              "ratio %.2f (median of pairs; min %.2f, max %.2f; goal <= 3); shared objects %d against %d%s\n",
              s, h, kRounds, Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()), shellObjects, helloObjects,
              ok ? "" : "  <-- A RUN FAILED");
  state.counters["relocations"] = static_cast<double>(shellLoader.relocations);
  state.counters["hello_relocations"] = static_cast<double>(helloLoader.relocations);
  std::printf("relocations at start: %ld symbol and %ld relative against %ld and %ld\n", shellLoader.relocations,
              shellLoader.relativeRelocations, helloLoader.relocations, helloLoader.relativeRelocations);
  std::printf("load average before %s, after %s\n", loadBefore.c_str(), LoadAverage().c_str());
  std::printf("whole process (start, first idle, quit and exit): %.1f ms against %.1f ms, ratio %.2f\n",
              Median(shellWhole) * 1000, Median(helloWhole) * 1000, Median(wholeRatios));
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_StartupAgainstHelloWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
