target_sources(zeva_core PRIVATE
    panel/command_table.cpp panel/command_table.h
    panel/adjuster_table.cpp panel/adjuster_table.h)
