#include "link/CmdSrv.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>

#include "core/LogFile.h"

namespace smt::link {

namespace {
// The errors that mean the board's address or port takes nothing any more.
bool Unreachable(int error) {
  return error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH || error == EHOSTDOWN;
}
}  // namespace

bool CmdSrv::Open(const std::string& address, uint32_t port, int localPort) {
  Close();
  try {
    socket_.Open(static_cast<uint16_t>(port), address, localPort);
  } catch (const UdpSocketError& e) {
    std::lock_guard lk(errorMutex_);
    lastError_ = e.what();
    return false;
  }
  peerAddr_ = socket_.Peer().sin_addr.s_addr;
  peerPort_ = socket_.Peer().sin_port;
  sendBuffer_.reserve(kCmdMaxReceivePayload + kCmdHeaderSize);
  open_ = true;
  thread_ = std::jthread([this](std::stop_token st) { RecvThreadProc(st); });
  return true;
}

void CmdSrv::Close() {
  {
    std::lock_guard lk(queueMutex_);
    open_ = false;
  }
  queueCv_.notify_all();
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  std::lock_guard sl(sendMutex_);
  socket_.Close();
  std::lock_guard lk(queueMutex_);
  queue_.clear();
  arrival_ = nullptr;
  handler_ = nullptr;
  std::lock_guard hk(hookMutex_);
  faultHandler_ = nullptr;
  watchWanted_ = nullptr;
}

std::string CmdSrv::LastError() const {
  std::lock_guard lk(errorMutex_);
  return lastError_;
}

uint32_t CmdSrv::Send(const CmdPacket& packet, uint8_t attempt) {
  int fault = 0;
  uint32_t err = kCmdOk;
  {
    std::lock_guard lk(sendMutex_);
    if (!EncodeCmdDatagram(packet, attempt, sendBuffer_)) {
      CLogFile::Instance().Write(true, "Pack Error = 0x%x", packet.code);
      err = kCmdPackError;
    } else {
      if (packet.code == 0x62)
        CLogFile::Instance().Write(true, "Send = 0x%x - %d", packet.code, packet.at(0));
      else
        CLogFile::Instance().Write(true, "Send = 0x%x", packet.code);
      if (socket_.IsOpen()) {
        const long sent = socket_.SendToPeer(sendBuffer_.data(), sendBuffer_.size());
        if (sent == static_cast<long>(sendBuffer_.size())) {
          lastSend_ = std::chrono::steady_clock::now().time_since_epoch().count();
          return kCmdOk;
        }
        const int error = errno;
        std::puts("UDP 发送失败");
        // An earlier datagram found the board's port or address gone and the
        // send took that error over from the receive thread.
        if (sent < 0 && Unreachable(error)) fault = error;
      }
      CLogFile::Instance().Write(true, "Write Error = 0x%x", packet.code);
      err = kCmdWriteError;
    }
  }
  std::puts("CmdSrv send ERROR!");
  // Told outside the send mutex: whoever hears of it may send.
  if (fault != 0) Fault(fault);
  return err;
}

uint32_t CmdSrv::Receive(CmdPacket& out, std::chrono::milliseconds timeout) {
  std::unique_lock lk(queueMutex_);
  if (!open_) return 2;
  // The queue itself is the count: no semaphore that could drift from it.
  if (!queueCv_.wait_for(lk, timeout, [&] { return !queue_.empty() || !open_; })) return 1;
  if (!open_) return 2;
  CmdPacket& front = queue_.front();
  out.flag = front.flag;
  out.Set(front.code, front.data(), front.length);
  if ((front.code & 0xFFF) != 0x15) CLogFile::Instance().Write(true, "Recv = 0x%x", front.code);
  queue_.pop_front();
  return 0;
}

uint32_t CmdSrv::Receive(CmdPacket& out) {
  for (;;) {
    const uint32_t r = Receive(out, std::chrono::milliseconds(1000));
    if (r != 1) return r;
  }
}

bool CmdSrv::SetPeer(const std::string& address) {
  std::lock_guard lk(sendMutex_);
  if (!socket_.SetPeer(address)) return false;
  peerAddr_ = socket_.Peer().sin_addr.s_addr;
  peerPort_ = socket_.Peer().sin_port;
  return true;
}

std::string CmdSrv::PeerAddress() const {
  sockaddr_in a{};
  a.sin_addr.s_addr = peerAddr_.load();
  return Ipv4Text(a);
}

void CmdSrv::SetPacketHandler(std::function<void(const CmdPacket&)> handler) {
  std::lock_guard lk(queueMutex_);
  handler_ = std::move(handler);
}

bool CmdSrv::HasPacketHandler() const {
  std::lock_guard lk(queueMutex_);
  return static_cast<bool>(handler_);
}

void CmdSrv::SetFaultHandler(std::function<void(int error)> handler) {
  std::lock_guard lk(hookMutex_);
  faultHandler_ = std::move(handler);
}

void CmdSrv::SetWatch(std::chrono::milliseconds interval, std::function<bool()> wanted) {
  std::lock_guard lk(hookMutex_);
  watchInterval_ = interval;
  watchWanted_ = std::move(wanted);
}

void CmdSrv::Fault(int error) {
  ++faults_;
  std::function<void(int)> handler;
  {
    std::lock_guard lk(hookMutex_);
    handler = faultHandler_;
  }
  CLogFile::Instance().Write(true, "Datagram to the board not delivered (errno %d)", error);
  if (handler) handler(error);
}

void CmdSrv::TakeFaults() {
  UdpSendFault f;
  int first = 0;
  while (socket_.SendFault(f)) {
    // About a datagram to the board only (an earlier address of the board,
    // after it moved, is not the board any more).
    if (first == 0 && Unreachable(f.error) && f.to.sin_addr.s_addr == peerAddr_.load() && f.to.sin_port == peerPort_.load()) first = f.error;
  }
  if (first != 0) Fault(first);
}

void CmdSrv::WatchIfDue() {
  std::function<bool()> wanted;
  std::chrono::milliseconds interval;
  {
    std::lock_guard lk(hookMutex_);
    wanted = watchWanted_;
    interval = watchInterval_;
  }
  if (!wanted || socket_.PeerIsMulticast()) return;
  const auto now = std::chrono::steady_clock::now();
  const auto last = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastSend_.load()));
  if (now - last < interval || !wanted()) return;
  int error = 0;
  {
    std::lock_guard sl(sendMutex_);
    error = socket_.SendEmptyToPeer();
    // Due again after the interval, whether or not it went out.
    lastSend_ = now.time_since_epoch().count();
  }
  if (error == 0) ++watchSent_;
  else if (Unreachable(error)) Fault(error);  // an earlier datagram's ICMP error, taken over by this send
}

void CmdSrv::SetArrivalCallback(std::function<void()> cb) {
  std::lock_guard lk(queueMutex_);
  arrival_ = std::move(cb);
}

size_t CmdSrv::QueuedCount() const {
  std::lock_guard lk(queueMutex_);
  return queue_.size();
}

void CmdSrv::RecvThreadProc(std::stop_token st) {
  std::vector<uint8_t> buffer(kCmdMaxReceivePayload + kCmdHeaderSize);
  // The thread blocks in the receive call itself, which gives up after 50 ms
  // so that Close is answered quickly and the loop never spins.
  socket_.SetReceiveTimeout(50);
  std::function<void(const CmdPacket&)> handler;
  while (!st.stop_requested() && open_) {
    sockaddr_in from{};
    const long n = socket_.ReceiveFrom(buffer.data(), buffer.size(), &from, -1);
    if (n < 0) TakeFaults();
    WatchIfDue();
    if (n <= 0) continue;
    // Replies and reports count only from the board the channel talks to:
    // its address and its port (another program on the board's host, or a
    // forged key report, is not the board).
    if (!socket_.PeerIsMulticast() &&
        (from.sin_addr.s_addr != peerAddr_.load() || from.sin_port != peerPort_.load())) {
      ++dropped_;
      continue;
    }
    auto packet = DecodeCmdDatagram(buffer.data(), static_cast<size_t>(n));
    if (!packet) {
      ++dropped_;
      continue;
    }
    ++accepted_;
    std::function<void()> cb;
    {
      std::lock_guard lk(queueMutex_);
      handler = handler_;
      if (!handler) {
        if (queue_.size() >= kQueueLimit) std::puts("释放信号量失败！");
        queue_.push_back(std::move(*packet));
      }
      cb = arrival_;
    }
    if (handler) {
      // Handed over on this thread: the waiting command wakes straight from here.
      if ((packet->code & 0xFFF) != 0x15) CLogFile::Instance().Write(true, "Recv = 0x%x", packet->code);
      handler(*packet);
      if (cb) cb();
      continue;
    }
    queueCv_.notify_one();
    if (cb) cb();
  }
}

}  // namespace smt::link
