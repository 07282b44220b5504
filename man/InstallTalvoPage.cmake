# Install step: writes talvo's manual page (talvo.1, and talvo-b.1 for
# variant B) with the model directory of this installation, wherever
# cmake --install --prefix puts it.
if(IS_ABSOLUTE "${TALVO_DATADIR}")
  set(data_dir "${TALVO_DATADIR}/talvo")
else()
  set(data_dir "${CMAKE_INSTALL_PREFIX}/${TALVO_DATADIR}/talvo")
endif()
# A hyphen in a path is a minus sign to the formatter, so that the path
# copied from the page is the path.
string(REPLACE "-" "\\-" TALVO_DATA_DIR "${data_dir}")
set(TALVO_MODEL_DIR "${TALVO_DATA_DIR}/param\\-human")
# Written in a folder of this destination's own, so that installs of one
# build to several prefixes at once do not write over each other's page.
string(SHA1 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(page "${TALVO_PAGE_BINARY_DIR}/${destination}/talvo.1")
configure_file("${TALVO_PAGE_SOURCE}" "${page}" @ONLY)
if(IS_ABSOLUTE "${TALVO_MANDIR}")
  set(man_dir "${TALVO_MANDIR}/man1")
else()
  set(man_dir "${CMAKE_INSTALL_PREFIX}/${TALVO_MANDIR}/man1")
endif()
file(INSTALL "${page}" DESTINATION "${man_dir}")
file(INSTALL "${page}" DESTINATION "${man_dir}" RENAME talvo-b.1)
file(REMOVE_RECURSE "${TALVO_PAGE_BINARY_DIR}/${destination}")
