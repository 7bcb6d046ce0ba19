#include "sim/SimBoard.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace smt::sim {
namespace {

// --- the board's view of the protocol -----------------------------------

uint16_t LE16(const std::vector<uint8_t>& p, size_t at) {
  return at + 1 < p.size() ? static_cast<uint16_t>(p[at] | (p[at + 1] << 8)) : 0;
}
int32_t LE32(const std::vector<uint8_t>& p, size_t at) {
  if (at + 3 >= p.size()) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[at + i];
  return static_cast<int32_t>(v);
}
// Serial numbers: most significant byte first, top bit the sign.
int32_t SignMagnitude32(const std::vector<uint8_t>& p, size_t at) {
  if (at + 3 >= p.size()) return 0;
  const uint32_t raw = (uint32_t(p[at]) << 24) | (uint32_t(p[at + 1]) << 16) | (uint32_t(p[at + 2]) << 8) | p[at + 3];
  const int32_t magnitude = static_cast<int32_t>(raw & 0x7FFFFFFF);
  return (raw & 0x80000000u) ? -magnitude : magnitude;
}
int32_t SignMagnitude16(const std::vector<uint8_t>& p, size_t at) {
  if (at + 1 >= p.size()) return 0;
  const uint32_t raw = (uint32_t(p[at]) << 8) | p[at + 1];
  const int32_t magnitude = static_cast<int32_t>(raw & 0x7FFF);
  return (raw & 0x8000u) ? -magnitude : magnitude;
}
uint8_t At(const std::vector<uint8_t>& p, size_t i) { return i < p.size() ? p[i] : 0; }

constexpr uint8_t kTail[4] = {0xFF, 0xFC, 0xFF, 0xFF};

std::vector<uint8_t> BoardFrame(std::initializer_list<uint8_t> body) {
  std::vector<uint8_t> f{0xEE};
  f.insert(f.end(), body);
  f.insert(f.end(), std::begin(kTail), std::end(kTail));
  return f;
}

bool IsMotionOrProcess(uint16_t code) {
  switch (code) {
    case 0x53: case 0x54: case 0x55: case 0x56: case 0x58: case 0x61: case 0x63: case 0x64: case 0x65:
    case 0x66: case 0x67: case 0x68: case 0x70: case 0x73: case 0x74: case 0x75: case 0x77: case 0x78:
      return true;
    default:
      return false;
  }
}

// The fixed shape of the serial commands whose form is fixed: the length
// byte, and for the three-axis move the X axis code 0 and the closing 0x80.
bool SerialFrameShapeOk(const std::vector<uint8_t>& f) {
  const uint8_t len = f[2], code = f[3];
  switch (code) {
    case 0x54: return len == 0x16 && f[4] == 0x00 && f[23] == 0x80;
    default: return true;
  }
}

}  // namespace

SimBoard::SimBoard(SimConfig config) : config_(std::move(config)) {
  headMask_ = config_.headMask;
  vacuumKpa_ = config_.vacuumKpa;
}

SimBoard::~SimBoard() { Stop(); }

bool SimBoard::Start() {
  if (config_.udp) {
    udpFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(config_.udpPort));
    inet_pton(AF_INET, config_.udpBindAddress.c_str(), &a.sin_addr);
    if (udpFd_ < 0 || ::bind(udpFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      error_ = std::string("UDP bind failed: ") + std::strerror(errno);
      Stop();
      return false;
    }
    socklen_t len = sizeof a;
    getsockname(udpFd_, reinterpret_cast<sockaddr*>(&a), &len);
    boundUdpPort_ = ntohs(a.sin_port);
  }
  if (config_.discovery) {
    discoveryFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(discoveryFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(config_.discoveryPort));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (discoveryFd_ < 0 || ::bind(discoveryFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      error_ = std::string("discovery bind failed: ") + std::strerror(errno);
      Stop();
      return false;
    }
    ip_mreq mreq{};
    inet_pton(AF_INET, config_.discoveryGroup.c_str(), &mreq.imr_multiaddr);
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(discoveryFd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0) {
      error_ = std::string("joining the discovery group failed: ") + std::strerror(errno);
      Stop();
      return false;
    }
    unsigned char loop = 0;
    setsockopt(discoveryFd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  }
  if (config_.serial) {
    ptyMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ptyMaster_ < 0 || grantpt(ptyMaster_) != 0 || unlockpt(ptyMaster_) != 0) {
      error_ = "no pseudo-terminal";
      Stop();
      return false;
    }
    char name[128] = {};
    ptsname_r(ptyMaster_, name, sizeof name);
    ptyPath_ = name;
    // Hold the line open in raw mode: no echo of the board's own bytes, and
    // the line stays up while the program closes and reopens its port.
    ptySlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (ptySlave_ >= 0 && tcgetattr(ptySlave_, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(ptySlave_, TCSANOW, &tio);
    }
  }
  if (udpFd_ >= 0) udpThread_ = std::jthread([this](std::stop_token st) { UdpLoop(st); });
  if (discoveryFd_ >= 0) discoveryThread_ = std::jthread([this](std::stop_token st) { DiscoveryLoop(st); });
  if (ptyMaster_ >= 0) serialThread_ = std::jthread([this](std::stop_token st) { SerialLoop(st); });
  return true;
}

void SimBoard::Stop() {
  std::vector<std::jthread> late;
  {
    std::lock_guard lk(m_);
    late.swap(lateSenders_);
  }
  late.clear();  // each asked to stop and joined
  for (std::jthread* t : {&udpThread_, &discoveryThread_, &serialThread_}) {
    if (t->joinable()) {
      t->request_stop();
      t->join();
    }
  }
  for (int* fd : {&udpFd_, &discoveryFd_, &ptySlave_, &ptyMaster_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

// --- faults and reports ---------------------------------------------------

void SimBoard::InjectStatus(uint16_t code, uint8_t status) {
  std::lock_guard lk(m_);
  injectedStatus_[code] = status;
}

void SimBoard::InjectSerialError(uint16_t code, uint8_t errorCode, uint8_t subCode) {
  std::lock_guard lk(m_);
  injectedSerialError_[code] = {errorCode, subCode};
}

void SimBoard::ClearInjected(uint16_t code) {
  std::lock_guard lk(m_);
  injectedStatus_.erase(code);
  injectedSerialError_.erase(static_cast<uint8_t>(code));
}

bool SimBoard::TakeDrop() {
  int n = dropReplies_.load();
  while (n > 0) {
    if (dropReplies_.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}

void SimBoard::InjectStatusRepeated(uint16_t code, uint8_t status, int n) {
  std::lock_guard lk(m_);
  repeatedStatus_[code] = {status, n};
}

uint8_t SimBoard::TakeStatus(uint16_t code) {
  std::lock_guard lk(m_);
  if (auto r = repeatedStatus_.find(code); r != repeatedStatus_.end() && r->second.second > 0) {
    --r->second.second;
    return r->second.first;
  }
  auto it = injectedStatus_.find(code);
  if (it == injectedStatus_.end()) return 0;
  const uint8_t s = it->second;
  injectedStatus_.erase(it);
  return s;
}

void SimBoard::DropRepliesTo(uint16_t code, int n, int skip) {
  std::lock_guard lk(m_);
  codeDrops_[code] = {skip, n};
}

bool SimBoard::TakeCodeDrop(uint16_t code) {
  std::lock_guard lk(m_);
  auto it = codeDrops_.find(code);
  if (it == codeDrops_.end()) return false;
  auto& [skip, n] = it->second;
  if (skip > 0) {
    --skip;
    return false;
  }
  if (n <= 0) return false;
  --n;
  return true;
}

bool SimBoard::Silent() const {
  return std::chrono::steady_clock::now().time_since_epoch().count() < silentUntilNs_.load();
}

void SimBoard::Delay() const {
  if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
}

void SimBoard::SendKeyReport(uint8_t key) {
  SendUdpReport(0x14, {key});
  // The serial status frame carries a digit: keys 10 and 11 have no serial form.
  if (key >= 1 && key <= 9) WriteSerial(BoardFrame({0x00, 0x00, static_cast<uint8_t>('0' + key)}));
}

void SimBoard::DelayNextReplyTo(uint16_t code, std::chrono::milliseconds d) {
  std::lock_guard lk(m_);
  lateReplies_[code] = d.count();
}

bool SimBoard::SendLaterIfAsked(uint16_t code, std::function<void()> send) {
  long long ms = -1;
  {
    std::lock_guard lk(m_);
    auto it = lateReplies_.find(code);
    if (it == lateReplies_.end()) return false;
    ms = it->second;
    lateReplies_.erase(it);
    lateSenders_.emplace_back([ms, send = std::move(send)](std::stop_token st) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      while (!st.stop_requested() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (!st.stop_requested()) send();
    });
  }
  return true;
}

int SimBoard::UdpPayloadLength(uint16_t code) {
  switch (code) {
    case 0x01: return 5;
    case 0x02: return 56;
    case 0x03: return 4;
    case 0x04: return 2;
    case 0x05: return 13;
    case 0x15: return 1;
    case 0x53: return 27;
    case 0x55: return 18;
    case 0x56: case 0x66: return 38;
    case 0x58: return 28;
    case 0x60: return 2;
    case 0x61: return 17;
    case 0x62: return 29;
    case 0x63: return 68;
    case 0x64: return 38;
    case 0x65: return 65;
    case 0x67: return 16;
    case 0x68: return 21;
    case 0x71: return 13;
    case 0x72: return 48;
    case 0x73: return 130;
    case 0x74: return 99;
    case 0x77: return 86;
    default: return -1;
  }
}

int SimBoard::SerialPayloadLength(uint8_t code, int v2_04Form) {
  switch (code) {
    case 0x00: return 0;
    case 0x01: return 5;
    case 0x02: return 14;
    case 0x03: return 2;
    case 0x04: return 2;
    case 0x15: return 1;
    case 0x52: return 14;
    case 0x53: return 15;
    case 0x54: return 20;
    case 0x56: case 0x66: return 17;
    case 0x58: return 20;
    case 0x60: return 1;
    case 0x61: return 7;
    case 0x62: return 21;
    case 0x63: return 34;
    case 0x64: return v2_04Form == 0 ? 14 : 18;
    case 0x65: return 29;
    case 0x67: return 11;
    case 0x68: return 14;
    case 0x71: return 7;
    default: return -1;
  }
}

void SimBoard::SendUdpReport(uint16_t code, const std::vector<uint8_t>& payload) { SendUdp(0, code, payload, false); }

void SimBoard::SendSerialBytes(const std::vector<uint8_t>& bytes) { WriteSerial(bytes); }

// --- read back ------------------------------------------------------------

void SimBoard::Record(ReceivedCommand c) {
  std::lock_guard lk(m_);
  if (received_.size() > 100000) received_.erase(received_.begin(), received_.begin() + 50000);
  received_.push_back(std::move(c));
}

std::vector<ReceivedCommand> SimBoard::Received() const {
  std::lock_guard lk(m_);
  return received_;
}

std::optional<ReceivedCommand> SimBoard::LastReceived(uint16_t code) const {
  std::lock_guard lk(m_);
  for (auto it = received_.rbegin(); it != received_.rend(); ++it)
    if (it->code == code) return *it;
  return std::nullopt;
}

void SimBoard::ClearReceived() {
  std::lock_guard lk(m_);
  received_.clear();
  states_.clear();
  strokes_.clear();
}

size_t SimBoard::ReceivedCount() const {
  std::lock_guard lk(m_);
  return received_.size();
}

int64_t SimBoard::Position(int axis) const {
  std::lock_guard lk(m_);
  auto it = axes_.find(axis);
  return it == axes_.end() ? 0 : it->second;
}

std::map<int, int64_t> SimBoard::Positions() const {
  std::lock_guard lk(m_);
  return axes_;
}

bool SimBoard::Output(int output) const {
  std::lock_guard lk(m_);
  auto it = outputs_.find(output);
  return it != outputs_.end() && it->second.first;
}

std::vector<ProcessStroke> SimBoard::Strokes() const {
  std::lock_guard lk(m_);
  return strokes_;
}

std::vector<AxesAfter> SimBoard::AxisTrail() const {
  std::lock_guard lk(m_);
  return trail_;
}

int SimBoard::OutputValue(int output) const {
  std::lock_guard lk(m_);
  auto it = outputs_.find(output);
  return it == outputs_.end() ? 0 : it->second.second;
}

// --- the board model --------------------------------------------------------

void SimBoard::Apply(SimLink link, uint16_t code, const std::vector<uint8_t>& p, size_t serialLength) {
  const bool udp = link == SimLink::Udp;
  std::map<int, int64_t> before, after;
  {
    std::lock_guard lk(m_);
    if (world_.load()) before = axes_;
    ApplyLocked(link, code, p, serialLength);
    if (world_.load()) after = axes_;
    if (keepTrail_) trail_.push_back({code, axes_});
  }
  if (SimWorld* w = world_.load()) w->OnCommand(code, p, udp, before, after);
}

void SimBoard::ApplyLocked(SimLink link, uint16_t code, const std::vector<uint8_t>& p, size_t serialLength) {
  const bool udp = link == SimLink::Udp;
  // An axis goes to its reference when its {start, normal} pair is not {0, 0}.
  auto homePairs = [&](size_t at, std::initializer_list<int> axes, bool wide) {
    size_t slot = 0;
    for (int axis : axes) {
      const int32_t a = wide ? LE32(p, at + 8 * slot) : At(p, at + 2 * slot);
      const int32_t b = wide ? LE32(p, at + 8 * slot + 4) : At(p, at + 2 * slot + 1);
      if (a != 0 || b != 0) {
        axes_[axis] = 0;
        if (axis == 2) axes_[32] = axes_[33] = 0;
        if (axis == 3) axes_[34] = axes_[35] = 0;
      }
      ++slot;
    }
  };
  // Single-axis codes that name the same motor: A1..A4 and the conveyor width.
  auto motor = [](int axis) { return axis >= 4 && axis <= 7 ? axis + 36 : axis == 48 ? 14 : axis; };
  switch (code) {
    case 0x02:
      // Pairs X, Y, Z1/Z2 motor, Z3/Z4 motor, west, north and east walk.
      homePairs(0, {0, 1, 2, 3, 8, 9, 10}, udp);
      break;
    case 0x52:
      // Lamp machine: X, second X, Y, second Y, Z1, Z2, dispensing Z.
      homePairs(0, {0, 9, 1, 12, 2, 3, 10}, false);
      break;
    case 0x05:
      if (At(p, 0) == 9) axes_[14] = 0;
      break;
    case 0x72:
      if (LE32(p, 0) != 0) axes_[0] = 0;
      if (LE32(p, 4) != 0) axes_[1] = 0;
      for (int h = 0; h < 8; ++h)
        if (LE32(p, 12 + 4 * h) != 0) axes_[32 + h] = 0;
      break;
    case 0x01:
      if (!udp) axes_[At(p, 0)] += SignMagnitude32(p, 1);
      break;
    case 0x03:
      outputs_[At(p, 0)] = {At(p, 1) != 0, udp ? LE16(p, 2) : 0};
      break;
    case 0x60:
      lastState_ = At(p, 0);
      states_.push_back({At(p, 0), udp ? At(p, 1) : -1});
      break;
    case 0x61:
      axes_[motor(At(p, 0))] += udp ? LE32(p, 5) : SignMagnitude32(p, 1);
      break;
    case 0x53:
      if (udp) {
        axes_[At(p, 0)] += LE32(p, 6);
        axes_[At(p, 1)] += LE32(p, 14);
      } else {
        axes_[At(p, 0)] += SignMagnitude32(p, 1);
        axes_[At(p, 7)] += SignMagnitude32(p, 8);
      }
      break;
    case 0x55:
      if (At(p, 0) == 2) {
        axes_[2] += LE32(p, 2);
        axes_[3] += LE32(p, 6);
      } else if (At(p, 0) == 9) {
        axes_[9] += LE32(p, 2);
        axes_[8] += LE32(p, 6);
      }
      break;
    case 0x62:
      // Conveyor axes 11, 12 and 13 of the conveyor board (kept as 211..213).
      for (int i = 0; i < 3; ++i)
        axes_[211 + i] += udp ? LE32(p, 7 + 5 * i) : SignMagnitude32(p, 5 + 5 * i);
      break;
    case 0x63:
      axes_[0] += udp ? LE32(p, 7) : SignMagnitude32(p, 3);
      break;
    case 0x64:
      if (udp) {
        axes_[0] += LE32(p, 4);
        axes_[1] += LE32(p, 12);
        if (At(p, 25) >= 1 && At(p, 25) <= 8) axes_[39 + At(p, 25)] += LE32(p, 26);
      } else if (serialLength == 0x10) {  // short form: 16-bit X and Y
        axes_[0] += SignMagnitude16(p, 0);
        axes_[1] += SignMagnitude16(p, 4);
        if (At(p, 8) >= 1 && At(p, 8) <= 8) axes_[39 + At(p, 8)] += SignMagnitude16(p, 9);
      } else {  // long form: 32-bit X and Y
        axes_[0] += SignMagnitude32(p, 0);
        axes_[1] += SignMagnitude32(p, 6);
        if (At(p, 12) >= 1 && At(p, 12) <= 8) axes_[39 + At(p, 12)] += SignMagnitude16(p, 13);
      }
      break;
    case 0x65:
      if (udp) {
        axes_[0] += LE32(p, 4);
        axes_[1] += LE32(p, 12);
        for (int h = 0; h < 8; ++h) axes_[40 + h] += LE32(p, 25 + 4 * h);
      } else {  // heads 1 to 4 only
        axes_[0] += SignMagnitude32(p, 0);
        axes_[1] += SignMagnitude32(p, 6);
        for (int h = 0; h < 4; ++h) axes_[40 + h] += SignMagnitude16(p, 12 + 4 * h);
      }
      break;
    case 0x73:
    case 0x74:
    case 0x77: {
      struct Layout { size_t dx, dy, a; };
      const Layout l = code == 0x73 ? Layout{9, 13, 26} : code == 0x74 ? Layout{19, 27, 40} : Layout{4, 12, 25};
      axes_[0] += LE32(p, l.dx);
      axes_[1] += LE32(p, l.dy);
      if (code == 0x73) {
        axes_[0] += LE32(p, 69) + LE32(p, 114);
        axes_[1] += LE32(p, 118);
      }
      for (int h = 0; h < 8; ++h) axes_[40 + h] += LE32(p, l.a + 4 * h);
      const uint8_t vacuum = At(p, code == 0x74 ? 80 : code == 0x77 ? 65 : 0);
      if (code != 0x73 && vacuum >= 32 && vacuum <= 39) outputs_[vacuum] = {code == 0x74, 0};
      break;
    }
    case 0x54:
      if (!udp) {
        axes_[0] += SignMagnitude32(p, 1);
        axes_[At(p, 7)] += SignMagnitude32(p, 8);
        // The third block turns head N's A axis.
        if (At(p, 14) >= 1 && At(p, 14) <= 8) axes_[39 + At(p, 14)] += SignMagnitude16(p, 15);
      }
      break;
    case 0x56:
    case 0x66: {
      const int walk = udp ? At(p, 1) : At(p, 0);
      if (walk >= 1 && walk <= 3) axes_[7 + walk] += udp ? LE32(p, 6) : SignMagnitude32(p, 1);
      break;
    }
    case 0x58:
      strokes_.push_back({code, At(p, 0), axes_});
      break;
    case 0x67:
    case 0x68:
      if (code == 0x68) strokes_.push_back({code, At(p, 0), axes_});
      // A Z stroke goes down and comes back; the board remembers its depth.
      axes_[100 + At(p, 0)] = udp ? LE32(p, 1) : SignMagnitude32(p, 1);
      break;
    default:
      break;
  }
}

std::vector<std::pair<int, int>> SimBoard::States() const {
  std::lock_guard lk(m_);
  return states_;
}

std::vector<uint8_t> SimBoard::UdpReplyData(uint16_t code, uint8_t status) const {
  const uint8_t heads = headMask_.load();
  switch (code) {
    case 0x15: return {status, vacuumKpa_.load()};
    case 0x71: {
      const uint32_t v = static_cast<uint32_t>(config_.probeValue);
      return {status, heads, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    case 0x02:
    case 0x05:
    case 0x72: return {status, heads};
    case 0x03:
    case 0x04:
    case 0x60: return {status};
    default: break;
  }
  if (IsMotionOrProcess(code)) return {status, heads};
  return {status};
}

// --- UDP ------------------------------------------------------------------

void SimBoard::SendUdp(uint8_t flag, uint16_t code, const std::vector<uint8_t>& data, bool corrupt) {
  std::vector<uint8_t> host;
  {
    std::lock_guard lk(m_);
    host = lastHost_;
  }
  if (host.empty() || udpFd_ < 0) return;
  std::vector<uint8_t> d(7 + data.size());
  d[2] = flag;
  d[3] = static_cast<uint8_t>(code);
  d[4] = static_cast<uint8_t>(code >> 8);
  d[5] = static_cast<uint8_t>(data.size());
  d[6] = static_cast<uint8_t>(data.size() >> 8);
  std::copy(data.begin(), data.end(), d.begin() + 7);
  uint16_t sum = 0;
  for (size_t i = 2; i < d.size(); ++i) sum = static_cast<uint16_t>(sum + d[i]);
  if (corrupt) sum = static_cast<uint16_t>(sum + 1);
  d[0] = static_cast<uint8_t>(sum);
  d[1] = static_cast<uint8_t>(sum >> 8);
  ::sendto(udpFd_, d.data(), d.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(host.data()),
           static_cast<socklen_t>(host.size()));
  ++repliesSent_;
}

void SimBoard::OnUdpCommand(const std::vector<uint8_t>& d, const void* from) {
  // An empty datagram is no command: the program asks with it whether the
  // board is still there (a board that is gone draws an ICMP error for it).
  if (d.empty()) return void(++emptyDatagrams_);
  // The board checks what it takes: header, length and checksum.
  if (d.size() < 7) return void(++badDatagrams_);
  const uint16_t length = static_cast<uint16_t>(d[5] | (d[6] << 8));
  uint16_t sum = 0;
  for (size_t i = 2; i < d.size(); ++i) sum = static_cast<uint16_t>(sum + d[i]);
  if (length != d.size() - 7 || sum != static_cast<uint16_t>(d[0] | (d[1] << 8))) return void(++badDatagrams_);
  // A restarting board hears nothing.
  if (Silent()) return;
  {
    std::lock_guard lk(m_);
    const auto* a = static_cast<const uint8_t*>(from);
    lastHost_.assign(a, a + sizeof(sockaddr_in));
  }
  const uint16_t word = static_cast<uint16_t>(d[3] | (d[4] << 8));
  ReceivedCommand c;
  c.link = SimLink::Udp;
  c.code = word & 0xFFF;
  c.attempt = static_cast<uint8_t>(word >> 12);
  c.payload.assign(d.begin() + 7, d.end());
  c.raw = d;
  const uint16_t code = c.code;
  if (code >= 0xF00 && code <= 0xF07) {
    // Boot loader commands: carried out on the selected board's flash.
    const uint8_t status = TakeStatus(code);
    bool restarts = false;
    std::vector<uint8_t> reply =
        status == 0 ? boot_.Handle(code, c.payload, restarts) : SimBootloader::FailureReply(code, status);
    Record(std::move(c));
    const bool drop = TakeCodeDrop(code) || TakeDrop();
    if (!drop) {
      Delay();
      int any = anyCodeReplies_.load();
      bool asAny = false;
      while (any > 0 && !asAny) asAny = anyCodeReplies_.compare_exchange_weak(any, any - 1);
      SendUdp(1, asAny ? 0xFFF : code, reply, false);
    }
    if (restarts && restartSilenceMs_ > 0)
      silentUntilNs_ = (std::chrono::steady_clock::now() + std::chrono::milliseconds(restartSilenceMs_.load()))
                           .time_since_epoch()
                           .count();
    return;
  }
  // A command the board answers with an error status is not carried out;
  // nor is one whose payload is too short for its fields (status 0x05,
  // length error).
  uint8_t status = TakeStatus(code);
  const int need = UdpPayloadLength(code);
  if (need >= 0 && c.payload.size() < static_cast<size_t>(need)) {
    status = 0x05;
    ++refused_;
  }
  if (status == 0) Apply(SimLink::Udp, c.code, c.payload, 0);
  Record(std::move(c));

  if (TakeCodeDrop(code) || TakeDrop()) return;
  Delay();
  bool corrupt = false;
  int n = corruptReplies_.load();
  while (n > 0 && !corrupt) corrupt = corruptReplies_.compare_exchange_weak(n, n - 1);
  // The conveyor reports its zone step as a report of its own.
  const uint8_t flag = code == 0x62 ? 0 : 1;
  auto data = UdpReplyData(code, status);
  if (SendLaterIfAsked(code, [this, flag, code, data] { SendUdp(flag, code, data, false); })) return;
  SendUdp(flag, code, data, corrupt);
}

void SimBoard::UdpLoop(std::stop_token st) {
  std::vector<uint8_t> buf(2048);
  // Blocks in the receive itself (50 ms at most, to see a stop request).
  timeval tv{0, 50000};
  setsockopt(udpFd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  while (!st.stop_requested()) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const long n = ::recvfrom(udpFd_, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) continue;
    OnUdpCommand(std::vector<uint8_t>(buf.begin(), buf.begin() + n), &from);
  }
}

void SimBoard::DiscoveryLoop(std::stop_token st) {
  char buf[256];
  static const char kRequest[] = "HOST DEVICE";
  static const char kAnswer[] = "MAIN BOARD DEVICE";
  while (!st.stop_requested()) {
    pollfd p{discoveryFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const long n = ::recvfrom(discoveryFd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n != static_cast<long>(sizeof kRequest - 1) || std::memcmp(buf, kRequest, n) != 0) continue;
    ++discoveryRequests_;
    if (Silent()) continue;
    int skip = ignoreDiscovery_.load();
    if (skip > 0 && ignoreDiscovery_.compare_exchange_strong(skip, skip - 1)) continue;
    ::sendto(discoveryFd_, kAnswer, sizeof kAnswer - 1, 0, reinterpret_cast<sockaddr*>(&from), len);
  }
}

// --- serial ---------------------------------------------------------------

void SimBoard::WriteSerial(const std::vector<uint8_t>& bytes) {
  if (ptyMaster_ < 0) return;
  std::lock_guard lk(serialWriteMutex_);
  size_t done = 0;
  while (done < bytes.size()) {
    const long n = ::write(ptyMaster_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void SimBoard::OnSerialFrame(const std::vector<uint8_t>& f) {
  // f: EE 00 len code payload sum FF FC FF FF
  const uint8_t len = f[2];
  const uint8_t code = f[3];
  ReceivedCommand c;
  c.link = SimLink::Serial;
  c.code = code;
  c.payload.assign(f.begin() + 4, f.begin() + 4 + (len - 2));
  c.raw = f;
  std::optional<std::pair<uint8_t, uint8_t>> error;
  {
    std::lock_guard lk(m_);
    auto it = injectedSerialError_.find(code);
    if (it != injectedSerialError_.end()) {
      error = it->second;
      injectedSerialError_.erase(it);
    }
  }
  // An unknown code (the UDP-only ones included) and a payload too short
  // for its fields are refused with an error report naming the code, and
  // nothing is carried out.
  const int need = SerialPayloadLength(code, len - 2 == 18 ? 1 : 0);
  if (!error && (need < 0 || c.payload.size() < static_cast<size_t>(need))) {
    error = std::make_pair(code, uint8_t{0});
    ++refused_;
  }
  // A command the board reports an error for is not carried out.
  if (!error) Apply(SimLink::Serial, code, c.payload, len);
  Record(c);
  // No acknowledgement for a state change.
  if (code == 0x60 && !error) return;
  if (TakeCodeDrop(code) || TakeDrop()) return;
  Delay();
  std::vector<uint8_t> answer;
  if (error) {
    answer = BoardFrame({0xFF, error->first, error->second});
  } else {
    switch (code) {
      case 0x15: answer = BoardFrame({0x01, 0x15, 0x00, vacuumKpa_.load()}); break;
      case 0x68: {
        int fail = failPlaceVacuum_.load();
        bool lost = false;
        while (fail > 0 && !lost) lost = failPlaceVacuum_.compare_exchange_weak(fail, fail - 1);
        answer = BoardFrame({0x01, 0x68, static_cast<uint8_t>(lost ? 0x01 : 0x00), vacuumKpa_.load()});
        break;
      }
      case 0x71: {
        const uint32_t v = static_cast<uint32_t>(config_.probeValue);
        answer = BoardFrame({0x01, 0x71, 0x01, uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        break;
      }
      case 0x52: answer = BoardFrame({0x01, 0x02, 0x00}); break;  // the home frame is answered as home
      default: answer = BoardFrame({0x01, code, 0x00}); break;
    }
  }
  ++repliesSent_;
  if (SendLaterIfAsked(code, [this, answer] { WriteSerial(answer); })) return;
  WriteSerial(answer);
}

void SimBoard::SerialLoop(std::stop_token st) {
  std::vector<uint8_t> pending;
  uint8_t buf[512];
  while (!st.stop_requested()) {
    pollfd p{ptyMaster_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const long n = ::read(ptyMaster_, buf, sizeof buf);
    if (n <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    pending.insert(pending.end(), buf, buf + n);
    // The board's frame reader: EE 00, a length byte, then length + 4 more
    // bytes; the sum and the tail must be right, else the start byte is junk.
    for (;;) {
      size_t start = 0;
      while (start < pending.size() && pending[start] != 0xEE) ++start;
      if (start) {
        badFrames_ += start;
        pending.erase(pending.begin(), pending.begin() + start);
      }
      if (pending.size() < 3) break;
      const size_t total = static_cast<size_t>(pending[2]) + 7;
      if (pending[1] != 0x00 || pending[2] < 2) {
        ++badFrames_;
        pending.erase(pending.begin());
        continue;
      }
      if (pending.size() < total) break;
      uint8_t sum = 0;
      for (size_t i = 1; i < total - 5; ++i) sum = static_cast<uint8_t>(sum + pending[i]);
      const bool tailOk = std::equal(std::begin(kTail), std::end(kTail), pending.begin() + (total - 4));
      if (sum != pending[total - 5] || !tailOk) {
        ++badFrames_;
        pending.erase(pending.begin());
        continue;
      }
      std::vector<uint8_t> frame(pending.begin(), pending.begin() + total);
      if (!SerialFrameShapeOk(frame)) {
        // A whole frame whose length or fixed bytes are not the command's:
        // the board drops it and answers nothing.
        ++badFrames_;
        pending.erase(pending.begin(), pending.begin() + total);
        continue;
      }
      pending.erase(pending.begin(), pending.begin() + total);
      OnSerialFrame(frame);
    }
  }
}

}  // namespace smt::sim
