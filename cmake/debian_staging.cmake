# Runs inside `cpack -G DEB` on the staged tree, before the package is made:
# adds what Debian wants and a plain `cmake --install` does not lay out.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})

# gzip -9n: no name or time stamp inside, so the same tree gives the same bytes.
function(gzip_into from to)
  execute_process(COMMAND gzip -9nc ${from} OUTPUT_FILE ${to} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${from} failed")
  endif()
  file(CHMOD ${to} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

# cpack strips the symbols; the compiler's .comment and .note go as
# Debian's own strip takes them.
file(GLOB programs ${root}/bin/*)
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip ${program} failed")
  endif()
endforeach()

file(GLOB manpages ${root}/share/man/man1/*.1)
if(NOT manpages)
  message(FATAL_ERROR "no manual pages in ${root}/share/man/man1")
endif()
foreach(page IN LISTS manpages)
  gzip_into(${page} ${page}.gz)
  file(REMOVE ${page})
endforeach()

configure_file(${CPACK_WINGSTOW_DEBIAN_DIR}/copyright ${doc}/copyright COPYONLY)
file(CHMOD ${doc}/copyright PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# A native package's changelog, one entry for this version, dated by its
# release in the metadata.
set(VERSION ${CPACK_PACKAGE_VERSION})
set(MAINTAINER ${CPACK_DEBIAN_PACKAGE_MAINTAINER})
set(DATE ${CPACK_WINGSTOW_RELEASE_DATE})
set(changelog ${CPACK_TEMPORARY_DIRECTORY}/../changelog)
configure_file(${CPACK_WINGSTOW_DEBIAN_DIR}/changelog.in ${changelog} @ONLY)
gzip_into(${changelog} ${doc}/changelog.gz)
file(REMOVE ${changelog})
