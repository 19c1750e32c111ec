# Serial over the network and reopening a lost line.
add_executable(zeva-bench-net net_latency.cpp bench_util.h bench_panel.h)
target_link_libraries(zeva-bench-net PRIVATE zeva_gui zeva_testsupport Qt6::Test Qt6::Network)

add_executable(zeva-bench-reconnect reconnect.cpp bench_util.h)
target_link_libraries(zeva-bench-reconnect PRIVATE zeva_core zeva_testsupport Qt6::Test)
