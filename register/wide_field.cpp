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

// Register words counted from the least significant one: word e of the
// image holds register bits 32e to 32e + 31.
struct ImageFromLsw {
  uint32_t *last;
  uint32_t &operator[](uint32_t e) const { return *(last - e); }
};
struct ConstImageFromLsw {
  const uint32_t *last;
  uint32_t operator[](uint32_t e) const { return *(last - e); }
};

}  // namespace

extern "C" void hdk_get_field_info(uint32_t start_bit, uint32_t field_bits, uint32_t reg_bytes,
                                   const uint32_t *reg_image, uint32_t *field) {
  if (reg_image == nullptr || field == nullptr ||
      !chip_reg::field_lies_within(start_bit, field_bits, reg_bytes)) {
    return;
  }
  const ConstImageFromLsw image{reg_image + (chip_reg::image_words(reg_bytes) - 1u)};
  uint32_t *const field_lsw = field + (chip_reg::field_words(field_bits) - 1u);
  const uint32_t full = field_bits / 32u;
  const uint32_t rem = field_bits % 32u;
  const uint32_t sh = start_bit % 32u;
  uint32_t e = start_bit / 32u;

  // Full words: with sh 0 they are image words as they stand; otherwise each
  // joins the top of one image word with the bottom of the next.
  if (sh == 0) {
    for (uint32_t k = 0; k < full; ++k, ++e) {
      *(field_lsw - k) = image[e];
    }
  } else {
    for (uint32_t k = 0; k < full; ++k, ++e) {
      *(field_lsw - k) = (image[e] >> sh) | (image[e + 1u] << (32u - sh));
    }
  }
  if (rem != 0) {
    uint32_t top = image[e] >> sh;
    // The next image word is read only when it holds bits of the field.
    if (sh + rem > 32u) {
      top |= image[e + 1u] << (32u - sh);
    }
    *(field_lsw - full) = top & low_bits(rem);
  }
}

extern "C" void hdk_set_field_info(uint32_t start_bit, uint32_t field_bits, uint32_t reg_bytes,
                                   uint32_t *reg_image, const uint32_t *field) {
  if (reg_image == nullptr || field == nullptr ||
      !chip_reg::field_lies_within(start_bit, field_bits, reg_bytes)) {
    return;
  }
  const ImageFromLsw image{reg_image + (chip_reg::image_words(reg_bytes) - 1u)};
  const uint32_t *const field_lsw = field + (chip_reg::field_words(field_bits) - 1u);
  const uint32_t full = field_bits / 32u;
  const uint32_t rem = field_bits % 32u;
  const uint32_t sh = start_bit % 32u;
  uint32_t e = start_bit / 32u;

  if (sh == 0) {
    for (uint32_t k = 0; k < full; ++k, ++e) {
      image[e] = *(field_lsw - k);
    }
  } else {
    const uint32_t keep_low = low_bits(sh);
    for (uint32_t k = 0; k < full; ++k, ++e) {
      const uint32_t chunk = *(field_lsw - k);
      image[e] = (image[e] & keep_low) | (chunk << sh);
      image[e + 1u] = (image[e + 1u] & ~keep_low) | (chunk >> (32u - sh));
    }
  }
  if (rem == 0) {
    return;
  }
  const uint32_t top = *(field_lsw - full);
  // A top chunk wider than the field is refused; the full chunks below it
  // stay written.
  if ((top >> rem) != 0) {
    return;
  }
  const uint32_t mask = low_bits(rem) << sh;  // bits beyond word e drop out
  image[e] = (image[e] & ~mask) | (top << sh);
  if (sh + rem > 32u) {
    const uint32_t spill = low_bits(sh + rem - 32u);
    image[e + 1u] = (image[e + 1u] & ~spill) | (top >> (32u - sh));
  }
}
