# Serial over the network: the Telnet parser, addresses, default devices, the network
# transports against real sockets and ser2net, and reopening a lost line.
zeva_add_test(tst_telnet_codec SOURCES tst_telnet_codec.cpp LIBS zeva_core)
