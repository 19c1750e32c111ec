zeva_add_test(tst_layout_table SOURCES tst_layout_table.cpp LIBS zeva_core)
zeva_add_test(tst_layout_builder SOURCES tst_layout_builder.cpp LIBS zeva_gui)
