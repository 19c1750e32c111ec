# Installation and the Debian package: both programs, the menu entry with its icon, the man page.
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

# Man pages are shipped compressed; -n keeps the archive free of time stamps.
find_program(ZEVA_GZIP gzip REQUIRED)
set(zeva_man_gz ${CMAKE_BINARY_DIR}/man/zeva-control.1.gz)
add_custom_command(
    OUTPUT ${zeva_man_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${ZEVA_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/docs/zeva-control.1 > ${zeva_man_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/zeva-control.1
    COMMENT "Compressing the man page")
add_custom_target(zeva_desktop_files ALL DEPENDS ${zeva_icon_pngs} ${zeva_man_gz})

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
install(FILES ${zeva_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The server mode as a systemd template unit, one instance per serial device.
install(FILES data/zeva-control-serve@.service DESTINATION lib/systemd/system)

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
    "decodes the replies. Also ships zeva-projector-sim, a virtual projector on a\n"
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
include(CPack)
