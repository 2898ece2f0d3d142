# Debian packages through CPack: `cmake --build build --target package`
# writes build/krelt-cli_<version>_<arch>.deb and, when the dialog is built,
# build/krelt_<version>_<arch>.deb. Included by KreltInstall.cmake, which
# sets KRELT_COMPONENTS and KRELT_PACKAGES.

if(CMAKE_CROSSCOMPILING)
  return()
endif()

# The changelog's newest entry names the version being packaged.
file(STRINGS data/debian/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^krelt \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/debian/changelog starts with '${changelog_head}': "
                      "add an entry for version ${PROJECT_VERSION}")
endif()

set(KRELT_PACKAGE_CONTACT
    "Krelt maintainers <maintainers@users.noreply.c-seed-52b4cc19.example>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krelt)
set(CPACK_PACKAGE_VENDOR "The Krelt developers")
set(CPACK_PACKAGE_CONTACT "${KRELT_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${KRELT_COMPONENTS})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME krelt-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "turn pictures into GD source files for OSD firmware
krelt-cli converts BMP, PCX and PNG pictures and XSP sprite files into GD source
files: C source for an on-screen-display firmware that declares, for each
picture or frame, the pixel bytes compressed with the COMPRESS_Tfp method
and a TYPE_GrData record. It also compresses and decompresses COMPRESS_Tfp
streams and verifies GD files against their pictures.
.
The package includes the CMake package Krelt, whose krelt_add_assets
function converts a firmware's pictures at build time. Besides libspng
for PNG pictures it needs no graphical libraries.")

set(CPACK_DEBIAN_APP_PACKAGE_NAME krelt)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_APP_DEPENDS cli)
set(CPACK_COMPONENT_APP_DESCRIPTION
    "dialog that turns a picture into a GD source file
Krelt converts BMP, PCX and PNG pictures and XSP sprite files into GD source
files: C source for an on-screen-display firmware that declares, for each
picture or frame, the pixel bytes compressed with the COMPRESS_Tfp method
and a TYPE_GrData record.
.
This package holds the Qt dialog with its desktop entry; krelt-cli, which
it depends on, holds the command-line tool for builds.")

include(CPack)
set(KRELT_DEBIAN_PACKAGES ON)
