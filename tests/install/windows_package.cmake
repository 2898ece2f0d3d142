# The Windows zip: cpack writes krelt-VERSION-windows-x64.zip into WORK_DIR,
# which unpacks to one folder holding every file in FILES; each program in
# it imports system DLLs only. With LINUX_CLI, the unpacked krelt-cli.exe
# writes the same files as the Linux program (compare-windows-samples.sh,
# which runs it through the WINE of the environment).
# Usage: cmake -DCPACK=<cpack> -DCPACK_CONFIG=<CPackConfig.cmake>
#              -DWORK_DIR=<dir> -DVERSION=<version> -DOBJDUMP=<objdump>
#              -DFILES=<file;...> [-DLINUX_CLI=<krelt-cli> -DCOMPARE=<script>]
#              -P windows_package.cmake
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/run_command.cmake")

# DLLs every Windows has; a program importing any other would not start
# from the unpacked zip.
set(system_dlls advapi32 comctl32 comdlg32 dwmapi gdi32 kernel32 msimg32 msvcrt ole32
    oleaut32 shell32 shlwapi user32 uxtheme)

set(name "krelt-${VERSION}-windows-x64")
file(REMOVE_RECURSE "${WORK_DIR}")
run("${CPACK}" --config "${CPACK_CONFIG}" -B "${WORK_DIR}")
if(NOT EXISTS "${WORK_DIR}/${name}.zip")
  message(FATAL_ERROR "cpack wrote no ${name}.zip:\n${output}")
endif()
set(RUN_DIRECTORY "${WORK_DIR}")
run("${CMAKE_COMMAND}" -E tar xf "${name}.zip")
set(root "${WORK_DIR}/${name}")

foreach(file IN LISTS FILES)
  if(NOT EXISTS "${root}/${file}")
    message(FATAL_ERROR "${name}.zip holds no ${file}")
  endif()
endforeach()

file(GLOB programs "${root}/*.exe")
if(NOT programs)
  message(FATAL_ERROR "${name}.zip holds no program")
endif()
foreach(program IN LISTS programs)
  run("${OBJDUMP}" -p "${program}")
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${output}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "DLL Name: (.+)\\.[Dd][Ll][Ll]$" "\\1" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls)
      message(FATAL_ERROR "${program} imports ${import}")
    endif()
  endforeach()
endforeach()

if(LINUX_CLI)
  unset(RUN_DIRECTORY)
  run(bash "${COMPARE}" "${LINUX_CLI}" "${root}/krelt-cli.exe" "${WORK_DIR}/comparison")
endif()
