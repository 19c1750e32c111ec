target_sources(zeva_core PRIVATE
    panel/command_table.cpp panel/command_table.h
    panel/adjuster_table.cpp panel/adjuster_table.h)
target_sources(zeva_gui PRIVATE panel/panel_handlers.cpp
    panel/panel_accessibility.cpp panel/panel_accessibility.h)
