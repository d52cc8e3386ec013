// Fuzzes the J0/J1 trace codec with the bytes a line can deliver:
//   - drv_decode_j0j1_rx_msg on an arbitrary 64-byte received pattern, with
//     a text buffer of a fuzzed capacity, checked against a reference
//     classifier (16-byte marker frame, CR LF frame, uniform byte, none);
//   - the two aligners on arbitrary frames of a period of 1 to 64 bytes, in
//     heap buffers of exactly that size, out of place and in place;
//   - the transmit side and the round trip decode(rotate(assemble(encode)))
//     for both frame sizes, plus the uniform one-byte trace.
// Every buffer handed to the codec is a heap block of exactly the size the
// call may touch, so AddressSanitizer reports any overrun.
//
// Input: byte 0 picks the decode capacity, byte 1 the aligner period,
// byte 2 the rotation, then a 64-byte pattern and a 62-byte text (missing
// bytes read as 0).
#include <chip_util/j0j1.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.hpp"

namespace {

constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;
constexpr size_t kPattern = DRV_J0J1_PATTERN_BYTES;

using Bytes = std::unique_ptr<uint8_t[]>;

Bytes heap_copy(const uint8_t *src, size_t n) {
  Bytes out(new uint8_t[n]);
  if (n != 0) std::memcpy(out.get(), src, n);
  return out;
}

Bytes heap_filled(size_t n, uint8_t value) {
  Bytes out(new uint8_t[n]);
  if (n != 0) std::memset(out.get(), value, n);
  return out;
}

// CRC-7 of the 16-byte frame, generator x^7 + x^3 + 1, one bit at a time,
// with bits 6-0 of byte 0 taken as 0.
uint8_t reference_crc7(const uint8_t *frame) {
  uint8_t crc = 0;
  for (size_t i = 0; i < 16; ++i) {
    const uint8_t byte = i == 0 ? static_cast<uint8_t>(frame[0] & 0x80u) : frame[i];
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = (((crc >> 6) ^ (byte >> bit)) & 1u) != 0;
      crc = static_cast<uint8_t>((crc << 1) & 0x7Fu);
      if (feedback) crc ^= 0x09u;
    }
  }
  return crc;
}

struct Decoded {
  uint32_t trace_len = 0;
  uint8_t text[kPattern] = {};
};

// The classification, in the decoder's order of tests.
Decoded reference_decode(const uint8_t *rx) {
  Decoded out;
  size_t markers = 0;
  size_t marker = 0;
  for (size_t i = 0; i < 16; ++i) {
    if ((rx[i] & 0x80u) != 0) {
      ++markers;
      marker = i;
    }
  }
  if (markers == 1) {
    out.trace_len = 16;
    for (size_t i = 0; i < 15; ++i) out.text[i] = rx[(marker + 1 + i) % 16];
    return out;
  }
  size_t crs = 0;
  size_t cr = 0;
  for (size_t i = 0; i < kPattern; ++i) {
    if (rx[i] == kCr) {
      ++crs;
      cr = i;
    }
  }
  if (crs == 1 && rx[(cr + 1) % kPattern] == kLf) {
    out.trace_len = 64;
    for (size_t i = 0; i < 62; ++i) out.text[i] = rx[(cr + 2 + i) % kPattern];
    return out;
  }
  bool uniform = true;
  for (size_t i = 1; i < kPattern; ++i) uniform = uniform && rx[i] == rx[0];
  if (uniform) {
    out.trace_len = 1;
    out.text[0] = rx[0];
  }
  return out;
}

void check_decode(const uint8_t *pattern, uint32_t capacity) {
  const Bytes rx = heap_copy(pattern, kPattern);
  const Decoded expected = reference_decode(rx.get());
  const Bytes text = heap_filled(capacity, 0xEE);
  uint32_t trace_len = 0xFFFFu;
  const int32_t result = drv_decode_j0j1_rx_msg(rx.get(), &trace_len, text.get(), capacity);
  FUZZ_CHECK(std::memcmp(rx.get(), pattern, kPattern) == 0);
  FUZZ_CHECK(trace_len == expected.trace_len);
  if (capacity >= kPattern) {
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(std::memcmp(text.get(), expected.text, kPattern) == 0);
    for (size_t i = kPattern; i < capacity; ++i) FUZZ_CHECK(text[i] == 0xEE);
  } else {
    // A refused copy leaves the caller's capacity cleared.
    FUZZ_CHECK(result == -1);
    for (size_t i = 0; i < capacity; ++i) FUZZ_CHECK(text[i] == 0);
  }
}

using Aligner = int32_t (*)(uint32_t, const uint8_t *, uint8_t *);

// Runs an aligner out of place and in place on an exact-size frame and
// compares both with the expected rotation (-1: refused, dest untouched).
void check_aligner(Aligner align, const uint8_t *frame, size_t n, long rotation_start) {
  const Bytes src = heap_copy(frame, n);
  const Bytes dest = heap_filled(n, 0xEE);
  const int32_t result = align(static_cast<uint32_t>(n), src.get(), dest.get());
  FUZZ_CHECK(std::memcmp(src.get(), frame, n) == 0);
  const Bytes in_place = heap_copy(frame, n);
  const int32_t in_place_result = align(static_cast<uint32_t>(n), in_place.get(), in_place.get());
  FUZZ_CHECK(in_place_result == result);
  if (rotation_start < 0) {
    FUZZ_CHECK(result == -1);
    for (size_t i = 0; i < n; ++i) FUZZ_CHECK(dest[i] == 0xEE && in_place[i] == frame[i]);
    return;
  }
  FUZZ_CHECK(result == 0);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t want = frame[(static_cast<size_t>(rotation_start) + i) % n];
    FUZZ_CHECK(dest[i] == want && in_place[i] == want);
  }
}

void check_aligners(const uint8_t *frame, size_t n) {
  long marker_start = -1;
  size_t markers = 0;
  long cr_start = -1;
  size_t crs = 0;
  for (size_t i = 0; i < n; ++i) {
    if ((frame[i] & 0x80u) != 0 && markers++ == 0) marker_start = static_cast<long>((i + 1) % n);
    if (frame[i] == kCr && crs++ == 0) cr_start = static_cast<long>((i + 2) % n);
  }
  if (markers != 1) marker_start = -1;
  if (crs != 1 || frame[(static_cast<size_t>(cr_start) + n - 1) % n] != kLf) cr_start = -1;
  check_aligner(drv_decode_16byte_j0j1_rx_msg, frame, n, marker_start);
  check_aligner(drv_decode_64byte_j0j1_rx_msg, frame, n, cr_start);
}

// Encodes, assembles, rotates by `rotation` bytes and decodes `text` of
// `chars` characters; the decoded text must be the original.
void round_trip(uint32_t trace_len, const uint8_t *text, size_t chars, size_t rotation) {
  const Bytes text_block = heap_copy(text, chars);
  const Bytes frame = heap_filled(trace_len, 0xEE);
  FUZZ_CHECK(drv_encode_j0j1_tx_msg(trace_len, text_block.get(), frame.get()) == 0);
  if (trace_len == DRV_J0J1_LEN_16) {
    FUZZ_CHECK(frame[0] == (0x80u | reference_crc7(frame.get())));
    FUZZ_CHECK(std::memcmp(frame.get() + 1, text, chars) == 0);
  } else {
    FUZZ_CHECK(std::memcmp(frame.get(), text, chars) == 0);
    FUZZ_CHECK(frame[62] == kCr && frame[63] == kLf);
  }
  const Bytes pattern = heap_filled(kPattern, 0xEE);
  FUZZ_CHECK(drv_assemble_j0j1_msg(trace_len, frame.get(), pattern.get()) == 0);
  for (size_t i = 0; i < kPattern; ++i) FUZZ_CHECK(pattern[i] == frame[i % trace_len]);

  const Bytes rx = heap_filled(kPattern, 0);
  for (size_t i = 0; i < kPattern; ++i) rx[i] = pattern[(rotation + i) % kPattern];
  const Bytes decoded = heap_filled(kPattern, 0xEE);
  uint32_t decoded_len = 0;
  FUZZ_CHECK(drv_decode_j0j1_rx_msg(rx.get(), &decoded_len, decoded.get(), kPattern) == 0);
  FUZZ_CHECK(decoded_len == trace_len);
  FUZZ_CHECK(std::memcmp(decoded.get(), text, chars) == 0);
  for (size_t i = chars; i < kPattern; ++i) FUZZ_CHECK(decoded[i] == 0);
}

void check_transmit(const uint8_t *raw, size_t rotation) {
  // Precondition of the 16-byte round trip: characters with bit 7 clear,
  // so that the marker is the one byte with bit 7 set in every 16-byte
  // window of the pattern.
  uint8_t text16[DRV_J0J1_TEXT16_CHARS];
  for (size_t i = 0; i < sizeof text16; ++i) text16[i] = static_cast<uint8_t>(raw[i] & 0x7Fu);
  round_trip(DRV_J0J1_LEN_16, text16, sizeof text16, rotation);

  // Preconditions of the 64-byte round trip: no CR among the characters
  // (the frame's own CR must be the only one), and no single byte with bit
  // 7 set among the first 16 received bytes, which the decoder would take
  // for a 16-byte frame's marker. Bytes of that window are the text bytes
  // (rotation + i) mod 64 below 62; where exactly one has bit 7 set, that
  // bit is cleared (and a 0x8D so made a CR becomes 0x0E instead).
  uint8_t text64[DRV_J0J1_TEXT64_CHARS];
  for (size_t i = 0; i < sizeof text64; ++i) {
    text64[i] = raw[i] == kCr ? static_cast<uint8_t>(kCr + 1) : raw[i];
  }
  size_t window_markers = 0;
  size_t window_marker = 0;
  for (size_t i = 0; i < 16; ++i) {
    const size_t at = (rotation + i) % kPattern;
    if (at < sizeof text64 && (text64[at] & 0x80u) != 0) {
      ++window_markers;
      window_marker = at;
    }
  }
  if (window_markers == 1) {
    text64[window_marker] &= 0x7Fu;
    if (text64[window_marker] == kCr) text64[window_marker] = kCr + 1;  // 0x8D
  }
  round_trip(DRV_J0J1_LEN_64, text64, sizeof text64, rotation);

  // A one-byte trace decodes as itself whatever the byte: a repeated
  // marker or CR is never a single one.
  const Bytes one = heap_copy(raw, 1);
  const Bytes pattern = heap_filled(kPattern, 0xEE);
  FUZZ_CHECK(drv_assemble_j0j1_msg(DRV_J0J1_LEN_BYTE, one.get(), pattern.get()) == 0);
  const Decoded decoded = reference_decode(pattern.get());
  FUZZ_CHECK(decoded.trace_len == 1 && decoded.text[0] == raw[0]);
  check_decode(pattern.get(), kPattern);

  FUZZ_CHECK(drv_assemble_j0j1_msg(DRV_J0J1_LEN_NONE, nullptr, pattern.get()) == 0);
  for (size_t i = 0; i < kPattern; ++i) FUZZ_CHECK(pattern[i] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t capacity_pick = in.u8();
  const size_t period = 1u + in.u8() % kPattern;
  const size_t rotation = in.u8() % kPattern;
  uint8_t pattern[kPattern] = {};
  const std::string pattern_bytes = in.bytes(kPattern);
  std::memcpy(pattern, pattern_bytes.data(), pattern_bytes.size());
  uint8_t text[DRV_J0J1_TEXT64_CHARS] = {};
  const std::string text_bytes = in.bytes(sizeof text);
  std::memcpy(text, text_bytes.data(), text_bytes.size());

  // Mostly the full 64 bytes; sometimes short (refused) or roomier.
  const uint32_t capacity = capacity_pick < 0xC0 ? 64u : capacity_pick - 0xC0u + 40u;
  check_decode(pattern, capacity);
  check_aligners(pattern, period);
  check_transmit(text, rotation);
  return 0;
}
