# A scripted command against a pyserial one-shot, and through a running panel.
add_executable(zeva-bench-send send_oneshot.cpp bench_util.h)
target_link_libraries(zeva-bench-send PRIVATE zeva_core)
target_compile_definitions(zeva-bench-send PRIVATE
    ZEVA_CONTROL_BINARY="$<TARGET_FILE:zeva-control>"
    ZEVA_SIM_BINARY="$<TARGET_FILE:zeva-projector-sim>"
    ZEVA_PYTHON="/usr/bin/python3"
    ZEVA_PYSERIAL_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/pyserial_oneshot.py")
add_dependencies(zeva-bench-send zeva-control zeva-projector-sim)
