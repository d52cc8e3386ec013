// SPDX-License-Identifier: Apache-2.0
// Default targets of the platform seams: the real calls.
#include "platform_seam.hpp"

namespace osal::seam {

ClockGettime clock_gettime_call = &::clock_gettime;
PthreadCreate pthread_create_call = &::pthread_create;
Nanosleep nanosleep_call = &::nanosleep;

}  // namespace osal::seam
