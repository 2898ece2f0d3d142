# krelt_add_assets: turns pictures into GD source files at build time and
# builds them into a static library.
#
#   krelt_add_assets(TARGET name
#                    PICTURES picture...
#                    [OPTIONS option...]
#                    [OUTPUT_DIR dir])
#
# Each picture gets its own build rule running
#   krelt-cli convert <OPTIONS> --output-dir <dir> --quiet <picture>
# which runs again when the picture or krelt-cli changes. The GD files are
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
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;OUTPUT_DIR" "PICTURES;OPTIONS")
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

  set(gd_files "")
  foreach(picture IN LISTS arg_PICTURES)
    cmake_path(ABSOLUTE_PATH picture BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
               NORMALIZE)
    _krelt_gd_file_name("${picture}" "${arg_OPTIONS}" gd_name)
    set(gd_file "${output_dir}/${gd_name}")
    # Two pictures with one name would overwrite each other's GD file.
    if(gd_file IN_LIST gd_files)
      message(FATAL_ERROR "krelt_add_assets(${arg_TARGET}): two pictures give ${gd_file}; "
                          "put them into different targets or OUTPUT_DIRs")
    endif()
    list(APPEND gd_files "${gd_file}")
    add_custom_command(
      OUTPUT "${gd_file}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_dir}"
      COMMAND Krelt::krelt-cli convert ${arg_OPTIONS} --output-dir "${output_dir}"
              --quiet "${picture}"
      DEPENDS "${picture}" "$<TARGET_FILE:Krelt::krelt-cli>"
      COMMENT "Converting ${picture}"
      VERBATIM)
  endforeach()

  set_source_files_properties(${gd_files} PROPERTIES LANGUAGE C)
  add_library(${arg_TARGET} STATIC ${gd_files})
endfunction()
