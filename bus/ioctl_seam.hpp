// SPDX-License-Identifier: Apache-2.0
// The one place where the MDIO and I2C backends reach the kernel. Tests
// replace it to check the exact requests without a PHY or an adapter.
#pragma once

namespace chip_bus {

using IoctlFunc = int (*)(int fd, unsigned long request, void *arg);

// ioctl(2) by default.
[[gnu::visibility("hidden")]] extern IoctlFunc g_ioctl;

}  // namespace chip_bus
