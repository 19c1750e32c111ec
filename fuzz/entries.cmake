# The entry functions, shared by the fuzzers and by the regression test that replays their
# inputs in the normal build; whichever of the two comes first defines the library.
if(NOT TARGET zeva_fuzz_entries)
    add_library(zeva_fuzz_entries STATIC
        ${CMAKE_CURRENT_LIST_DIR}/decode_model.cpp
        ${CMAKE_CURRENT_LIST_DIR}/decode_model.h
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_command_lines.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_entries.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_entries.h
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_pjlink.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_receive_path.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fuzz_telnet.cpp)
    target_include_directories(zeva_fuzz_entries PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(zeva_fuzz_entries PUBLIC zeva_gui zeva_sim)
endif()
