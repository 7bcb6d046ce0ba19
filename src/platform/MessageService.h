#pragma once
// Every message box of the program goes through one service, so that tests
// can read the text and answer for the operator. Callable from any thread:
// the box is shown on the window thread and the caller waits for the answer.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace smt::platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct MessageRequest {
  std::string text;
  std::string caption;
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::Warning;
};

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Shows the box on the window thread; returns the operator's answer.
  virtual MsgAnswer Show(const MessageRequest& request) = 0;

  static MessageService& Get();
  static void Install(MessageService* service);  // not owned; nullptr: the recording default
};

// Shortcut: a top-most box with one OK button (the machine guards and refusals).
MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                      MsgIcon icon = MsgIcon::Warning, const std::string& caption = {});

// Records every request and answers from a queue (then with a default).
class RecordingMessageService : public MessageService {
 public:
  MsgAnswer Show(const MessageRequest& request) override;

  void QueueAnswer(MsgAnswer a);
  void SetDefaultAnswer(MsgAnswer a);
  std::vector<MessageRequest> Requests() const;
  std::vector<std::string> Texts() const;
  void Clear();

 private:
  mutable std::mutex m_;
  std::vector<MessageRequest> requests_;
  std::deque<MsgAnswer> answers_;
  MsgAnswer default_ = MsgAnswer::Ok;
  bool defaultSet_ = false;
};

// Installs a RecordingMessageService for the life of the object.
class ScopedRecordingMessages {
 public:
  ScopedRecordingMessages() { MessageService::Install(&service); }
  ~ScopedRecordingMessages() { MessageService::Install(nullptr); }
  RecordingMessageService service;
};

}  // namespace smt::platform
