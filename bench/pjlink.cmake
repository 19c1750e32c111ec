# PJLink: request to first byte, round trip through the server mode, the window under polling.
add_executable(zeva-bench-pjlink pjlink.cpp pjlink_load.cpp bench_util.h bench_panel.h)
target_link_libraries(zeva-bench-pjlink PRIVATE zeva_gui zeva_testsupport Qt6::Test)
target_compile_definitions(zeva-bench-pjlink PRIVATE
    ZEVA_CONTROL_BINARY="$<TARGET_FILE:zeva-control>"
    ZEVA_SIM_BINARY="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(zeva-bench-pjlink zeva-control zeva-projector-sim)
