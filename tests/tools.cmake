# tools: the virtual projector: its state machine, and the executable driven over a pseudo-terminal
# and, with the real panel, over TCP.
zeva_add_test(tst_projector_sim SOURCES tst_projector_sim.cpp LIBS zeva_sim)
target_compile_definitions(tst_projector_sim PRIVATE
    ZEVA_SIM_FALLBACK="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(tst_projector_sim zeva-projector-sim zeva-control)
# The faults the virtual projector can put on the line.
zeva_add_test(tst_sim_faults SOURCES tst_sim_faults.cpp LIBS zeva_sim)
target_compile_definitions(tst_sim_faults PRIVATE
    ZEVA_SIM_FALLBACK="$<TARGET_FILE:zeva-projector-sim>")
add_dependencies(tst_sim_faults zeva-projector-sim)
