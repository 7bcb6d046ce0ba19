#pragma once
// The serial link: the COM port (115200 baud, 8N1, raw) with its reader
// thread, which feeds the incremental frame parser and hands each board
// frame to the frame dispatch. A COM number maps to a device path through
// the settings file, so that any tty (a pseudo-terminal too) can stand for a
// port.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/Link.h"
#include "link/SerialFrame.h"

namespace smt {
class Machine;
}

namespace smt::link {

// Device path of COM port `n`: key "COM<n>" of section [SerialPortConfig] in
// "<appDir>/config.ini" when present, else "/dev/ttyS<n-1>".
std::string ComPortPath(const std::string& appDir, int n);

class CSerialLink : public Link {
 public:
  using FrameHandler = std::function<void(const std::vector<uint8_t>&)>;

  // The COM port of `machine`: its frames go to that machine's reply events
  // and state, its writes hold that machine's link mutex.
  explicit CSerialLink(smt::Machine& machine) : machine_(machine) {}
  ~CSerialLink() { Close(); }
  smt::Machine& OwnMachine() const { return machine_; }
  CSerialLink(const CSerialLink&) = delete;
  CSerialLink& operator=(const CSerialLink&) = delete;

  // Opens and configures the port and starts the reader. Frames go to
  // `handler` (HandleSerialFrame for the port's machine when empty).
  bool Open(const std::string& devicePath, FrameHandler handler = {});
  // Stops and joins the reader, then closes the port.
  void Close();
  bool IsOpen() const override { return fd_.load() >= 0; }
  LinkForm Form() const override { return LinkForm::Serial; }
  // One serial frame of `code` around `payload` (WriteFrame).
  bool SendFrame(uint8_t code, const std::vector<uint8_t>& payload) override;
  std::string Describe() const override;
  const std::string& Path() const { return path_; }

  // Writes one whole frame under the machine's linkMutex, at most 1000 ms.
  bool WriteFrame(const void* frame, uint32_t length);

  uint64_t FramesReceived() const { return frames_.load(); }
  uint64_t Overflows() const { return overflows_.load(); }
  // How often the port was found failing (hung up, read error) while open.
  uint64_t PortLosses() const { return portLosses_.load(); }

 private:
  void ReaderThreadProc(std::stop_token st);
  // The port failed for good: the link is lost (one message).
  // `how`: the operator's sentence of the failure, %1 the link's name.
  void LostPort(const std::string& how);

  smt::Machine& machine_;
  std::atomic<int> fd_{-1};
  std::string path_;
  FrameHandler handler_;
  SerialFrameParser parser_;
  std::jthread reader_;
  std::atomic<uint64_t> frames_{0};
  std::atomic<uint64_t> overflows_{0};
  std::atomic<uint64_t> portLosses_{0};
};

// Writes a whole frame to the open COM port of `machine`'s link runtime (the
// second form: of the machine in use); false when no port is open.
bool WriteComFrame(smt::Machine& machine, const void* frame, uint32_t length);

}  // namespace smt::link
