/* SPDX-License-Identifier: Apache-2.0 */
/* FMEA debug command parsing: numbers, keyword options and the dfx list.
 *
 * An FMEA debug command is a NUL-terminated text such as
 *   read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]
 * holding any number of keyword options (eight keywords, each with the keys
 * addr, mask, val and cmp_val) and one dfx list, in any order and with any
 * text between them. The parser hands their contents out as plain records
 * and arrays and attaches no meaning to them.
 *
 * Numbers are unsigned 32-bit, written in decimal (a run of digits) or in
 * hexadecimal (0x or 0X, then at least one hexadecimal digit, either case).
 * Conversion wraps modulo 2^32: only the low 32 bits of the written value
 * survive, so 4294967296 reads as 0 and 0x123456789 as 0x23456789. There is
 * no sign and no white space skipping.
 *
 * Nothing here prints, logs or keeps state; every function may run on any
 * number of threads at once. The parser never reads past a text's
 * terminating NUL and never writes past the capacity it is given, whatever
 * the input. Only drv_fmea_get_opt_string and the two dfx functions touch
 * the heap (through hdk_malloc/hdk_free); everything else works on its
 * arguments and its own stack.
 *
 * Null pointers: no function dereferences a null pointer. A null text reads
 * as the empty text (no number, no option); a null output pointer (result,
 * record, set, array) makes the function store nothing and return its
 * "nothing found" answer. Each function's comment gives the exact answer. */
#ifndef CHIP_UTIL_FMEA_H
#define CHIP_UTIL_FMEA_H

#include <stdint.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* ---- Numeric tokens ------------------------------------------------------
 * Characters are passed widened to 32 bits; only their low 8 bits count. */

/* 1 if the character is a decimal digit 0-9, else 0. */
CHIP_UTIL_API int32_t drv_fmea_char_is_d_digital(int32_t c);

/* 1 if the character is a hexadecimal digit 0-9, a-f or A-F, else 0. */
CHIP_UTIL_API int32_t drv_fmea_char_is_x_digital(int32_t c);

/* The value 0-9 of a decimal digit; 0 for any other character. */
CHIP_UTIL_API int32_t drv_fmea_char_to_digital(int32_t c);

/* The value 0-15 of a hexadecimal digit; 0 for any other character. */
CHIP_UTIL_API int32_t drv_fmea_char_to_xdigital(int32_t c);

/* 1 if `text` begins with a hexadecimal number (0, x or X, a hexadecimal
 * digit), else 0. A null text gives 0. Reads no further than needed, so
 * never past the NUL of a short text. */
CHIP_UTIL_API int32_t drv_fmea_str_is_x_num(const char *text);

/* The value of the hexadecimal digits that follow a two-character prefix
 * ("0x"), accumulated up to the first non-hexadecimal character; 0 if no
 * digit follows. The prefix itself is not checked, but a text shorter than
 * two characters (its NUL inside the prefix) gives 0 rather than skipping
 * past its end. A null text gives 0. */
CHIP_UTIL_API uint32_t drv_fmea_string_to_x_num(const char *text);

/* The value of the decimal digits at the start of `text`, accumulated up to
 * the first non-digit; 0 if the text does not begin with a digit or is
 * null. */
CHIP_UTIL_API uint32_t drv_fmea_string_to_d_num(const char *text);

/* Stores the value of the number at the very start of `text` into *value
 * and returns 0: a hexadecimal number if one begins there, else a decimal
 * one. Returns -1 and stores nothing if the text begins with neither (a
 * blank or a minus sign counts as neither). "0x" not followed by a
 * hexadecimal digit reads as the decimal 0. A null text or a null `value`
 * gives -1 with nothing stored. */
CHIP_UTIL_API int32_t drv_fmea_str_to_num(const char *text, uint32_t *value);

/* How many characters of `text` have a signed 8-bit value equal to the
 * whole 32-bit `c`: a character above 0x7F matches only its negative value
 * (0xE9 is matched by -23, not by 233). The terminating NUL is never
 * counted, so c = 0 gives 0. A null text gives 0. */
CHIP_UTIL_API uint32_t drv_fmea_get_char_num(const char *text, int32_t c);

/* ---- Number lists ----------------------------------------------------------
 * A list holding at least one hexadecimal number is in hexadecimal mode:
 * only its hexadecimal numbers count. Otherwise every maximal run of
 * decimal digits counts. Hexadecimal numbers are looked for at every
 * character position, so "0x10x2" holds two of them, 0x10 and 0x2.
 * The counts count every number; the extractions store at most `capacity`
 * entries and return how many they stored, so on a text of n numbers with
 * a capacity of at least n they return n. A null text counts as empty; a
 * null array or a capacity of 0 stores nothing and gives 0. */

/* The number of maximal runs of decimal digits. */
CHIP_UTIL_API uint32_t drv_fmea_get_d_num_count(const char *text);

/* The number of positions at which a hexadecimal number begins. */
CHIP_UTIL_API uint32_t drv_fmea_get_x_num_count(const char *text);

/* The hexadecimal count if it is not 0, else the decimal count. */
CHIP_UTIL_API uint32_t drv_fmea_get_num_count(const char *text);

/* Stores the hexadecimal numbers of `text` in order into `array`. */
CHIP_UTIL_API uint32_t fmea_get_x_nums(const char *text, uint32_t *array, uint32_t capacity);

/* Stores the decimal numbers (digit runs) of `text` in order. */
CHIP_UTIL_API uint32_t fmea_get_d_nums(const char *text, uint32_t *array, uint32_t capacity);

/* Stores the numbers of the list in its mode (see above). */
CHIP_UTIL_API uint32_t drv_fmea_get_nums(const char *text, uint32_t *array, uint32_t capacity);

/* ---- Keyword options ---------------------------------------------------- */

/* Option types, in the order the keywords are searched and stored. The
 * opening bracket belongs to the keyword, so "read[" is not found inside
 * "read_his[", nor "inject[" inside "inject_undo[". */
typedef int32_t drv_fmea_opt_type;
enum {
  DRV_FMEA_OPT_READ = 1,        /* "read[" */
  DRV_FMEA_OPT_READ_HIS = 2,    /* "read_his[" */
  DRV_FMEA_OPT_POSITIVE = 3,    /* "positive[" */
  DRV_FMEA_OPT_NEO = 4,         /* "neo[" */
  DRV_FMEA_OPT_WC = 5,          /* "wc[" */
  DRV_FMEA_OPT_RC = 6,          /* "rc[" */
  DRV_FMEA_OPT_INJECT = 7,      /* "inject[" */
  DRV_FMEA_OPT_INJECT_UNDO = 8  /* "inject_undo[" */
};

/* Entries of an option set: the record of type k lies at index k - 1. */
#define DRV_FMEA_OPT_SET_SIZE 8u

/* One keyword option, 20 bytes. A key missing from the option leaves its
 * field as it was (0 after drv_fmea_parse_opt, which starts from zeros). */
typedef struct drv_fmea_opt {
  uint32_t valid;   /* 1 when the keyword was found, else 0 */
  uint32_t addr;    /* the number after the key "addr" */
  uint32_t mask;    /* the number after the key "mask" */
  uint32_t val;     /* the number after the key "val" */
  uint32_t cmp_val; /* the number after the key "cmp_val" */
} drv_fmea_opt;

/* A parameter is a key, exactly one separator character of any kind (= : or
 * a blank, for instance) and a number. Keys are looked up from the keyword
 * on, in any order; only the first occurrence of each counts, and only if
 * the first ']' after the keyword stands beyond its separator (a key after
 * that ']' belongs to a later option). Keys are matched by substring, except
 * that a key which is the tail of another key ("val" of "cmp_val") is
 * recognised only as a key of its own: an occurrence preceded by a letter,
 * a digit or '_' ("cmp_val", or a word such as "interval") is passed over,
 * so read[cmp_val=5] leaves val alone and
 * read[cmp_val=5,val=1] gives val 1 and cmp_val 5 whatever their order. */

/* Parses every keyword option of `command` and copies out the record of
 * `type` into *opt. Returns 1 for a type of 1 to 8, with the record filled
 * (all zeros when the keyword is absent). Any other type returns 0 with
 * only opt->valid set to 0. A null command reads as holding no option; a
 * null `opt` returns 0 and stores nothing. */
CHIP_UTIL_API int32_t drv_fmea_parse_opt(const char *command, drv_fmea_opt_type type,
                                         drv_fmea_opt *opt);

/* Parses the eight keyword options of `command` into `set` (8 records) and
 * returns how many keywords were found, 0 to 8. Only the records of the
 * keywords found are written; the others stay as they were. A null command
 * or a null set returns 0 and writes nothing. */
CHIP_UTIL_API uint32_t drv_fmea_parse_opt_set(const char *command,
                                              drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE]);

/* Copies the record of `type` from `set` into *opt and returns 1; returns
 * 0 with nothing copied for a type outside 1 to 8 or a null set or opt. */
CHIP_UTIL_API int32_t drv_fmea_get_opt(const drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE],
                                       drv_fmea_opt_type type, drv_fmea_opt *opt);

/* Finds the first occurrence of `keyword` (plain substring search) in
 * `command`, sets opt->valid to 1, parses the four keys from there into the
 * record and returns 1, whether or not any key was found. Returns 0 with
 * the record untouched when the keyword does not occur, and for a null
 * command, keyword or record. */
CHIP_UTIL_API int32_t drv_fmea_parse_cmd(const char *command, const char *keyword,
                                         drv_fmea_opt *opt);

/* On a text that begins at a keyword, finds the first occurrence of `key`
 * and the first ']'; if the ']' stands beyond the one separator character
 * after the key, stores the number behind the separator into *field.
 * Otherwise, or if no number stands there, *field stays as it was. A null
 * text, key or field does nothing. */
CHIP_UTIL_API void drv_fmea_parse_para(const char *text, const char *key, uint32_t *field);

/* A new NUL-terminated heap text holding `command` from the first
 * occurrence of `key` through the first ']' after it. The caller releases
 * it with hdk_free. Null when the key or the bracket is missing, when the
 * ']' is the key's own first character, when the allocation or the copy
 * fails, and for a null command or key. */
CHIP_UTIL_API char *drv_fmea_get_opt_string(const char *command, const char *key);

/* The number of numbers in the dfx option (the word "dfx" through the first
 * ']' after it), counted as a list (see above); 0 when there is no such
 * option or no ']' after it, or the command is null. */
CHIP_UTIL_API uint32_t drv_fmea_parse_dfx_num(const char *command);

/* Stores the numbers of the dfx option into `array`, at most `capacity` of
 * them, and returns how many it stored; 0 when there is no dfx option, for
 * a null command or array and for a capacity of 0. Note the argument order:
 * capacity before array, the reverse of drv_fmea_get_nums. */
CHIP_UTIL_API uint32_t drv_fmea_parse_dfx(const char *command, uint32_t capacity,
                                          uint32_t *array);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_FMEA_H */
