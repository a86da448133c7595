# What users get: the installed files and the packages CPack makes of them.
#
#   Linux    bin/psulan, share/man/man1/psulan.1,
#            share/doc/psulan/{README,copyright,changelog};
#            cpack: psulan_<version>_<arch>.deb
#   Windows  psulan.exe and README.txt (CR LF line ends) side by side;
#            cpack: psulan-<version>-win64.zip
#
# The version is the project's (the help text shows the same).
include(GNUInstallDirs)

set(PSULAN_DOC_SOURCE ${PROJECT_SOURCE_DIR}/doc)
set(PSULAN_DOC_BUILD ${PROJECT_BINARY_DIR}/doc)
# The manual page with the version put in; the tests read it from here.
set(PSULAN_MANUAL_PAGE ${PSULAN_DOC_BUILD}/psulan.1)

if(WIN32)
  configure_file(${PSULAN_DOC_SOURCE}/README.in ${PSULAN_DOC_BUILD}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS psulan RUNTIME DESTINATION .)
  install(FILES ${PSULAN_DOC_BUILD}/README.txt DESTINATION .)
else()
  configure_file(${PSULAN_DOC_SOURCE}/README.in ${PSULAN_DOC_BUILD}/README @ONLY NEWLINE_STYLE UNIX)
  configure_file(${PSULAN_DOC_SOURCE}/psulan.1.in ${PSULAN_MANUAL_PAGE} @ONLY NEWLINE_STYLE UNIX)
  install(TARGETS psulan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PSULAN_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PSULAN_DOC_BUILD}/README ${PSULAN_DOC_SOURCE}/copyright ${PSULAN_DOC_SOURCE}/changelog
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# The newest changelog entry is the release being built.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PSULAN_DOC_SOURCE}/changelog)
file(STRINGS ${PSULAN_DOC_SOURCE}/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^psulan \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "doc/changelog begins with \"${newest_entry}\": "
                      "add an entry for version ${PROJECT_VERSION} at its top")
endif()

set(CPACK_PACKAGE_NAME psulan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "psulan developers")
set(CPACK_PACKAGE_CONTACT "psulan developers <psulan@psulan.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find, set up and command lab power supplies on a local network")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME psulan-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: as dpkg-shlibdeps finds them for the stripped binary.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "psulan is a console tool for technicians who install and service Rurev
Izurovozeva programmable power supplies and other laboratory instruments on
a local network. It finds the power supplies by a UDP broadcast, changes the
Ethernet set-up of one supply chosen by its MAC address, sends SCPI text, raw
hex data or Modbus-TCP requests to one instrument over TCP (or SCPI text over
UDP) from the command line or a command file, and finds Teracom modules.
Its output is plain text and its exit code tells how the run ended, for
scripts to rely on.")
  # Debian wants the manual page and the changelog compressed; a plain install
  # keeps them as they are.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-compress.cmake)
endif()

include(CPack)
