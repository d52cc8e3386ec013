// SPDX-License-Identifier: Apache-2.0
#include "ioctl_seam.hpp"

#include <sys/ioctl.h>

namespace chip_bus {
namespace {

int system_ioctl(int fd, unsigned long request, void *arg) { return ::ioctl(fd, request, arg); }

}  // namespace

IoctlFunc g_ioctl = system_ioctl;

}  // namespace chip_bus
