zeva_add_test(tst_panel_tables SOURCES tst_panel_tables.cpp LIBS zeva_core)
