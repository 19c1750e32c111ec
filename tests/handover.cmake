# Commands handed over to a running window: the real window on a pty and the real program.
zeva_add_test(tst_handover SOURCES tst_handover.cpp support/form_harness.h LIBS zeva_gui TIMEOUT 90)
add_dependencies(tst_handover zeva-control)
