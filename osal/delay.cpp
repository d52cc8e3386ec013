// SPDX-License-Identifier: Apache-2.0
// Sleeping waits that survive signals, the busy wait and the plain task
// delay.
#include <chip_util/osal.h>

#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform_seam.hpp"
#include "time_math.hpp"

namespace {

// A signal interrupting the sleep resumes it with the time that was left.
void sleep_fully(timespec request) {
  timespec remaining{};
  while (osal::seam::nanosleep_call(&request, &remaining) == -1 && errno == EINTR) {
    request = remaining;
  }
}

}  // namespace

extern "C" void osal_ns_delay(uint32_t ns) { sleep_fully(osal::split_ns(ns)); }

extern "C" void osal_usleep(uint32_t us) { sleep_fully(osal::split_us(us)); }

extern "C" void osal_ms_delay(uint32_t ms) { sleep_fully(osal::split_ms(ms)); }

extern "C" void osal_udelay(uint32_t us) {
  const uint64_t start = hdk_time_usecs();
  while (hdk_time_usecs() - start < us) {
  }
}

extern "C" int32_t osal_task_delay(uint32_t ms) {
  const uint32_t us = ms * 1000u;  // 32-bit on purpose: the documented range
  return usleep(us);
}
