// SPDX-License-Identifier: Apache-2.0
// Attaching an MMIO mapping: a PCI BAR through sysfs, a UIO map, any file
// or memory the caller mapped.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bus_slots.hpp"

namespace chip_bus {

void describe_os_failure(char *out, size_t size, const char *what, const char *path, int error) {
  if (error == EPERM || error == EACCES) {
    std::snprintf(out, size,
                  "cannot %s %s: %s (not root, the region claimed by a kernel driver, or "
                  "kernel lockdown)",
                  what, path, std::strerror(error));
  } else {
    std::snprintf(out, size, "cannot %s %s: %s", what, path, std::strerror(error));
  }
}

namespace {

struct Range {
  uint64_t offset;
  uint64_t size;  // 0: to the end of the file
};

// Opens `path`, maps `range` of it read-write and shared, and fills `slot`.
int32_t map_range(const char *function, uint32_t dev, const char *path, Range range) {
  Slot *slot = free_slot(function, dev);
  if (slot == nullptr) {
    return -1;
  }
  if (path == nullptr) {
    return refuse_attach(function, dev, "null path");
  }
  char reason[512];
  const int fd = open(path, O_RDWR | O_SYNC | O_CLOEXEC);
  if (fd < 0) {
    describe_os_failure(reason, sizeof reason, "open", path, errno);
    return refuse_attach(function, dev, reason);
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    describe_os_failure(reason, sizeof reason, "stat", path, errno);
    close(fd);
    return refuse_attach(function, dev, reason);
  }
  const bool sized = S_ISREG(info.st_mode);
  const uint64_t file_size = sized ? static_cast<uint64_t>(info.st_size) : 0;
  uint64_t size = range.size;
  if (size == 0 && sized && range.offset < file_size) {
    size = file_size - range.offset;
  }
  const char *problem = nullptr;
  if (size == 0) {
    problem = sized ? "nothing to map: the range is empty" : "give the size of the region to map";
  } else if (sized && (range.offset > file_size || size > file_size - range.offset)) {
    problem = "the range passes the end of the file";
  } else if (size > SIZE_MAX / 2) {
    problem = "the range is too large to map";
  }
  if (problem != nullptr) {
    close(fd);
    return refuse_attach(function, dev, problem);
  }
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t start = range.offset - range.offset % page;
  const size_t length = static_cast<size_t>(size + (range.offset - start));
  void *mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                       static_cast<off_t>(start));
  const int map_error = errno;
  close(fd);
  if (mapping == MAP_FAILED) {
    describe_os_failure(reason, sizeof reason, "map", path, map_error);
    return refuse_attach(function, dev, reason);
  }
  slot->mmio = {static_cast<volatile uint8_t *>(mapping) + (range.offset - start), size, mapping,
                length};
  slot->kind = CHIP_BUS_MMIO;
  return 0;
}

// The size a UIO map announces in sysfs ("0x00001000"), or 0.
uint64_t uio_map_size(const char *sysfs_root, const char *uio_name, uint32_t map) {
  char path[512];
  std::snprintf(path, sizeof path, "%s/%s/maps/map%u/size", sysfs_root, uio_name, map);
  FILE *file = std::fopen(path, "re");
  if (file == nullptr) {
    return 0;
  }
  char text[64] = {0};
  const bool got = std::fgets(text, sizeof text, file) != nullptr;
  std::fclose(file);
  if (!got) {
    return 0;
  }
  char *end = nullptr;
  errno = 0;
  const unsigned long long size = std::strtoull(text, &end, 0);
  const bool clean = errno == 0 && end != text && (*end == '\0' || *end == '\n');
  return clean ? size : 0;
}

}  // namespace
}  // namespace chip_bus

extern "C" int32_t chip_mmio_attach_pci(uint32_t dev, const char *resource_path) {
  return chip_bus::map_range("chip_mmio_attach_pci", dev, resource_path, {0, 0});
}

extern "C" int32_t chip_mmio_attach_file(uint32_t dev, const char *path, uint64_t offset,
                                         uint64_t size) {
  return chip_bus::map_range("chip_mmio_attach_file", dev, path, {offset, size});
}

extern "C" int32_t chip_mmio_attach_uio(uint32_t dev, const char *uio_path, uint32_t map,
                                        const char *sysfs_root) {
  constexpr const char *function = "chip_mmio_attach_uio";
  if (chip_bus::free_slot(function, dev) == nullptr) {
    return -1;
  }
  if (uio_path == nullptr) {
    return chip_bus::refuse_attach(function, dev, "null path");
  }
  const char *slash = std::strrchr(uio_path, '/');
  const char *uio_name = slash != nullptr ? slash + 1 : uio_path;
  const char *root = sysfs_root != nullptr ? sysfs_root : "/sys/class/uio";
  const uint64_t size = chip_bus::uio_map_size(root, uio_name, map);
  if (size == 0) {
    char reason[512];
    std::snprintf(reason, sizeof reason, "no size for map %u in %s/%s/maps/map%u/size", map, root,
                  uio_name, map);
    return chip_bus::refuse_attach(function, dev, reason);
  }
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  return chip_bus::map_range(function, dev, uio_path, {uint64_t{map} * page, size});
}

extern "C" int32_t chip_mmio_attach_memory(uint32_t dev, volatile void *base, size_t size) {
  constexpr const char *function = "chip_mmio_attach_memory";
  chip_bus::Slot *slot = chip_bus::free_slot(function, dev);
  if (slot == nullptr) {
    return -1;
  }
  if (base == nullptr || size == 0) {
    return chip_bus::refuse_attach(function, dev, "null base or size 0");
  }
  if (reinterpret_cast<uintptr_t>(base) % 4 != 0) {
    return chip_bus::refuse_attach(function, dev, "base not aligned to 4 bytes");
  }
  slot->mmio = {static_cast<volatile uint8_t *>(base), size, nullptr, 0};
  slot->kind = CHIP_BUS_MMIO;
  return 0;
}
