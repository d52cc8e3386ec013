// SPDX-License-Identifier: Apache-2.0
/* Bus backends: register access functions that reach a real chip.
 *
 * Three ready-made hdk_reg_ops tables, chip_mmio_reg_ops, chip_mdio_reg_ops
 * and chip_i2c_reg_ops, go into a register table's ops_table like a
 * driver's own. Each access function finds its bus by the device number it
 * is called with: a per-device context, one of 320 slots, that an attach
 * call sets up and chip_bus_detach tears down. Nothing is global beyond
 * those slots.
 *
 *   MMIO  a mapping of a PCI BAR (sysfs resource file), of a UIO map, of any
 *         file, or memory the caller mapped. Every access is one volatile
 *         load or store of exactly the register's width at an aligned
 *         address inside the mapping; the device is little-endian (values
 *         are byte-swapped on a big-endian host). The address is the offset
 *         into the mapping.
 *   MDIO  16-bit PHY registers through SIOCGMIIREG / SIOCSMIIREG on a named
 *         network interface, clause 22 or clause 45 (one MMD per device
 *         number; attach several device numbers for several MMDs).
 *   I2C   /dev/i2c-N, one I2C_RDWR transaction per access: the register
 *         address (1 or 2 bytes, most significant first), then a repeated
 *         start for the data of a read; 16- or 32-bit registers, the data's
 *         byte order chosen at attach.
 *
 * Statuses of every access function here and of chip_bus_read/write:
 *    0  done;
 *   -1  refused before touching the bus, with one line logged through
 *       hdk_debug at level 1: no bus (or another kind of bus) attached to
 *       the device number, device number above 319, address outside the
 *       mapping or the bus's address range, address not aligned to the
 *       width, value wider than the register, null value pointer;
 *   >0  the bus itself failed: the errno of the failed ioctl (EIO,
 *       ENXIO, ETIMEDOUT...), not logged, so that a caller can retry or
 *       count bus errors apart from refusals. MMIO has no such status (a
 *       dead PCI device reads all ones).
 * A failed read leaves *value untouched. Every access, refused or not, is
 * traced (trace.h): the callback and the bus_read / bus_write probes.
 *
 * Attach and detach are configuration, like registration: complete them
 * before any thread accesses that device number, and detach only when no
 * access to it runs. Accesses to different device numbers, or reads of
 * one, may run on any number of threads; the backends take no lock. Attach
 * calls log the reason of a refusal through hdk_debug at level 1 and leave
 * the slot empty. */
#ifndef CHIP_UTIL_BUS_H
#define CHIP_UTIL_BUS_H

#include <stddef.h>
#include <stdint.h>

#include "chip_util/export.h"
#include "chip_util/register.h"
#include "chip_util/trace.h"

CHIP_UTIL_BEGIN_DECLS

/* Access functions per bus kind. A call for a device number whose slot
 * holds another kind of bus is refused (-1, logged). */
CHIP_UTIL_API extern const hdk_reg_ops chip_mmio_reg_ops;
CHIP_UTIL_API extern const hdk_reg_ops chip_mdio_reg_ops;
CHIP_UTIL_API extern const hdk_reg_ops chip_i2c_reg_ops;

/* ---- MMIO ---------------------------------------------------------------- */

/* Maps a PCI BAR read-write through its sysfs resource file
 * (/sys/bus/pci/devices/DDDD:BB:DD.F/resourceN), the whole BAR (size from
 * fstat). 0, or -1 when refused: the device number is above 319 or already
 * attached, the path is null, the file cannot be opened or mapped, or is
 * empty. EPERM or EACCES names the likely causes: not root, the region
 * claimed by a kernel driver, kernel lockdown. */
CHIP_UTIL_API int32_t chip_mmio_attach_pci(uint32_t dev, const char *resource_path);

/* Maps map `map` of a UIO device (uio_path such as "/dev/uio0"): offset
 * map * page size, length from <sysfs_root>/uioN/maps/map<map>/size, where
 * uioN is the last part of uio_path and a null sysfs_root means
 * "/sys/class/uio". Refusals as chip_mmio_attach_pci, plus a size file that
 * is missing or holds no number above 0. */
CHIP_UTIL_API int32_t chip_mmio_attach_uio(uint32_t dev, const char *uio_path, uint32_t map,
                                           const char *sysfs_root);

/* Maps `size` bytes of any file from byte `offset` (which need not be a
 * page multiple); a size of 0 maps from offset to the end of the file.
 * Refused like chip_mmio_attach_pci, and when the range is empty or passes
 * the end of a regular file. */
CHIP_UTIL_API int32_t chip_mmio_attach_file(uint32_t dev, const char *path, uint64_t offset,
                                            uint64_t size);

/* Uses `size` bytes at `base`, mapped by the caller, who keeps owning it
 * (detach does not unmap it). Refused for a null base, a size of 0, or a
 * base not aligned to 4 bytes. */
CHIP_UTIL_API int32_t chip_mmio_attach_memory(uint32_t dev, volatile void *base, size_t size);

/* ---- MDIO ---------------------------------------------------------------- */

/* `devad` for a clause 22 PHY. */
#define CHIP_MDIO_CLAUSE22 0xFFFFFFFFu

/* Attaches PHY address `phy` (0-31) on the MDIO bus of network interface
 * `ifname`: clause 22 when devad is CHIP_MDIO_CLAUSE22 (register addresses
 * 0-31), otherwise clause 45 with MMD `devad` (0-31, register addresses
 * 0-65535), sent as MDIO_PHY_ID_C45 | phy << 5 | devad. Opens one datagram
 * socket for the ioctls. Refused for a name that is null, empty or too long
 * for an interface, a phy or devad above 31, or no socket. The interface is
 * not probed: a missing one shows as the status of the first access. */
CHIP_UTIL_API int32_t chip_mdio_attach(uint32_t dev, const char *ifname, uint32_t phy,
                                       uint32_t devad);

/* ---- I2C ----------------------------------------------------------------- */

/* Byte order of register data on the I2C bus. */
#define CHIP_I2C_MSB_FIRST 0u
#define CHIP_I2C_LSB_FIRST 1u

/* Attaches the chip at 7-bit address `addr` (0x03-0x77) behind adapter
 * `path` (/dev/i2c-N), with register addresses of `reg_addr_bytes` (1 or
 * 2) bytes and data in `byte_order`. Refused for bad arguments, an adapter
 * that cannot be opened, or one whose I2C_FUNCS lack plain I2C transfers
 * (I2C_FUNC_I2C). 16-bit accesses move 2 data bytes, 32-bit ones 4. */
CHIP_UTIL_API int32_t chip_i2c_attach(uint32_t dev, const char *path, uint32_t addr,
                                      uint32_t reg_addr_bytes, uint32_t byte_order);

/* ---- Any bus --------------------------------------------------------------- */

/* Tears down what is attached to `dev`: unmaps a mapping the library made,
 * closes its descriptor. 0, or -1 (no message) when nothing is attached. */
CHIP_UTIL_API int32_t chip_bus_detach(uint32_t dev);

/* The kind attached to `dev` (CHIP_BUS_MMIO, _MDIO, _I2C), or
 * CHIP_BUS_NONE; CHIP_BUS_NONE for a device number above 319. */
CHIP_UTIL_API uint32_t chip_bus_kind(uint32_t dev);

/* Size in bytes of the MMIO mapping of `dev`; 0 when no MMIO is attached. */
CHIP_UTIL_API uint64_t chip_mmio_size(uint32_t dev);

/* One access of `width` bits (16 or 32) at a full 32-bit address over
 * whatever is attached to `dev`: what the access functions do, without the
 * 16-bit address limit of read16/write16. Statuses as above; another width
 * is refused (-1, logged). A write of a value wider than `width` is
 * refused. */
CHIP_UTIL_API int32_t chip_bus_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value);
CHIP_UTIL_API int32_t chip_bus_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_BUS_H */
