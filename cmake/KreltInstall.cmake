# Install rules, the CMake package and the Debian packages; on Windows the
# zip (KreltWindowsPackage.cmake).
#
# Two components, which become two Debian packages:
#   cli  krelt-cli, its man page, the CMake package and the documentation:
#        all a build server needs, without Qt;
#   app  the dialog with its man page, desktop entry and icons; its package
#        depends on krelt-cli.

if(WIN32)
  include(cmake/KreltWindowsPackage.cmake)
  return()
endif()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KRELT_DOC_DIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/krelt")
set(KRELT_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/Krelt")
set(KRELT_STAGE_DIR "${PROJECT_BINARY_DIR}/install-files")

install(TARGETS krelt-cli EXPORT KreltTargets
        RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT cli)

install(EXPORT KreltTargets NAMESPACE Krelt:: DESTINATION "${KRELT_CMAKE_DIR}"
        COMPONENT cli)
configure_package_config_file(cmake/KreltConfig.cmake.in
                              "${KRELT_STAGE_DIR}/KreltConfig.cmake"
                              INSTALL_DESTINATION "${KRELT_CMAKE_DIR}")
# The package holds a program for the build machine, not libraries, so a
# firmware built for a 32-bit target can use it too.
write_basic_package_version_file("${KRELT_STAGE_DIR}/KreltConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES "${KRELT_STAGE_DIR}/KreltConfig.cmake"
              "${KRELT_STAGE_DIR}/KreltConfigVersion.cmake"
              cmake/KreltAssets.cmake
        DESTINATION "${KRELT_CMAKE_DIR}" COMPONENT cli)

install(FILES README.md DESTINATION "${KRELT_DOC_DIR}" COMPONENT cli)
# The README links docs/*, so the documents keep that folder.
install(DIRECTORY docs/ DESTINATION "${KRELT_DOC_DIR}/docs" COMPONENT cli
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

# Man pages and changelogs go in compressed with gzip -n, so that the same
# sources give the same bytes.
find_program(KRELT_GZIP gzip REQUIRED)
set(compressed_files "")
function(krelt_gzip source destination)
  add_custom_command(
    OUTPUT "${destination}"
    COMMAND sh -c "\"$0\" -9n -c \"$1\" > \"$2\"" "${KRELT_GZIP}"
            "${PROJECT_SOURCE_DIR}/${source}" "${destination}"
    DEPENDS "${source}"
    COMMENT "Compressing ${source}"
    VERBATIM)
  set(compressed_files ${compressed_files} "${destination}" PARENT_SCOPE)
endfunction()

krelt_gzip(man/krelt-cli.1 "${KRELT_STAGE_DIR}/krelt-cli.1.gz")
krelt_gzip(data/debian/changelog "${KRELT_STAGE_DIR}/changelog.gz")
install(FILES "${KRELT_STAGE_DIR}/krelt-cli.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT cli)

set(KRELT_COMPONENTS cli)
set(KRELT_PACKAGES krelt-cli)
if(TARGET krelt)
  list(APPEND KRELT_COMPONENTS app)
  list(APPEND KRELT_PACKAGES krelt)
  install(TARGETS krelt RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT app)
  krelt_gzip(man/krelt.1 "${KRELT_STAGE_DIR}/krelt.1.gz")
  install(FILES "${KRELT_STAGE_DIR}/krelt.1.gz"
          DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT app)
  install(FILES data/krelt.desktop
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications" COMPONENT app)
  install(DIRECTORY data/icons/hicolor
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons" COMPONENT app)
endif()

# Each Debian package carries its own copyright and changelog.
foreach(component package IN ZIP_LISTS KRELT_COMPONENTS KRELT_PACKAGES)
  install(FILES data/debian/copyright "${KRELT_STAGE_DIR}/changelog.gz"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}"
          COMPONENT ${component})
endforeach()
add_custom_target(krelt_install_files ALL DEPENDS ${compressed_files})

include(cmake/KreltPackaging.cmake)
