#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<surface>/.

Each seed is laid out the way its target reads its input (see the comment at
the top of fuzz_<surface>.cpp); the helpers below pack the numbers in the
same order and byte order (little-endian) as fuzz::Input. Run it again after
changing how a target reads its input, and commit the result.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u8(v):
    return struct.pack("<B", v & 0xFF)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def write(surface, name, data):
    folder = os.path.join(HERE, "corpus", surface)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- fuzz_fmea_options: capacity | key length << 4, key, command -------------
def fmea_options(name, command, capacity=3, key=b""):
    write("fmea_options", name, u8(capacity | (len(key) << 4)) + key + command)


fmea_options("worked_example", b"read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]")
fmea_options("dfx_capacity_2", b"dfx[1,2,3]", capacity=2)
fmea_options("keyword_brackets", b"read_his[addr=5] inject_undo[addr=1]")
fmea_options("any_separator", b"read[addr 0x20,mask:0X1F]", key=b"mask")
fmea_options("key_after_bracket", b"read[] wc[addr=3]")
fmea_options("first_occurrence", b"read[addr=1,addr=2] read[addr=9]", key=b"addr")
fmea_options("dfx_hex_mode", b"dfx[0x1,2]")
fmea_options("dfx_unclosed", b"dfx[1,2 read[addr=3]", capacity=15)
fmea_options("val_tail_key", b"read[cmp_val=5,val=1] positive[interval=3,val=7]", key=b"val")
fmea_options("all_keywords",
             b"read[addr=1] read_his[mask=2] positive[val=3] neo[cmp_val=4] wc[addr=5] "
             b"rc[addr=6] inject[addr=7] inject_undo[addr=4294967296] dfx[0x10x2]",
             capacity=1, key=b"inject[")

# ---- fuzz_fmea_numbers: capacity, counted character, text --------------------
def fmea_numbers(name, text, capacity=2, counted=b","):
    write("fmea_numbers", name, u8(capacity) + counted + text)


fmea_numbers("capacity_cut", b"1 2 3", counted=b" ")
fmea_numbers("hex_mode", b"1,0x2")
fmea_numbers("hex_overlap", b"0x10x2", counted=b"x")
fmea_numbers("digit_runs", b"12ab34")
fmea_numbers("case_and_sign", b"0X1f -5", counted=b"-")
fmea_numbers("wrap_around", b"4294967295 4294967296 0x123456789", capacity=5)
fmea_numbers("high_characters", b"caf\xe9 \xe9 0", counted=b"\xe9")
fmea_numbers("bad_prefix", b"0x 0xg 0", capacity=0, counted=b"0")

# ---- fuzz_j0j1: capacity pick, period, rotation, 64-byte pattern, 62-byte text
def j0j1(name, pattern, text=b"", capacity_pick=0, period=15, rotation=0):
    assert len(pattern) == 64
    write("j0j1", name, u8(capacity_pick) + u8(period) + u8(rotation) + pattern + text)


spaces_frame = bytes([0xC8]) + b" " * 15
j0j1("frame16_spaces", (spaces_frame * 4)[5:] + (spaces_frame * 4)[:5], text=b" " * 62, rotation=5)
frame64 = b"line card 7, port 3 ".ljust(62, b".") + b"\r\n"
j0j1("frame64_cr_last", frame64[-1:] + frame64[:-1], text=frame64[:62], period=63, rotation=1)
j0j1("all_zero", bytes(64), text=b"\x8d" + b"A" * 61, period=0)
j0j1("all_markers", b"\x80" * 64, text=b"\x80" * 62, period=15)
j0j1("two_cr", b"\r\nabc\r\n".ljust(64, b"z"), period=63)
j0j1("capacity_63", spaces_frame * 4, capacity_pick=0xC0 + 23, text=b"\xff" * 62, rotation=63)

# ---- fuzz_wide_field ------------------------------------------------------------
# seed (2 x u32); field functions: reg_bytes pick, field_bits - 1, start,
# unmasked-top pick; refused field: reg_bytes, flag, start, flag, bits;
# access: mode, reg_bytes pick, field_bits - 1, start, flags, stride + 256,
# elem_num - 1, offset, call pick, elem.
def wide(name, *parts):
    write("wide_field", name, u32(0x12345678) + u32(0x9ABCDEF0) + b"".join(parts))


def wide_field_functions(reg_bytes, field_bits, start, unmasked=1):
    return u8(reg_bytes - 1) + u32(field_bits - 1) + u32(start) + u8(unmasked)


def wide_refused(reg_bytes, start, bits):
    return u16(reg_bytes) + u8(0) + u16(start) + u8(0) + u16(bits)


def wide_access(reg_bytes, field_bits, start, flags, stride, elem_num, elem, pick):
    return (u8(0x80) + u8(reg_bytes - 1) + u32(field_bits - 1) + u32(start) + u8(flags) +
            u16(stride + 256) + u8(elem_num - 1) + u16(0x40) + u8(pick) + u32(elem))


# 8-bit field at bit 4 of a 32-bit register; read through the table.
wide("field8_at_4", wide_field_functions(4, 8, 4), wide_refused(4, 30, 8),
     wide_access(4, 8, 4, 0, 0, 1, 0, 0x01))
# 16-bit field across the word boundary of a 64-bit register; written.
wide("cross_word", wide_field_functions(8, 16, 24), wide_refused(8, 0, 0),
     wide_access(8, 16, 24, 0, 0, 1, 0, 0x11))
# 40-bit field at bit 20 of a 128-bit register, top chunk with extra bits.
wide("field40_top_chunk", wide_field_functions(16, 40, 20, unmasked=0), wide_refused(16, 97, 32),
     wide_access(16, 40, 20, 0, 0, 1, 0, 0x11))
# Bit-indexed 4-bit field at bit 28, stride 4: element 1 wraps to bit 0.
wide("bit_indexed_wrap", wide_field_functions(4, 32, 0), wide_refused(0, 0, 1),
     wide_access(4, 4, 28, 1, 4, 2, 1, 0x91) + u32(1))
# Whole 12-byte register copied in both directions.
wide("whole_12_bytes", wide_field_functions(12, 96, 0), wide_refused(12, 0, 97),
     wide_access(12, 96, 0, 2, 0, 4, 3, 0x11))
# The widest register.
write("wide_field", "widest_register", u32(1) + u32(2) + u8(0xFF) + u16(1022) + u32(8000) +
      u32(123) + u8(1))

# ---- fuzz_reg_field ---------------------------------------------------------------
def record(mode, shape, bits, start, type_pick, stride, elem_num, offset, reg_bytes=None):
    out = u8(mode)
    if not (mode & 0xC0):
        out += u8(reg_bytes)
    out += u8(shape)
    if shape & 0x0F:
        out += u32(bits - 1) + u32(start)
    else:
        out += u8(bits) + u8(start)
    out += u8(type_pick) + u8(stride + 40)
    if (shape & 0x0F) != 1:
        out += u8(elem_num - 1)
    return out + u16(offset)


def call(op, reg, elem, value, module=0, inst=0, statuses=0):
    where = (reg << 2) | (module << 1) | inst
    return u8(op) + u8(where) + u8(elem) + u8(value) + u8(statuses)


READ32, WRITE32, SET32, READ16, WRITE16 = range(5)
worked_records = (
    # 3-bit field at bit 4 (mask 0x70) of a 32-bit register
    record(0x80, 0x02, 3, 4, 0, 0, 1, 0x10) +
    # bit-indexed 4-bit field at bit 28, stride 4, 12 elements
    record(0x80, 0x12, 4, 28, 0, 4, 12, 0x20) +
    # 16-bit register: bit-indexed 4-bit field at bit 12, stride 4
    record(0x40, 0x12, 4, 12, 0, 4, 6, 0x30) +
    # whole 32-bit register, stride 4
    record(0x80, 0xE2, 32, 0, 0, 4, 3, 0x40))
table = u8(0x03) + u8(1) + u8(1) + u8(2) + u8(3) + u8(0x04)
write("reg_field", "worked_examples", u8(1) + worked_records + table +
      call(WRITE32, 0, 0, 2) + call(READ32, 0, 0, 0) + call(WRITE32, 0, 0, 8) +
      call(WRITE32, 1, 9, 5) + call(SET32, 1, 1, 3) + call(WRITE16, 2, 5, 9) +
      call(READ16, 2, 2, 0) + call(WRITE32, 3, 2, 0x7F) + call(READ32, 3, 2, 0))
write("reg_field", "failing_statuses", u8(1) + worked_records + table +
      call(READ32, 0, 0, 0, statuses=0x05) + call(WRITE32, 0, 0, 2, statuses=0x0E) +
      call(WRITE32, 1, 1, 1, module=1, inst=1))
write_only = (record(0x80, 0x02, 3, 4, 0xA0, 0, 1, 0x10) +  # access type 7
              record(0x80, 0x12, 4, 0, 0xC0, -4, 4, 0x20) +  # type 8, negative bit stride
              record(0x80, 0x00, 33, 2, 0, 0, 1, 0x30) +  # field wider than the register
              record(0x20, 0x01, 4, 0, 0, 0, 0, 0x40, reg_bytes=2))  # elem_num 0
write("reg_field", "inconsistent_records", u8(0) + write_only + u8(0x03) + u8(0) * 4 + u8(0x0F) +
      call(WRITE32, 0, 0, 2) + call(WRITE32, 1, 1, 3) + call(READ32, 2, 0, 0) +
      call(READ16, 3, 0, 0) + call(WRITE32, 0, 0, 2, module=1) + call(SET32, 2, 0, 1))
write("reg_field", "no_ops_table", u8(1) + worked_records + u8(0xC3) + u8(0) * 4 + u8(0) +
      call(READ32, 0, 0, 0) + call(SET32, 0, 0, 3) + call(WRITE16, 2, 0, 1))
write("reg_field", "raw_records", u8(1) + (u8(0x10) + u32(0xFFFFFFFF) * 4) * 4 + u8(0x03) +
      u8(0xFF) + u32(0xFFFFFFFF) + u8(0) * 3 + u8(0) +
      call(READ32, 0, 0, 0) + call(WRITE16, 1, 0, 0) + call(SET32, 2, 0, 0))

# ---- fuzz_bounds_log: operation, then its numbers and bytes ----------------------
def bounds(name, data):
    write("bounds_log", name, data)


bounds("memset_fill", u8(0) + u8(16) + u8(16) + u32(0xAB))
bounds("memset_range", u8(0) + u8(8) + u8(9) + u32(0xFF))
bounds("memcpy_copy", u8(1) + u8(12) + u8(12) + u8(1) + b"twelve bytes")
bounds("memcpy_overlap", u8(1) + u8(32) + u8(16) + u8(0) + bytes(range(16)) + u8(4))
bounds("strncpy_fits", u8(2) + u8(8) + u8(10) + u8(1) + u8(5) + b"hello")
bounds("strncpy_unterminated", u8(2) + u8(8) + u8(3) + u8(0) + u8(7) + b"abcdefg")
bounds("format_fits", u8(3) + u8(20) + u8(1) + u32(42) + u16(5) + b"value")
bounds("format_cut", u8(3) + u8(6) + u8(0) + u32(12345) + u16(5) + b"value" + u8(4))
bounds("log_to_file_example", u8(4) + u8(0) + u8(3) + u32(1) + u8(1) + u8(2) + b"ab" + u16(3) +
       b"x=5")
bounds("log_512", u8(4) + u8(0) + u8(0) + u32(3) + u8(0x10) + u8(0) + u16(512) + b"m" * 512)
bounds("log_silent_level", u8(4) + u8(1) + u32(319) + u32(4) + u8(0x31) + u8(4) + b"name" +
       u16(8) + b"dir/file")
