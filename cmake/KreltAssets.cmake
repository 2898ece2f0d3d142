# krelt_add_assets: turns pictures into GD source files at build time and
# builds them into a static library.
#
#   krelt_add_assets(TARGET name
#                    PICTURES picture...
#                    [OPTIONS option...]
#                    [OUTPUT_DIR dir]
#                    [MAP_PALETTE table | COLORS n]
#                    [PALETTE_OUT file])
#
# Each picture gets its own build rule running
#   krelt-cli convert <OPTIONS> --output-dir <dir> --quiet <picture>
# which runs again when the picture or krelt-cli changes. MAP_PALETTE maps
# every picture onto the colour table `table` (--map-palette; the rules also
# run again when it changes). COLORS reduces all the pictures to one table
# of at most n colours (--colors), and PALETTE_OUT writes the table used
# (--palette-out; .gpl, .pal, .png or .c, a .c file is built into the
# library too): then one rule converts all the pictures together, as the
# table depends on every one of them. Relative tables are taken from the
# current source folder, a relative PALETTE_OUT from OUTPUT_DIR. The GD files are
# compiled as C into the static library `name`; they include "type.h", which
# the firmware supplies through the include directories it gives `name`:
#
#   target_include_directories(name PRIVATE include)
#
# Relative pictures are taken from the current source folder. OUTPUT_DIR
# (default: <current binary folder>/<name>) holds the GD files; a relative
# OUTPUT_DIR is taken from the current binary folder. krelt-cli is the target
# Krelt::krelt-cli: the imported program of an installed Krelt found with
# find_package(Krelt), or the one built alongside after add_subdirectory.

include_guard(GLOBAL)

# The file name krelt-cli gives the GD file of `picture`: the picture's name
# without its last extension, the start frame when one other than 0 is given
# among `options`, then ".GD".
function(_krelt_gd_file_name picture options out_var)
  get_filename_component(base "${picture}" NAME_WLE)
  set(start 0)
  set(take_next FALSE)
  foreach(option IN LISTS options)
    if(take_next)
      set(start "${option}")
      set(take_next FALSE)
    elseif(option STREQUAL "--start")
      set(take_next TRUE)
    elseif(option MATCHES "^--start=(.*)$")
      set(start "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT start MATCHES "^[0-9]+$")
    message(FATAL_ERROR "krelt_add_assets: --start takes a frame number, not '${start}'")
  endif()
  math(EXPR start "${start}")
  if(start EQUAL 0)
    set(${out_var} "${base}.GD" PARENT_SCOPE)
  else()
    set(${out_var} "${base}${start}.GD" PARENT_SCOPE)
  endif()
endfunction()

function(krelt_add_assets)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
                        "TARGET;OUTPUT_DIR;MAP_PALETTE;COLORS;PALETTE_OUT" "PICTURES;OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "krelt_add_assets: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_TARGET)
    message(FATAL_ERROR "krelt_add_assets: TARGET is required")
  endif()
  if(NOT arg_PICTURES)
    message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): PICTURES names no picture")
  endif()
  if(NOT TARGET Krelt::krelt-cli)
    message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): no Krelt::krelt-cli; "
                        "call find_package(Krelt) or add_subdirectory() Krelt first")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "C" IN_LIST languages)
    message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): GD files are C; "
                        "enable the C language in project() first")
  endif()

  set(output_dir "${arg_OUTPUT_DIR}")
  if(NOT output_dir)
    set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}")
  endif()
  cmake_path(ABSOLUTE_PATH output_dir BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
             NORMALIZE)

  if(arg_MAP_PALETTE AND arg_COLORS)
    message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): MAP_PALETTE maps onto a table, "
                        "COLORS builds one: choose one")
  endif()
  if(arg_PALETTE_OUT AND NOT (arg_MAP_PALETTE OR arg_COLORS))
    message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): PALETTE_OUT needs MAP_PALETTE or COLORS")
  endif()
  set(options ${arg_OPTIONS})
  set(table_files "")
  if(arg_MAP_PALETTE)
    cmake_path(ABSOLUTE_PATH arg_MAP_PALETTE BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
               NORMALIZE)
    list(APPEND options --map-palette "${arg_MAP_PALETTE}")
    list(APPEND table_files "${arg_MAP_PALETTE}")
  endif()
  if(arg_COLORS)
    list(APPEND options --colors "${arg_COLORS}")
  endif()
  set(palette_out "")
  if(arg_PALETTE_OUT)
    set(palette_out "${arg_PALETTE_OUT}")
    cmake_path(ABSOLUTE_PATH palette_out BASE_DIRECTORY "${output_dir}" NORMALIZE)
    list(APPEND options --palette-out "${palette_out}")
  endif()
  # One table built from all the pictures, or written once: one rule.
  set(together FALSE)
  if(arg_COLORS OR arg_PALETTE_OUT)
    set(together TRUE)
  endif()

  set(gd_files "")
  set(pictures "")
  foreach(picture IN LISTS arg_PICTURES)
    cmake_path(ABSOLUTE_PATH picture BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
               NORMALIZE)
    list(APPEND pictures "${picture}")
    _krelt_gd_file_name("${picture}" "${options}" gd_name)
    set(gd_file "${output_dir}/${gd_name}")
    # Two pictures with one name would overwrite each other's GD file.
    if(gd_file IN_LIST gd_files)
      message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): two pictures give ${gd_file}; "
                          "put them into different targets or OUTPUT_DIRs")
    endif()
    list(APPEND gd_files "${gd_file}")
    if(NOT together)
      add_custom_command(
        OUTPUT "${gd_file}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_dir}"
        COMMAND Krelt::krelt-cli convert ${options} --output-dir "${output_dir}"
                --quiet "${picture}"
        DEPENDS "${picture}" ${table_files} "$<TARGET_FILE:Krelt::krelt-cli>"
        COMMENT "Converting ${picture}"
        VERBATIM)
    endif()
  endforeach()
  if(together)
    add_custom_command(
      OUTPUT ${gd_files} ${palette_out}
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_dir}"
      COMMAND Krelt::krelt-cli convert ${options} --output-dir "${output_dir}"
              --quiet ${pictures}
      DEPENDS ${pictures} ${table_files} "$<TARGET_FILE:Krelt::krelt-cli>"
      COMMENT "Converting the pictures of ${arg_TARGET} with one colour table"
      VERBATIM)
  endif()

  set(sources ${gd_files})
  if(palette_out MATCHES "\\.[cC]$")
    list(APPEND sources "${palette_out}")
  endif()
  set_source_files_properties(${sources} PROPERTIES LANGUAGE C)
  add_library(${arg_TARGET} STATIC ${sources})
endfunction()
