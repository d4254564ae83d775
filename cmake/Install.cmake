# Install rules and the Debian package (cpack -G DEB in the build folder).
#
#   bin/relaydeck, bin/relaydeck-cli
#   lib/relaydeck/Relaydeck_Link.so            the TeamSpeak client plugin, copied from here
#                                              by "relaydeck-cli install-plugin" or the setup
#   share/relaydeck/sounds/<lang>/S000n.wav    announcements, copied into a base folder that
#                                              has none
#   share/applications, share/icons, share/man/man1, lib/systemd/user/relaydeck.service
#   lib/udev/rules.d/70-relaydeck-radio.rules   radio interface permissions (CM108, GPIO)
include(GNUInstallDirs)

set(RD_PKG_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(RD_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/relaydeck)

foreach(t relaydeck relaydeck-cli)
  if(TARGET ${t})
    install(TARGETS ${t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET Relaydeck_Link)
  install(TARGETS Relaydeck_Link LIBRARY DESTINATION ${RD_PLUGIN_INSTALL_DIR})
endif()
# Further plugin pieces (the settings dialog module) register themselves in this property.
get_property(rd_plugin_extras GLOBAL PROPERTY RD_PLUGIN_INSTALL_TARGETS)
foreach(t ${rd_plugin_extras})
  install(TARGETS ${t} LIBRARY DESTINATION ${RD_PLUGIN_INSTALL_DIR})
endforeach()

if(TARGET rd_sounds)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/sounds/ DESTINATION ${CMAKE_INSTALL_DATADIR}/relaydeck/sounds)
endif()

if(TARGET relaydeck)
  install(FILES ${RD_PKG_DIR}/relaydeck.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${RD_PKG_DIR}/relaydeck.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  set(RD_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
  configure_file(${RD_PKG_DIR}/relaydeck.service ${CMAKE_BINARY_DIR}/packaging/relaydeck.service @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/relaydeck.service DESTINATION lib/systemd/user)
endif()

# Radio interfaces: CM108 cards for the audio group, GPIO chips for the gpio group (the
# package's postinst creates it), the cards' volume keys kept from the desktop.
install(FILES ${RD_PKG_DIR}/udev/70-relaydeck-radio.rules DESTINATION lib/udev/rules.d)

# Man pages, compressed as Debian wants them.
find_program(RD_GZIP gzip)
set(rd_man_out)
foreach(page relaydeck.1 relaydeck-cli.1)
  if(EXISTS ${RD_PKG_DIR}/man/${page})
    set(out ${CMAKE_BINARY_DIR}/packaging/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
      COMMAND ${RD_GZIP} -9 -n -c ${RD_PKG_DIR}/man/${page} > ${out}
      DEPENDS ${RD_PKG_DIR}/man/${page} VERBATIM)
    list(APPEND rd_man_out ${out})
  endif()
endforeach()
if(rd_man_out AND RD_GZIP)
  add_custom_target(rd_manpages ALL DEPENDS ${rd_man_out})
  install(FILES ${rd_man_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Debian documentation files: copyright and a compressed changelog.
set(rd_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/relaydeck)
set(rd_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${rd_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${RD_GZIP} -9 -n -c ${RD_PKG_DIR}/changelog > ${rd_changelog}
  DEPENDS ${RD_PKG_DIR}/changelog VERBATIM)
add_custom_target(rd_changelog ALL DEPENDS ${rd_changelog})
install(FILES ${RD_PKG_DIR}/copyright DESTINATION ${rd_doc_dir})
install(FILES ${rd_changelog} DESTINATION ${rd_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME relaydeck)
set(CPACK_PACKAGE_VENDOR "Relaydeck developers")
set(CPACK_PACKAGE_CONTACT "Relaydeck developers <developers@relaydeck.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "radio gateways to TeamSpeak 3 voice servers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Relaydeck links radio transceivers with TeamSpeak 3 voice servers. Each
gateway joins one radio (audio on a sound card, push-to-talk and squelch on
a serial port, a CM108 sound card or GPIO lines) with one server connection
of the TeamSpeak 3 client, which loads the Relaydeck_Link plugin shipped
here. Roger beeps, beacon, transmit time limits, DTMF and chat commands.
Runs with its windows on the desktop or headless as a user service.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plugin is loaded by the TeamSpeak client, not by our programs: shlibdeps looks at it
# too, which is what we want (it needs only the C and C++ libraries).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sox")
# addgroup in the postinst
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${RD_PKG_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build[^/]*/" "/[.]git/")
include(CPack)
