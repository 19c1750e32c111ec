# src/window: the window on the offscreen platform, driven through its handlers.
zeva_add_test(tst_transaction SOURCES tst_transaction.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_port_choice SOURCES tst_port_choice.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_panel SOURCES tst_panel.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_views SOURCES tst_views.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_entry SOURCES tst_entry.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_history_window SOURCES tst_history_window.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_accessibility SOURCES tst_accessibility.cpp LIBS zeva_gui)
zeva_add_test(tst_scaled_layout SOURCES tst_scaled_layout.cpp LIBS zeva_gui)
zeva_add_test(tst_layout_builder SOURCES tst_layout_builder.cpp LIBS zeva_gui)
# Commands handed over to a running window: the real window on a pty and the real program.
zeva_add_test(tst_handover SOURCES tst_handover.cpp support/form_harness.h LIBS zeva_gui TIMEOUT 90)
add_dependencies(tst_handover zeva-control)
zeva_add_test(tst_reconnect SOURCES tst_reconnect.cpp support/form_harness.h LIBS zeva_gui)
zeva_add_test(tst_history SOURCES tst_history.cpp support/form_harness.h LIBS zeva_gui)
# The Ports dialog and the choice it keeps, through a pty and the real program.
zeva_add_test(tst_ports_dialog SOURCES tst_ports_dialog.cpp support/form_harness.h
    support/sim_process.h LIBS zeva_gui)
add_dependencies(tst_ports_dialog zeva-control zeva-projector-sim)
