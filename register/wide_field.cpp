// SPDX-License-Identifier: Apache-2.0
// Moving a field of any width between a register image and a field buffer,
// 32 bits at a time. Both arrays are most significant word first, so the
// code walks them from their last word (register bits 0-31, field bits
// 0-31) towards their first.
#include <chip_util/register.h>

#include <cstddef>
#include <cstdint>

#include "wide_layout.hpp"

namespace {

using chip_reg::low_bits;

// A most-significant-word-first array seen from its least significant
// word: element i holds bits 32i to 32i + 31 (of the register or the field).
template <typename Word>
struct FromLsw {
  Word *last;
  Word &operator[](std::size_t i) const { return *(last - i); }
};

template <typename Word>
FromLsw<Word> from_lsw(Word *first, uint32_t words) {
  return {first + (words - 1u)};
}

// Where a field sits, counted in whole 32-bit chunks: `full` whole chunks
// and a top chunk of `rem` bits, starting `sh` bits into image word
// `first_word` (counted from the least significant word).
struct FieldChunks {
  uint32_t full;
  uint32_t rem;
  uint32_t sh;
  std::size_t first_word;
};

constexpr FieldChunks chunks_of(uint32_t start_bit, uint32_t field_bits) {
  return {field_bits / 32u, field_bits % 32u, start_bit % 32u, start_bit / 32u};
}

}  // namespace

extern "C" void hdk_get_field_info(uint32_t start_bit, uint32_t field_bits, uint32_t reg_bytes,
                                   const uint32_t *reg_image, uint32_t *field) {
  if (reg_image == nullptr || field == nullptr ||
      !chip_reg::field_lies_within(start_bit, field_bits, reg_bytes)) {
    return;
  }
  const auto image = from_lsw(reg_image, chip_reg::image_words(reg_bytes));
  const auto out = from_lsw(field, chip_reg::field_words(field_bits));
  const auto [full, rem, sh, first_word] = chunks_of(start_bit, field_bits);
  std::size_t e = first_word;

  if (sh == 0) {
    for (std::size_t k = 0; k < full; ++k, ++e) {
      out[k] = image[e];
    }
    if (rem != 0) {
      out[full] = image[e] & low_bits(rem);
    }
    return;
  }

  // Each full word joins the top of one image word with the bottom of the
  // next; the upper part is carried to the next round, so every image word
  // is loaded once.
  uint32_t upper = image[e] >> sh;
  for (std::size_t k = 0; k < full; ++k, ++e) {
    const uint32_t next = image[e + 1u];
    out[k] = upper | (next << (32u - sh));
    upper = next >> sh;
  }
  if (rem != 0) {
    // The next image word is read only when it holds bits of the field.
    if (sh + rem > 32u) {
      upper |= image[e + 1u] << (32u - sh);
    }
    out[full] = upper & low_bits(rem);
  }
}

extern "C" void hdk_set_field_info(uint32_t start_bit, uint32_t field_bits, uint32_t reg_bytes,
                                   uint32_t *reg_image, const uint32_t *field) {
  if (reg_image == nullptr || field == nullptr ||
      !chip_reg::field_lies_within(start_bit, field_bits, reg_bytes)) {
    return;
  }
  const auto image = from_lsw(reg_image, chip_reg::image_words(reg_bytes));
  const auto in = from_lsw(field, chip_reg::field_words(field_bits));
  const auto [full, rem, sh, first_word] = chunks_of(start_bit, field_bits);
  std::size_t e = first_word;

  if (sh == 0) {
    for (std::size_t k = 0; k < full; ++k, ++e) {
      image[e] = in[k];
    }
    if (rem != 0) {
      const uint32_t top = in[full];
      // A top chunk wider than the field is refused; the full chunks below
      // it stay written.
      if ((top >> rem) == 0) {
        image[e] = (image[e] & ~low_bits(rem)) | top;
      }
    }
    return;
  }

  // Each full chunk straddles two image words. The part that spills into
  // the next word is carried in a register rather than written and read
  // back, so every image word is loaded and stored at most once.
  const uint32_t below = low_bits(sh);
  uint32_t carry = image[e] & below;  // register bits under the field
  for (std::size_t k = 0; k < full; ++k, ++e) {
    const uint32_t chunk = in[k];
    image[e] = carry | (chunk << sh);
    carry = chunk >> (32u - sh);
  }
  const uint32_t top = rem != 0 ? in[full] : 0u;
  if (rem == 0 || (top >> rem) != 0) {
    // No top chunk, or a refused one: only the carried bits land in word e.
    image[e] = (image[e] & ~below) | carry;
    return;
  }
  const uint32_t end = sh + rem;  // one past the field's last bit in word e
  const uint32_t covered = end >= 32u ? ~0u : low_bits(end);
  image[e] = (image[e] & ~covered) | carry | (top << sh);
  if (end > 32u) {
    image[e + 1u] = (image[e + 1u] & ~low_bits(end - 32u)) | (top >> (32u - sh));
  }
}
