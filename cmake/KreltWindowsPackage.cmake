# The Windows zip through CPack: `cmake --build build-windows --target
# package` writes build-windows/krelt-<version>-windows-x64.zip. Its one
# folder holds the programs, README.txt, LICENSE.txt, the documents the
# README links (docs/), the samples and, in licenses/, the licences of the
# libraries linked into the programs. Included by KreltInstall.cmake.

install(TARGETS krelt-cli RUNTIME DESTINATION .)
if(TARGET krelt)
  install(TARGETS krelt RUNTIME DESTINATION .)
endif()
install(FILES README.md DESTINATION . RENAME README.txt)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(DIRECTORY docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(DIRECTORY samples/ DESTINATION samples)

# The C and C++ runtimes and winpthreads come from mingw-w64; the GCC
# runtime's exception asks for no notice.
set(KRELT_DEBIAN_DOC_DIR /usr/share/doc CACHE PATH
    "Debian's package documents, which hold the licences of the mingw libraries")
install(FILES "${KRELT_DEBIAN_DOC_DIR}/mingw-w64-x86-64-dev/copyright"
        DESTINATION licenses RENAME mingw-w64.txt)
if(TARGET krelt_spng)
  install(FILES "${KRELT_SPNG_SOURCE_DIR}/LICENSE" DESTINATION licenses RENAME libspng.txt)
  install(FILES "${KRELT_DEBIAN_DOC_DIR}/libz-mingw-w64-dev/copyright"
          DESTINATION licenses RENAME zlib.txt)
endif()
if(TARGET krelt_imagequant)
  install(FILES "${KRELT_IMAGEQUANT_SOURCE_DIR}/COPYRIGHT"
          DESTINATION licenses RENAME libimagequant.txt)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME krelt)
set(CPACK_PACKAGE_VENDOR "The Krelt developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "krelt-${PROJECT_VERSION}-windows-x64")
set(CPACK_STRIP_FILES ON)
include(CPack)
