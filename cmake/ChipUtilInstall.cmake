# SPDX-License-Identifier: Apache-2.0
# Install rules, the CMake package, the pkg-config file and the Debian
# package. Included from the top-level CMakeLists.txt after every
# subdirectory, when CHIP_UTIL_INSTALL is on.
#
# Layout under the prefix (LIBDIR and INCLUDEDIR from GNUInstallDirs, each
# relative to the prefix or absolute):
#   LIBDIR/libchip_util.so.1.0.0, .so.1, .so  and libchip_util.a
#   LIBDIR/libchip_bounds.so.1.0.0, .so.1, .so
#   LIBDIR/libchip_sim.a                       (when the simulator is built)
#   LIBDIR/cmake/chip_util/                    find_package(chip_util)
#   LIBDIR/pkgconfig/chip_util.pc              pkg-config chip_util
#   LIBDIR/pkgconfig/chip_sim.pc               pkg-config chip_sim (with the simulator)
#   INCLUDEDIR/chip_util/*.h                   including the generated version.h
#   BINDIR/chiputil                            (when the tool is built)
#   MANDIR/man1/chiputil.1.gz, DATADIR/bash-completion/completions/chiputil
#   DATADIR/doc/chip_util/LICENSE              (not in the Debian packages,
#                                               whose copyright files say it)
#
# Components, one Debian package each (cpack -G DEB):
#   Runtime      libchip-util1     the two shared libraries
#   Development  libchip-util-dev  headers, static libraries, CMake package,
#                                  pkg-config files, the .so links
#   Tool         chiputil          the tool, its manual page and completion
include(CMakePackageConfigHelpers)

set(CHIP_UTIL_SUMMARY "Utility library for user-space drivers of telecommunication chips")
set(CHIP_UTIL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/chip_util)
set(CHIP_UTIL_PACKAGE_MAINTAINER "libchip_util maintainers <libchip-util@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

# --- Libraries ---------------------------------------------------------------

# Targets linked into the installed libraries for the build only: their
# flags (warnings) or objects must not become a dependency of the exported
# targets.
set(CHIP_UTIL_BUILD_ONLY_TARGETS chip_util_warnings chip_util_objects)

# chip_util_hide_build_only_links(TARGET): a static library passes even its
# private dependencies on to its users, as $<LINK_ONLY:...>; those on
# build-only targets are wrapped in $<BUILD_INTERFACE:...> so that the
# export does not need them.
function(chip_util_hide_build_only_links target)
  get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
  if(NOT links)
    return()
  endif()
  foreach(build_only IN LISTS CHIP_UTIL_BUILD_ONLY_TARGETS)
    list(TRANSFORM links REPLACE "^\\$<LINK_ONLY:${build_only}>$"
                                 "$<LINK_ONLY:$<BUILD_INTERFACE:${build_only}>>")
    list(TRANSFORM links REPLACE "^${build_only}$" "$<BUILD_INTERFACE:${build_only}>")
  endforeach()
  set_target_properties(${target} PROPERTIES INTERFACE_LINK_LIBRARIES "${links}")
endfunction()

set(CHIP_UTIL_INSTALLED_LIBRARIES chip_util chip_bounds chip_util_static)
if(TARGET chip_sim)
  list(APPEND CHIP_UTIL_INSTALLED_LIBRARIES chip_sim)
endif()
foreach(library IN LISTS CHIP_UTIL_INSTALLED_LIBRARIES)
  chip_util_hide_build_only_links(${library})
  # Each installed target finds the installed headers, as the core
  # libraries already declare themselves.
  get_target_property(include_dirs ${library} INTERFACE_INCLUDE_DIRECTORIES)
  if(NOT include_dirs MATCHES "INSTALL_INTERFACE")
    target_include_directories(${library} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  endif()
endforeach()

# libchip_util finds libchip_bounds next to itself, wherever the prefix is
# moved; the libraries carry no other search path once installed.
set_target_properties(chip_util PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ${CHIP_UTIL_INSTALLED_LIBRARIES}
  EXPORT chip_util-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)

# Every exported header, including those that later subsystems add, and
# the generated version header.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/chip_util ${CHIP_UTIL_GENERATED_INCLUDE_DIR}/chip_util
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/chip_util
  COMPONENT License)

# --- Command-line tool ---------------------------------------------------------

if(TARGET chiputil)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(chiputil_rpath "${CMAKE_INSTALL_LIBDIR}")
  else()
    # Relative to the tool, so that a moved prefix still works.
    file(RELATIVE_PATH libdir_from_bindir /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
    set(chiputil_rpath "$ORIGIN/${libdir_from_bindir}")
  endif()
  set_target_properties(chiputil PROPERTIES INSTALL_RPATH "${chiputil_rpath}")
  # Exported as chip_util::chiputil: chip_util_add_register_map runs it.
  install(TARGETS chiputil EXPORT chip_util-targets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tool)
  if(CHIP_UTIL_MANUAL_PAGE)
    install(FILES ${CHIP_UTIL_MANUAL_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
      COMPONENT Tool)
  endif()
  # Where bash-completion loads a command's completion from on first use.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/bash-completion/chiputil
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    COMPONENT Tool)
endif()

# --- CMake package ---------------------------------------------------------------

install(EXPORT chip_util-targets
  NAMESPACE chip_util::
  FILE chip_util-targets.cmake
  DESTINATION ${CHIP_UTIL_CMAKE_PACKAGE_DIR}
  COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/chip_util-config.cmake.in
  ${PROJECT_BINARY_DIR}/package/chip_util-config.cmake
  INSTALL_DESTINATION ${CHIP_UTIL_CMAKE_PACKAGE_DIR})
# The SONAME carries the major version: any 1.x library serves a driver
# built against 1.y.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/chip_util-config-version.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_SOURCE_DIR}/cmake/ChipUtilRegisterMap.cmake
    ${PROJECT_BINARY_DIR}/package/chip_util-config.cmake
    ${PROJECT_BINARY_DIR}/package/chip_util-config-version.cmake
  DESTINATION ${CHIP_UTIL_CMAKE_PACKAGE_DIR}
  COMPONENT Development)

# --- pkg-config files -------------------------------------------------------------

# chip_util.pc, and chip_sim.pc when the simulator is installed. Written at
# install time: the prefix is only known then (cmake --install --prefix, or
# the staging prefix of CPack). Relative directories are given as
# ${prefix}/..., so that pkg-config --define-prefix works; absolute ones as
# they are.
set(CHIP_UTIL_PC_FILES chip_util)
if(TARGET chip_sim)
  list(APPEND CHIP_UTIL_PC_FILES chip_sim)
endif()
string(CONFIGURE [=[
set(chip_util_pc_prefix "${CMAKE_INSTALL_PREFIX}")
set(chip_util_pc_libdir [[@CMAKE_INSTALL_LIBDIR@]])
set(chip_util_pc_includedir [[@CMAKE_INSTALL_INCLUDEDIR@]])
foreach(chip_util_pc_dir IN ITEMS libdir includedir)
  if(NOT IS_ABSOLUTE "${chip_util_pc_${chip_util_pc_dir}}")
    set(chip_util_pc_relative "${chip_util_pc_${chip_util_pc_dir}}")
    set(chip_util_pc_${chip_util_pc_dir} "\${prefix}")
    cmake_path(APPEND chip_util_pc_${chip_util_pc_dir} "${chip_util_pc_relative}")
  endif()
endforeach()
set(chip_util_pc_version [[@PROJECT_VERSION@]])
set(chip_util_pc_description [[@CHIP_UTIL_SUMMARY@]])
foreach(chip_util_pc_name IN ITEMS @CHIP_UTIL_PC_FILES@)
  configure_file("@PROJECT_SOURCE_DIR@/cmake/${chip_util_pc_name}.pc.in"
                 "@PROJECT_BINARY_DIR@/package/${chip_util_pc_name}.pc" @ONLY)
endforeach()
]=] chip_util_pc_install_code @ONLY)
install(CODE "${chip_util_pc_install_code}" COMPONENT Development)
list(TRANSFORM CHIP_UTIL_PC_FILES REPLACE "(.+)" "${PROJECT_BINARY_DIR}/package/\\1.pc")
install(FILES ${CHIP_UTIL_PC_FILES}
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# --- Debian packages ----------------------------------------------------------------

include(ChipUtilDebian)
