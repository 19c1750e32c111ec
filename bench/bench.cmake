# Benchmarks: programs that measure and print, never tests.
add_executable(zeva-bench-hold hold_repeat.cpp)
target_link_libraries(zeva-bench-hold PRIVATE zeva_gui zeva_testsupport Qt6::Test)
