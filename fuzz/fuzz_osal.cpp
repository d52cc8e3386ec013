// SPDX-License-Identifier: Apache-2.0
// Fuzzes the OS layer against a reference model: a series of counted
// allocations and hostile releases, and waits driven through the platform
// seams instead of the real clock and sleep.
//
// Allocator: the model keeps the expected counter table and, per live
// block, the header it must hold. Releases come under the block's own
// module or a drawn one (perhaps outside the table), of live blocks whose
// tag or size a driver may have overwritten (and may restore), of blocks
// already released, of forged headers on foreign memory and of null. After
// every call the counters and every live header must match the model; a
// refused block keeps its header; a released or foreign block is never
// read (AddressSanitizer would report it). At the end every block is
// repaired and released, so nothing leaks.
//
// Waits: the sleeping waits of each unit must ask nanosleep for the count
// split into seconds and fewer than 10^9 nanoseconds, resume with exactly
// the remainder after each EINTR, stop at any other failure, and sleep in
// all exactly the requested time; the fake rejects a request the platform
// would reject. The busy wait and the timed take, on a clock that moves a
// drawn step per reading, must stop at the first reading at or past their
// time.
//
// Input: a series of operations, one byte each (low 3 bits the kind, the
// rest its options) followed by its arguments. A wait's options: bits 0-1
// the unit (3: the busy waits), bits 2-3 the EINTRs, bit 4 a failure.
#include <chip_util/osal.h>

#include <cerrno>

#include "fuzz_support.hpp"
#include "osal/platform_seam.hpp"

namespace {

constexpr uint32_t kOutside = OSAL_MODULE_COUNT;  // a module without counters
constexpr size_t kMaxOperations = 48;

struct Block {
  unsigned char *area;
  uint32_t module;
  uint32_t size;
  uint32_t header[2];  // what its header must hold now
};

struct Model {
  osal_malloc_counters counters[OSAL_MODULE_COUNT];
  std::vector<Block> live;
  std::vector<void *> released;  // never read; an address may come back
};

uint32_t header_word(const unsigned char *area, int word) {
  uint32_t value;
  std::memcpy(&value, area - OSAL_BLOCK_HEADER_SIZE + 4 * word, sizeof value);
  return value;
}

void set_header_word(unsigned char *area, int word, uint32_t value) {
  std::memcpy(area - OSAL_BLOCK_HEADER_SIZE + 4 * word, &value, sizeof value);
}

void check(const Model &model) {
  FUZZ_CHECK(std::memcmp(model.counters, g_osal_malloc_data, sizeof model.counters) == 0);
  for (const Block &b : model.live)
    FUZZ_CHECK(header_word(b.area, 0) == b.header[0] && header_word(b.area, 1) == b.header[1]);
}

// A release of `area` under `module`, as the model sees it: not a live
// block counts an error and touches nothing; a damaged tag counts an error
// and keeps the block; a tag of another module, or a size above what the
// module holds, counts an error and frees; anything else is verified.
void release(Model &model, void *area, uint32_t module) {
  osal_free_sdk(module, area);
  if (area == nullptr || module >= OSAL_MODULE_COUNT) return check(model);
  osal_malloc_counters &entry = model.counters[module];
  const auto it = std::find_if(model.live.begin(), model.live.end(),
                               [area](const Block &b) { return b.area == area; });
  if (it == model.live.end() || (it->header[0] & 0xFFFFFFu) != 0xAAAAAAu) {
    ++entry.free_error_count;
    return check(model);
  }
  if (it->header[0] >> 24 == module && entry.malloc_size >= it->header[1]) {
    entry.malloc_size -= it->header[1];
    ++entry.free_count;
  } else {
    ++entry.free_error_count;
  }
  model.released.push_back(area);
  model.live.erase(it);
  check(model);
}

void allocate(Model &model, fuzz::Input &in, uint8_t options) {
  const uint32_t module = in.u8() % (kOutside + 1);
  const uint8_t pick = in.u8();
  const uint32_t size = pick < 0xFE ? pick + 1u : pick == 0xFE ? 0u : UINT32_MAX - 7;
  const bool zero = (options & 1u) != 0;
  auto *area = static_cast<unsigned char *>(zero ? osal_malloc_zero_sdk(module, size) : osal_malloc_sdk(module, size));
  if (size == 0 || module == kOutside || size > UINT32_MAX - 8) {
    FUZZ_CHECK(area == nullptr);
    return check(model);
  }
  FUZZ_CHECK(area != nullptr);
  FUZZ_CHECK(!zero || std::all_of(area, area + size, [](unsigned char c) { return c == 0; }));
  std::erase(model.released, area);  // the heap handed the address out again
  model.counters[module].malloc_size += size;
  ++model.counters[module].malloc_count;
  model.live.push_back({area, module, size, {OSAL_BLOCK_TAG(module), size}});
  check(model);
}

// The sleep that the waits call, scripted by the input: `interrupts` EINTRs
// each after sleeping a drawn part of the request, then success or (when
// `fails`) EFAULT. A request the platform would reject gets EINVAL.
struct SleepScript {
  fuzz::Input *in;
  int interrupts;
  bool fails;
  std::vector<timespec> requests;
  int64_t slept_ns;
};
SleepScript g_sleep;

int64_t ns_of(const timespec &t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }

int scripted_sleep(const timespec *request, timespec *remaining) {
  g_sleep.requests.push_back(*request);
  if (request->tv_sec < 0 || request->tv_nsec < 0 || request->tv_nsec >= 1000000000) {
    errno = EINVAL;
    return -1;
  }
  const int64_t asked = ns_of(*request);
  if (g_sleep.interrupts > 0) {
    --g_sleep.interrupts;
    const int64_t slept = g_sleep.in->u32() % (asked + 1);
    g_sleep.slept_ns += slept;
    remaining->tv_sec = (asked - slept) / 1000000000;
    remaining->tv_nsec = (asked - slept) % 1000000000;
    errno = EINTR;
    return -1;
  }
  if (g_sleep.fails) {
    errno = EFAULT;
    return -1;
  }
  g_sleep.slept_ns += asked;
  return 0;
}

void sleep_wait(fuzz::Input &in, uint8_t options) {
  struct Unit {
    void (*wait)(uint32_t);
    uint32_t per_second;
    int64_t ns;
  };
  static constexpr Unit kUnits[] = {{osal_ns_delay, 1000000000u, 1}, {osal_usleep, 1000000u, 1000},
                                    {osal_ms_delay, 1000u, 1000000}};
  const Unit &unit = kUnits[options & 3u];
  const uint32_t count = in.u32();
  g_sleep = {&in, (options >> 2) & 3, (options & 0x10u) != 0, {}, 0};
  osal::seam::nanosleep_call = scripted_sleep;
  unit.wait(count);
  osal::seam::nanosleep_call = &nanosleep;
  const std::vector<timespec> &asked = g_sleep.requests;
  FUZZ_CHECK(!asked.empty() && asked[0].tv_sec == count / unit.per_second &&
             asked[0].tv_nsec == (count % unit.per_second) * unit.ns);
  // Each resumed request is the remainder of the one before; a failure
  // other than EINTR ends the wait. Asleep the whole time unless one did.
  FUZZ_CHECK(g_sleep.interrupts == 0 && asked.size() == size_t((options >> 2) & 3) + 1);
  for (size_t i = 1; i < asked.size(); ++i) FUZZ_CHECK(ns_of(asked[i]) <= ns_of(asked[i - 1]));
  FUZZ_CHECK(g_sleep.fails || g_sleep.slept_ns == int64_t{count} * unit.ns);
}

// A monotonic clock that moves `g_step` microseconds per reading.
uint64_t g_now_us;
uint64_t g_step_us;
int g_readings;

int stepping_clock(clockid_t, timespec *now) {
  ++g_readings;
  now->tv_sec = static_cast<time_t>(g_now_us / 1000000);
  now->tv_nsec = static_cast<long>(g_now_us % 1000000 * 1000);
  g_now_us += g_step_us;
  return 0;
}

// One reading for the start, then one per check until the elapsed time
// reaches the limit: at least one check, even for a limit of 0.
void busy_waits(fuzz::Input &in) {
  const uint32_t limit = in.u16() % 4096u;
  g_step_us = 1 + in.u8();
  const int checks = static_cast<int>(std::max<uint64_t>(1, (limit + g_step_us - 1) / g_step_us));
  sem_t taken;
  FUZZ_CHECK(sem_init(&taken, 0, 0) == 0);
  osal::seam::clock_gettime_call = stepping_clock;
  g_now_us = 5000000, g_readings = 0;
  osal_udelay(limit);
  FUZZ_CHECK(g_readings == 1 + checks);
  g_now_us = 5000000, g_readings = 0;
  FUZZ_CHECK(hdk_sem_take_timeout(&taken, limit) == -1 && g_readings == 1 + checks);
  osal::seam::clock_gettime_call = &clock_gettime;
  sem_destroy(&taken);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  Model model;
  std::memcpy(model.counters, g_osal_malloc_data, sizeof model.counters);
  const auto live_index = [&](fuzz::Input &input) { return input.u8() % model.live.size(); };
  for (size_t n = 0; n < kMaxOperations && in.remaining() > 0; ++n) {
    const uint8_t op = in.u8();
    const uint8_t options = op >> 3;
    switch (op & 7u) {
      case 0:
        allocate(model, in, options);
        break;
      case 1:  // a live block under its own module, or a drawn one
        if (!model.live.empty()) {
          const Block &b = model.live[live_index(in)];
          const uint32_t module = (options & 1u) == 0 ? b.module : in.u8() % (kOutside + 1);
          release(model, b.area, module);
        }
        break;
      case 2:  // again, a block already released
        if (!model.released.empty())
          release(model, model.released[in.u8() % model.released.size()], in.u8() % (kOutside + 1));
        break;
      case 3:  // a driver overwrites the tag or the size
        if (!model.live.empty()) {
          Block &b = model.live[live_index(in)];
          const int word = options & 1;
          b.header[word] = in.u32();
          set_header_word(b.area, word, b.header[word]);
        }
        break;
      case 4:  // and restores it
        if (!model.live.empty()) {
          Block &b = model.live[live_index(in)];
          b.header[0] = OSAL_BLOCK_TAG(b.module), b.header[1] = b.size;
          set_header_word(b.area, 0, b.header[0]), set_header_word(b.area, 1, b.header[1]);
        }
        break;
      case 5: {  // memory that never came from the allocator, forged header or not
        std::vector<uint32_t> foreign = {in.u32(), in.u32(), 0xEEEEEEEEu};
        const std::vector<uint32_t> before = foreign;
        release(model, foreign.data() + 2, in.u8() % (kOutside + 1));
        FUZZ_CHECK(foreign == before);
        break;
      }
      case 6:
        release(model, nullptr, in.u8() % (kOutside + 1));
        break;
      default:
        (options & 3u) == 3u ? busy_waits(in) : sleep_wait(in, options);
    }
  }
  while (!model.live.empty()) {
    Block &b = model.live.back();
    b.header[0] = OSAL_BLOCK_TAG(b.module), b.header[1] = b.size;
    set_header_word(b.area, 0, b.header[0]), set_header_word(b.area, 1, b.header[1]);
    release(model, b.area, b.module);
  }
  return 0;
}
