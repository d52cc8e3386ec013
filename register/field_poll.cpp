// SPDX-License-Identifier: Apache-2.0
// Polling a field through its handle until it holds a value or a timeout
// passes, on the OS layer's clock or one the caller hands in.
#include <chip_util/osal.h>

#include "field_handle.hpp"

namespace {

using namespace chip_reg;

uint64_t os_now_us(void *) { return hdk_time_usecs(); }
void os_sleep_us(void *, uint32_t us) { osal_usleep(us); }

template <typename Word>
chip_status poll(const typename HandleFamily<Word>::Handle *field, Word expected,
                 uint32_t interval_us, uint32_t timeout_us, const chip_poll_clock *clock,
                 Word *last) {
  if (field == nullptr || unprepared(*field) || expected > field_max(*field)) {
    return kRefused;
  }
  const auto now_us = clock != nullptr && clock->now_us != nullptr ? clock->now_us : &os_now_us;
  const auto sleep_us =
      clock != nullptr && clock->sleep_us != nullptr ? clock->sleep_us : &os_sleep_us;
  void *context = clock != nullptr ? clock->context : nullptr;
  const uint64_t start = now_us(context);
  for (;;) {
    Word value = 0;
    const chip_status status = read_through(*field, &value);
    if (last != nullptr) {
      *last = value;
    }
    if (status.result != CHIP_OK) {
      return status;
    }
    if (value == expected) {
      return kOk;
    }
    if (now_us(context) - start >= timeout_us) {
      return {CHIP_TIMEOUT, 0};
    }
    sleep_us(context, interval_us);
  }
}

}  // namespace

extern "C" chip_status chip_field_poll32(const chip_field32 *field, uint32_t expected,
                                         uint32_t interval_us, uint32_t timeout_us,
                                         const chip_poll_clock *clock, uint32_t *last) {
  return poll<uint32_t>(field, expected, interval_us, timeout_us, clock, last);
}

extern "C" chip_status chip_field_poll16(const chip_field16 *field, uint16_t expected,
                                         uint32_t interval_us, uint32_t timeout_us,
                                         const chip_poll_clock *clock, uint16_t *last) {
  return poll<uint16_t>(field, expected, interval_us, timeout_us, clock, last);
}
