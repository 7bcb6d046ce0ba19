#include "link/CSerialLink.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/LinkTexts.h"
#include "link/ReplyDispatch.h"
#include "platform/RefusalTexts.h"
#include "platform/SettingsSection.h"

namespace smt::link {


std::string ComPortPath(const std::string& appDir, int n) {
  smt::platform::SettingsSection map(smt::platform::ConfigPath(appDir), "SerialPortConfig");
  const std::string key = "COM" + std::to_string(n);
  const std::string path = map.ReadText(key, "");
  if (!path.empty() && path != smt::platform::kMissingSetting) return path;
  return "/dev/ttyS" + std::to_string(n - 1);
}

bool CSerialLink::Open(const std::string& devicePath, FrameHandler handler) {
  Close();
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    return false;
  }
  cfmakeraw(&tio);
  cfsetispeed(&tio, B115200);
  cfsetospeed(&tio, B115200);
  tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  tcflush(fd, TCIOFLUSH);
  path_ = devicePath;
  if (handler) handler_ = std::move(handler);
  else handler_ = [&machine = machine_](const std::vector<uint8_t>& f) { HandleSerialFrame(machine, f); };
  parser_.Clear();
  fd_ = fd;
  reader_ = std::jthread([this](std::stop_token st) { ReaderThreadProc(st); });
  return true;
}

void CSerialLink::Close() {
  if (reader_.joinable()) {
    reader_.request_stop();
    reader_.join();
  }
  const int fd = fd_.exchange(-1);
  if (fd >= 0) ::close(fd);
}

bool CSerialLink::WriteFrame(const void* frame, uint32_t length) {
  if (!machine_.linkMutex.TryLockFor(std::chrono::seconds(10))) return false;
  std::lock_guard<smt::platform::LinkMutex> held(machine_.linkMutex, std::adopt_lock);
  const int fd = fd_.load();
  if (fd < 0) return false;
  if (length >= 4) machine_.link.lastSerialCmd = static_cast<const uint8_t*>(frame)[3];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
  const auto* p = static_cast<const uint8_t*>(frame);
  uint32_t done = 0;
  while (done < length) {
    const long n = ::write(fd, p + done, length - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pf{fd, POLLOUT, 0};
    ::poll(&pf, 1, static_cast<int>(left.count()));
  }
  return true;
}

void CSerialLink::ReaderThreadProc(std::stop_token st) {
  uint8_t buf[512];
  // A port whose other end is gone keeps reporting a hang-up (a pseudo-
  // terminal) or a read error (a USB adapter pulled): after a short while of
  // that the port counts as lost, and the link is told at once instead of
  // through the next command's time-out.
  constexpr auto kHangUpLimit = std::chrono::milliseconds(300);
  std::chrono::steady_clock::time_point failingSince{};
  bool told = false;
  auto failing = [&](std::string LinkTexts::*how) {
    const auto now = std::chrono::steady_clock::now();
    if (failingSince == std::chrono::steady_clock::time_point{}) failingSince = now;
    if (!told && now - failingSince >= kHangUpLimit) {
      told = true;
      LostPort(LinkTextsOf(machine_).*how);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  };
  while (!st.stop_requested() && !machine_.comStop) {
    const int fd = fd_.load();
    pollfd pf{fd, POLLIN, 0};
    const int r = ::poll(&pf, 1, 50);
    if (r < 0 && errno != EINTR) {
      failing(&LinkTexts::portNotWatched);
      continue;
    }
    if (r <= 0) continue;
    if (pf.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // The other end is gone: wait for it without spinning.
      if (!(pf.revents & POLLIN)) {
        failing(&LinkTexts::portClosed);
        continue;
      }
    }
    const long n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      failing(errno == ENODEV || errno == ENXIO ? &LinkTexts::portGone : &LinkTexts::portFailed);
      continue;
    }
    if (n == 0) {
      // Readable but nothing to read: the other end has gone (end of file).
      failing(&LinkTexts::portClosed);
      continue;
    }
    if (n < 0) continue;
    failingSince = {};
    size_t offset = 0;
    while (offset < static_cast<size_t>(n)) {
      const size_t taken = parser_.Feed(buf + offset, static_cast<size_t>(n) - offset, [&](const std::vector<uint8_t>& f) {
        ++frames_;
        handler_(f);
      });
      offset += taken;
      if (offset < static_cast<size_t>(n)) {
        // Only reachable if frames stopped being taken out: report and start over.
        ++overflows_;
        std::puts("Serial receive buffer full");
        parser_.Clear();
      }
    }
  }
}

std::string CSerialLink::Describe() const {
  return smt::platform::FillText(LinkTextsOf(machine_).serialName, {path_});
}

void CSerialLink::LostPort(const std::string& how) {
  ++portLosses_;
  ReportLinkLoss(machine_, *this, how);
}

bool CSerialLink::SendFrame(uint8_t code, const std::vector<uint8_t>& payload) {
  const auto frame = BuildSerialFrame(code, payload);
  return WriteFrame(frame.data(), static_cast<uint32_t>(frame.size()));
}


bool WriteComFrame(smt::Machine& machine, const void* frame, uint32_t length) {
  auto* link = dynamic_cast<CSerialLink*>(RuntimeOf(machine).serial.load());
  return link && link->WriteFrame(frame, length);
}

}  // namespace smt::link
