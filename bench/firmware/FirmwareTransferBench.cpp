// Boot loader transfers against the simulated board over loopback UDP: a
// whole application image written in 433-byte chunks, the digest of the
// area, and the configuration area read whole.
#include <benchmark/benchmark.h>

#include "core/Machine.h"
#include "link/BootloaderProtocol.h"
#include "link/CMachineLink.h"
#include "link/LinkRuntime.h"
#include "sim/SimBoard.h"

namespace {

struct Bench {
  Bench() {
    smt::sim::SimConfig c;
    c.udpBindAddress = "127.0.0.1";
    c.udpPort = 0;
    c.discovery = false;
    c.serial = false;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    sim->Start();
    sim->Bootloader().SetInBootloader(1, 0, true);
    link.SetLocalPort(0);
    link.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort()));
    link.StartReplyLoop();
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = &link;
  }
  ~Bench() {
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = nullptr;
    link.Close();
    sim->Stop();
  }
  std::unique_ptr<smt::sim::SimBoard> sim;
  smt::link::CMachineLink link{smt::CurrentMachine()};
};

void BM_WriteApplicationImage(benchmark::State& state) {
  Bench b;
  const auto size = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> image(static_cast<size_t>(size));
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
  for (auto _ : state) {
    b.link.BootCmdF02(smt::link::boot::kApplicationAddress, smt::link::boot::kApplicationSize);
    if (!b.link.WriteFlash(smt::link::boot::kApplicationAddress, image.data(), size, {})) state.SkipWithError("write failed");
    uint8_t digest[16];
    if (!b.link.FlashMd5(static_cast<uint32_t>(size), digest)) state.SkipWithError("digest failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_WriteApplicationImage)->Arg(64 * 1024)->Arg(0x60000)->Unit(benchmark::kMillisecond);

void BM_ReadConfigurationArea(benchmark::State& state) {
  Bench b;
  std::vector<uint8_t> area(smt::link::boot::kConfigSize);
  for (auto _ : state) {
    if (!b.link.ReadFlash(area.data(), {})) state.SkipWithError("read failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * smt::link::boot::kConfigSize);
}
BENCHMARK(BM_ReadConfigurationArea)->Unit(benchmark::kMillisecond);

}  // namespace
