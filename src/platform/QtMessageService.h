#pragma once
#include "platform/MessageService.h"

namespace smt::platform {

// Shows QMessageBox on the window thread (through the GUI dispatcher),
// top-most, and returns the answer to any calling thread.
class QtMessageService : public MessageService {
 public:
  MsgAnswer Show(const MessageRequest& request) override;
};

}  // namespace smt::platform
