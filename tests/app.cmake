# src/app: the options, and the program as a whole (signals, start, the package).
zeva_add_test(tst_options SOURCES tst_options.cpp LIBS zeva_core)
add_dependencies(tst_options zeva-control)
zeva_add_test(tst_faults SOURCES tst_faults.cpp support/form_harness.h support/sim_process.h
    LIBS zeva_gui TIMEOUT 60)
add_dependencies(tst_faults zeva-projector-sim zeva-control)
# Builds the .deb with cpack in a scratch folder and reads it back with dpkg-deb.
zeva_add_test(tst_package SOURCES tst_package.cpp LIBS Qt6::Gui TIMEOUT 90)
target_compile_definitions(tst_package PRIVATE ZEVA_CPACK="${CMAKE_CPACK_COMMAND}"
    ZEVA_CPACK_CONFIG="${CMAKE_BINARY_DIR}/CPackConfig.cmake" ZEVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ZEVA_CMAKE="${CMAKE_COMMAND}" ZEVA_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(tst_package zeva-control zeva-projector-sim)
if(TARGET zeva_desktop_files) # the Debian package's files: not in the Windows build
    add_dependencies(tst_package zeva_desktop_files)
endif()
# The server mode as a site runs it: log rotation, a late device, the password file.
zeva_add_test(tst_serve SOURCES tst_serve.cpp support/form_harness.h support/sim_process.h
    LIBS zeva_gui)
add_dependencies(tst_serve zeva-control zeva-projector-sim)
