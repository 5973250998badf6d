# The Debian package (cpack -G DEB, or scripts/package.sh): what the install rules place, plus
# the manual pages, the bash completion, the udev rule and the Debian documents kept in
# packaging/. Installed under /usr.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR VEXILO_CORE_ONLY)
  return()
endif()

include(GNUInstallDirs)
set(VEXILO_PACKAGE_CONTACT "Orvane <vexilo@orvane.example>" CACHE STRING
    "Maintainer of the Debian package")
set(vexilo_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(vexilo_packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(vexilo_docdir ${CMAKE_INSTALL_DATADIR}/doc/vexilo)

# Debian wants manual pages and the changelog compressed, without name or time stamp so that
# the same sources give the same package.
configure_file(${vexilo_packaging}/changelog.in ${vexilo_packaging_out}/changelog @ONLY)
set(vexilo_compressed)
foreach(file vexilo.1 vexilo-cli.1 nimbra-sim.1 changelog)
  if(file STREQUAL "changelog")
    set(source ${vexilo_packaging_out}/changelog)
  else()
    set(source ${vexilo_packaging}/${file})
  endif()
  add_custom_command(OUTPUT ${vexilo_packaging_out}/${file}.gz
                     COMMAND gzip -9n -c ${source} > ${vexilo_packaging_out}/${file}.gz
                     DEPENDS ${source} VERBATIM)
  list(APPEND vexilo_compressed ${vexilo_packaging_out}/${file}.gz)
endforeach()
add_custom_target(vexilo_packaging_files ALL DEPENDS ${vexilo_compressed})

install(FILES ${vexilo_packaging_out}/vexilo.1.gz ${vexilo_packaging_out}/vexilo-cli.1.gz
              ${vexilo_packaging_out}/nimbra-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${vexilo_packaging_out}/changelog.gz ${vexilo_packaging}/copyright
              ${vexilo_packaging}/README.Debian
        DESTINATION ${vexilo_docdir})
# A component of its own, so that the completion test can install it alone.
install(FILES ${vexilo_packaging}/vexilo-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vexilo-cli
        COMPONENT bash_completion)
install(FILES ${vexilo_packaging}/60-vexilo-ftdi-latency.rules
        DESTINATION lib/udev/rules.d)
# The simulator's default configuration and a few lists to try it with.
install(FILES ${PROJECT_SOURCE_DIR}/examples/instrument.nol
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vexilo/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/lists
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vexilo/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexilo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEXILO_PACKAGE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "workbench for the Nimbra laboratory instrument
Vexilo reads the object configuration of a Nimbra instrument over a serial
line, builds and edits object lists, checks every object against the
instrument's own classes before it sends whole lists, and prints list
descriptions. The package holds the workbench (vexilo), its command-line twin
(vexilo-cli) and a simulator of the instrument (nimbra-sim).")
# The libraries come from dpkg-shlibdeps; Qt's platform plugins and the audit trail's SQLite
# driver are loaded at run time, so no library dependency shows them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
