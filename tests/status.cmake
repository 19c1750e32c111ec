# src/status: the decoding step and the number reader.
zeva_add_test(tst_number_reader SOURCES tst_number_reader.cpp LIBS zeva_core)
zeva_add_test(tst_decode SOURCES tst_decode.cpp LIBS zeva_core)
