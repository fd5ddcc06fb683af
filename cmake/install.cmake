# Installation: the tool and Help.pdf together in one private directory (the tool finds the
# help document beside its own executable), a link on the PATH, the desktop entry, the icon
# and the AppStream metadata in their standard places; CPack turns it into a .deb.
include(GNUInstallDirs)
set(MORVEL_APP_DIR ${CMAKE_INSTALL_LIBDIR}/morvel-sms-controller)

install(TARGETS morvel-sms-controller RUNTIME DESTINATION ${MORVEL_APP_DIR})
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${MORVEL_APP_DIR}/morvel-sms-controller
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvel-sms-controller\" SYMBOLIC)")
install(FILES ${CMAKE_SOURCE_DIR}/assets/linux/morvel-sms-controller.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/app.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME morvel-sms-controller.svg)
install(FILES ${CMAKE_SOURCE_DIR}/assets/linux/morvel-sms-controller.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The command-line program beside it: on the PATH, with its bash completion.
if(TARGET morvel-smsctl)
  install(TARGETS morvel-smsctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/smsctl/morvel-smsctl.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME morvel-smsctl)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvel-sms-controller)
set(CPACK_PACKAGE_VENDOR "Morvel")
set(CPACK_PACKAGE_CONTACT "support@morvel-electronic.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure an SMS-controlled relay controller over a serial port")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins, libtomlplusplus3, libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-dejavu-core, xdg-utils")
include(CPack)
