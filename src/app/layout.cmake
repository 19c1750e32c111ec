# The layout table is pure data (zeva_core); the widgets built from it and the emblem need Qt Widgets.
target_sources(zeva_core PRIVATE
    app/layout_table.cpp app/layout_table.h)
target_sources(zeva_gui PRIVATE
    app/layout_builder.cpp app/layout_builder.h
    app/emblem.cpp app/emblem.h)
