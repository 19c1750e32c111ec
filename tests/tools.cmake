# tools: the virtual projector: its state machine, and the executable driven over a pseudo-terminal.
zeva_add_test(tst_projector_sim SOURCES tst_projector_sim.cpp LIBS zeva_sim)
target_compile_definitions(tst_projector_sim PRIVATE
    ZEVA_SIM_FALLBACK="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(tst_projector_sim zeva-projector-sim)
# The faults the virtual projector can put on the line.
zeva_add_test(tst_sim_faults SOURCES tst_sim_faults.cpp LIBS zeva_sim)
target_compile_definitions(tst_sim_faults PRIVATE
    ZEVA_SIM_FALLBACK="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(tst_sim_faults zeva-projector-sim)
# The virtual projector on TCP, answering the real panel.
zeva_add_test(tst_sim_listen SOURCES tst_sim_listen.cpp LIBS Qt6::Network)
target_compile_definitions(tst_sim_listen PRIVATE
    ZEVA_SIM_FALLBACK="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(tst_sim_listen zeva-projector-sim zeva-control)
