// SPDX-License-Identifier: Apache-2.0
// Monotonic microseconds with a counting fallback, wall-clock
// milliseconds and the local date and time.
#include <chip_util/osal.h>

#include <sys/time.h>

#include <atomic>
#include <cstring>

#include "platform_seam.hpp"
#include "time_math.hpp"

uint64_t g_ui_usec_for_fail = 0;

extern "C" uint64_t hdk_time_usecs(void) {
  timespec now{};
  if (osal::seam::clock_gettime_call(CLOCK_MONOTONIC, &now) == 0) {
    return osal::monotonic_usecs(now);
  }
  return std::atomic_ref<uint64_t>(g_ui_usec_for_fail).fetch_add(1, std::memory_order_relaxed);
}

extern "C" int64_t osal_get_time_ms(void) {
  timeval now{};
  (void)gettimeofday(&now, nullptr);
  return osal::wall_clock_ms(now);
}

extern "C" struct tm *osal_localtime_r(const time_t *time, struct tm *out) {
  return localtime_r(time, out);
}

extern "C" int32_t osal_sys_time_get(osal_date_time *out) {
  if (out == nullptr) {
    return 0;
  }
  struct tm local{};
  const time_t now = time(nullptr);
  (void)localtime_r(&now, &local);
  const osal_date_time fields = osal::date_time_of(local);
  // Copy the seven content bytes only: byte 7 of the record is padding
  // that belongs to the caller.
  std::memcpy(out, &fields, osal::kDateTimeBytes);
  return 0;
}
