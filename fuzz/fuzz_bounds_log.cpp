// Fuzzes the bounds-checked functions (memset_s, memcpy_s, strncpy_s,
// sprintf_s, vsnprintf_s) and the log output (hdk_debug, hdk_log_to_file,
// hdk_file_name_cut) against a model of their capacity and length rules and
// of the texts they produce. Every destination is a heap block of exactly
// its capacity between guard entries: AddressSanitizer catches a write past
// the block, the guards any write past the capacity inside it. Fuzzer data
// only ever goes in as %s arguments or as plain bytes, never as a format.
//
// Input: byte 0 selects the operation, the next bytes its numbers, the
// rest is the text or source bytes.
#include <chip_util/bounds.h>
#include <chip_util/log.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.hpp"

namespace {

constexpr char kFill = '\xEE';

// Capacities and counts: mostly small, sometimes 0 or the refused range.
size_t pick_size(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  if (pick < 0xF0) return pick % 80u;
  if (pick < 0xF8) return 512u + in.u16() % 600u;
  return CHIP_BOUNDS_MAX_CAPACITY + 1u + in.u8();  // a negative number as size_t
}

// A call's destination, all kFill, and what it must hold afterwards. A
// refused capacity (0, or a negative number as size_t) gets a real block of
// a few bytes instead, which the call must leave alone.
struct Target {
  explicit Target(size_t size)
      : capacity(size),
        refused(size == 0 || size > CHIP_BOUNDS_MAX_CAPACITY),
        dest(refused ? 4u : size, kFill, '\xA7'),
        want(dest.size(), kFill) {}
  // What memset_s, memcpy_s and strncpy_s return for a refused capacity.
  int capacity_error() const { return capacity == 0 ? EINVAL : ERANGE; }
  // `text` written at the start of the model's destination.
  void put(const std::string &text) { want.replace(0, text.size(), text); }
  // The call returned `want_rc` and changed the destination into `want`,
  // and nothing around it.
  bool holds(int rc, int want_rc) {
    return rc == want_rc && dest.intact() &&
           std::memcmp(dest.data(), want.data(), want.size()) == 0;
  }

  size_t capacity;
  bool refused;
  fuzz::Guarded<char> dest;
  std::string want;
};

void check_memset(fuzz::Input &in) {
  Target t(pick_size(in));
  const size_t count = pick_size(in);
  const int value = static_cast<int>(in.u32());
  const int rc = memset_s(t.dest.data(), t.capacity, value, count);
  if (t.refused) {
    FUZZ_CHECK(t.holds(rc, t.capacity_error()));
    return;
  }
  // A count above the capacity fills the whole capacity, and is refused.
  t.put(std::string(std::min(count, t.capacity), static_cast<char>(value)));
  FUZZ_CHECK(t.holds(rc, count > t.capacity ? ERANGE : 0));
}

void check_memcpy(fuzz::Input &in) {
  Target t(pick_size(in));
  const size_t count = pick_size(in);
  const bool overlapping = (in.u8() & 7u) == 0 && !t.refused;
  // The source holds exactly `count` bytes (a few when count is absurd), or
  // lies inside the destination less than `count` bytes in (anywhere when
  // nothing is copied), overlapping the copied range.
  const size_t src_size = count > 4096 ? 4u : count;
  const std::string bytes = in.bytes(src_size);
  const std::unique_ptr<char[]> src(new char[src_size]());
  std::copy(bytes.begin(), bytes.end(), src.get());
  const size_t reach = std::min(count == 0 ? t.capacity : count, t.capacity);
  const char *from = overlapping ? t.dest.data() + in.u8() % reach : src.get();
  int want_rc = t.capacity_error();
  if (!t.refused && (count > t.capacity || (overlapping && count != 0))) {
    want_rc = count > t.capacity ? ERANGE : EINVAL;
    t.want.assign(t.capacity, '\0');  // a refused copy clears the destination
  } else if (!t.refused) {
    want_rc = 0;
    t.put(std::string(from, count));
  }
  FUZZ_CHECK(t.holds(memcpy_s(t.dest.data(), t.capacity, from, count), want_rc));
}

void check_strncpy(fuzz::Input &in) {
  Target t(pick_size(in));
  const size_t count = pick_size(in);
  const bool terminated = in.flag();
  std::string text = in.bytes(in.u8());
  text.resize(std::strlen(text.c_str()));  // up to its first NUL
  // The source ends at its NUL, or (unterminated) after exactly `count`
  // bytes when that comes first: it may be read that far and no further.
  const size_t src_size = terminated ? text.size() + 1 : std::min(text.size() + 1, count);
  const std::unique_ptr<char[]> src(new char[src_size]);
  std::copy_n(text.c_str(), src_size, src.get());
  const int rc = strncpy_s(t.dest.data(), t.capacity, src.get(), count);
  if (t.refused) {
    FUZZ_CHECK(t.holds(rc, t.capacity_error()));
    return;
  }
  // Without room for the copy and its terminator only dest[0] is cleared.
  const size_t length = std::min(text.size(), count);
  const bool fits = count <= CHIP_BOUNDS_MAX_CAPACITY && length < t.capacity;
  t.put(fits ? text.substr(0, length) + '\0' : std::string(1, '\0'));
  FUZZ_CHECK(t.holds(rc, fits ? 0 : ERANGE));
}

[[gnu::format(printf, 4, 5)]] int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count,
                                                   const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int rc = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return rc;
}

void check_formatting(fuzz::Input &in) {
  Target whole(pick_size(in));
  Target cut(whole.capacity);
  const uint8_t shape = in.u8();
  const uint32_t number = in.u32();
  const auto text = fuzz::c_string(in.bytes(in.u16() % 700u));
  // max_count usually capacity - 1 as the library passes it, sometimes any.
  const size_t max_count = (shape & 3u) != 0 && !cut.refused ? cut.capacity - 1 : pick_size(in);
  const int rc = sprintf_s(whole.dest.data(), whole.capacity, "%s|%u", text.get(), number);
  const int cut_rc =
      call_vsnprintf_s(cut.dest.data(), cut.capacity, max_count, "%s|%u", text.get(), number);
  if (whole.refused) {
    FUZZ_CHECK(whole.holds(rc, -1) && cut.holds(cut_rc, -1));
    return;
  }
  // What "%s|%u" formats to, built by hand. sprintf_s writes it whole, or
  // refuses with dest[0] cleared (the rest is the cut text).
  const std::string expected = std::string(text.get()) + "|" + std::to_string(number);
  const auto length = static_cast<int>(expected.size());
  const bool fits = expected.size() < whole.capacity;
  whole.put(expected.substr(0, whole.capacity - 1) + '\0');
  if (!fits) whole.want[0] = '\0';
  FUZZ_CHECK(whole.holds(rc, fits ? length : -1));
  // vsnprintf_s refuses a max_count not below the capacity, and cuts a text
  // longer than max_count there, terminated, reporting -1.
  if (max_count >= cut.capacity) {
    cut.want[0] = '\0';
    FUZZ_CHECK(cut.holds(cut_rc, -1));
    return;
  }
  cut.put(expected.substr(0, max_count) + '\0');
  FUZZ_CHECK(cut.holds(cut_rc, expected.size() > max_count ? -1 : length));
}

// ---- Log output ---------------------------------------------------------------

// The contexts the output function was handed, one per line.
std::vector<const void *> g_contexts;

int capture_output(FILE *context, const char *format, ...) {
  g_contexts.push_back(context);
  va_list args;
  va_start(args, format);
  fuzz::keep_printed(format, args);
  va_end(args);
  return 0;
}

std::string hex(uint32_t value) {
  char digits[8];
  return std::string(digits, std::to_chars(digits, digits + 8, value, 16).ptr);
}

void check_log(fuzz::Input &in) {
  const uint32_t dev = in.flag() ? in.u32() : in.u8();
  const uint32_t level = in.u32();
  const uint8_t shape = in.u8();
  const auto name_block = fuzz::c_string(in.bytes(in.u8() % 40u));
  // Texts around the limits: up to 600 bytes.
  const auto text_block = fuzz::c_string(in.bytes(in.u16() % 600u));
  const std::string text(text_block.get());
  const char *name = (shape & 0x0Fu) == 0 ? nullptr : name_block.get();
  const bool printing = (shape & 0x30u) != 0x30u;
  FUZZ_CHECK(hdk_log_level_check(dev, level) == static_cast<int32_t>(level & 3u));

  // Printed whole when a low bit of the level is set and it fits in 512
  // characters; otherwise nothing at all.
  fuzz::printed.clear();
  g_hdk_printf_func = printing ? fuzz::keeping_print : nullptr;
  hdk_debug(dev, level, "\r\n%s(%u, 0x%x) error code 0x%x.", text_block.get(), dev, dev, level);
  const std::string message = "\r\n" + text + "(" + std::to_string(dev) + ", 0x" + hex(dev) +
                              ") error code 0x" + hex(level) + ".";
  const bool shown = (level & 3u) != 0 && printing && message.size() <= 512;
  FUZZ_CHECK(fuzz::printed == (shown ? std::vector<std::string>{message} : std::vector<std::string>{}));

  // "[name dev=N] " and the message, 511 characters at most, or nothing.
  fuzz::printed.clear();
  g_contexts.clear();
  hdk_log_to_file(dev, reinterpret_cast<FILE *>(&g_contexts), capture_output, name, "%s",
                  text_block.get());
  const std::string line = "[" + std::string(name != nullptr ? name : "(null)") +
                           " dev=" + std::to_string(dev) + "] " + text;
  const bool written = line.size() <= 511;
  FUZZ_CHECK(fuzz::printed == (written ? std::vector<std::string>{line} : std::vector<std::string>{}));
  FUZZ_CHECK(g_contexts == std::vector<const void *>(fuzz::printed.size(), &g_contexts));

  const char *cut = hdk_file_name_cut(text_block.get());
  const size_t slash = text.find_last_of("/\\");
  FUZZ_CHECK(cut == text_block.get() + (slash == std::string::npos ? 0 : slash + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const hdk_printf_func saved = g_hdk_printf_func;
  using Check = void (*)(fuzz::Input &);
  const Check checks[] = {check_memset, check_memcpy, check_strncpy, check_formatting, check_log};
  checks[in.u8() % 5u](in);
  g_hdk_printf_func = saved;
  return 0;
}
