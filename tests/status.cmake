# src/status: the monitor rendering, the decoding step and the number reader.
zeva_add_test(tst_display_form SOURCES tst_display_form.cpp LIBS zeva_status)
zeva_add_test(tst_number_reader SOURCES tst_number_reader.cpp LIBS zeva_core)
zeva_add_test(tst_decode SOURCES tst_decode.cpp LIBS zeva_core)
# The README's and the manual page's table of decoded states, as the decoding prints it (checked
# by the Linux build: the docs are the same for both).
if(NOT WIN32)
    add_test(NAME docs_hold_states COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:zeva-state-table>
        -DROOT=${PROJECT_SOURCE_DIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/support/docs_hold_states.cmake)
endif()
