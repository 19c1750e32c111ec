# src/history: the log the exchange history is written to.
zeva_add_test(tst_history_log SOURCES tst_history_log.cpp support/form_harness.h LIBS zeva_gui)
add_dependencies(tst_history_log zeva-control)
