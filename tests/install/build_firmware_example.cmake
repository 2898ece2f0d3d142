# Builds the example firmware from scratch in a copy outside the source tree
# and runs its check program.
# Usage: cmake -DEXAMPLE=<examples/firmware> -DWORK_DIR=<dir>
#              (-DKRELT_SOURCE_DIR=<krelt sources> | -DPREFIX=<installed krelt>)
#              -P build_firmware_example.cmake
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/run_command.cmake")

file(REMOVE_RECURSE "${WORK_DIR}")
file(COPY "${EXAMPLE}/" DESTINATION "${WORK_DIR}/firmware")
if(KRELT_SOURCE_DIR)
  set(krelt_argument "-DKRELT_SOURCE_DIR=${KRELT_SOURCE_DIR}")
  set(expected_cli "${WORK_DIR}/build/krelt/krelt-cli")
else()
  set(krelt_argument "-DCMAKE_PREFIX_PATH=${PREFIX}")
  set(expected_cli "${PREFIX}/bin/krelt-cli")
endif()

run("${CMAKE_COMMAND}" -S "${WORK_DIR}/firmware" -B "${WORK_DIR}/build" -G Ninja
    "${krelt_argument}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/build")

# The pictures were converted by the krelt-cli this way of finding Krelt
# names, not by some other one on the machine.
run(ninja -C "${WORK_DIR}/build" -t commands)
string(FIND "${output}" "${expected_cli} convert" at)
if(at LESS 0)
  message(FATAL_ERROR "no conversion ran ${expected_cli}:\n${output}")
endif()

run("${WORK_DIR}/build/check_pictures")
message(STATUS "${output}")

# The conversions that would run next, one "picture" per line.
function(pending_conversions out_var)
  run(ninja -C "${WORK_DIR}/build" -n)
  string(REGEX MATCHALL "Converting [^\n]*" lines "${output}")
  list(SORT lines)
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# A changed picture is converted again, and only that one; a changed
# krelt-cli converts every picture again.
set(pictures "${WORK_DIR}/firmware/pictures")
file(TOUCH_NOCREATE "${pictures}/badge.pcx")
pending_conversions(pending)
if(NOT pending STREQUAL "Converting ${pictures}/badge.pcx")
  message(FATAL_ERROR "after badge.pcx changed, ninja would run: ${pending}")
endif()
run(ninja -C "${WORK_DIR}/build")
file(TOUCH_NOCREATE "${expected_cli}")
pending_conversions(pending)
list(LENGTH pending count)
if(NOT count EQUAL 5)
  message(FATAL_ERROR "after krelt-cli changed, ninja would run: ${pending}")
endif()
