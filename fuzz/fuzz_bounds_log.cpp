// Fuzzes the bounds-checked functions (memset_s, memcpy_s, strncpy_s,
// sprintf_s, vsnprintf_s) and the log output (hdk_debug, hdk_log_to_file,
// hdk_file_name_cut) against a model of their capacity and length rules and
// of the texts they produce. Every destination is a heap block of exactly
// its capacity and four canary bytes: AddressSanitizer catches a write past
// the block, the canaries any write past the capacity inside it. Fuzzer data
// only ever goes in as %s arguments or as plain bytes, never as a format.
//
// Input: the operation, the capacity, the count, a byte of options, a
// number, then the text or source bytes.
#include <chip_util/bounds.h>

#include <cerrno>
#include <memory>

#include "fuzz_support.hpp"

namespace {

// Capacities and counts: mostly small, sometimes 0 or the refused range.
size_t pick_size(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  if (pick < 0xF0) return pick % 80u;
  if (pick < 0xF8) return 512u + in.u16() % 600u;
  return CHIP_BOUNDS_MAX_CAPACITY + 1u + in.u8();  // a negative number as size_t
}

// The first n bytes of `text` (zero-padded) in a heap block of exactly n.
std::unique_ptr<char[]> source(const std::string &text, size_t n) {
  std::unique_ptr<char[]> block(new char[n]());
  std::copy_n(text.begin(), std::min(n, text.size()), block.get());
  return block;
}

[[gnu::format(printf, 4, 5)]] int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count,
                                                   const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int rc = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return rc;
}

void check_bounds(uint8_t op, fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const size_t count = pick_size(in);
  const uint8_t options = in.u8();
  const uint32_t number = in.u32();
  const std::string bytes = in.bytes(in.u16() % 700u);
  const std::string text = bytes.c_str();  // up to its first NUL
  // A refused capacity (0, or a negative number as size_t) gets the
  // canaries only, which the call must leave alone; memset_s, memcpy_s and
  // strncpy_s answer it with these.
  const bool usable = capacity != 0 && capacity <= CHIP_BOUNDS_MAX_CAPACITY;
  const int capacity_error = capacity == 0 ? EINVAL : ERANGE;
  std::vector<char> dest((usable ? capacity : 0) + 4, '\xEE');
  std::vector<char> want = dest;
  const auto put = [&want, usable](const std::string &s) {
    if (usable) std::copy(s.begin(), s.end(), want.begin());
  };
  int rc = 0;
  int want_rc = 0;
  if (op == 0) {  // A count above the capacity fills the whole capacity, and is refused.
    rc = memset_s(dest.data(), capacity, number, count);
    put(std::string(usable ? std::min(count, capacity) : 0, static_cast<char>(number)));
    want_rc = !usable ? capacity_error : count > capacity ? ERANGE : 0;
  } else if (op == 1) {
    // The source holds exactly `count` bytes (a few when count is absurd),
    // or lies inside the destination, overlapping the copied range. A
    // refused copy clears the destination.
    const auto src = source(bytes, count > 4096 ? 4u : count);
    const bool overlap = usable && (options & 7u) == 0;
    const size_t reach = std::min(count == 0 ? capacity : count, capacity);
    const char *from = overlap ? dest.data() + number % reach : src.get();
    const bool refused = usable && (count > capacity || (overlap && count != 0));
    put(refused ? std::string(capacity, '\0') : std::string(from, usable ? count : 0));
    want_rc = !usable ? capacity_error : count > capacity ? ERANGE : refused ? EINVAL : 0;
    rc = memcpy_s(dest.data(), capacity, from, count);
  } else if (op == 2) {
    // The source ends at its NUL, or (unterminated) after exactly `count`
    // bytes when that comes first: it may be read that far and no further.
    const auto src =
        source(text, (options & 1u) != 0 ? text.size() + 1 : std::min(text.size() + 1, count));
    rc = strncpy_s(dest.data(), capacity, src.get(), count);
    // Without room for the copy and its terminator only dest[0] is cleared.
    const size_t length = std::min(text.size(), count);
    const bool fits = count <= CHIP_BOUNDS_MAX_CAPACITY && length < capacity;
    put(fits ? text.substr(0, length) + '\0' : std::string(1, '\0'));
    want_rc = !usable ? capacity_error : fits ? 0 : ERANGE;
  } else {
    // What "%s|%u" formats to, built by hand. sprintf_s writes it whole, or
    // refuses with dest[0] cleared (the rest is the cut text). vsnprintf_s
    // (max_count usually capacity - 1, as the library passes it) refuses a
    // max_count not below the capacity, clearing dest[0], and cuts a longer
    // text there, terminated, with -1.
    const std::string formatted = text + "|" + std::to_string(number);
    const auto length = static_cast<int>(formatted.size());
    const size_t max_count = op == 3                         ? capacity - 1
                             : (options & 3u) != 0 && usable ? capacity - 1
                                                             : count;
    rc = op == 3
             ? sprintf_s(dest.data(), capacity, "%s|%u", text.c_str(), number)
             : call_vsnprintf_s(dest.data(), capacity, max_count, "%s|%u", text.c_str(), number);
    const bool cut = formatted.size() > max_count;
    put(max_count >= capacity ? std::string(1, '\0') : formatted.substr(0, max_count) + '\0');
    if (op == 3 && cut) put(std::string(1, '\0'));
    want_rc = usable && max_count < capacity && !cut ? length : -1;
  }
  FUZZ_CHECK(rc == want_rc && dest == want);
}

char g_context;  // what hdk_log_to_file must hand its output function

int keep_line(FILE *context, const char *format, ...) {
  FUZZ_CHECK(context == reinterpret_cast<FILE *>(&g_context));
  va_list args;
  va_start(args, format);
  fuzz::keep_printed(format, args);
  va_end(args);
  return 0;
}

void check_log(fuzz::Input &in) {
  const uint32_t dev = (in.u8() & 1u) != 0 ? in.u32() : in.u8();
  const uint32_t level = in.u32();
  const uint8_t options = in.u8();
  const auto name_block = fuzz::c_string(in.bytes(in.u8() % 40u));
  const auto text_block = fuzz::c_string(in.bytes(in.u16() % 600u));  // around the limits
  const std::string text(text_block.data());
  const char *name = (options & 0x0Fu) == 0 ? nullptr : name_block.data();
  const bool printing = (options & 0x30u) != 0x30u;
  FUZZ_CHECK(hdk_log_level_check(dev, level) == static_cast<int32_t>(level & 3u));

  // Printed whole when a low bit of the level is set and it fits in 512
  // characters; otherwise nothing at all.
  fuzz::printed.clear();
  g_hdk_printf_func = printing ? fuzz::keeping_print : nullptr;
  hdk_debug(dev, level, "\r\n%s(%u, 0x%x) error code 0x%x.", text_block.data(), dev, dev, level);
  char tail[64];
  std::snprintf(tail, sizeof tail, "(%u, 0x%x) error code 0x%x.", dev, dev, level);
  const std::string message = "\r\n" + text + tail;
  const bool shown = (level & 3u) != 0 && printing && message.size() <= 512;
  FUZZ_CHECK(fuzz::printed == std::vector<std::string>(shown ? 1 : 0, message));

  // "[name dev=N] " and the message, 511 characters at most, or nothing.
  fuzz::printed.clear();
  hdk_log_to_file(dev, reinterpret_cast<FILE *>(&g_context), keep_line, name, "%s",
                  text_block.data());
  const std::string line = "[" + std::string(name != nullptr ? name : "(null)") +
                           " dev=" + std::to_string(dev) + "] " + text;
  FUZZ_CHECK(fuzz::printed == std::vector<std::string>(line.size() <= 511 ? 1 : 0, line));

  // Past the last separator; npos + 1 is 0, the whole text.
  const size_t slash = text.find_last_of("/\\");
  FUZZ_CHECK(hdk_file_name_cut(text_block.data()) == text_block.data() + (slash + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t op = in.u8() % 6u;
  op < 5 ? check_bounds(op, in) : check_log(in);
  return 0;
}
