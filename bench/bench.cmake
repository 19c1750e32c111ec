# Benchmarks: programs that measure and print, never tests. bench/run-all.sh runs them all.
add_executable(zeva-bench-hold hold_repeat.cpp)
target_link_libraries(zeva-bench-hold PRIVATE zeva_gui zeva_testsupport Qt6::Test)

# The yardstick for start-up: only Qt Widgets, none of the panel.
add_executable(zeva-bench-trivial-window trivial_window.cpp expose_probe.h bench_util.h)
target_link_libraries(zeva-bench-trivial-window PRIVATE Qt6::Widgets)

# The real program, with a preloaded probe that reports its first expose.
add_library(zeva-bench-startup-probe MODULE startup_probe.cpp expose_probe.h bench_util.h)
target_link_libraries(zeva-bench-startup-probe PRIVATE Qt6::Widgets)
add_executable(zeva-bench-startup startup.cpp bench_util.h)
target_link_libraries(zeva-bench-startup PRIVATE Qt6::Core util)
target_compile_definitions(zeva-bench-startup PRIVATE
    ZEVA_CONTROL_PATH="$<TARGET_FILE:zeva-control>"
    ZEVA_STARTUP_PROBE="$<TARGET_FILE:zeva-bench-startup-probe>")
add_dependencies(zeva-bench-startup zeva-bench-trivial-window zeva-bench-startup-probe zeva-control)

add_executable(zeva-bench-press press_latency.cpp bench_util.h)
target_link_libraries(zeva-bench-press PRIVATE zeva_gui zeva_testsupport Qt6::Test)

add_executable(zeva-bench-flood flood.cpp bench_util.h)
target_link_libraries(zeva-bench-flood PRIVATE zeva_gui zeva_testsupport Qt6::Test)

add_executable(zeva-bench-soak soak.cpp bench_util.h)
target_link_libraries(zeva-bench-soak PRIVATE zeva_gui zeva_testsupport Qt6::Test)

# Micro-benchmarks of the receive path, where Google Benchmark is installed.
find_package(benchmark QUIET)
if(benchmark_FOUND)
    add_executable(zeva-bench-receive receive.cpp bench_util.h)
    target_link_libraries(zeva-bench-receive PRIVATE zeva_gui benchmark::benchmark)
endif()

add_executable(zeva-bench-history history.cpp bench_util.h)
target_link_libraries(zeva-bench-history PRIVATE zeva_gui)
