# SPDX-License-Identifier: Apache-2.0
# The version has one home, project(... VERSION) in CMakeLists.txt. This
# writes it into the header chip_util/version.h of the build tree; the
# SONAME, the CMake package, the pkg-config files, the Debian packages and
# `chiputil --version` take it from the same project variables.
set(CHIP_UTIL_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in
  ${CHIP_UTIL_GENERATED_INCLUDE_DIR}/chip_util/version.h @ONLY)
