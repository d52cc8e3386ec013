// SPDX-License-Identifier: Apache-2.0
// The platform calls that tests need to make fail, watch or drive (a clock
// that moves as a test says). Each pointer holds the real call; a test may
// point it elsewhere and must restore it. Internal to the library (hidden
// visibility): drivers never see these.
#pragma once

#include <pthread.h>
#include <time.h>

namespace osal::seam {

using ClockGettime = int (*)(clockid_t, timespec *);
using PthreadCreate = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
using Nanosleep = int (*)(const timespec *, timespec *);

extern ClockGettime clock_gettime_call;
extern PthreadCreate pthread_create_call;
extern Nanosleep nanosleep_call;

}  // namespace osal::seam
