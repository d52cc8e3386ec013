/* SPDX-License-Identifier: Apache-2.0 */
/* J0/J1 trace message codec.
 *
 * Turns a trace text into the 64-byte pattern a chip transmits in the SDH
 * trace bytes J0 and J1, and a received 64-byte pattern back into text.
 * Four kinds of trace exist, named by their trace length:
 *   16  the 16-byte trace frame: byte 0 = 0x80 | CRC-7 (generator
 *       x^7 + x^3 + 1), bytes 1-15 = 15 characters; sent four times over;
 *   64  the 64-byte frame: bytes 0-61 = 62 characters, then CR (0x0D) and
 *       LF (0x0A);
 *   1   one byte repeated 64 times;
 *   0   no trace: 64 bytes 0x00.
 * A received pattern may start anywhere in the repeating frame; the decoder
 * finds the frame boundary and rotates the bytes into order.
 *
 * Text is raw bytes: exactly 15 or 62 of them, not zero-terminated, copied
 * unchanged. Transmit: drv_encode_j0j1_tx_msg (length 16 or 64), then
 * drv_assemble_j0j1_msg with the same length. Receive: drv_decode_j0j1_rx_msg.
 *
 * No function here allocates memory, takes a lock or touches mutable global
 * data; all may run on any number of threads at once as long as concurrent
 * calls do not write the same buffers. Results: 0 for success, -1 for a
 * refusal. */
#ifndef CHIP_UTIL_J0J1_H
#define CHIP_UTIL_J0J1_H

#include <stdint.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* Trace lengths and buffer sizes. */
#define DRV_J0J1_LEN_NONE 0u
#define DRV_J0J1_LEN_BYTE 1u
#define DRV_J0J1_LEN_16 16u
#define DRV_J0J1_LEN_64 64u
#define DRV_J0J1_PATTERN_BYTES 64u
#define DRV_J0J1_TEXT16_CHARS 15u
#define DRV_J0J1_TEXT64_CHARS 62u
/* Largest period the two aligners accept. */
#define DRV_J0J1_MAX_PERIOD 65535u

/* Builds a frame of `trace_len` bytes from text: 16 gives 0x80 | CRC-7 and
 * text bytes 0-14; 64 gives text bytes 0-61, CR, LF. Characters are copied
 * as they are (bit 7 is neither cleared nor tested). Returns -1, writing
 * nothing, for a null text or frame or a length other than 16 and 64 (0 and
 * 1 included: those exist only for drv_assemble_j0j1_msg). `text` may be the
 * same buffer as `frame`. */
CHIP_UTIL_API int32_t drv_encode_j0j1_tx_msg(uint32_t trace_len, const uint8_t *text,
                                             uint8_t *frame);

/* Stores the CRC-7 of the 16-byte frame into bits 6-0 of frame[0], computed
 * with those bits taken as 0; bit 7 of frame[0] stays as the caller set it.
 * A null frame is ignored: nothing is read or written. */
CHIP_UTIL_API void drv_j0j1_insert_crc7(uint8_t *frame);

/* Builds the 64-byte transmit pattern for `trace_len`: 0 gives 64 bytes 0x00
 * (`src` is not read and may be null), 1 repeats src[0], 16 repeats the
 * 16-byte frame four times, 64 copies the 64-byte frame.
 * Any other length prints "length out range. length:<len>" with the
 * platform's printf on standard output (not through g_hdk_printf_func, no
 * line end, not flushed) and returns -1 with the pattern untouched. The
 * length is checked before the pointers, so a bad length is reported even
 * when they are null. A null pattern, or a null `src` for lengths 1, 16 and
 * 64, then returns -1 silently, writing nothing. */
CHIP_UTIL_API int32_t drv_assemble_j0j1_msg(uint32_t trace_len, const uint8_t *src,
                                            uint8_t *pattern);

/* Classifies the 64 received bytes and delivers 64 bytes of text:
 *   16  exactly one byte with bit 7 set among rx[0..15] (tested first):
 *       the 15 characters after the marker, then 49 bytes 0x00; the CRC-7
 *       is not verified;
 *   64  exactly one CR among the 64 bytes with LF right after it (cyclically):
 *       the 62 characters after LF, then 0x00 0x00;
 *   1   all 64 bytes equal (tested after the two above): that byte, then 63
 *       bytes 0x00;
 *   0   anything else: 64 bytes 0x00 (still result 0).
 * Returns -1, writing nothing, if rx, trace_len or text is null. Otherwise
 * *trace_len is always stored; the text is then copied with memcpy_s, and a
 * `text_capacity` below 64 gives -1 with the text as memcpy_s leaves a
 * refused copy (its first `text_capacity` bytes zeroed). */
CHIP_UTIL_API int32_t drv_decode_j0j1_rx_msg(const uint8_t *rx, uint32_t *trace_len,
                                             uint8_t *text, uint32_t text_capacity);

/* Aligns a marker-delimited frame of `period` bytes: the single byte of
 * src[0..period-1] with bit 7 set is the marker at position p, and
 * dest[i] = src[(p + 1 + i) mod period], so the characters come first and
 * the marker lands last. Returns -1, dest untouched, when period is 0 or
 * above DRV_J0J1_MAX_PERIOD, when src or dest is null, or when src holds no
 * byte or more than one byte with bit 7 set. `dest` may be `src` itself
 * (rotated in place); other overlaps give unspecified bytes. */
CHIP_UTIL_API int32_t drv_decode_16byte_j0j1_rx_msg(uint32_t period, const uint8_t *src,
                                                    uint8_t *dest);

/* Aligns a CR LF-delimited frame of `period` bytes: the single CR of
 * src[0..period-1] is at position p, src[(p + 1) mod period] must be LF, and
 * dest[i] = src[(p + 2 + i) mod period], so the characters come first and CR,
 * LF land last. Only CR is counted: further LF bytes and bytes with bit 7 set
 * are characters. Returns -1, dest untouched, when period is 0 or above
 * DRV_J0J1_MAX_PERIOD, when src or dest is null, or when src holds no CR,
 * more than one CR, or no LF after it. `dest` may be `src` itself. */
CHIP_UTIL_API int32_t drv_decode_64byte_j0j1_rx_msg(uint32_t period, const uint8_t *src,
                                                    uint8_t *dest);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_J0J1_H */
