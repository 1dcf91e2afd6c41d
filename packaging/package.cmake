# The documentation of an installation and the Debian package built from it
# (cpack -G DEB; scripts/package.sh). Every install() rule of the tree goes
# into the package: a further program needs only its install(TARGETS ...),
# a manual page doc/NAME.1.scd and a completion doc/completion/NAME.

# README, the copyright file (MURAL's and the data files' licences) and the
# changelog, in Debian's form: files over 4 kB and the changelog gzipped.
set(MURAL_PACKAGE_MAINTAINER "MURAL maintainers <mural@example.org>"
    CACHE STRING "Maintainer named in the package and its changelog")
set(doc_build ${PROJECT_BINARY_DIR}/packaging)
string(TIMESTAMP MURAL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# The licences of the data files are kept once, in data/velin/LICENSE.*; the
# copyright file takes their "License:" paragraphs.
foreach(name hershey dejavu)
  file(READ ${PROJECT_SOURCE_DIR}/data/velin/LICENSE.${name} text)
  string(FIND "${text}" "\nLicense: " start)
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${text}" ${start} -1 text)
  string(STRIP "${text}" text)
  set(MURAL_LICENSE_${name} "${text}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${doc_build}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${doc_build}/changelog @ONLY)

find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${doc_build}/changelog.gz ${doc_build}/README.md.gz
  COMMAND ${GZIP} -9n < ${doc_build}/changelog > ${doc_build}/changelog.gz
  COMMAND ${GZIP} -9n < ${PROJECT_SOURCE_DIR}/README.md > ${doc_build}/README.md.gz
  DEPENDS ${doc_build}/changelog ${PROJECT_SOURCE_DIR}/README.md
  COMMENT "Compressed README and changelog"
  VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${doc_build}/changelog.gz ${doc_build}/README.md.gz)
install(FILES ${doc_build}/copyright ${doc_build}/changelog.gz ${doc_build}/README.md.gz
  ${PROJECT_SOURCE_DIR}/data/velin/NOTICE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The example run and the answers of the README's commands.
install(FILES
  examples/run1.ERG examples/run1.IGB examples/run1.dat examples/run1.DIF
  examples/LESDIG.DEF examples/hintergrund.dig examples/MURAL.ISO examples/MURAL.RAS
  examples/vektoren.txt examples/richtungen.lst examples/atlas.txt
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mural)
set(CPACK_PACKAGE_CONTACT "${MURAL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plots of micro-scale wind-field model results")
set(CPACK_PACKAGE_DESCRIPTION
"MURAL reads the binary result file of a micro-scale wind-field model of a
city site and draws one section of it, chosen in a short German console
dialogue, into an HP-GL/2 plot file: wind arrows, streamlines, trajectories,
isolines or colour rasters, with the buildings and trees of the model, a
background map, legend, axes or scale bar, wind rose and north arrow.

It also writes pictures of the plot as PNG, PDF or SVG, and plt2img converts
any plot file into such a picture.")
# The package installs where the program looks for its data: the configured prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs are linked with (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
