# Installs the build tree, stripped as the Debian packages are, into an
# emptied staging prefix.
# Usage: cmake -DBUILD_DIR=<build> -DSTAGE=<prefix> -P install_staging.cmake
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}" --strip
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install exited with ${rc}")
endif()
