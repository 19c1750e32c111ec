# src/script: the scripted road, the request queue, the hand-over and the PJLink bridge.
# The scripted road: the real program against the virtual projector, directly and handed over.
zeva_add_test(tst_send SOURCES tst_send.cpp support/form_harness.h support/sim_process.h
    LIBS zeva_gui TIMEOUT 90)
add_dependencies(tst_send zeva-control zeva-projector-sim)
# The request queue every sender but the operator goes through, on the line without a window.
zeva_add_test(tst_exchange_queue SOURCES tst_exchange_queue.cpp LIBS zeva_script)
zeva_add_test(tst_network_script SOURCES tst_network_script.cpp support/scripted_peer.h
    support/ser2net_process.h LIBS Qt6::Network)
add_dependencies(tst_network_script zeva-control)
# The PJLink bridge: its mapping and one client's conversation.
zeva_add_test(tst_pjlink SOURCES tst_pjlink.cpp LIBS zeva_core)
# The server mode against the PJLink client package (tests/pjlink-client, installed by
# scripts/npm-deps.sh) and a window serving PJLink.
zeva_add_test(tst_pjlink_serve SOURCES tst_pjlink_serve.cpp support/form_harness.h
    support/sim_process.h LIBS zeva_gui TIMEOUT 120)
target_compile_definitions(tst_pjlink_serve PRIVATE
    ZEVA_PJLINK_CLIENT_DIR="${CMAKE_CURRENT_SOURCE_DIR}/pjlink-client")
add_dependencies(tst_pjlink_serve zeva-control zeva-projector-sim)
