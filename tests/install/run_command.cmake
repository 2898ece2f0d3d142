# run(command...): runs the command and stops the script with everything it
# printed when it fails; its standard output is left in `output`. When
# RUN_DIRECTORY is set, the command runs there.
function(run)
  set(directory "")
  if(RUN_DIRECTORY)
    set(directory WORKING_DIRECTORY "${RUN_DIRECTORY}")
  endif()
  execute_process(COMMAND ${ARGN} ${directory} RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nexited with ${rc}:\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()
