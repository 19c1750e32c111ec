# src/script: the scripted run: the real program against the virtual projector, directly and
# handed over.
zeva_add_test(tst_send SOURCES tst_send.cpp support/form_harness.h support/sim_process.h
    LIBS zeva_gui TIMEOUT 90)
add_dependencies(tst_send zeva-control zeva-projector-sim)
zeva_add_test(tst_network_script SOURCES tst_network_script.cpp support/scripted_peer.h
    support/ser2net_process.h LIBS Qt6::Network)
add_dependencies(tst_network_script zeva-control)
