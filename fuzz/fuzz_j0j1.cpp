// SPDX-License-Identifier: Apache-2.0
// Fuzzes the J0/J1 trace codec against a reference classifier and a
// bit-by-bit CRC-7. Each input draws a received pattern of the kind byte 0
// picks: 0 raw bytes; 1 the transmit pattern of a 16- or 64-byte frame of raw
// characters; 2 an intact 16-byte pattern, 3 one with a marker moved; 4 an
// intact 64-byte pattern, 5 one with a second CR, 6 one with its LF missing;
// 7 a uniform pattern, perhaps with one byte changed. Frames are built with
// the encoder (a 16-byte frame carries its CRC-7) and the assembler, and
// rotated by a drawn amount. Then:
//   - the decoder, at a drawn text capacity, must match the classifier, and
//     intact patterns must decode back to their text at all 64 rotations;
//   - both aligners, out of place and in place, must match plain rotations
//     on the pattern's last bytes, as many as a drawn period; the largest
//     period puts LFs before them;
//   - the one-byte and empty traces, the refusals of null pointers, other
//     encode lengths and periods out of range, which write nothing, and
//     drv_j0j1_insert_crc7 on raw bytes against the bit-by-bit CRC-7.
// Buffers are heap blocks of exactly the size a call may touch, so that
// AddressSanitizer reports any overrun.
//
// Input: the kind, the rotation, a position (or length), the capacity, the
// period, then 64 bytes of characters (missing bytes read as 0).
#include <chip_util/j0j1.h>

#include <string_view>

#include "fuzz_support.hpp"

using Bytes = std::vector<uint8_t>;
constexpr size_t kN = DRV_J0J1_PATTERN_BYTES;

// The remainder of bytes(x) * x^7 divided by x^7 + x^3 + 1 (0x89): the
// message bits, then seven zero bits, through an eight-bit register.
constexpr uint8_t crc7(const auto &bytes) {
  unsigned reg = 0;
  for (size_t bit = 0; bit < 8 * bytes.size() + 7; ++bit) {
    reg = (reg << 1) | (bit / 8 < bytes.size() ? (uint8_t(bytes[bit / 8]) >> (7 - bit % 8)) & 1u : 0u);
    reg ^= (reg & 0x80u) != 0 ? 0x89u : 0u;
  }
  return static_cast<uint8_t>(reg);
}
// The worked example: a frame of 15 spaces gets byte 0 = 0x80 | 0x48 = 0xC8
// (corpus seed frame16_spaces).
static_assert(crc7(std::string_view("\x80               ")) == 0x48);

// Where the frame of the first n bytes starts after its single delimiter
// (a byte with bit 7 set, or a CR followed cyclically by LF); -1 when there
// is not exactly one.
static long start_after(const Bytes &src, size_t n, bool crlf) {
  long start = -1;
  size_t found = 0;
  for (size_t i = 0; i < n; ++i) {
    if (crlf ? src[i] != 0x0D : src[i] < 0x80) continue;
    ++found;
    start = !crlf ? long((i + 1) % n) : src[(i + 1) % n] == 0x0A ? long((i + 2) % n) : -1;
  }
  return found == 1 ? start : -1;
}

// Decodes at the capacity, checks the trace length and the text against the
// classification (in the decoder's order of tests) and returns the text.
static Bytes check_decode(const Bytes &rx, uint32_t capacity) {
  const long start16 = start_after(rx, 16, false);
  const long start64 = start_after(rx, kN, true);
  const bool uniform = std::count(rx.begin(), rx.end(), rx[0]) == long(kN);
  const uint32_t kind = start16 >= 0 ? 16 : start64 >= 0 ? 64 : uniform ? 1 : 0;
  // The 15 or 62 characters after the delimiter, the uniform byte, or nothing.
  Bytes decoded(kN, 0);
  for (size_t i = 0; i < (kind == 16 ? 15 : kind == 64 ? 62 : kind); ++i)
    decoded[i] = kind == 16 ? rx[(start16 + i) % 16] : rx[(start64 + i) % kN];
  // A short capacity is refused and cleared; nothing lands past 64 bytes.
  Bytes expected = capacity < kN ? Bytes(capacity, 0) : decoded;
  expected.resize(capacity, 0xEE);
  Bytes text(capacity, 0xEE);
  uint32_t length = 0xFFFFu;
  FUZZ_CHECK(drv_decode_j0j1_rx_msg(rx.data(), &length, text.data(), capacity) == (capacity < kN ? -1 : 0) &&
             length == kind && text == expected);
  return decoded;
}

// Both aligners on a frame, out of place and in place: the rotation that
// puts the delimiter last, or -1 with nothing written.
static void check_aligners(const Bytes &frame) {
  const auto n = static_cast<uint32_t>(frame.size());
  for (const bool crlf : {false, true}) {
    const auto align = crlf ? drv_decode_64byte_j0j1_rx_msg : drv_decode_16byte_j0j1_rx_msg;
    const long start = start_after(frame, n, crlf);
    Bytes expected = frame;  // a refusal leaves it as it is
    std::rotate(expected.begin(), expected.begin() + std::max(start, 0L), expected.end());
    Bytes dest(n, 0xEE);
    Bytes in_place = frame;
    FUZZ_CHECK(align(0, frame.data(), dest.data()) == -1 && align(n, nullptr, dest.data()) == -1 &&
               align(n, frame.data(), nullptr) == -1 &&
               align(DRV_J0J1_MAX_PERIOD + 1, frame.data(), dest.data()) == -1);
    FUZZ_CHECK(align(n, frame.data(), dest.data()) == (start < 0 ? -1 : 0) &&
               align(n, in_place.data(), in_place.data()) == (start < 0 ? -1 : 0));
    FUZZ_CHECK(in_place == expected && dest == (start < 0 ? Bytes(n, 0xEE) : expected));
  }
}

// The transmit pattern of the frame of `length` (16 or 64) that holds the
// first characters of `chars`, rotated left by `rotation` bytes.
static Bytes transmit(uint32_t length, const Bytes &chars, size_t rotation) {
  const Bytes text(chars.begin(), chars.begin() + (length == 16 ? 15 : 62));
  Bytes frame(length, 0xEE);
  Bytes pattern(kN, 0xEE);
  FUZZ_CHECK(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()) == 0 &&
             drv_assemble_j0j1_msg(length, frame.data(), pattern.data()) == 0);
  // A 16-byte frame carries its CRC-7 already: inserting it again changes
  // nothing (the insertion is checked against the model on raw frames; a
  // null frame, which stands in for a 64-byte one here, is refused). The
  // round trip at every rotation checks the rest of the layout.
  Bytes again = frame;
  drv_j0j1_insert_crc7(length == 16 ? again.data() : nullptr);
  FUZZ_CHECK(again == frame);
  std::rotate(pattern.begin(), pattern.begin() + long(rotation), pattern.end());
  return pattern;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t kind = in.u8() % 8;
  const size_t rotation = in.u8() % kN;
  const uint8_t to = in.u8();
  const uint8_t capacity_pick = in.u8();
  const uint8_t period_pick = in.u8();
  Bytes raw(kN);
  for (uint8_t &byte : raw) byte = in.u8();
  Bytes chars(kN);  // characters an intact frame carries: bit 7 clear, no CR
  for (size_t i = 0; i < kN; ++i) chars[i] = (raw[i] & 0x7Fu) == 0x0D ? 0x0E : raw[i] & 0x7Fu;

  Bytes rx = raw;
  const uint32_t length = kind == 1 ? ((to & 1u) != 0 ? 16 : 64) : kind <= 3 ? 16 : 64;
  if (kind >= 1 && kind <= 6) rx = transmit(length, kind == 1 ? raw : chars, rotation);
  if (kind == 3) {  // one of the four markers moved anywhere
    rx[(kN - rotation) % 16 + 16u * (to >> 6)] &= 0x7Fu;
    rx[to % kN] |= 0x80u;
  }
  if (kind == 5) rx[to % kN] = 0x0D;                     // a second CR, unless it is the CR
  if (kind == 6) rx[(kN * 2 - rotation - 1) % kN] = to;  // LF, unless `to` is one
  if (kind == 7) rx.assign(kN, raw[0]);
  if (kind == 7 && to < kN) rx[to] = raw[1];
  // Mostly the full 64 bytes; sometimes short (refused) or roomier.
  check_decode(rx, capacity_pick < 0xC0 ? 64u : capacity_pick - 0xC0u + 40u);
  // An intact pattern gives back its text at every rotation.
  for (size_t r = 0; (kind == 2 || kind == 4) && r < kN; ++r) {
    const Bytes text = check_decode(transmit(length, chars, r), kN);
    FUZZ_CHECK(std::equal(text.begin(), text.begin() + (length == 16 ? 15 : 62), chars.begin()));
  }
  // The aligners on rx's last bytes, as many as the period. The largest
  // period puts LFs before them, so that a CR in rx's last byte finds its LF
  // round the end of the frame, at positions near the top of 16 bits.
  const size_t period = period_pick == 0xFF ? DRV_J0J1_MAX_PERIOD : 1 + period_pick % kN;
  Bytes frame(period, 0x0A);
  std::copy_backward(rx.end() - long(std::min(period, kN)), rx.end(), frame.end());
  check_aligners(frame);

  // Refusals write nothing; the one-byte and empty traces fill the pattern.
  Bytes out(kN, 0xEE);
  uint32_t trace_len = 0xEEu;
  FUZZ_CHECK(drv_decode_j0j1_rx_msg(nullptr, &trace_len, out.data(), kN) == -1 &&
             drv_decode_j0j1_rx_msg(rx.data(), nullptr, out.data(), kN) == -1 &&
             drv_decode_j0j1_rx_msg(rx.data(), &trace_len, nullptr, kN) == -1 &&
             (to == 16 || to == 64 || drv_encode_j0j1_tx_msg(to, raw.data(), out.data()) == -1) &&
             drv_encode_j0j1_tx_msg(16, nullptr, out.data()) == -1 &&
             drv_encode_j0j1_tx_msg(64, raw.data(), nullptr) == -1 &&
             drv_assemble_j0j1_msg(16, nullptr, out.data()) == -1 &&
             drv_assemble_j0j1_msg(64, raw.data(), nullptr) == -1);
  FUZZ_CHECK(trace_len == 0xEEu && out == Bytes(kN, 0xEE));
  FUZZ_CHECK(drv_assemble_j0j1_msg(1, Bytes{raw[0]}.data(), out.data()) == 0 && out == Bytes(kN, raw[0]));
  FUZZ_CHECK(drv_assemble_j0j1_msg(0, nullptr, out.data()) == 0 && out == Bytes(kN, 0));

  // A raw frame gets bit 7 of byte 0 as it is, then the CRC-7 of the frame
  // with bits 6-0 of byte 0 taken as 0.
  Bytes frame16(raw.begin(), raw.begin() + 16);
  drv_j0j1_insert_crc7(frame16.data());
  raw[0] &= 0x80u;
  FUZZ_CHECK(frame16[0] == (raw[0] | crc7(Bytes(raw.begin(), raw.begin() + 16))) &&
             std::equal(frame16.begin() + 1, frame16.end(), raw.begin() + 1));
  return 0;
}
