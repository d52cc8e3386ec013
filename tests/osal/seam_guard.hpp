// Points a platform seam of the OS layer elsewhere for the life of a scope.
#pragma once

#include "osal/platform_seam.hpp"

namespace osal_test {

template <typename Fn>
class SeamGuard {
 public:
  SeamGuard(Fn &slot, Fn replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
  ~SeamGuard() { slot_ = saved_; }
  SeamGuard(const SeamGuard &) = delete;
  SeamGuard &operator=(const SeamGuard &) = delete;

 private:
  Fn &slot_;
  Fn saved_;
};

inline int failing_clock(clockid_t, timespec *) { return -1; }

// The monotonic clock cannot be read while this lives.
struct BrokenClock : SeamGuard<osal::seam::ClockGettime> {
  BrokenClock() : SeamGuard(osal::seam::clock_gettime_call, &failing_clock) {}
};

}  // namespace osal_test
