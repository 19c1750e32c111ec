# The program is split in two so that what needs no window never loads the widget libraries:
# zeva-control (Qt Core, the serial layer, the scripted road) and the module zeva-panel.so
# (the window), which zeva-control loads only to show the window.
find_package(Qt6 6.4 REQUIRED COMPONENTS Network)
target_link_libraries(zeva_core PUBLIC Qt6::Network)
target_link_libraries(zeva_gui PUBLIC Qt6::Network)

target_sources(zeva_core PRIVATE
    app/script_exchange.cpp app/script_exchange.h
    app/script_run.cpp app/script_run.h
    app/handover_socket.cpp app/handover_socket.h
    app/handover_client.cpp app/handover_client.h)
target_sources(zeva_gui PRIVATE
    app/form1_handover.cpp
    app/handover_server.cpp app/handover_server.h)

add_executable(zeva-control app/main.cpp app/panel_loader.cpp app/panel_module.h)
target_link_libraries(zeva-control PRIVATE zeva_core ${CMAKE_DL_LIBS})

add_library(zeva_panel MODULE app/panel_main.cpp)
# Beside the program in the build tree; in lib/zeva-control when installed.
set_target_properties(zeva_panel PROPERTIES PREFIX "" OUTPUT_NAME zeva-panel)
target_link_libraries(zeva_panel PRIVATE zeva_gui)
add_dependencies(zeva-control zeva_panel)
# Only the entry point is exported; the libraries linked in stay private to the module.
target_link_options(zeva_panel PRIVATE -Wl,--exclude-libs,ALL)
