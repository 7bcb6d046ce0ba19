#pragma once
// The machine link object: the UDP command channel to the main board with
// its packets, the reply loop that hands every reply to the dispatch, the
// link-level commands that await no reply (0x01, 0x03, 0x04) and the reply
// status check of the bootloader and firmware paths.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "link/CmdSrv.h"
#include "platform/Event.h"

namespace smt::link {

class CMachineLink {
 public:
  static constexpr uint32_t kCommandPort = 60000;

  CMachineLink() = default;
  ~CMachineLink() { Close(); }
  CMachineLink(const CMachineLink&) = delete;
  CMachineLink& operator=(const CMachineLink&) = delete;

  // Opens the channel towards `address`:`port`. False (LastError() holds the
  // socket layer's text) when the socket could not be opened.
  bool Open(const std::string& address, uint32_t port = kCommandPort);
  // Stops and joins the reply loop and the channel's receive thread.
  void Close();
  bool IsOpen() const { return channel_.IsOpen(); }
  std::string LastError() const { return channel_.LastError(); }
  // Local port to bind instead of the peer's (tests, several links on one host).
  void SetLocalPort(int port) { localPort_ = port; }

  // Starts the reply loop (once): every queued packet goes to HandleUdpPacket.
  void StartReplyLoop();
  bool ReplyLoopRunning() const { return loop_.joinable(); }

  // Sends one command once (attempt 0) and returns whether it went out.
  // Callers serialise through g_hLinkMutex.
  bool SendCommand(uint16_t code, const uint8_t* payload, uint16_t length);
  bool SendCmd1(uint8_t axis, int32_t value);
  bool SendCmd03SetOutput(uint8_t output, uint8_t state, uint16_t value);
  bool SendCmd04SelectCamera(uint8_t channel, uint8_t value);

  // True for 0; 0x68 false without a message; every other status shows its
  // Chinese text and gives false.
  static bool CheckReplyStatus(uint8_t status);

  CmdSrv& Channel() { return channel_; }
  smt::platform::Event& BootReplyEvent() { return bootReply_; }
  uint64_t RepliesHandled() const { return handled_.load(); }

 private:
  CmdSrv channel_;
  CmdPacket command_;
  CmdPacket reply_;
  smt::platform::Event bootReply_{false, false};
  std::jthread loop_;
  int localPort_ = -1;
  std::atomic<uint64_t> handled_{0};
};

}  // namespace smt::link
