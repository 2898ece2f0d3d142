# The C libraries of the core as targets:
#   Spng::Spng              libspng, for PNG pictures (when KRELT_PNG is on)
#   ImageQuant::ImageQuant  libimagequant (Windows build only; the Linux
#                           build finds Debian's libimagequant-dev itself)
# The Linux build uses Debian's libspng-dev. Debian has neither library for
# mingw, so the Windows build compiles them from Debian's source packages,
# unpacked by `scripts/install-deps.sh --sources DIR libspng libimagequant`,
# as static libraries; libspng against the static zlib of libz-mingw-w64-dev.

option(KRELT_PNG "Read PNG pictures with libspng" ON)

if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
  find_path(KRELT_SPNG_INCLUDE_DIR spng.h)
  find_library(KRELT_SPNG_LIBRARY spng)
  if(KRELT_PNG AND KRELT_SPNG_INCLUDE_DIR AND KRELT_SPNG_LIBRARY)
    add_library(Spng::Spng UNKNOWN IMPORTED)
    set_target_properties(Spng::Spng PROPERTIES
                          IMPORTED_LOCATION "${KRELT_SPNG_LIBRARY}"
                          INTERFACE_INCLUDE_DIRECTORIES "${KRELT_SPNG_INCLUDE_DIR}")
  endif()
  return()
endif()

set(KRELT_SOURCE_PACKAGES_DIR "${PROJECT_BINARY_DIR}/debian-sources" CACHE PATH
    "Debian source packages of libspng and libimagequant, one folder each")
set(KRELT_SPNG_SOURCE_DIR "${KRELT_SOURCE_PACKAGES_DIR}/libspng")
set(KRELT_IMAGEQUANT_SOURCE_DIR "${KRELT_SOURCE_PACKAGES_DIR}/libimagequant")

enable_language(C)

# A static library of the C files named after `dir`, which also holds their
# public header. Its warnings are silenced: the code is not ours to change.
function(krelt_source_package_library target alias dir)
  list(TRANSFORM ARGN PREPEND "${dir}/" OUTPUT_VARIABLE sources)
  add_library(${target} STATIC EXCLUDE_FROM_ALL ${sources})
  set_target_properties(${target} PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
  target_compile_options(${target} PRIVATE -w)
  target_include_directories(${target} SYSTEM PUBLIC "${dir}")
  add_library(${alias} ALIAS ${target})
endfunction()

if(KRELT_PNG AND EXISTS "${KRELT_SPNG_SOURCE_DIR}/spng/spng.c")
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  krelt_source_package_library(krelt_spng Spng::Spng "${KRELT_SPNG_SOURCE_DIR}/spng" spng.c)
  # Static linking without dllimport; the portable filters, as Debian's
  # build uses.
  target_compile_definitions(krelt_spng PUBLIC SPNG_STATIC PRIVATE SPNG_DISABLE_OPT)
  target_link_libraries(krelt_spng PRIVATE ZLIB::ZLIB)
elseif(KRELT_PNG)
  message(STATUS "No libspng sources in ${KRELT_SPNG_SOURCE_DIR}: run "
                 "scripts/install-deps.sh --sources ${KRELT_SOURCE_PACKAGES_DIR} libspng")
endif()

if(EXISTS "${KRELT_IMAGEQUANT_SOURCE_DIR}/libimagequant.c")
  # SSE as in Debian's amd64 build; no OpenMP, so that the program needs no
  # OpenMP runtime DLL.
  krelt_source_package_library(krelt_imagequant ImageQuant::ImageQuant
                               "${KRELT_IMAGEQUANT_SOURCE_DIR}"
                               libimagequant.c blur.c kmeans.c mediancut.c mempool.c
                               nearest.c pam.c)
  target_compile_definitions(krelt_imagequant PRIVATE USE_SSE=1)
else()
  message(STATUS "No libimagequant sources in ${KRELT_IMAGEQUANT_SOURCE_DIR}: run "
                 "scripts/install-deps.sh --sources ${KRELT_SOURCE_PACKAGES_DIR} libimagequant")
endif()
