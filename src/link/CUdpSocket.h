#pragma once
// One IPv4 UDP socket with a fixed peer. Bound to any local address; when the
// peer is a multicast group the socket joins it (default interface) with
// multicast loop-back off. Towards a single host the socket keeps the ICMP
// errors its datagrams draw (port or host unreachable) for SendFault, so a
// peer that has gone is seen without waiting for a reply that cannot come.
// Opening failures raise UdpSocketError with the socket layer's text.
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace smt::link {

class UdpSocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A datagram this socket sent did not arrive: `error` is the errno the ICMP
// answer stands for (ECONNREFUSED: nothing listens on the port;
// EHOSTUNREACH, ENETUNREACH: the host cannot be reached), `to` where the
// datagram went.
struct UdpSendFault {
  int error = 0;
  sockaddr_in to{};
};

class CUdpSocket {
 public:
  CUdpSocket() = default;
  ~CUdpSocket() { Close(); }
  CUdpSocket(const CUdpSocket&) = delete;
  CUdpSocket& operator=(const CUdpSocket&) = delete;

  // Peer `address`:`port`, bound to 0.0.0.0:`localPort` (the peer's port
  // when negative). False at once when already open.
  bool Open(uint16_t port, const std::string& address, int localPort = -1);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Handle() const { return fd_; }

  // Points the socket at another peer (same port). False for a bad address.
  // The peer's address may be changed while another thread sends or
  // receives: it is read and written whole, without a lock.
  bool SetPeer(const std::string& address);
  sockaddr_in Peer() const;
  bool PeerIsMulticast() const;
  uint16_t LocalPort() const;

  bool SetReceiveTimeout(int milliseconds);
  // Bytes sent, or -1.
  long SendToPeer(const void* data, size_t size);
  // Sends an empty datagram to the peer: no command (every receiver drops a
  // datagram shorter than a header), only something an unreachable peer
  // draws an ICMP error for. 0 when it went out, else the errno.
  int SendEmptyToPeer();
  // Waits at most `timeoutMs` (negative: the socket's own time-out) for one
  // datagram. Bytes received, 0 on time-out, -1 on error (a kept ICMP error
  // among them: SendFault then tells what it was).
  long ReceiveFrom(void* buffer, size_t size, sockaddr_in* from, int timeoutMs = -1);
  // Takes the oldest kept ICMP error off the socket without waiting; false
  // when there is none.
  bool SendFault(UdpSendFault& fault);

 private:
  int fd_ = -1;
  uint16_t peerPort_ = 0;               // network order; set only by Open
  std::atomic<uint32_t> peerAddr_{0};   // network order
};

std::string Ipv4Text(const sockaddr_in& a);

}  // namespace smt::link
