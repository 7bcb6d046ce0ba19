#include "platform/MessageService.h"

#include "platform/ProgramShutdown.h"

#include <atomic>
#include <cstdio>

namespace smt::platform {
namespace {
// The installed service, or one that records when nobody installed one.
struct Services {
  RecordingMessageService fallback;
  std::atomic<MessageService*> installed{nullptr};
} g_services;
}  // namespace

MessageService& MessageService::Get() {
  MessageService* s = g_services.installed.load();
  return s ? *s : g_services.fallback;
}

void MessageService::Install(MessageService* service) { g_services.installed.store(service); }

MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& caption) {
  // Once the window closes nothing is shown any more: a worker on its way
  // out gets the answer that does nothing further.
  if (ProgramShuttingDown()) {
    std::fprintf(stderr, "not shown while shutting down: %s\n", text.c_str());
    switch (buttons) {
      case MsgButtons::Ok: return MsgAnswer::Ok;
      case MsgButtons::YesNo: return MsgAnswer::No;
      default: return MsgAnswer::Cancel;
    }
  }
  return MessageService::Get().Show(MessageRequest{text, caption, buttons, icon});
}

MsgAnswer RecordingMessageService::Show(const MessageRequest& request) {
  std::lock_guard lock(m_);
  requests_.push_back(request);
  if (!answers_.empty()) {
    MsgAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  if (defaultSet_) return default_;
  switch (request.buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
  }
  return MsgAnswer::Ok;
}

void RecordingMessageService::QueueAnswer(MsgAnswer a) {
  std::lock_guard lock(m_);
  answers_.push_back(a);
}

void RecordingMessageService::SetDefaultAnswer(MsgAnswer a) {
  std::lock_guard lock(m_);
  default_ = a;
  defaultSet_ = true;
}

std::vector<MessageRequest> RecordingMessageService::Requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

std::vector<std::string> RecordingMessageService::Texts() const {
  std::lock_guard lock(m_);
  std::vector<std::string> t;
  for (const auto& r : requests_) t.push_back(r.text);
  return t;
}

void RecordingMessageService::Clear() {
  std::lock_guard lock(m_);
  requests_.clear();
  answers_.clear();
}

}  // namespace smt::platform
