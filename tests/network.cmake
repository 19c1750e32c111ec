# Serial over the network: the Telnet parser, addresses, default devices, the network
# transports against real sockets and ser2net, and reopening a lost line.
zeva_add_test(tst_telnet_codec SOURCES tst_telnet_codec.cpp LIBS zeva_core)
zeva_add_test(tst_network_link SOURCES tst_network_link.cpp support/ser2net_process.h
    LIBS zeva_core Qt6::Network)
zeva_add_test(tst_ser2net SOURCES tst_ser2net.cpp support/form_harness.h
    support/ser2net_process.h support/sim_process.h LIBS zeva_gui Qt6::Network TIMEOUT 90)
add_dependencies(tst_ser2net zeva-projector-sim)
zeva_add_test(tst_default_devices SOURCES tst_default_devices.cpp LIBS zeva_core)
zeva_add_test(tst_reconnect SOURCES tst_reconnect.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_network_script SOURCES tst_network_script.cpp support/scripted_peer.h
    support/ser2net_process.h LIBS Qt6::Network)
add_dependencies(tst_network_script zeva-control)
