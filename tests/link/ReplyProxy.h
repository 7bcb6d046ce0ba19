#pragma once
// A man in the middle between the program and the simulated board, on both
// links: a UDP relay on 127.0.0.1 (the program talks to it as to the board;
// it forwards to the board's port and relays the answers from its own) and a
// pseudo-terminal that the program opens as its COM port (bytes go on to
// the board's pseudo-terminal and back). Commands pass unchanged; the board's
// replies to a chosen code can be held back or sent twice.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

class ReplyProxy {
 public:
  using Clock = std::chrono::steady_clock;
  ~ReplyProxy() { Stop(); }

  bool Start(int boardUdpPort, const std::string& boardSerialPath) {
    front_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    back_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (front_ < 0 || back_ < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(front_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    socklen_t len = sizeof a;
    ::getsockname(front_, reinterpret_cast<sockaddr*>(&a), &len);
    udpPort_ = ntohs(a.sin_port);
    board_ = sockaddr_in{};
    board_.sin_family = AF_INET;
    board_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    board_.sin_port = htons(static_cast<uint16_t>(boardUdpPort));
    char name[128] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return false;
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    serialPath_ = name;
    boardTty_ = ::open(boardSerialPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (boardTty_ < 0) return false;
    tcgetattr(boardTty_, &t);
    cfmakeraw(&t);
    tcsetattr(boardTty_, TCSANOW, &t);
    thread_ = std::jthread([this](std::stop_token st) { Loop(st); });
    return true;
  }
  void Stop() {
    if (thread_.joinable()) {
      thread_.request_stop();
      thread_.join();
    }
    for (int* fd : {&front_, &back_, &master_, &slave_, &boardTty_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
  }
  int UdpPort() const { return udpPort_; }
  std::string SerialPath() const { return serialPath_; }

  // The board's next reply to `code` (either link) reaches the program `d` late.
  void DelayNext(uint16_t code, std::chrono::milliseconds d) {
    std::lock_guard lk(m_);
    delay_[code] = d;
  }
  // The board's next reply to `code` reaches the program, and again `again` later.
  void DuplicateNext(uint16_t code, std::chrono::milliseconds again) {
    std::lock_guard lk(m_);
    duplicate_[code] = again;
  }
  // Delays and repeats asked for that no reply has taken yet are dropped.
  void ForgetPending() {
    std::lock_guard lk(m_);
    delay_.clear();
    duplicate_.clear();
  }
  // Replies sent a second time or late so far.
  int Tampered() const { return tampered_.load(); }
  // All held-back and repeated replies are out.
  bool Idle() const {
    std::lock_guard lk(m_);
    return later_.empty() && sending_ == 0;
  }

 private:
  struct Later {
    Clock::time_point at;
    bool udp;
    std::vector<uint8_t> bytes;
  };

  // What to do with a reply to `code`: sent now (and maybe again), or later.
  void Relay(uint16_t code, bool udp, const std::vector<uint8_t>& bytes) {
    std::unique_lock lk(m_);
    if (auto it = delay_.find(code); it != delay_.end()) {
      later_.push_back({Clock::now() + it->second, udp, bytes});
      delay_.erase(it);
      ++tampered_;
      return;
    }
    if (auto it = duplicate_.find(code); it != duplicate_.end()) {
      later_.push_back({Clock::now() + it->second, udp, bytes});
      duplicate_.erase(it);
      ++tampered_;
    }
    lk.unlock();
    Send(udp, bytes);
  }
  void Send(bool udp, const std::vector<uint8_t>& b) {
    if (udp) {
      if (program_.sin_port != 0)
        ::sendto(front_, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&program_), sizeof program_);
    } else {
      (void)!::write(master_, b.data(), b.size());
    }
  }

  void Loop(std::stop_token st) {
    std::vector<uint8_t> fromBoard;
    uint8_t buf[2048];
    while (!st.stop_requested()) {
      pollfd p[4] = {{front_, POLLIN, 0}, {back_, POLLIN, 0}, {master_, POLLIN, 0}, {boardTty_, POLLIN, 0}};
      ::poll(p, 4, 2);
      if (p[0].revents & POLLIN) {  // program -> board (UDP)
        sockaddr_in from{};
        socklen_t fl = sizeof from;
        const long n = ::recvfrom(front_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
        if (n > 0) {
          program_ = from;
          ::sendto(back_, buf, static_cast<size_t>(n), 0, reinterpret_cast<const sockaddr*>(&board_), sizeof board_);
        }
      }
      if (p[1].revents & POLLIN) {  // board -> program (UDP): flag at 2, code word at 3
        const long n = ::recv(back_, buf, sizeof buf, 0);
        if (n >= 7) {
          const uint16_t code = static_cast<uint16_t>((buf[3] | (buf[4] << 8)) & 0xFFF);
          std::vector<uint8_t> d(buf, buf + n);
          if (buf[2] == 1) Relay(code, true, d);
          else Send(true, d);
        }
      }
      if (p[2].revents & POLLIN) {  // program -> board (serial)
        const long n = ::read(master_, buf, sizeof buf);
        if (n > 0) (void)!::write(boardTty_, buf, static_cast<size_t>(n));
      }
      if (p[3].revents & POLLIN) {  // board -> program (serial): EE type ... FF FC FF FF
        const long n = ::read(boardTty_, buf, sizeof buf);
        if (n > 0) fromBoard.insert(fromBoard.end(), buf, buf + n);
        for (;;) {
          size_t start = 0;
          while (start < fromBoard.size() && fromBoard[start] != 0xEE) ++start;
          fromBoard.erase(fromBoard.begin(), fromBoard.begin() + static_cast<long>(start));
          size_t end = 0;
          for (size_t i = 1; i + 3 < fromBoard.size(); ++i)
            if (fromBoard[i] == 0xFF && fromBoard[i + 1] == 0xFC && fromBoard[i + 2] == 0xFF && fromBoard[i + 3] == 0xFF) {
              end = i + 4;
              break;
            }
          if (end == 0) break;
          std::vector<uint8_t> frame(fromBoard.begin(), fromBoard.begin() + static_cast<long>(end));
          fromBoard.erase(fromBoard.begin(), fromBoard.begin() + static_cast<long>(end));
          // Acknowledgements (EE 01 code ...) and error reports (EE FF code ...).
          if (frame.size() > 2 && (frame[1] == 0x01 || frame[1] == 0xFF)) Relay(frame[2], false, frame);
          else Send(false, frame);
        }
      }
      // Held-back and repeated replies that are due.
      std::vector<Later> due;
      {
        std::lock_guard lk(m_);
        const auto now = Clock::now();
        for (auto it = later_.begin(); it != later_.end();) {
          if (it->at <= now) {
            ++sending_;
            due.push_back(std::move(*it));
            it = later_.erase(it);
          } else {
            ++it;
          }
        }
      }
      for (const auto& l : due) {
        Send(l.udp, l.bytes);
        std::lock_guard lk(m_);
        --sending_;
      }
    }
  }

  int front_ = -1, back_ = -1, master_ = -1, slave_ = -1, boardTty_ = -1;
  int udpPort_ = 0;
  std::string serialPath_;
  sockaddr_in board_{}, program_{};
  mutable std::mutex m_;
  std::map<uint16_t, std::chrono::milliseconds> delay_, duplicate_;
  std::vector<Later> later_;
  int sending_ = 0;  // taken from later_, not written yet
  std::atomic<int> tampered_{0};
  std::jthread thread_;
};

}  // namespace linktest
