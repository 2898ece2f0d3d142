# Runs an installed krelt-cli outside the source tree: its version, and a
# sample converted and verified against its picture.
# Usage: cmake -DPREFIX=<prefix> -DVERSION=<version> -DSAMPLE=<picture>
#              -DWORK_DIR=<dir> -P check_installed_cli.cmake
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/run_command.cmake")
set(RUN_DIRECTORY "${WORK_DIR}")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(cli "${PREFIX}/bin/krelt-cli")

run("${cli}" --version)
if(NOT output STREQUAL "krelt-cli ${VERSION}\n")
  message(FATAL_ERROR "krelt-cli --version printed '${output}', not 'krelt-cli ${VERSION}'")
endif()

get_filename_component(name "${SAMPLE}" NAME)
get_filename_component(base "${SAMPLE}" NAME_WLE)
file(COPY "${SAMPLE}" DESTINATION "${WORK_DIR}")
run("${cli}" convert --quiet "${name}")
if(NOT output STREQUAL "${base}.GD\n" OR NOT EXISTS "${WORK_DIR}/${base}.GD")
  message(FATAL_ERROR "convert printed '${output}' and wrote no ${base}.GD")
endif()
run("${cli}" verify --against "${name}" "${base}.GD")
message(STATUS "${output}")
