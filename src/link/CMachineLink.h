#pragma once
// The machine link object: the UDP command channel to the main board with
// its packets, the reply loop that hands every reply to the dispatch, the
// link-level commands that await no reply (0x01, 0x03, 0x04), the reply
// status check of the bootloader and firmware paths, and the boards' boot
// loader commands (0xF00 to 0xF07), each bounded by a time-out.
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

#include "link/BootloaderProtocol.h"
#include "link/CmdSrv.h"
#include "link/Link.h"
#include "platform/Event.h"

namespace smt {
class Machine;
}

namespace smt::link {

class CMachineLink : public Link {
 public:
  static constexpr uint32_t kCommandPort = 60000;
  // While the link is up, nothing sent for this long: an empty datagram goes
  // to the board, so that a board gone is noticed within it.
  static constexpr std::chrono::milliseconds kWatchInterval{500};

  // The link of `machine`: its replies go to that machine's reply events and
  // state, its sends hold that machine's link mutex.
  explicit CMachineLink(smt::Machine& machine) : machine_(machine) {}
  ~CMachineLink() { Close(); }
  smt::Machine& OwnMachine() const { return machine_; }
  CMachineLink(const CMachineLink&) = delete;
  CMachineLink& operator=(const CMachineLink&) = delete;

  // Opens the channel towards `address`:`port`. False (LastError() holds the
  // socket layer's text) when the socket could not be opened.
  bool Open(const std::string& address, uint32_t port = kCommandPort);
  // Stops and joins the reply loop and the channel's receive thread.
  void Close();
  bool IsOpen() const override { return channel_.IsOpen(); }
  LinkForm Form() const override { return LinkForm::Udp; }
  // One command packet (SendCommand); a payload longer than a packet holds is refused.
  bool SendFrame(uint8_t code, const std::vector<uint8_t>& payload) override;
  std::string Describe() const override;
  std::string LastError() const { return channel_.LastError(); }
  // The operator's words for a datagram to the board refused (errno `error`),
  // after "the network link to <address> ".
  std::string FaultText(int error, uint32_t port) const;
  // Local port to bind instead of the peer's (tests, several links on one host).
  void SetLocalPort(int port) { localPort_ = port; }

  // Starts the reply loop (once): every queued packet goes to HandleUdpPacket.
  void StartReplyLoop();
  bool ReplyLoopRunning() const { return handing_.load() || loop_.joinable(); }

  // Sends one command once (attempt 0) and returns whether it went out.
  // Callers serialise through the machine's linkMutex.
  bool SendCommand(uint16_t code, const uint8_t* payload, uint16_t length);
  bool SendCmd1(uint8_t axis, int32_t value);
  bool SendCmd03SetOutput(uint8_t output, uint8_t state, uint16_t value);
  bool SendCmd04SelectCamera(uint8_t channel, uint8_t value);

  // True for 0; 0x68 false without a message; every other status shows its
  // Chinese text and gives false.
  static bool CheckReplyStatus(uint8_t status);

  // --- boot loader commands ---------------------------------------------
  // They address the board chosen by the last update flag. Each waits for
  // its own reply (or 0xFFF) within its time-out; commands that may safely
  // be repeated are sent again when the reply is lost, a bounded number of
  // times. They do not take the machine's linkMutex; one runs at a time.
  enum class BootResult { Ok, SendFailed, TimedOut, BadStatus, BadReply, Aborted };
  using Progress = std::function<void(int percent)>;

  void SetBootTimeouts(const boot::BootTimeouts& t);
  boot::BootTimeouts BootTimeoutsInUse() const;
  // Polled between chunks and while waiting: true ends the operation (Aborted).
  void SetBootAbort(std::function<bool()> aborted);
  // How the last boot loader operation ended.
  BootResult LastBootResult() const { return lastBoot_.load(); }

  // 0xF00 {board, feeder-board index}: true when the status passes CheckReplyStatus.
  bool BootCmdF00(uint8_t board, uint8_t index);
  // 0xF02 {address, length}: erase.
  bool BootCmdF02(uint32_t address, uint32_t length);
  // 0xF07 {address}: jump. Sent once: a board that jumped may not answer again.
  bool BootCmdF07(uint32_t address);
  // 0xF06 {0x08020000, length}: the board's MD5 of that range. `digest` is
  // written only on success (a 17-byte reply with status 0).
  bool FlashMd5(uint32_t length, uint8_t digest[16]);
  // Reads the whole configuration area (0x10000 bytes from 0x08010000) into
  // `destination` with 0xF04. A chunk is taken only from a reply with status
  // 0 that holds all its bytes.
  bool ReadFlash(uint8_t* destination, const Progress& progress);
  // Writes `length` bytes from `address` on with 0xF03 in chunks of at most
  // 433 bytes; progress done x 100 / length after each chunk.
  bool WriteFlash(uint32_t address, const uint8_t* data, int32_t length, const Progress& progress);
  // Writes a file's bytes (at most 1 MiB; a longer file is refused, not cut
  // short). `written` is the count written on success, 0 on failure, and is
  // left untouched when the file cannot be opened.
  bool WriteFlashFromFile(const std::string& path, uint32_t address, uint32_t* written, const Progress& progress);
  // Number of boot loader packets sent (all attempts).
  uint64_t BootCommandsSent() const { return bootSent_.load(); }

  // One reply or report the channel received (on its receive thread or the
  // reply loop): boot loader replies are kept for the command that waits for
  // them, everything goes to the reply dispatch.
  void OnPacket(const CmdPacket& packet);

  CmdSrv& Channel() { return channel_; }
  smt::platform::Event& BootReplyEvent() { return bootReply_; }
  uint64_t RepliesHandled() const { return handled_.load(); }

 private:
  struct BootReply {
    uint16_t code = 0;
    std::vector<uint8_t> payload;
    uint8_t status() const { return payload.empty() ? 0xFF : payload[0]; }
  };
  void StoreBootReply(const CmdPacket& packet);
  std::atomic<bool> handing_{false};
  // One send and the wait for its reply.
  BootResult BootExchange(uint16_t code, const std::vector<uint8_t>& payload, std::chrono::milliseconds timeout,
                          BootReply& reply);
  // Repeats the exchange while the reply is lost (up to the attempts).
  BootResult BootExchangeRetry(uint16_t code, const std::vector<uint8_t>& payload, std::chrono::milliseconds timeout,
                               BootReply& reply);
  // A status command (update flag, erase, jump) with CheckReplyStatus.
  bool BootStatusCommand(uint16_t code, const std::vector<uint8_t>& payload, std::chrono::milliseconds timeout,
                         bool repeatable);
  // After a lost reply was answered on a resend, the first answer may still
  // come in late: give it a moment and throw it away.
  void DiscardLateReplies();
  bool BootAborted() const;
  BootResult Finish(BootResult r) { lastBoot_ = r; return r; }

  smt::Machine& machine_;
  CmdSrv channel_;
  CmdPacket command_;
  CmdPacket reply_;
  smt::platform::Event bootReply_{false, false};
  std::jthread loop_;
  int localPort_ = -1;
  std::atomic<uint64_t> handled_{0};

  std::mutex bootCommandMutex_;  // one boot loader operation at a time
  CmdPacket bootCommand_;
  mutable std::mutex bootMutex_;
  std::condition_variable bootCv_;
  std::deque<BootReply> bootReplies_;
  bool bootWaiting_ = false;
  boot::BootTimeouts bootTimeouts_;
  std::function<bool()> bootAbort_;
  std::atomic<BootResult> lastBoot_{BootResult::Ok};
  std::atomic<uint64_t> bootSent_{0};
};

}  // namespace smt::link
