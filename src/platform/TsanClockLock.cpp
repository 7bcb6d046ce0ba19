// ThreadSanitizer build only: GCC 12's ThreadSanitizer does not intercept
// pthread_mutex_clocklock, which std::recursive_timed_mutex::try_lock_for
// (the machine link's mutex) calls. Without it the sanitizer never sees the
// link mutex taken, sees it released by a thread that "does not hold it" and
// reports every command sent under it as a race. This definition takes the
// place of the C library's and turns the call into pthread_mutex_timedlock,
// which the sanitizer does intercept, with the same deadline.
#if defined(__SANITIZE_THREAD__)
#include <pthread.h>
#include <time.h>

extern "C" int pthread_mutex_clocklock(pthread_mutex_t* __restrict mutex, clockid_t clock,
                                       const struct timespec* __restrict deadline) noexcept {
  if (clock == CLOCK_REALTIME) return pthread_mutex_timedlock(mutex, deadline);
  timespec now{}, real{};
  clock_gettime(clock, &now);
  clock_gettime(CLOCK_REALTIME, &real);
  constexpr long long kNs = 1000000000LL;
  long long left = (static_cast<long long>(deadline->tv_sec) - now.tv_sec) * kNs + (deadline->tv_nsec - now.tv_nsec);
  if (left < 0) left = 0;
  const long long at = static_cast<long long>(real.tv_sec) * kNs + real.tv_nsec + left;
  timespec realDeadline{};
  realDeadline.tv_sec = static_cast<time_t>(at / kNs);
  realDeadline.tv_nsec = static_cast<long>(at % kNs);
  return pthread_mutex_timedlock(mutex, &realDeadline);
}
#endif
