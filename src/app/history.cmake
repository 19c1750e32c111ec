# The History window and its table model, and the Form1 methods that feed and show the history.
target_sources(zeva_gui PRIVATE
    app/form1_history.cpp
    app/history_model.cpp app/history_model.h
    app/history_window.cpp app/history_window.h)
