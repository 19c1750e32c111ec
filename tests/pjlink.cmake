# src/pjlink: the PJLink bridge: its mapping and one client's conversation.
zeva_add_test(tst_pjlink SOURCES tst_pjlink.cpp LIBS zeva_core)
# The server mode against the PJLink client package (tests/pjlink-client, installed by
# scripts/npm-deps.sh) and a window serving PJLink.
zeva_add_test(tst_pjlink_serve SOURCES tst_pjlink_serve.cpp support/form_harness.h
    support/sim_process.h LIBS zeva_gui TIMEOUT 120)
target_compile_definitions(tst_pjlink_serve PRIVATE
    ZEVA_PJLINK_CLIENT_DIR="${CMAKE_CURRENT_SOURCE_DIR}/pjlink-client")
add_dependencies(tst_pjlink_serve zeva-control zeva-projector-sim)
