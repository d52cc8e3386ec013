# SPDX-License-Identifier: Apache-2.0
# The Debian packages, split as a distribution would (cpack -G DEB in a
# build tree; scripts/check-packages builds them from the `deb` preset and
# runs lintian on them):
#   libchip-util1     Runtime      the shared libraries, with shlibs and
#                                  ldconfig triggers
#   libchip-util-dev  Development  what a driver is built with
#   chiputil          Tool         the command-line tool
# each with its copyright file and changelog, and a -dbgsym package holding
# the debug information stripped from the binaries.
include(ChipUtilRelease)

set(CHIP_UTIL_DEBIAN_RUNTIME_PACKAGE libchip-util${PROJECT_VERSION_MAJOR})
set(CHIP_UTIL_DEBIAN_PACKAGES
  Runtime=${CHIP_UTIL_DEBIAN_RUNTIME_PACKAGE}
  Development=libchip-util-dev)
if(TARGET chiputil)
  list(APPEND CHIP_UTIL_DEBIAN_PACKAGES Tool=chiputil)
endif()

# --- Changelog --------------------------------------------------------------------------

# The Debian changelog of this release, made from its CHANGELOG.md section:
# items wrapped at 78 columns, dated as the section is.
execute_process(COMMAND date -u -R -d "${CHIP_UTIL_RELEASE_DATE}"
  OUTPUT_VARIABLE chip_util_debian_date OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE chip_util_date_result)
if(NOT chip_util_date_result EQUAL 0)
  message(FATAL_ERROR "date could not read the release date '${CHIP_UTIL_RELEASE_DATE}'")
endif()
set(chip_util_debian_changelog "chip-util (${PROJECT_VERSION}) unstable; urgency=medium\n\n")
if(NOT CHIP_UTIL_RELEASE_NOTES)
  message(WARNING "CHANGELOG.md gives no items for ${PROJECT_VERSION}: the Debian changelog "
                  "says only the version")
  set(CHIP_UTIL_RELEASE_NOTES "Release ${PROJECT_VERSION}.")
endif()
foreach(chip_util_note IN LISTS CHIP_UTIL_RELEASE_NOTES)
  string(REPLACE "`" "" chip_util_note "${chip_util_note}")
  string(REGEX REPLACE "[ \t]+" ";" chip_util_words "${chip_util_note}")
  set(chip_util_line "  *")
  foreach(chip_util_word IN LISTS chip_util_words)
    string(LENGTH "${chip_util_line} ${chip_util_word}" chip_util_length)
    if(chip_util_length GREATER 78)
      string(APPEND chip_util_debian_changelog "${chip_util_line}\n")
      set(chip_util_line "   ")
    endif()
    string(APPEND chip_util_line " ${chip_util_word}")
  endforeach()
  string(APPEND chip_util_debian_changelog "${chip_util_line}\n")
endforeach()
string(APPEND chip_util_debian_changelog
  "\n -- ${CHIP_UTIL_PACKAGE_MAINTAINER}  ${chip_util_debian_date}\n")
chip_util_release_decode(chip_util_debian_changelog)
set(chip_util_debian_dir ${PROJECT_BINARY_DIR}/package/debian)
file(WRITE ${chip_util_debian_dir}/changelog "${chip_util_debian_changelog}")
# gzip -9n: compressed as Debian policy asks, without a time stamp.
execute_process(COMMAND sh -c "gzip -9n -c changelog > changelog.gz"
  WORKING_DIRECTORY ${chip_util_debian_dir})

# --- Per-package documentation -------------------------------------------------------

# Installed only into the packages (component installs), not by a plain
# cmake --install.
foreach(chip_util_entry IN LISTS CHIP_UTIL_DEBIAN_PACKAGES)
  string(REPLACE "=" ";" chip_util_entry "${chip_util_entry}")
  list(GET chip_util_entry 0 chip_util_component)
  list(GET chip_util_entry 1 chip_util_package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
                ${chip_util_debian_dir}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${chip_util_package}
    COMPONENT ${chip_util_component}
    EXCLUDE_FROM_ALL)
  string(TOUPPER "${chip_util_component}" chip_util_upper)
  set(CPACK_DEBIAN_${chip_util_upper}_PACKAGE_NAME ${chip_util_package})
  list(APPEND CPACK_COMPONENTS_ALL ${chip_util_component})
endforeach()

# --- CPack ------------------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME chip-util)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${CHIP_UTIL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CHIP_UTIL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# First line the synopsis, then the long description (CPack indents it).
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "utility libraries for user-space telecom chip drivers
Register field access through driver-supplied register tables, log output,
an operating-system abstraction layer, a failure-mode debug command parser
and the J0/J1 trace message codec (libchip_util), with bounds-checked
memory and string functions (libchip_bounds).

This package contains the shared libraries.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "development files of libchip_util
Register field access through driver-supplied register tables, log output,
an operating-system abstraction layer, a failure-mode debug command parser
and the J0/J1 trace message codec, for user-space telecom chip drivers.

This package contains the headers, the static libraries, the simulated chip
for driver unit tests (libchip_sim.a), the CMake package
find_package(chip_util) and the pkg-config files chip_util and chip_sim.")

set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "command-line companion of libchip_util for chip bring-up
chiputil encodes and decodes J0/J1 trace messages, computes their CRC-7,
parses FMEA debug commands, reads and writes fields of register images and
runs an example line-card driver against a simulated chip, all with the
functions of libchip_util.")

# The development files and the tool go with the libraries of exactly
# this release. The CMake package also imports chiputil (its register-map
# generator runs at a driver's build time), so the development files need
# the tool too.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)
if(TARGET chiputil)
  list(APPEND CPACK_COMPONENT_DEVELOPMENT_DEPENDS Tool)
endif()
set(CPACK_COMPONENT_TOOL_DEPENDS Runtime)

# chiputil opens libxml2 with dlopen when it reads an IP-XACT file, so no
# NEEDED entry names it and dpkg-shlibdeps cannot see it: the tool depends
# on the package that holds the libxml2 built against (Debian 12: libxml2),
# of at least that version.
if(TARGET chiputil AND TARGET chip_map_ipxact)
  get_target_property(chip_util_libxml2_file chip_map_ipxact CHIP_UTIL_LIBXML2_FILE)
  get_target_property(chip_util_libxml2_version chip_map_ipxact CHIP_UTIL_LIBXML2_VERSION)
  execute_process(COMMAND dpkg-query -S "${chip_util_libxml2_file}"
    OUTPUT_VARIABLE chip_util_libxml2_owner ERROR_QUIET
    RESULT_VARIABLE chip_util_libxml2_query)
  # "libxml2:amd64: /usr/lib/x86_64-linux-gnu/libxml2.so.2.9.14"
  if(chip_util_libxml2_query EQUAL 0 AND chip_util_libxml2_owner MATCHES "^([a-z0-9.+-]+)[:,]")
    set(chip_util_libxml2_package ${CMAKE_MATCH_1})
  else()
    set(chip_util_libxml2_package libxml2)
    message(WARNING "no Debian package holds ${chip_util_libxml2_file}: the chiputil package "
                    "depends on ${chip_util_libxml2_package}")
  endif()
  set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
    "${chip_util_libxml2_package} (>= ${chip_util_libxml2_version})")
endif()

# Dependencies from the binaries' NEEDED entries (libc6, ...), and a shlibs
# file plus ldconfig trigger for the libraries libchip-util1 provides.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# chiputil needs libchip_util.so.1, which no installed package provides yet:
# dpkg-shlibdeps reads it from the build tree (its package dependency comes
# from CPACK_COMPONENT_TOOL_DEPENDS above).
foreach(chip_util_library IN ITEMS chip_util chip_bounds)
  get_target_property(chip_util_library_dir ${chip_util_library} BINARY_DIR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${chip_util_library_dir})
endforeach()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Symbols are versioned and only ever added within a major version, so a
# driver built against this release runs with any later one of the SONAME.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_ldconfig_trigger.cmake)
include(CPack)
