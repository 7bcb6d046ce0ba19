// A command's round trip over loopback UDP (the program's send, the
// simulated board, the reply handed to the waiting command) against a bare
// UDP echo measured in the same run on the same CPUs, on one CPU and on four.
// Prints the program's figure, the baseline and their ratio.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "SimulatedBoardLink.h"

namespace {

using Clock = std::chrono::steady_clock;

// Restricts the calling thread (and the threads it starts) to `n` CPUs.
bool UseCpus(int n, cpu_set_t& old) {
  sched_getaffinity(0, sizeof old, &old);
  cpu_set_t set;
  CPU_ZERO(&set);
  int taken = 0;
  for (int c = 0; c < CPU_SETSIZE && taken < n; ++c)
    if (CPU_ISSET(c, &old)) {
      CPU_SET(c, &set);
      ++taken;
    }
  if (taken < n) return false;
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

// Microseconds per bare UDP echo: client and echo thread on loopback,
// both blocking in their receive calls.
double BareEchoMicros(int rounds) {
  const int server = ::socket(AF_INET, SOCK_DGRAM, 0);
  const int client = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);
  timeval tv{0, 200000};
  setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::atomic<bool> stop{false};
  std::thread echo([&] {
    uint8_t buf[600];
    while (!stop) {
      sockaddr_in from{};
      socklen_t fl = sizeof from;
      const long n = ::recvfrom(server, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
      if (n > 0) ::sendto(server, buf, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fl);
    }
  });
  // The same sizes as a 0x61 command (24 bytes) and its reply.
  uint8_t msg[24] = {};
  uint8_t back[600];
  auto once = [&] {
    ::sendto(client, msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::recv(client, back, sizeof back, 0);
  };
  for (int i = 0; i < 200; ++i) once();
  const auto t0 = Clock::now();
  for (int i = 0; i < rounds; ++i) once();
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / rounds;
  stop = true;
  echo.join();
  ::close(server);
  ::close(client);
  return us;
}

double ProgramRoundTripMicros(int rounds, int& failures) {
  SimulatedBoardLink board(false);
  if (!board.started) return -1;
  smt::CurrentMachine().masterResetOk = true;
  smt::link::MachineCommand c;
  c.code = 0x61;
  c.udpPayload = smt::link::ByteWriter().U8(0).I32(0).I32(10).I32(5).I32(20).Take();
  c.reply = &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove;
  for (int i = 0; i < 200; ++i) smt::link::SendMachineCommand(smt::CurrentMachine(), c);
  const auto t0 = Clock::now();
  for (int i = 0; i < rounds; ++i)
    if (smt::link::SendMachineCommand(smt::CurrentMachine(), c) != smt::link::CommandResult::Ok) ++failures;
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / rounds;
}

void BM_CommandRoundTripVersusBareEcho(benchmark::State& state) {
  const int cpus = static_cast<int>(state.range(0));
  cpu_set_t old;
  if (!UseCpus(cpus, old)) {
    state.SkipWithError("not enough CPUs");
    return;
  }
  constexpr int kRounds = 4000;
  double program = 0, echo = 0;
  int failures = 0;
  for (auto _ : state) {
    // Interleaved, best of three each: the two figures see the same machine.
    std::vector<double> p, e;
    for (int k = 0; k < 3; ++k) {
      e.push_back(BareEchoMicros(kRounds));
      p.push_back(ProgramRoundTripMicros(kRounds, failures));
    }
    program = *std::min_element(p.begin(), p.end());
    echo = *std::min_element(e.begin(), e.end());
  }
  sched_setaffinity(0, sizeof old, &old);
  state.counters["program_us"] = program;
  state.counters["bare_echo_us"] = echo;
  state.counters["ratio"] = program / echo;
  state.counters["failures"] = failures;
  std::printf("round trip on %d CPU(s): program %.1f us, bare UDP echo %.1f us, ratio %.2f (goal <= 2)\n", cpus,
              program, echo, program / echo);
}

}  // namespace

BENCHMARK(BM_CommandRoundTripVersusBareEcho)->Arg(1)->Arg(4)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
