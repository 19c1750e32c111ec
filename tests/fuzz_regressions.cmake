# Replays the fuzzers' seeds and every input they ever crashed on through the same entries.
if(WIN32)
    return() # the entries read numbers through POSIX locales
endif()
include(${PROJECT_SOURCE_DIR}/fuzz/entries.cmake)
zeva_add_test(tst_fuzz_regressions SOURCES tst_fuzz_regressions.cpp LIBS zeva_fuzz_entries)
target_compile_definitions(tst_fuzz_regressions PRIVATE
    ZEVA_FUZZ_DIR="${PROJECT_SOURCE_DIR}/fuzz")
