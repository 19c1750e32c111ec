# src/panel: the designed panel as data.
zeva_add_test(tst_panel_tables SOURCES tst_panel_tables.cpp LIBS zeva_core)
zeva_add_test(tst_layout_table SOURCES tst_layout_table.cpp LIBS zeva_core)
