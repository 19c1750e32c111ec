# Installation and the Debian package: both programs, the menu entry with its icon, the man
# pages, the server's unit, its example configuration and its logs' rotation.
#   cmake --install BUILD [--prefix /usr/local]
#   cpack -G DEB --config BUILD/CPackConfig.cmake
include(GNUInstallDirs)

set(ZEVA_ICON_SIZES 16 32 48 64 128 256)

# The PNG icons come from the same drawing as the window icon, rendered at build time.
add_executable(zeva-render-icons data/icons/render_icons.cpp)
target_link_libraries(zeva-render-icons PRIVATE zeva_gui)
set(zeva_icon_dir ${CMAKE_BINARY_DIR}/icons)
set(zeva_icon_pngs "")
foreach(size IN LISTS ZEVA_ICON_SIZES)
    list(APPEND zeva_icon_pngs ${zeva_icon_dir}/${size}x${size}.png)
endforeach()
add_custom_command(
    OUTPUT ${zeva_icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:zeva-render-icons> ${zeva_icon_dir} ${ZEVA_ICON_SIZES}
    DEPENDS zeva-render-icons
    COMMENT "Rendering the application icon")

# Man pages and the changelog are shipped compressed; -n keeps them free of time stamps.
find_program(ZEVA_GZIP gzip REQUIRED)
set(zeva_gz_files "")
function(zeva_compressed source output)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gz
        COMMAND ${ZEVA_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/${source} > ${output}
        DEPENDS ${CMAKE_SOURCE_DIR}/${source}
        COMMENT "Compressing ${source}")
    set(zeva_gz_files ${zeva_gz_files} ${output} PARENT_SCOPE)
endfunction()
set(zeva_man_gz ${CMAKE_BINARY_DIR}/gz/zeva-control.1.gz)
set(zeva_sim_man_gz ${CMAKE_BINARY_DIR}/gz/zeva-projector-sim.1.gz)
set(zeva_changelog_gz ${CMAKE_BINARY_DIR}/gz/changelog.gz)
zeva_compressed(docs/zeva-control.1 ${zeva_man_gz})
zeva_compressed(docs/zeva-projector-sim.1 ${zeva_sim_man_gz})
zeva_compressed(data/changelog ${zeva_changelog_gz})
add_custom_target(zeva_desktop_files ALL DEPENDS ${zeva_icon_pngs} ${zeva_gz_files})

install(TARGETS zeva-control zeva-projector-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window's module, where zeva-control looks for it: ../lib/zeva-control beside bin/.
install(TARGETS zeva_panel_module LIBRARY DESTINATION lib/zeva-control)
install(FILES data/zeva-control.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/icons/zeva-control.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS ZEVA_ICON_SIZES)
    install(FILES ${zeva_icon_dir}/${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME zeva-control.png)
endforeach()
install(FILES ${zeva_man_gz} ${zeva_sim_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(zeva_docdir ${CMAKE_INSTALL_DATADIR}/doc/zeva-control)
install(FILES ${zeva_changelog_gz} DESTINATION ${zeva_docdir})
install(FILES data/serve.conf DESTINATION ${zeva_docdir}/examples)

# The server mode as a systemd template unit, one instance per serial device. Its ExecStart
# names the program where this installation puts it: the prefix is known only when installing
# (cpack installs into /usr), so the unit is written then.
set(zeva_unit ${CMAKE_BINARY_DIR}/unit/zeva-control-serve@.service)
install(CODE "
    set(ZEVA_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    configure_file(${CMAKE_SOURCE_DIR}/data/zeva-control-serve@.service.in ${zeva_unit} @ONLY)
")
install(FILES ${zeva_unit} DESTINATION lib/systemd/system)
# The logs' rotation: /etc under /usr, else below the prefix, as GNUInstallDirs has it.
install(CODE "
    set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(etc /etc)
    endif()
    file(INSTALL ${CMAKE_SOURCE_DIR}/data/zeva-control.logrotate
         DESTINATION \"\${etc}/logrotate.d\" RENAME zeva-control)
")

# The package's copyright file, in Debian's machine-readable format, carries the licence text of
# LICENSE (the MIT licence, which Debian calls Expat): one source for both.
set(ZEVA_MAINTAINER "ZEVA Control maintainers <maintainers@zeva-control.invalid>")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE zeva_license)
string(FIND "${zeva_license}" "Permission is hereby granted" zeva_license_start)
string(SUBSTRING "${zeva_license}" ${zeva_license_start} -1 zeva_license)
string(STRIP "${zeva_license}" zeva_license)
string(REPLACE "\n\n" "\n.\n" zeva_license "${zeva_license}")
string(REPLACE "\n" "\n " ZEVA_LICENSE_TEXT " ${zeva_license}")
configure_file(data/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zeva-control)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zeva-control)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote-control panel for a video projector on a serial line")
# Lines of the long description end where they should in the control file (80 columns).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "One window of coloured buttons that send the projector's RS-232 commands,\n"
    "with hold-to-repeat adjusters, a TXD/RXD line monitor and a status line that\n"
    "decodes the replies; scripts send commands from the command line.\n"
    ".\n"
    "Without a window it runs as a server (a systemd unit per serial device) that\n"
    "holds the port and serves it to scripts and to PJLink class 1 controllers on\n"
    "the network. Also ships zeva-projector-sim, a virtual projector on a\n"
    "pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "${ZEVA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: the Japanese Gothic stand-in fonts of the panel, and the platform plugins
# without which the Qt libraries cannot open a window on a desktop.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins")
# The maintainer scripts reload systemd and restart running server instances on upgrade, as
# Debian's helpers do; the window's module is loaded by path, so no ldconfig.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/data/debian/conffiles ${CMAKE_SOURCE_DIR}/data/debian/postinst
    ${CMAKE_SOURCE_DIR}/data/debian/prerm ${CMAKE_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
