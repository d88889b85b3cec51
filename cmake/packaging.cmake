# `cpack -G DEB` in a release build configured with
# -DCMAKE_INSTALL_PREFIX=/usr makes wingstow_<version>_<arch>.deb from the
# install rules. What Debian wants beyond them (the copyright and changelog
# in /usr/share/doc/wingstow, gzipped manual pages) is added to the staged
# tree by debian_staging.cmake, so that a plain `cmake --install` stays as
# it is.
set(CPACK_PACKAGE_NAME wingstow)
set(CPACK_PACKAGE_VENDOR "Wingstow developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "install and remove airplane add-ons for FS2002 and FS2004")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian wants a mail address here; the project has none to give, so the
# default is one that RFC 2606 reserves for names that cannot exist, and a
# distributor puts theirs.
set(WINGSTOW_DEB_MAINTAINER "Wingstow developers <wingstow@wingstow.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${WINGSTOW_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The extended description below the summary; CPack indents it and writes
# an empty line as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Wingstow installs airplane add-ons, as they come in ZIP, 7z or RAR
archives, into the FS2002 and FS2004 flight simulators, including
simulators that run under Wine, and removes them again.

It unpacks an archive, shows its pictures and files, and copies the
airplane with its gauges, sounds, effects and flights into the simulator,
never over a file that is already there. Every install keeps a record of
what it brought, so that a removal takes back exactly that. The window
(wingstow) and the command line (wingstow-cli) share the same settings
and records.")

# The changelog's entry is dated by this version's release in the metadata.
file(READ ${PROJECT_SOURCE_DIR}/data/io.github.wingstow.Wingstow.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\" date=\"([0-9-]+)\"")
  message(FATAL_ERROR "the metainfo has no release entry for version ${PROJECT_VERSION}")
endif()
execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_1} 00:00:00"
                OUTPUT_VARIABLE CPACK_WINGSTOW_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "date could not read the release date ${CMAKE_MATCH_1}")
endif()

set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian_staging.cmake)
# Read by debian_staging.cmake inside cpack, which sees only CPACK_ variables.
set(CPACK_WINGSTOW_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/data/debian)

include(CPack)
