# Installation: the tool and Help.pdf together in one private directory (the tool finds the
# help document beside its own executable), a link on the PATH, the simulator, manual pages,
# the desktop entry, icons and AppStream metadata in their standard places, and the Debian
# copyright and changelog; CPack turns it into a .deb. Every file a package needs lives in this
# folder; read after the programs' folders, so their targets are known here.
include(GNUInstallDirs)
set(MORVEL_APP_DIR ${CMAKE_INSTALL_LIBDIR}/morvel-sms-controller)
set(MORVEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/morvel-sms-controller)
set(package_dir ${CMAKE_BINARY_DIR}/package)
find_program(SCDOC_PROGRAM scdoc REQUIRED)
find_program(GZIP_PROGRAM gzip REQUIRED)

install(TARGETS morvel-sms-controller RUNTIME DESTINATION ${MORVEL_APP_DIR})
install(FILES ${CMAKE_BINARY_DIR}/Help.pdf DESTINATION ${MORVEL_APP_DIR})
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${MORVEL_APP_DIR}/morvel-sms-controller
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvel-sms-controller\" SYMBOLIC)")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/morvel-sms-controller.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/example.morvel.SmsController.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: the scalable drawing, and pixels at each size of the theme. Below 48 px the words of the
# drawing are an unreadable smear, so the small sizes come from a simpler drawing without them.
install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/app.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME morvel-sms-controller.svg)
set(icon_files "")
foreach(size 16 24 32 48 64 128 256)
  set(drawing ${CMAKE_SOURCE_DIR}/assets/icons/app.svg)
  if(size LESS 48)
    set(drawing ${CMAKE_CURRENT_LIST_DIR}/app-small.svg)
  endif()
  set(icon ${package_dir}/icons/${size}/morvel-sms-controller.png)
  morvel_render_picture(${drawing} ${icon} --size ${size})
  list(APPEND icon_files ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages, written in scdoc and compressed the way Debian wants them (no name, no time).
set(gzip_files "")
foreach(page morvel-sms-controller.1 morvel-relay-sim.1 morvel-smsctl.1)
  add_custom_command(OUTPUT ${package_dir}/man/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}/man
    COMMAND sh -c "\"$0\" < \"$1\" | \"$2\" -9n > \"$3\""
            ${SCDOC_PROGRAM} ${CMAKE_CURRENT_LIST_DIR}/man/${page}.scd ${GZIP_PROGRAM} ${package_dir}/man/${page}.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/${page}.scd
    COMMENT "Writing the manual page ${page}"
    VERBATIM)
  list(APPEND gzip_files ${package_dir}/man/${page}.gz)
  install(FILES ${package_dir}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian copyright file carries the terms of LICENSE, indented as its format asks.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
string(REGEX REPLACE "^[^\n]*\n\n[^\n]*\n\n" "" license "${license}") # title, copyright line
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(MORVEL_LICENSE_TERMS " ${license}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${package_dir}/copyright @ONLY)
install(FILES ${package_dir}/copyright DESTINATION ${MORVEL_DOC_DIR})

add_custom_command(OUTPUT ${package_dir}/changelog.Debian.gz
  COMMAND sh -c "\"$0\" -9n < \"$1\" > \"$2\""
          ${GZIP_PROGRAM} ${CMAKE_CURRENT_LIST_DIR}/changelog ${package_dir}/changelog.Debian.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  VERBATIM)
list(APPEND gzip_files ${package_dir}/changelog.Debian.gz)
install(FILES ${package_dir}/changelog.Debian.gz DESTINATION ${MORVEL_DOC_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME morvel-sms-controller)
add_custom_target(package_files ALL DEPENDS ${icon_files} ${gzip_files})

# The simulator, on the PATH under a name that says whose it is; the build tree keeps the short
# one. (install(TARGETS) cannot rename, so the stripping it would do for a package is done here.)
install(PROGRAMS $<TARGET_FILE:relay-sim> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME morvel-relay-sim)
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvel-relay-sim\")
  endif()")

# The command-line program beside it, on the PATH, with its bash completion (its manual page
# is among the others).
install(TARGETS morvel-smsctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/morvel-smsctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME morvel-smsctl)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvel-sms-controller)
set(CPACK_PACKAGE_VENDOR "Morvel Electronic")
set(CPACK_PACKAGE_CONTACT "Morvel Electronic <support@morvel-electronic.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure an SMS-controlled relay controller over a serial port")
# Lines of at most 80 columns, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for the technician who installs a Morvel SMS relay
controller: it reads the box's 59 settings over a serial port (the SMS
command words of its 12 relays, the texts it sends when one of its 10 inputs
changes, 8 telephone numbers with their call permissions and the relays'
start-up states), shows them on four pages for editing and writes them back.

The package also holds morvel-smsctl, which backs up, restores, compares and
provisions boxes from the command line with the same exchange, and
morvel-relay-sim, a relay controller simulated on a pseudo-terminal, for
trying the tool without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.morvel-electronic.example/")
# The libraries come from dpkg-shlibdeps; Qt's platform plugins are loaded at run time, unseen.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-dejavu-core, xdg-utils")
# The binaries go stripped; their symbols stay in the build tree's copies. (CPack's -dbgsym
# package lists its files by build-tree paths in md5sums, which lintian rightly rejects.)
set(CPACK_STRIP_FILES ON)
include(CPack)
