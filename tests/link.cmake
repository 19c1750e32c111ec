# src/link: the serial layer and its network transports.
zeva_add_test(tst_serial_comm SOURCES tst_serial_comm.cpp LIBS zeva_core)
# Serial over the network: the Telnet parser and the network transports against real sockets
# and ser2net.
zeva_add_test(tst_telnet_codec SOURCES tst_telnet_codec.cpp LIBS zeva_core)
zeva_add_test(tst_network_link SOURCES tst_network_link.cpp support/ser2net_process.h
    LIBS zeva_core Qt6::Network)
zeva_add_test(tst_ser2net SOURCES tst_ser2net.cpp support/form_harness.h
    support/ser2net_process.h support/sim_process.h LIBS zeva_gui Qt6::Network TIMEOUT 90)
add_dependencies(tst_ser2net zeva-projector-sim)
