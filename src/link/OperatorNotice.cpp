#include "link/OperatorNotice.h"

#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"

namespace smt::link {

void NotifyOperator(const std::string& text, const std::string& caption) {
  smt::platform::PostToGui([text, caption] {
    smt::platform::ShowMessage(text, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning, caption);
  });
}

}  // namespace smt::link
