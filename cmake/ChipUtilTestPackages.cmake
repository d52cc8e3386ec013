# SPDX-License-Identifier: Apache-2.0
# Packages that only tests, benchmarks and documentation need. The main job
# (library, tool, example driver) configures and builds without them: a
# missing one leaves out what needs it, with one line naming the Debian
# package that brings it. The test command (scripts/check) configures with
# CHIP_UTIL_REQUIRE_TEST_PACKAGES=ON, where a missing package stops the
# configure step instead, so that it never passes by running fewer tests.
# The same Debian names are listed in scripts/packages.
option(CHIP_UTIL_REQUIRE_TEST_PACKAGES
  "Stop when a package needed by a test, benchmark or the API reference is missing" OFF)

# chip_util_find_test_package(OUT WHAT <text> DEBIAN <packages> LEAVES_OUT <text>
#                             {PACKAGE <find_package arguments...> | PROGRAM <name>})
# Sets OUT to TRUE when found. PACKAGE calls find_package (imported targets
# land in the calling directory); PROGRAM finds an executable and stores
# its path in the cache variable CHIP_UTIL_<NAME>_EXECUTABLE.
function(chip_util_find_test_package out)
  cmake_parse_arguments(ARG "" "WHAT;LEAVES_OUT;PROGRAM" "DEBIAN;PACKAGE" ${ARGN})
  if(ARG_PROGRAM)
    string(TOUPPER "${ARG_PROGRAM}" upper)
    string(MAKE_C_IDENTIFIER "${upper}" upper)
    find_program(CHIP_UTIL_${upper}_EXECUTABLE ${ARG_PROGRAM})
    if(CHIP_UTIL_${upper}_EXECUTABLE)
      set(found TRUE)
    else()
      set(found FALSE)
    endif()
  else()
    list(GET ARG_PACKAGE 0 name)
    find_package(${ARG_PACKAGE} QUIET)
    set(found ${${name}_FOUND})
  endif()
  if(NOT found)
    list(LENGTH ARG_DEBIAN count)
    list(JOIN ARG_DEBIAN " " debian)
    if(count GREATER 1)
      set(debian "packages ${debian}")
    else()
      set(debian "package ${debian}")
    endif()
    if(CHIP_UTIL_REQUIRE_TEST_PACKAGES)
      message(FATAL_ERROR "${ARG_WHAT} not found: install the Debian ${debian} "
                          "(scripts/install-packages test does)")
    endif()
    message(STATUS "${ARG_WHAT} not found (Debian ${debian}): ${ARG_LEAVES_OUT} left out")
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
