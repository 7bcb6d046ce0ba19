#include "link/CMachineLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/MachineState.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkLoss.h"
#include "link/LinkRuntime.h"
#include "link/OperatorNotice.h"
#include "link/ReplyDispatch.h"
#include "link/ReplyStatus.h"
#include "link/LinkTexts.h"
#include "platform/RefusalTexts.h"

namespace smt::link {
namespace {
// How long a sender waits for the link mutex before it gives up.
constexpr auto kLinkMutexWait = std::chrono::seconds(30);
}  // namespace


std::string CMachineLink::FaultText(int error, uint32_t port) const {
  const LinkTexts t = LinkTextsOf(machine_);
  switch (error) {
    case ECONNREFUSED:
      return smt::platform::FillText(t.netPortClosed, {"%1", std::to_string(port)});
    case EHOSTUNREACH:
    case EHOSTDOWN:
      return t.netAddressUnreachable;
    case ENETUNREACH:
      return t.netUnreachable;
    default:
      return smt::platform::FillText(t.netFailed, {"%1", std::to_string(error)});
  }
}

std::string CMachineLink::Describe() const {
  return smt::platform::FillText(LinkTextsOf(machine_).networkName, {channel_.PeerAddress()});
}

bool CMachineLink::Open(const std::string& address, uint32_t port) {
  bootReply_.Reset();
  const bool ok = channel_.Open(address, port, localPort_);
  if (ok) {
    // The board's port or address gone is the link gone, told at once; while
    // the link is up and idle the channel keeps asking, so that it is also
    // noticed when nothing is being sent.
    channel_.SetFaultHandler([this, port](int error) { ReportLinkLoss(machine_, *this, FaultText(error, port)); });
    channel_.SetWatch(kWatchInterval,
                      [this] { return RuntimeOf(machine_).ActiveLink() == this && machine_.connected.load(); });
  }
  // A reopened channel keeps handing its replies to the dispatch.
  if (ok && handing_) channel_.SetPacketHandler([this](const CmdPacket& p) { OnPacket(p); });
  return ok;
}

void CMachineLink::Close() {
  if (loop_.joinable()) {
    loop_.request_stop();
    loop_.join();
  }
  channel_.Close();
  handing_ = false;
}

void CMachineLink::OnPacket(const CmdPacket& packet) {
  if (machine_.udpStop) return;
  // Boot loader replies are kept for the command that waits for them.
  const bool boot = packet.flag == 1 && boot::IsBootReplyCode(packet.code);
  if (boot) StoreBootReply(packet);
  HandleUdpPacket(machine_, packet);
  if (boot) bootReply_.Set();
  ++handled_;
}

void CMachineLink::StartReplyLoop() {
  if (ReplyLoopRunning()) return;
  if (channel_.IsOpen()) {
    // The channel's receive thread dispatches every reply itself.
    channel_.SetPacketHandler([this](const CmdPacket& p) { OnPacket(p); });
    handing_ = true;
    return;
  }
  // Not open yet: a loop that takes the queued packets once it is.
  loop_ = std::jthread([this](std::stop_token st) {
    while (!st.stop_requested() && !machine_.udpStop) {
      // Bounded waits, so that a stop request or a closed channel ends the
      // loop instead of spinning on it.
      const uint32_t r = channel_.Receive(reply_, std::chrono::milliseconds(100));
      if (r == 2) {
        if (st.stop_requested()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      if (r != 0) continue;
      if (machine_.udpStop) break;
      OnPacket(reply_);
    }
  });
}

bool CMachineLink::SendCommand(uint16_t code, const uint8_t* payload, uint16_t length) {
  command_.Set(code, payload, length);
  return channel_.Send(command_, 0) == kCmdOk;
}

bool CMachineLink::SendFrame(uint8_t code, const std::vector<uint8_t>& payload) {
  if (payload.size() > 0xFFFF) return false;
  // One command on the channel at a time, whoever sends it.
  if (!machine_.linkMutex.TryLockFor(kLinkMutexWait)) return false;
  std::lock_guard<smt::platform::LinkMutex> held(machine_.linkMutex, std::adopt_lock);
  return SendCommand(code, payload.data(), static_cast<uint16_t>(payload.size()));
}

bool CMachineLink::SendCmd1(uint8_t axis, int32_t value) {
  const auto p = ByteWriter().U8(axis).I32(value).Take();
  return SendCommand(0x01, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::SendCmd03SetOutput(uint8_t output, uint8_t state, uint16_t value) {
  const auto p = ByteWriter().U8(output).U8(state).U16(value).Take();
  return SendCommand(0x03, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::SendCmd04SelectCamera(uint8_t channel, uint8_t value) {
  const auto p = ByteWriter().U8(channel).U8(value).Take();
  return SendCommand(0x04, p.data(), static_cast<uint16_t>(p.size()));
}

bool CMachineLink::CheckReplyStatus(uint8_t status) {
  if (status == 0) return true;
  const std::string text = ReplyStatusTextChinese(status);
  if (!text.empty()) NotifyOperator(text);
  return false;
}

// --- boot loader commands -------------------------------------------------

void CMachineLink::SetBootTimeouts(const boot::BootTimeouts& t) {
  std::lock_guard lk(bootMutex_);
  bootTimeouts_ = t;
}

boot::BootTimeouts CMachineLink::BootTimeoutsInUse() const {
  std::lock_guard lk(bootMutex_);
  return bootTimeouts_;
}

void CMachineLink::SetBootAbort(std::function<bool()> aborted) {
  std::lock_guard lk(bootMutex_);
  bootAbort_ = std::move(aborted);
}

bool CMachineLink::BootAborted() const {
  std::function<bool()> f;
  {
    std::lock_guard lk(bootMutex_);
    f = bootAbort_;
  }
  return f && f();
}

void CMachineLink::StoreBootReply(const CmdPacket& packet) {
  {
    std::lock_guard lk(bootMutex_);
    // Only a command that waits takes replies; anything else is stale.
    if (!bootWaiting_) return;
    BootReply r;
    r.code = packet.code & 0xFFF;
    r.payload.assign(packet.data(), packet.data() + packet.length);
    if (bootReplies_.size() >= 64) bootReplies_.pop_front();
    bootReplies_.push_back(std::move(r));
  }
  bootCv_.notify_all();
  bootReply_.Set();
}

CMachineLink::BootResult CMachineLink::BootExchange(uint16_t code, const std::vector<uint8_t>& payload,
                                                    std::chrono::milliseconds timeout, BootReply& reply) {
  {
    std::lock_guard lk(bootMutex_);
    bootReplies_.clear();
    bootWaiting_ = true;
  }
  bootReply_.Reset();
  struct EndWait {
    CMachineLink* self;
    ~EndWait() {
      std::lock_guard lk(self->bootMutex_);
      self->bootWaiting_ = false;
      self->bootReplies_.clear();
    }
  } endWait{this};

  bootCommand_.Set(code, payload.data(), static_cast<uint16_t>(payload.size()));
  ++bootSent_;
  if (channel_.Send(bootCommand_, 0) != kCmdOk) return BootResult::SendFailed;

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lk(bootMutex_);
  for (;;) {
    while (!bootReplies_.empty()) {
      BootReply r = std::move(bootReplies_.front());
      bootReplies_.pop_front();
      // A late reply of an earlier command is not this command's answer.
      if (r.code == code || r.code == boot::kAnyReply) {
        reply = std::move(r);
        return BootResult::Ok;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return BootResult::TimedOut;
    lk.unlock();
    const bool aborted = BootAborted();
    lk.lock();
    if (aborted) return BootResult::Aborted;
    const auto slice = std::min<std::chrono::steady_clock::time_point>(
        deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
    bootCv_.wait_until(lk, slice, [&] { return !bootReplies_.empty(); });
  }
}

CMachineLink::BootResult CMachineLink::BootExchangeRetry(uint16_t code, const std::vector<uint8_t>& payload,
                                                         std::chrono::milliseconds timeout, BootReply& reply) {
  const int attempts = std::max(1, BootTimeoutsInUse().attempts);
  BootResult r = BootResult::TimedOut;
  for (int i = 0; i < attempts; ++i) {
    r = BootExchange(code, payload, timeout, reply);
    if (r != BootResult::TimedOut) {
      if (r == BootResult::Ok && i > 0) DiscardLateReplies();
      return r;
    }
    if (BootAborted()) return BootResult::Aborted;
  }
  return r;
}

void CMachineLink::DiscardLateReplies() {
  const auto wait = std::min<std::chrono::milliseconds>(BootTimeoutsInUse().reply, std::chrono::milliseconds(300));
  std::this_thread::sleep_for(wait);
  std::lock_guard lk(bootMutex_);
  bootReplies_.clear();
}

bool CMachineLink::BootStatusCommand(uint16_t code, const std::vector<uint8_t>& payload,
                                     std::chrono::milliseconds timeout, bool repeatable) {
  std::lock_guard op(bootCommandMutex_);
  BootReply reply;
  const BootResult r = repeatable ? BootExchangeRetry(code, payload, timeout, reply)
                                  : BootExchange(code, payload, timeout, reply);
  if (r != BootResult::Ok) return Finish(r), false;
  if (reply.payload.empty()) return Finish(BootResult::BadReply), false;
  if (!CheckReplyStatus(reply.status())) return Finish(BootResult::BadStatus), false;
  Finish(BootResult::Ok);
  return true;
}

bool CMachineLink::BootCmdF00(uint8_t board, uint8_t index) {
  return BootStatusCommand(boot::kUpdateFlag, boot::UpdateFlagPayload(board, index), BootTimeoutsInUse().reply, true);
}

bool CMachineLink::BootCmdF02(uint32_t address, uint32_t length) {
  return BootStatusCommand(boot::kErase, boot::RangePayload(address, length), BootTimeoutsInUse().erase, true);
}

bool CMachineLink::BootCmdF07(uint32_t address) {
  return BootStatusCommand(boot::kJump, boot::JumpPayload(address), BootTimeoutsInUse().jump, false);
}

bool CMachineLink::FlashMd5(uint32_t length, uint8_t digest[16]) {
  std::lock_guard op(bootCommandMutex_);
  BootReply reply;
  const BootResult r = BootExchangeRetry(boot::kMd5, boot::RangePayload(boot::kApplicationAddress, length),
                                         BootTimeoutsInUse().md5, reply);
  if (r != BootResult::Ok) return Finish(r), false;
  if (reply.payload.size() != boot::kMd5ReplyLength) return Finish(BootResult::BadReply), false;
  if (reply.status() != 0) {
    CheckReplyStatus(reply.status());
    return Finish(BootResult::BadStatus), false;
  }
  std::memcpy(digest, reply.payload.data() + 1, 16);
  Finish(BootResult::Ok);
  return true;
}

bool CMachineLink::ReadFlash(uint8_t* destination, const Progress& progress) {
  std::lock_guard op(bootCommandMutex_);
  const boot::BootTimeouts t = BootTimeoutsInUse();
  uint32_t address = boot::kConfigAddress;
  uint32_t remaining = boot::kConfigSize;
  uint32_t done = 0;
  while (remaining > 0) {
    if (BootAborted()) return Finish(BootResult::Aborted), false;
    const uint32_t n = std::min(remaining, boot::kMaxChunk);
    const auto payload = boot::RangePayload(address, n);
    bool taken = false;
    for (int tries = 0; !taken && tries <= t.failedChunkResends; ++tries) {
      BootReply reply;
      const BootResult r = BootExchangeRetry(boot::kRead, payload, t.reply, reply);
      if (r != BootResult::Ok) return Finish(r), false;
      // A short reply or one with a failure status carries no usable data:
      // ask for the chunk again rather than copy what is not there.
      if (reply.payload.size() < boot::kReadReplyHeader + n || reply.status() != 0) continue;
      std::memcpy(destination + done, reply.payload.data() + boot::kReadReplyHeader, n);
      taken = true;
    }
    if (!taken) return Finish(BootResult::BadReply), false;
    address += n;
    done += n;
    remaining -= n;
    if (progress) progress(static_cast<int>(static_cast<uint64_t>(done) * 100 / boot::kConfigSize));
  }
  Finish(BootResult::Ok);
  return true;
}

bool CMachineLink::WriteFlash(uint32_t address, const uint8_t* data, int32_t length, const Progress& progress) {
  if (length <= 0) return Finish(BootResult::Ok), true;
  std::lock_guard op(bootCommandMutex_);
  const boot::BootTimeouts t = BootTimeoutsInUse();
  const uint32_t total = static_cast<uint32_t>(length);
  uint32_t done = 0;
  while (done < total) {
    if (BootAborted()) return Finish(BootResult::Aborted), false;
    const uint32_t n = std::min(total - done, boot::kMaxChunk);
    const auto payload = boot::WritePayload(address + done, data + done, n);
    bool accepted = false;
    for (int tries = 0; !accepted && tries <= t.failedChunkResends; ++tries) {
      BootReply reply;
      const BootResult r = BootExchangeRetry(boot::kWrite, payload, t.reply, reply);
      if (r != BootResult::Ok) return Finish(r), false;
      // A failed chunk is sent again unchanged; progress stays where it is.
      accepted = !reply.payload.empty() && CheckReplyStatus(reply.status());
    }
    if (!accepted) return Finish(BootResult::BadStatus), false;
    done += n;
    if (progress) progress(static_cast<int>(static_cast<uint64_t>(done) * 100 / total));
  }
  Finish(BootResult::Ok);
  return true;
}

bool CMachineLink::WriteFlashFromFile(const std::string& path, uint32_t address, uint32_t* written,
                                      const Progress& progress) {
  constexpr size_t kLimit = 0x100000;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Finish(BootResult::BadReply), false;
  std::vector<uint8_t> buffer(kLimit + 1);
  const size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError || n > kLimit) {
    // A file that could not be read whole, or one longer than any image,
    // is not written in part.
    if (written) *written = 0;
    return Finish(BootResult::BadReply), false;
  }
  const bool ok = WriteFlash(address, buffer.data(), static_cast<int32_t>(n), progress);
  if (written) *written = ok ? static_cast<uint32_t>(n) : 0;
  return ok;
}

}  // namespace smt::link
