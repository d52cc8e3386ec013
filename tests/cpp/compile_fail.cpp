// SPDX-License-Identifier: Apache-2.0
// What the typed fields refuse to compile, one case per CHIP_CASE value
// (see CMakeLists.txt); case 0 is the same code made right, which must
// compile, so that each failing case fails for its own reason only.
#include <chip_util/chip_util.hpp>

using ctrl = chip::reg<uint32_t, 0>;
using other = chip::reg<uint32_t, 0, struct other_tag>;
using enable = chip::field<ctrl, 0, 0, 1>;
using speed = chip::field<ctrl, 1, 4, 3>;
using state = chip::field<ctrl, 2, 8, 2, chip::access::read_only>;
using elsewhere = chip::field<other, 3, 0, 1>;

chip::status use(const chip::typed<speed> &s, const chip::typed<state> &st) {
#if CHIP_CASE == 0
  (void)st.read();
  (void)s.write(speed::value<7>);
  return s.write_merged(enable::value<1>, speed::value<7>);
#elif CHIP_CASE == 1  // a read-only field written
  (void)s;
  return st.write(state::value<1>);
#elif CHIP_CASE == 2  // a constant one too wide for its 3 bits
  (void)st;
  return s.write(speed::value<8>);
#elif CHIP_CASE == 3  // a field of another register in a merged write
  (void)st;
  return s.write_merged(enable::value<1>, elsewhere::value<1>);
#endif
}
