#include "platform/QueuedCall.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace smt::platform {

#if defined(__SANITIZE_THREAD__)
void HandOverMark::Release() { __tsan_release(this); }
void HandOverMark::Take() { __tsan_acquire(this); }
#else
void HandOverMark::Release() {}
void HandOverMark::Take() {}
#endif

}  // namespace smt::platform
