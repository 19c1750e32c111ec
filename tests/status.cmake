# src/status: the monitor rendering, the decoding step and the number reader.
zeva_add_test(tst_display_form SOURCES tst_display_form.cpp LIBS zeva_status)
zeva_add_test(tst_number_reader SOURCES tst_number_reader.cpp LIBS zeva_core)
zeva_add_test(tst_decode SOURCES tst_decode.cpp LIBS zeva_core)
