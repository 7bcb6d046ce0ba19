#pragma once
// Message boxes raised on link threads. They are handed to the window thread
// and the link thread goes on at once, so a box never holds up the replies
// behind it. Tests read them through ScopedRecordingMessages.
#include <string>

namespace smt::link {

// A top-most box with an OK button, shown without waiting for the operator.
void NotifyOperator(const std::string& text, const std::string& caption = {});

}  // namespace smt::link
