# SPDX-License-Identifier: Apache-2.0
# chip_util_add_register_map(TARGET <target> MAP <file> [NAME <name>])
#
# Generates <name>_map.h and <name>_map.c from the register map <file> at
# build time with `chiputil map gen` (which checks the map first: a map with
# errors fails the build with its findings), and adds them to <target>,
# whose sources can then #include "<name>_map.h". The files are made again
# whenever the map changes. <name> defaults to the map's chip name; the
# target must link chip_util (for <chip_util/map.h>).
#
# The generator is `chip_map_gen` inside the libchip_util build itself (the
# same code as `chiputil map`), otherwise the installed package's
# chip_util::chiputil; CHIP_UTIL_CHIPUTIL, when set, names another chiputil.
function(chip_util_add_register_map)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "TARGET;MAP;NAME" "")
  if(NOT ARG_TARGET OR NOT ARG_MAP)
    message(FATAL_ERROR "chip_util_add_register_map: TARGET and MAP are required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "chip_util_add_register_map: unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  get_filename_component(map_file "${ARG_MAP}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")

  set(action map gen)
  if(CHIP_UTIL_CHIPUTIL)
    set(tool "${CHIP_UTIL_CHIPUTIL}")
  elseif(TARGET chip_map_gen)
    set(tool chip_map_gen)
    set(action gen)
  elseif(TARGET chip_util::chiputil)
    set(tool chip_util::chiputil)
  else()
    message(FATAL_ERROR "chip_util_add_register_map: no chiputil to generate ${ARG_MAP} with "
                        "(build or install the tools, or set CHIP_UTIL_CHIPUTIL)")
  endif()

  # The file names follow the name, so it is needed now: from NAME, or from
  # the map's "chip" key (read again when the map changes).
  set(name_option "")
  if(ARG_NAME)
    set(name "${ARG_NAME}")
    set(name_option --name "${ARG_NAME}")
  else()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${map_file}")
    file(READ "${map_file}" map_text)
    string(JSON name ERROR_VARIABLE json_error GET "${map_text}" chip)
    if(json_error)
      message(FATAL_ERROR "chip_util_add_register_map: cannot read the chip name of ${ARG_MAP} "
                          "(${json_error}); give NAME")
    endif()
  endif()
  string(TOLOWER "${name}" name)
  string(REGEX REPLACE "[^a-z0-9]" "_" name "${name}")

  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/chip_util_maps/${ARG_TARGET}")
  set(outputs "${out_dir}/${name}_map.h" "${out_dir}/${name}_map.c")
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${tool} ${action} "${map_file}" -o "${out_dir}" ${name_option}
    DEPENDS "${map_file}" ${tool}
    COMMENT "Generating the register table of ${ARG_MAP}"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE ${outputs})
  target_include_directories(${ARG_TARGET} PUBLIC "$<BUILD_INTERFACE:${out_dir}>")
endfunction()
