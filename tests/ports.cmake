# src/ports: which serial devices this machine has.
# The port listing of --list-ports, through the real program.
zeva_add_test(tst_list_ports SOURCES tst_list_ports.cpp LIBS zeva_core)
target_compile_definitions(tst_list_ports PRIVATE ZEVA_CONTROL_BINARY="$<TARGET_FILE:zeva-control>")
add_dependencies(tst_list_ports zeva-control)
zeva_add_test(tst_default_devices SOURCES tst_default_devices.cpp LIBS zeva_core)
