#pragma once
// Firmware tests against the board simulator over loopback UDP: short
// boot loader time-outs, a sink that records what the dialog would show, and
// image files in a temporary program directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <algorithm>
#include <vector>

#include "LinkTestSupport.h"
#include "link/FirmwareUpdater.h"
#include "platform/MessageService.h"
#include "support/TempDir.h"

namespace fwtest {

class RecordingSink : public smt::link::FirmwareSink {
 public:
  void Status(const std::string& line) override {
    std::lock_guard lk(m_);
    lines.push_back(line);
  }
  void ConfigText(const std::string& text) override {
    std::lock_guard lk(m_);
    config = text;
  }
  void Progress(int percent) override {
    std::lock_guard lk(m_);
    progress.push_back(percent);
  }
  std::string LastLine() const {
    std::lock_guard lk(m_);
    return lines.empty() ? "" : lines.back();
  }
  bool HasLine(const std::string& line) const {
    std::lock_guard lk(m_);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<std::string> lines;
  std::vector<int> progress;
  std::string config;

 private:
  mutable std::mutex m_;
};

inline smt::link::boot::BootTimeouts FastTimeouts() {
  smt::link::boot::BootTimeouts t;
  t.reply = std::chrono::milliseconds(250);
  t.erase = std::chrono::milliseconds(1000);
  t.md5 = std::chrono::milliseconds(1000);
  t.jump = std::chrono::milliseconds(1000);
  t.attempts = 3;
  t.failedChunkResends = 3;
  return t;
}

// An image of `size` bytes that no board holds yet.
// It starts like an application linked for the application area: its
// initial stack pointer in RAM, its reset vector at Thumb code within it.
inline std::vector<uint8_t> ImageBytes(size_t size, uint8_t seed) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>((i * 31 + seed * 17 + (i >> 8)) & 0xFF);
  auto put = [&](size_t at, uint32_t w) {
    for (size_t k = 0; k < 4 && at + k < size; ++k) v[at + k] = static_cast<uint8_t>(w >> (8 * k));
  };
  put(0, 0x20010000u - 8u * seed);
  put(4, (0x08020000u + static_cast<uint32_t>(std::min<size_t>(size - 1, 0x1C0 + 2 * seed))) | 1u);
  return v;
}

class FirmwareSimTest : public linktest::SimLinkTest {
 protected:
  void SetUp() override {
    linktest::SimLinkTest::SetUp();
    link.SetBootTimeouts(FastTimeouts());
    smt::CurrentMachine().connected = true;
    std::filesystem::create_directories(dir.path() / "Update");
  }
  void TearDown() override {
    link.SetBootAbort({});
    linktest::SimLinkTest::TearDown();
  }

  void WriteImage(int board, const std::vector<uint8_t>& bytes) {
    std::ofstream(smt::link::FirmwareImage::PathFor(dir.str(), board), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  smt::link::FirmwareEnvironment Env() {
    smt::link::FirmwareEnvironment e;
    e.link = &link;
    e.appDir = dir.str();
    e.settle = std::chrono::milliseconds(5);
    // On loopback the main board is back as soon as it stops being silent.
    e.reconnect = [this] { return linktest::WaitFor([this] { return !sim->Silent(); }, std::chrono::seconds(2)); };
    return e;
  }

  // Boot loader commands the simulator received.
  std::vector<smt::sim::ReceivedCommand> SentBootCommands() const {
    std::vector<smt::sim::ReceivedCommand> out;
    for (auto& c : sim->Received())
      if (c.code >= 0xF00 && c.code <= 0xF07) out.push_back(c);
    return out;
  }
  std::vector<uint8_t> BoardConfig(int board, int index) const {
    return sim->Bootloader().Read(board, index, smt::sim::SimBootloader::kConfigAddress,
                                  smt::sim::SimBootloader::kConfigSize);
  }

  smt::test::TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
  RecordingSink sink;
};

}  // namespace fwtest
