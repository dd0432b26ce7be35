# The Debian package, made by `make deb` (cpack -G DEB in the build folder) from the install
# rules. The runtime dependencies come from dpkg-shlibdeps, which reads the programs' ELF
# headers; only what the programs load at run time without linking it is named here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voxbench)
set(CPACK_PACKAGE_VENDOR "The Voxbench authors")
set(CPACK_PACKAGE_CONTACT ${VOXBENCH_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for speech databases")
set(CPACK_PACKAGE_DESCRIPTION
    "Voxbench browses and edits speech databases: a talk file that holds every
recording coded, and three tables beside it that make fragments (each in up to
14 voices), evals (choices among fragments) and comms (spoken commands) of
those recordings.

The desktop program voxbench shows one fragment and one comm at a time, plays
them, exports and replaces recordings, edits the tables and searches them for
cross references. The command-line tool voxtool reads, checks, searches and
edits the same databases, and unpacks a database into ordinary files and packs
it again.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 0)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VOXBENCH_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VOXBENCH_BUILD_UI)
  # Qt loads its display platform plugins (xcb, wayland) at run time.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()

include(CPack)
