# Commands handed over to a running window: the real window on a pty and the real program.
zeva_add_test(tst_handover SOURCES tst_handover.cpp support/form_harness.h LIBS zeva_gui TIMEOUT 90)
add_dependencies(tst_handover zeva-control)
# The request queue every sender but the operator goes through, on the line without a window.
zeva_add_test(tst_exchange_queue SOURCES tst_exchange_queue.cpp LIBS zeva_script)
