# src/ports: which serial devices this machine has.
# The port listing of --list-ports, through the real program.
zeva_add_test(tst_list_ports SOURCES tst_list_ports.cpp LIBS zeva_core)
target_compile_definitions(tst_list_ports PRIVATE ZEVA_CONTROL_BINARY="$<TARGET_FILE:zeva-control>")
add_dependencies(tst_list_ports zeva-control)
zeva_add_test(tst_default_devices SOURCES tst_default_devices.cpp LIBS zeva_core)
# The ports the Ports dialog keeps: hand-edited files, typed devices, two writers at once.
zeva_add_test(tst_port_choice_settings SOURCES tst_port_choice_settings.cpp LIBS zeva_ports)
