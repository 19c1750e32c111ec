# Desktop integration: the port listing, names for assistive tools, 200 % scaling and the package.
zeva_add_test(tst_list_ports SOURCES tst_list_ports.cpp LIBS zeva_core)
target_compile_definitions(tst_list_ports PRIVATE ZEVA_CONTROL_BINARY="$<TARGET_FILE:zeva-control>")
add_dependencies(tst_list_ports zeva-control)

zeva_add_test(tst_accessibility SOURCES tst_accessibility.cpp LIBS zeva_gui)
zeva_add_test(tst_scaled_layout SOURCES tst_scaled_layout.cpp LIBS zeva_gui)

# Builds the .deb with cpack in a scratch folder and reads it back with dpkg-deb.
zeva_add_test(tst_package SOURCES tst_package.cpp LIBS Qt6::Gui TIMEOUT 90)
target_compile_definitions(tst_package PRIVATE ZEVA_CPACK="${CMAKE_CPACK_COMMAND}"
    ZEVA_CPACK_CONFIG="${CMAKE_BINARY_DIR}/CPackConfig.cmake" ZEVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(tst_package zeva-control zeva-projector-sim zeva_desktop_files)
