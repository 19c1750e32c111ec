target_sources(zeva_core PRIVATE app/options.cpp app/options.h app/list_ports.cpp app/list_ports.h)
target_sources(zeva_gui PRIVATE
    app/form1.cpp app/form1.h
    app/form1_port.cpp
    app/form1_transaction.cpp
    app/form1_entry.cpp
    app/form1_panel.cpp
    app/form1_views.cpp
    app/panel_accessibility.cpp app/panel_accessibility.h
    app/quit_signals.cpp app/quit_signals.h)
