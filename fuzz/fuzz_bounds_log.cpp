// Fuzzes the bounds-checked functions (memset_s, memcpy_s, strncpy_s,
// sprintf_s, vsnprintf_s) and the log formatting (hdk_debug,
// hdk_log_to_file) with random capacities, counts, lengths, levels and
// texts. Every destination is a heap block of exactly its capacity plus
// guard bytes on both sides; AddressSanitizer catches a write past the
// block, the guards any write past the capacity inside it. Results and
// destination contents are checked against the functions' contracts.
// Fuzzer data only ever goes in as %s arguments or as plain bytes, never
// as a format string.
//
// Input: byte 0 selects the operation, the next bytes its numbers, the
// rest is the text or source bytes.
#include <chip_util/bounds.h>
#include <chip_util/log.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.hpp"

namespace {

constexpr uint8_t kGuardByte = 0xA7;
constexpr uint8_t kFill = 0xEE;
constexpr size_t kGuard = 8;

// A destination of `capacity` bytes (all kFill) between guard bytes.
class Dest {
 public:
  explicit Dest(size_t capacity)
      : capacity_(capacity), block_(new uint8_t[capacity + 2 * kGuard]) {
    std::memset(block_.get(), kGuardByte, capacity + 2 * kGuard);
    std::memset(data(), kFill, capacity);
  }
  uint8_t *data() { return block_.get() + kGuard; }
  char *chars() { return reinterpret_cast<char *>(data()); }
  uint8_t operator[](size_t i) { return data()[i]; }
  bool intact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (block_[i] != kGuardByte || block_[kGuard + capacity_ + i] != kGuardByte) return false;
    }
    return true;
  }
  bool all(uint8_t value, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (data()[i] != value) return false;
    }
    return true;
  }

 private:
  size_t capacity_;
  std::unique_ptr<uint8_t[]> block_;
};

// Capacities and counts: mostly small, sometimes 0 or the refused range.
size_t pick_size(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  if (pick < 0xF0) return pick % 80u;
  if (pick < 0xF8) return 512u + in.u16() % 600u;
  return CHIP_BOUNDS_MAX_CAPACITY + 1u + in.u8();  // a negative number as size_t
}

bool refused_capacity(size_t capacity) {
  return capacity == 0 || capacity > CHIP_BOUNDS_MAX_CAPACITY;
}

// The destination a refused-capacity call gets: a real block of a few bytes
// (the call must not touch it) instead of one of the absurd capacity.
size_t real_capacity(size_t capacity) { return refused_capacity(capacity) ? 4u : capacity; }

void check_memset(fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const size_t count = pick_size(in);
  const int value = static_cast<int>(in.u32());
  Dest dest(real_capacity(capacity));
  const int rc = memset_s(dest.data(), capacity, value, count);
  const uint8_t byte = static_cast<uint8_t>(value);
  if (refused_capacity(capacity)) {
    FUZZ_CHECK(rc != 0 && dest.all(kFill, 0, real_capacity(capacity)));
  } else if (count > capacity) {
    FUZZ_CHECK(rc == ERANGE && dest.all(byte, 0, capacity));
  } else {
    FUZZ_CHECK(rc == 0 && dest.all(byte, 0, count) && dest.all(kFill, count, capacity));
  }
  FUZZ_CHECK(dest.intact());
}

void check_memcpy(fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const size_t count = pick_size(in);
  const bool overlapping = (in.u8() & 7u) == 0;
  Dest dest(real_capacity(capacity));
  // The source is exactly `count` bytes long (a few when count is absurd).
  const size_t src_size = count > 4096 ? 4u : count;
  std::vector<uint8_t> src_bytes(src_size);
  for (uint8_t &b : src_bytes) b = in.u8();
  std::unique_ptr<uint8_t[]> src(new uint8_t[src_size]);
  if (src_size != 0) std::memcpy(src.get(), src_bytes.data(), src_size);
  const uint8_t *from = src.get();
  if (overlapping && !refused_capacity(capacity)) {
    // A source inside the destination that overlaps the copied range: it
    // starts less than `count` bytes in (anywhere when nothing is copied).
    const size_t reach = count == 0 ? capacity : std::min(count, capacity);
    from = dest.data() + in.u8() % reach;
  }

  const int rc = memcpy_s(dest.data(), capacity, from, count);
  if (refused_capacity(capacity)) {
    FUZZ_CHECK(rc != 0 && dest.all(kFill, 0, real_capacity(capacity)));
  } else if (count > capacity) {
    FUZZ_CHECK(rc == ERANGE && dest.all(0, 0, capacity));
  } else if (overlapping) {
    // An overlapping copy is refused (cleared) unless there is nothing to
    // copy; a source that ends before dest starts cannot be placed here.
    FUZZ_CHECK(count == 0 ? (rc == 0 && dest.all(kFill, 0, capacity))
                          : (rc == EINVAL && dest.all(0, 0, capacity)));
  } else {
    FUZZ_CHECK(rc == 0);
    FUZZ_CHECK(count == 0 || std::memcmp(dest.data(), src_bytes.data(), count) == 0);
    FUZZ_CHECK(dest.all(kFill, count, capacity));
  }
  FUZZ_CHECK(dest.intact());
}

void check_strncpy(fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const size_t count = pick_size(in);
  const bool terminated = in.flag();
  std::string text = in.bytes(in.u8());
  text = text.substr(0, std::strlen(text.c_str()));
  // The source ends at its NUL, or (unterminated) after exactly `count`
  // bytes when that comes first: it may be read that far and no further.
  size_t src_size = text.size() + 1;
  if (!terminated && count < src_size) src_size = count;
  std::unique_ptr<char[]> src(new char[src_size]);
  if (src_size != 0) std::memcpy(src.get(), text.c_str(), src_size);
  const size_t length = std::min(text.size(), count);

  Dest dest(real_capacity(capacity));
  const int rc = strncpy_s(dest.chars(), capacity, src.get(), count);
  if (refused_capacity(capacity)) {
    FUZZ_CHECK(rc != 0 && dest.all(kFill, 0, real_capacity(capacity)));
  } else if (count > CHIP_BOUNDS_MAX_CAPACITY || length >= capacity) {
    FUZZ_CHECK(rc != 0 && dest[0] == 0 && dest.all(kFill, 1, capacity));
  } else {
    FUZZ_CHECK(rc == 0);
    FUZZ_CHECK(std::memcmp(dest.data(), text.data(), length) == 0 && dest[length] == 0);
    FUZZ_CHECK(dest.all(kFill, length + 1, capacity));
  }
  FUZZ_CHECK(dest.intact());
}

int call_vsnprintf_s(char *dest, size_t capacity, size_t max_count, const char *format, ...) {
  va_list args;
  va_start(args, format);
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
  const int rc = vsnprintf_s(dest, capacity, max_count, format, args);
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif
  va_end(args);
  return rc;
}

void check_formatting(fuzz::Input &in) {
  const size_t capacity = pick_size(in);
  const uint8_t shape = in.u8();
  const uint32_t number = in.u32();
  const auto text_block = fuzz::c_string(in.bytes(in.u16() % 700u));
  const char *text = text_block.get();

  // What "%s|%u" formats to, built by hand.
  const std::string expected = std::string(text) + "|" + std::to_string(number);
  Dest dest(real_capacity(capacity));
  int rc = sprintf_s(dest.chars(), capacity, "%s|%u", text, number);
  if (refused_capacity(capacity)) {
    FUZZ_CHECK(rc == -1 && dest.all(kFill, 0, real_capacity(capacity)));
  } else if (expected.size() >= capacity) {
    FUZZ_CHECK(rc == -1 && dest[0] == 0);
  } else {
    FUZZ_CHECK(rc == static_cast<int>(expected.size()));
    FUZZ_CHECK(std::memcmp(dest.data(), expected.c_str(), expected.size() + 1) == 0);
    FUZZ_CHECK(dest.all(kFill, expected.size() + 1, capacity));
  }
  FUZZ_CHECK(dest.intact());

  // max_count usually capacity - 1 as the library passes it, sometimes any.
  Dest dest2(real_capacity(capacity));
  const size_t max_count = (shape & 3u) != 0 && capacity != 0 ? capacity - 1 : pick_size(in);
  rc = call_vsnprintf_s(dest2.chars(), capacity, max_count, "%s|%u", text, number);
  if (refused_capacity(capacity)) {
    FUZZ_CHECK(rc == -1 && dest2.all(kFill, 0, real_capacity(capacity)));
  } else if (max_count >= capacity) {
    FUZZ_CHECK(rc == -1 && dest2[0] == 0);
  } else if (expected.size() > max_count) {
    // Cut at max_count, terminated, and reported with -1.
    FUZZ_CHECK(rc == -1);
    FUZZ_CHECK(std::memcmp(dest2.data(), expected.c_str(), max_count) == 0 && dest2[max_count] == 0);
  } else {
    FUZZ_CHECK(rc == static_cast<int>(expected.size()));
    FUZZ_CHECK(std::memcmp(dest2.data(), expected.c_str(), expected.size() + 1) == 0);
  }
  FUZZ_CHECK(dest2.intact());
}

// ---- Log output ---------------------------------------------------------------

std::vector<std::string> g_printed;
std::vector<const void *> g_contexts;

std::string format_args(const char *format, va_list args) {
  va_list copy;
  va_copy(copy, args);
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0u, '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif
  return out;
}

// Print and output functions that keep what they are handed; the format
// must be "%s", the library's pass-through.
int capture_print(const char *format, ...) {
  FUZZ_CHECK(std::strcmp(format, "%s") == 0);
  va_list args;
  va_start(args, format);
  g_printed.push_back(format_args(format, args));
  va_end(args);
  return 0;
}

int capture_output(FILE *context, const char *format, ...) {
  FUZZ_CHECK(std::strcmp(format, "%s") == 0);
  g_contexts.push_back(context);
  va_list args;
  va_start(args, format);
  g_printed.push_back(format_args(format, args));
  va_end(args);
  return 0;
}

void check_log(fuzz::Input &in) {
  const uint32_t dev = in.flag() ? in.u32() : in.u8();
  const uint32_t level = in.u32();
  const uint8_t shape = in.u8();
  const bool null_name = (shape & 0x0Fu) == 0;
  const auto name_block = fuzz::c_string(in.bytes(in.u8() % 40u));
  // Texts around the limits: up to 600 bytes.
  const auto text_block = fuzz::c_string(in.bytes(in.u16() % 600u));
  const std::string text(text_block.get());
  const char *name = null_name ? nullptr : name_block.get();

  g_printed.clear();
  g_hdk_printf_func = (shape & 0x30u) == 0x30u ? nullptr : capture_print;
  const bool printing = g_hdk_printf_func != nullptr;
  hdk_debug(dev, level, "%s", text_block.get());
  if ((level & 3u) != 0 && printing && text.size() <= 512) {
    FUZZ_CHECK(g_printed.size() == 1 && g_printed[0] == text);
  } else {
    FUZZ_CHECK(g_printed.empty());
  }

  g_printed.clear();
  g_contexts.clear();
  hdk_log_to_file(dev, reinterpret_cast<FILE *>(&g_contexts), capture_output, name, "%s",
                  text_block.get());
  const std::string line = "[" + std::string(name != nullptr ? name : "(null)") +
                           " dev=" + std::to_string(dev) + "] " + text;
  if (line.size() <= 511) {
    FUZZ_CHECK(g_printed.size() == 1 && g_printed[0] == line);
    FUZZ_CHECK(g_contexts.size() == 1 && g_contexts[0] == &g_contexts);
  } else {
    FUZZ_CHECK(g_printed.empty());
  }

  // A message with a fixed format and fuzzed arguments around it.
  g_printed.clear();
  g_hdk_printf_func = capture_print;
  hdk_debug(dev, level | 1u, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", text_block.get(), dev,
            level, dev, level, 0xFFFFFFFFu);
  FUZZ_CHECK(g_printed.size() <= 1);

  const char *cut = hdk_file_name_cut(text_block.get());
  const size_t slash = text.find_last_of("/\\");
  FUZZ_CHECK(cut == text_block.get() + (slash == std::string::npos ? 0 : slash + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const hdk_printf_func saved = g_hdk_printf_func;
  switch (in.u8() % 5u) {
    case 0: check_memset(in); break;
    case 1: check_memcpy(in); break;
    case 2: check_strncpy(in); break;
    case 3: check_formatting(in); break;
    default: check_log(in); break;
  }
  g_hdk_printf_func = saved;
  return 0;
}
