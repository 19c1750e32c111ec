# The PJLink bridge: its mapping and one client's conversation.
zeva_add_test(tst_pjlink SOURCES tst_pjlink.cpp LIBS zeva_core)
