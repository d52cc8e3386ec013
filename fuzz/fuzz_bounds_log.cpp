// SPDX-License-Identifier: Apache-2.0
// Fuzzes the bounds-checked functions (memset_s, memcpy_s, strncpy_s,
// sprintf_s, vsnprintf_s) and the log output (hdk_debug, hdk_log_to_file,
// hdk_file_name_cut) against a model of their capacity and length rules, of
// their refusals (null pointers, zero and oversized capacities, overlap) and
// of the texts they produce. Every destination is a heap block of exactly
// its capacity and four canary bytes: AddressSanitizer catches a write past
// the block, the canaries any write past the capacity inside it. Fuzzer data
// only ever goes in as %s arguments or as plain bytes, never as a format.
//
// Input: the operation, the capacity, the count, a byte of options, a
// number, then the text or source bytes; for the log, the device, the
// level, a byte of options, the name and the text.
#include <chip_util/bounds.h>

#include <cerrno>

#include "fuzz_support.hpp"

// Capacities and counts: mostly small, sometimes the refused range.
static size_t pick_size(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  return pick < 0xF0 ? pick % 80u : CHIP_BOUNDS_MAX_CAPACITY + 1u + pick;  // a negative number as size_t
}

static int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int rc = vsnprintf_s(dest, capacity, max_count, format, args);
  va_end(args);
  return rc;
}

static void check_bounds(uint8_t op, fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const size_t count = pick_size(in);
  const uint8_t options = in.u8();
  const uint32_t number = in.u32();
  const std::string bytes = in.bytes(in.u16() % 700u);
  const std::string text = bytes.c_str();  // up to its first NUL
  // Now and then a null destination, which every call refuses, or a null
  // source or format (an empty source vector may hold no block at all, and
  // so be null too). A refused capacity (0, or a negative number as
  // size_t) or destination gets the canaries only, which the call must
  // leave alone; any other refusal clears the destination (memcpy_s all of
  // it, the others dest[0]).
  const bool null_dest = options >= 0xF0;
  const bool null_src = (options & 0xF0) == 0xE0;
  const bool usable = !null_dest && capacity != 0 && capacity <= CHIP_BOUNDS_MAX_CAPACITY;
  const size_t room = usable ? capacity : 0;
  std::vector<char> dest(room + 4, '\xEE');
  std::vector<char> want = dest;
  char *const d = null_dest ? nullptr : dest.data();
  std::string written;  // what a usable destination starts with afterwards
  int rc = 0;
  int want_rc = 0;
  if (op == 0) {  // A count above the capacity fills the whole capacity, and is refused.
    rc = memset_s(d, capacity, number, count);
    written.assign(std::min(count, room), static_cast<char>(number));
    want_rc = count > capacity ? ERANGE : 0;
  } else if (op == 1) {
    // The source holds exactly `count` bytes (a few when count is absurd),
    // or lies inside the destination, overlapping the copied range.
    std::vector<char> src(count > 4096 ? 4u : count);
    std::copy_n(bytes.begin(), std::min(src.size(), bytes.size()), src.begin());
    const bool overlap = usable && (options & 7u) == 0;
    const char *from = null_src  ? nullptr
                       : overlap ? dest.data() + number % std::min(count == 0 ? capacity : count, capacity)
                                 : src.data();
    want_rc = from == nullptr ? EINVAL : count > capacity ? ERANGE : overlap && count != 0 ? EINVAL : 0;
    written = want_rc != 0 ? std::string(room, '\0') : std::string(from, std::min(count, room));
    rc = memcpy_s(d, capacity, from, count);
  } else if (op == 2) {
    // The source ends at its NUL, or (unterminated) after exactly `count`
    // bytes when that comes first: it may be read that far and no further.
    std::vector<char> src((options & 1u) != 0 ? text.size() + 1 : std::min(text.size() + 1, count));
    std::copy_n(text.c_str(), src.size(), src.begin());
    const char *from = null_src ? nullptr : src.data();
    rc = strncpy_s(d, capacity, from, count);
    const size_t length = std::min(text.size(), count);
    want_rc = from == nullptr ? EINVAL : count <= CHIP_BOUNDS_MAX_CAPACITY && length < capacity ? 0 : ERANGE;
    written = want_rc == 0 ? text.substr(0, length) + '\0' : std::string(1, '\0');
  } else {
    // What "%s|%u" formats to, built by hand. sprintf_s writes it whole, or
    // refuses with dest[0] cleared (the rest is the cut text). vsnprintf_s
    // (max_count usually capacity - 1, as the library passes it) refuses a
    // max_count not below the capacity, clearing dest[0], and cuts a longer
    // text there, terminated, with -1.
    const std::string formatted = text + "|" + std::to_string(number);
    const size_t max_count = op == 3 || (options & 3u) != 0 ? capacity - 1 : count;
    const char *format = null_src ? nullptr : "%s|%u";
    rc = op == 3 ? sprintf_s(d, capacity, format, text.c_str(), number)
                 : call_vsnprintf_s(d, capacity, max_count, format, text.c_str(), number);
    const bool cut = formatted.size() > max_count;
    const bool refused = null_src || max_count >= capacity;
    written = refused ? std::string(1, '\0') : formatted.substr(0, max_count) + '\0';
    if (op == 3 && cut) written[0] = '\0';
    want_rc = !refused && !cut ? static_cast<int>(formatted.size()) : -1;
  }
  if (usable)
    std::copy(written.begin(), written.end(), want.begin());
  else
    want_rc = op > 2 ? -1 : null_dest || capacity == 0 ? EINVAL : ERANGE;
  FUZZ_CHECK(rc == want_rc && dest == want);
}

// hdk_log_to_file's output function, which must get the caller's context.
static int keep_line(FILE *context, const char *format, ...) {
  FUZZ_CHECK(context == reinterpret_cast<FILE *>(&fuzz::printed));
  va_list args;
  va_start(args, format);
  fuzz::keep_printed(format, args);
  va_end(args);
  return 0;
}

static void check_log(fuzz::Input &in) {
  const uint32_t dev = (in.u8() & 1u) != 0 ? in.u32() : in.u8();
  const uint32_t drawn_level = in.u32();
  const uint8_t options = in.u8();
  const auto name_block = fuzz::c_string(in.bytes(in.u8() * 2u));      // up to past the 511 limit
  const auto text_block = fuzz::c_string(in.bytes(in.u16() % 600u));  // around the limits
  const std::string text(text_block.data());
  const char *name = (options & 0x0Fu) == 0 ? nullptr : name_block.data();
  g_hdk_printf_func = (options & 0x30u) != 0x30u ? fuzz::keeping_print : nullptr;

  // Printed whole when a low bit of the level is set and it fits in 512
  // characters; otherwise nothing at all. The drawn level, then every kind
  // of level.
  const std::string message = "\r\n" + text + "(" + std::to_string(dev) + ")";
  for (const uint32_t level : {drawn_level, 0u, 4u, 8u, 1u, 2u, 3u, 5u, 0xFFFFFFFFu}) {
    fuzz::printed.clear();
    hdk_debug(dev, level, "\r\n%s(%u)", text_block.data(), dev);
    const bool shown = (level & 3u) != 0 && g_hdk_printf_func != nullptr && message.size() <= 512;
    FUZZ_CHECK(hdk_log_level_check(dev, level) == static_cast<int32_t>(level & 3u) &&
               fuzz::printed == std::vector<std::string>(shown ? 1 : 0, message));
  }

  // "[name dev=N] " and the message, 511 characters at most, or nothing.
  fuzz::printed.clear();
  hdk_log_to_file(dev, reinterpret_cast<FILE *>(&fuzz::printed), keep_line, name, "%s", text_block.data());
  const std::string line =
      "[" + std::string(name != nullptr ? name : "(null)") + " dev=" + std::to_string(dev) + "] " + text;
  FUZZ_CHECK(fuzz::printed == std::vector<std::string>(line.size() <= 511 ? 1 : 0, line));

  // Past the last separator; npos + 1 is 0, the whole text. A null path
  // reads "<null>".
  const size_t slash = text.find_last_of("/\\");
  FUZZ_CHECK(hdk_file_name_cut(text_block.data()) == text_block.data() + (slash + 1) &&
             std::string(hdk_file_name_cut(nullptr)) == "<null>");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t op = in.u8() % 6u;
  op < 5 ? check_bounds(op, in) : check_log(in);
  return 0;
}
