// SPDX-License-Identifier: Apache-2.0
// The arithmetic of the clocks and waits, free of any platform call.
#pragma once

#include <chip_util/osal.h>

#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace osal {

constexpr uint32_t kNanosPerSecond = 1000000000u;

// Seconds taken as 32 bits, times a million in 64 bits, plus whole
// microseconds of the nanoseconds.
constexpr uint64_t monotonic_usecs(const timespec &t) {
  return static_cast<uint64_t>(static_cast<uint32_t>(t.tv_sec)) * 1000000u +
         static_cast<uint64_t>(t.tv_nsec) / 1000u;
}

constexpr int64_t wall_clock_ms(const timeval &t) {
  return static_cast<int64_t>(t.tv_sec) * 1000 + static_cast<int64_t>(t.tv_usec) / 1000;
}

// A wait of `count` units, `units_per_second` of which make a second and
// each of which lasts `nanos_per_unit` nanoseconds, as a sleep request.
constexpr timespec split_delay(uint32_t count, uint32_t units_per_second, uint32_t nanos_per_unit) {
  timespec request{};
  request.tv_sec = static_cast<time_t>(count / units_per_second);
  request.tv_nsec = static_cast<long>(count % units_per_second) * static_cast<long>(nanos_per_unit);
  return request;
}

constexpr timespec split_ns(uint32_t ns) { return split_delay(ns, kNanosPerSecond, 1); }
constexpr timespec split_us(uint32_t us) { return split_delay(us, 1000000u, 1000u); }
constexpr timespec split_ms(uint32_t ms) { return split_delay(ms, 1000u, 1000000u); }

constexpr size_t kDateTimeBytes = 7;
static_assert(offsetof(osal_date_time, second) + 1 == kDateTimeBytes);
static_assert(offsetof(osal_date_time, month) == 2);

// Each 8-bit field keeps the low 8 bits of its value.
constexpr osal_date_time date_time_of(const struct tm &t) {
  osal_date_time d{};
  d.year = static_cast<uint16_t>(t.tm_year + 1900);
  d.month = static_cast<uint8_t>(t.tm_mon + 1);
  d.day = static_cast<uint8_t>(t.tm_mday);
  d.hour = static_cast<uint8_t>(t.tm_hour);
  d.minute = static_cast<uint8_t>(t.tm_min);
  d.second = static_cast<uint8_t>(t.tm_sec);
  return d;
}

}  // namespace osal
