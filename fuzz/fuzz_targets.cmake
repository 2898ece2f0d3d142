# The fuzz targets, shared by the libFuzzer build (fuzz/CMakeLists.txt) and
# the replay tests of the normal build (tests/fuzz_replay). Target NAME has
# its source in fuzz/fuzz_NAME.cpp and its saved inputs in
# fuzz/regression/NAME/.
set(KRELT_FUZZ_TARGETS
  bmp
  png
  pcx
  xsp
  tfp_decode
  tfp_round_trip
  tfp_max_round_trip
  conversion
  gd_reader
)
set(KRELT_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

# Adds executable `name` from the target's source plus extra sources.
function(krelt_add_fuzz_executable name target)
  add_executable(${name} ${KRELT_FUZZ_DIR}/fuzz_${target}.cpp ${ARGN})
  target_include_directories(${name} PRIVATE ${KRELT_FUZZ_DIR})
  target_link_libraries(${name} PRIVATE krelt_convert)
  krelt_warnings(${name})
endfunction()

# krelt-make-corpus writes the starting corpora; it builds valid pictures
# with the test picture writers.
function(krelt_add_make_corpus)
  if(TARGET krelt-make-corpus)
    return()
  endif()
  add_executable(krelt-make-corpus ${KRELT_FUZZ_DIR}/make_corpus.cpp)
  target_include_directories(krelt-make-corpus PRIVATE ${KRELT_FUZZ_DIR})
  target_link_libraries(krelt-make-corpus PRIVATE krelt_convert krelt_test_support)
  set_target_properties(krelt-make-corpus PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  krelt_warnings(krelt-make-corpus)
endfunction()
