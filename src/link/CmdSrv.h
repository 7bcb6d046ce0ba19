#pragma once
// The UDP command channel to the main board: frames and sends command
// packets, and a receive thread that checks every datagram from the board
// and queues the good ones for the reply loop. The receive thread also
// hears when the board's address or port stops taking datagrams (the ICMP
// error a datagram to it draws) and, while watching is wanted, sends an
// empty datagram when nothing else went out for a while, so that a board
// gone while the link is idle is noticed too.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/CUdpSocket.h"
#include "link/CmdPacket.h"

namespace smt::link {

enum CmdErr : uint32_t { kCmdOk = 0, kCmdWriteError = 2, kCmdPackError = 3 };

class CmdSrv {
 public:
  static constexpr size_t kQueueLimit = 2000;

  CmdSrv() = default;
  ~CmdSrv() { Close(); }
  CmdSrv(const CmdSrv&) = delete;
  CmdSrv& operator=(const CmdSrv&) = delete;

  // Opens the socket towards `address`:`port` (bound locally to `localPort`,
  // the peer's port when negative) and starts the receive thread. False with
  // LastError() when the socket could not be opened.
  bool Open(const std::string& address, uint32_t port, int localPort = -1);
  // Stops and joins the receive thread, then closes the socket and empties
  // the queue. A waiting Receive returns 2.
  void Close();
  bool IsOpen() const { return open_.load(); }
  std::string LastError() const;

  // 0 when the whole datagram went out, else kCmdWriteError / kCmdPackError.
  uint32_t Send(const CmdPacket& packet, uint8_t attempt);
  // 0: `out` holds the oldest packet; 1: nothing within `timeout`; 2: not open.
  uint32_t Receive(CmdPacket& out, std::chrono::milliseconds timeout);
  // Waits until a packet is queued or the channel closes.
  uint32_t Receive(CmdPacket& out);

  // Re-points the channel at another board address (a later discovery).
  bool SetPeer(const std::string& address);
  std::string PeerAddress() const;
  uint16_t LocalPort() const { return socket_.LocalPort(); }

  // Called on the receive thread (or the sending one) when a datagram to the
  // board drew an ICMP error: `error` as in UdpSendFault (ECONNREFUSED: the
  // board's port is closed). Only errors about the board's own address and
  // port count.
  void SetFaultHandler(std::function<void(int error)> handler);
  // While `wanted()` holds, an empty datagram goes to the board whenever
  // nothing was sent to it for `interval`. Empty `wanted`: no watching.
  void SetWatch(std::chrono::milliseconds interval, std::function<bool()> wanted);
  uint64_t WatchDatagramsSent() const { return watchSent_.load(); }
  uint64_t FaultsSeen() const { return faults_.load(); }

  void SetArrivalCallback(std::function<void()> cb);
  // When set, the receive thread hands every good packet to `handler` at
  // once instead of queueing it (no thread in between the reply and the
  // command that waits for it). Empty: packets are queued for Receive.
  void SetPacketHandler(std::function<void(const CmdPacket&)> handler);
  bool HasPacketHandler() const;
  size_t QueuedCount() const;
  uint64_t DroppedCount() const { return dropped_.load(); }
  uint64_t AcceptedCount() const { return accepted_.load(); }

 private:
  void RecvThreadProc(std::stop_token st);
  // Takes every kept ICMP error off the socket; tells the fault handler of
  // the first one about the board.
  void TakeFaults();
  void Fault(int error);
  // The empty datagram of the watch, when it is due.
  void WatchIfDue();

  CUdpSocket socket_;
  std::atomic<bool> open_{false};
  std::atomic<uint32_t> peerAddr_{0};  // network order
  std::atomic<uint16_t> peerPort_{0};  // network order
  std::mutex sendMutex_;
  std::vector<uint8_t> sendBuffer_;
  mutable std::mutex queueMutex_;
  std::condition_variable queueCv_;
  std::deque<CmdPacket> queue_;
  std::function<void()> arrival_;
  std::function<void(const CmdPacket&)> handler_;
  std::jthread thread_;
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> accepted_{0};
  std::atomic<uint64_t> watchSent_{0};
  std::atomic<uint64_t> faults_{0};
  std::atomic<std::chrono::steady_clock::rep> lastSend_{0};  // steady_clock ticks
  mutable std::mutex hookMutex_;
  std::function<void(int)> faultHandler_;
  std::function<bool()> watchWanted_;
  std::chrono::milliseconds watchInterval_{500};
  mutable std::mutex errorMutex_;
  std::string lastError_;
};

}  // namespace smt::link
