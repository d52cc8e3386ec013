/* SPDX-License-Identifier: Apache-2.0 */
/* libchip_util: everything a chip driver links against, in one include. */
#ifndef CHIP_UTIL_CHIP_UTIL_H
#define CHIP_UTIL_CHIP_UTIL_H

#include "chip_util/access.h"
#include "chip_util/bounds.h"
#include "chip_util/bus.h"
#include "chip_util/fmea.h"
#include "chip_util/handle.h"
#include "chip_util/j0j1.h"
#include "chip_util/log.h"
#include "chip_util/map.h"
#include "chip_util/osal.h"
#include "chip_util/reg_check.h"
#include "chip_util/register.h"
#include "chip_util/trace.h"
#include "chip_util/version.h"

#endif /* CHIP_UTIL_CHIP_UTIL_H */
