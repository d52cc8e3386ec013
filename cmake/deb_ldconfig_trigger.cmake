# SPDX-License-Identifier: Apache-2.0
# CPack post-build script (CPACK_POST_BUILD_SCRIPTS): CPack's DEB generator
# (CMake 3.25) makes a library package run ldconfig from postinst and postrm
# scripts of its own. Debian wants a dpkg trigger instead, which runs
# ldconfig once for all packages of an installation: each built .deb whose
# maintainer scripts do nothing but that gets them replaced by a triggers
# file "activate-noawait ldconfig", the rest of the package unchanged.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${package} failed")
  endif()
  set(only_ldconfig TRUE)
  foreach(script IN ITEMS postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(READ "${tree}/DEBIAN/${script}" text)
      string(REGEX REPLACE "#![^\n]*|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|ldconfig|fi|[ \t\n]" ""
             rest "${text}")
      if(NOT rest STREQUAL "" OR NOT text MATCHES "ldconfig")
        set(only_ldconfig FALSE)
      endif()
    else()
      set(only_ldconfig FALSE)
    endif()
  endforeach()
  if(only_ldconfig)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    file(WRITE "${tree}/DEBIAN/triggers" "activate-noawait ldconfig\n")
    execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${package}"
                    RESULT_VARIABLE result OUTPUT_QUIET)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "dpkg-deb -b ${package} failed")
    endif()
    message(STATUS "${package}: ldconfig through a dpkg trigger")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
