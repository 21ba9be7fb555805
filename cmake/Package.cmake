# What a Unix install adds beside the library (cmake/Install.cmake): the
# companion with its manual page and bash completion, the package's documents,
# and the Debian package made of them all by CPack (cpack --preset deb, run by
# scripts/package.sh; the `package` configure preset builds for it).
include(GNUInstallDirs)

install(TARGETS orvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(orvane_maintainer "Orvane maintainers <maintainers@users.noreply.c-seed-ce850fb2.example>")

if(UNIX AND NOT APPLE)
  find_program(ORVANE_GZIP gzip)
endif()
if(ORVANE_GZIP)
  # Compressed as Debian wants them, without names or dates (-n), so the
  # bytes depend on the text alone.
  set(docs ${CMAKE_CURRENT_BINARY_DIR}/package-docs)
  add_custom_command(OUTPUT ${docs}/orvane-cli.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
    COMMAND ${ORVANE_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/docs/man/orvane-cli.1 > ${docs}/orvane-cli.1.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/orvane-cli.1 VERBATIM)
  add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
    COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=${docs}/changelog
            -DPACKAGE=orvane "-DMAINTAINER=${orvane_maintainer}" -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    COMMAND ${ORVANE_GZIP} -9n -f ${docs}/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake VERBATIM)
  add_custom_target(orvane_package_docs ALL DEPENDS ${docs}/orvane-cli.1.gz ${docs}/changelog.gz)

  install(FILES ${docs}/orvane-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES cli/completion/orvane-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME orvane-cli)
  install(FILES packaging/debian/copyright ${docs}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane)
endif()

# The Debian package: orvane_VERSION_ARCH.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "${orvane_maintainer}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "four-colouring of random planar maps: companion and C++ library")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvane builds a random planar map from a 32-bit seed and a node count, the
Delaunay triangulation of seeded sites, and colours it with four colours by
ring growth and Kempe-chain colour swaps, one visible phase at a time or in
one go. Batch runs measure how often and how fast the method succeeds.
.
This package holds orvane-cli, the headless companion of the Orvane window
program (maps, step traces, export files, pictures and batch run logs), and
the library for C++ programs: its headers, static libraries and CMake package
files (find_package(Orvane), target Orvane::orvane).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cmake, g++")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianStrip.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
