# What `cmake --install` puts beside the two programs: manual pages, bash completion, the
# desktop entry with its MIME type, icons and AppStream metainfo, and the documents under
# share/doc/voxbench. The Debian package (VoxbenchPackage.cmake) is made from the same rules.

set(VOXBENCH_PACKAGE_MAINTAINER "The Voxbench authors <voxbench@example.org>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")

set(voxbench_docdir ${CMAKE_INSTALL_DATADIR}/doc/voxbench)
set(voxbench_generated ${CMAKE_BINARY_DIR}/packaging)

# Manual pages, written as scdoc sources and compressed the way Debian ships them (-n: no name
# or time stamp inside, so the same page gives the same bytes). The date a page shows is that
# of the newest changelog entry, not the day of the build.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in voxbench_trailer REGEX "^ -- "
     LIMIT_COUNT 1)
if(NOT voxbench_trailer MATCHES "  (.+)$")
  message(FATAL_ERROR "packaging/debian/changelog.in: no date in the first entry's trailer line")
endif()
execute_process(COMMAND date --utc --date ${CMAKE_MATCH_1} +%s
                OUTPUT_VARIABLE voxbench_release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
find_program(SCDOC_EXECUTABLE scdoc)
set(voxbench_pages voxtool)
if(VOXBENCH_BUILD_UI)
  list(APPEND voxbench_pages voxbench)
endif()
if(SCDOC_EXECUTABLE)
  set(voxbench_manpages)
  foreach(page IN LISTS voxbench_pages)
    set(source ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1.scd)
    set(page_file ${voxbench_generated}/man/${page}.1)
    add_custom_command(
      OUTPUT ${page_file}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${voxbench_generated}/man
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${voxbench_release_epoch}
              sh -c "exec \"$0\" < \"$1\" > \"$2\"" ${SCDOC_EXECUTABLE} ${source} ${page_file}
      COMMAND gzip -9nf ${page_file}
      DEPENDS ${source}
      COMMENT "Writing the manual page ${page}(1)"
      VERBATIM)
    list(APPEND voxbench_manpages ${page_file}.gz)
  endforeach()
  install(FILES ${voxbench_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "scdoc not found: the manual pages are neither built nor installed "
                  "(scripts/install-deps.sh installs it)")
endif()

# The copyright file in Debian's machine-readable form, its licence text taken from LICENSE.
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE voxbench_license)
if(NOT voxbench_license MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) YEAR HOLDER\" line before the licence text")
endif()
set(VOXBENCH_COPYRIGHT ${CMAKE_MATCH_1})
string(REPLACE "\n\n" "\n.\n" VOXBENCH_LICENSE_TEXT " ${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " VOXBENCH_LICENSE_TEXT "${VOXBENCH_LICENSE_TEXT}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/copyright.in ${voxbench_generated}/copyright
               @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${voxbench_generated}/changelog
               @ONLY)
add_custom_command(
  OUTPUT ${voxbench_generated}/changelog.gz
  COMMAND gzip -9nkf ${voxbench_generated}/changelog
  DEPENDS ${voxbench_generated}/changelog
  VERBATIM)
add_custom_target(voxbench_docs ALL DEPENDS ${voxbench_manpages}
                                            ${voxbench_generated}/changelog.gz)

install(FILES ${voxbench_generated}/copyright ${CMAKE_SOURCE_DIR}/README.md
              ${CMAKE_SOURCE_DIR}/docs/unpacked-format.md
        DESTINATION ${voxbench_docdir})
install(FILES ${voxbench_generated}/changelog.gz DESTINATION ${voxbench_docdir})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/completion/voxtool.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME voxtool)

if(VOXBENCH_BUILD_UI)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/voxbench.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/voxbench-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME voxbench.xml)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/io.github.voxbench.Voxbench.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()
