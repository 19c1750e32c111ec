target_sources(zeva_core PRIVATE
    history/history.cpp history/history.h
    history/history_rows.cpp history/history_rows.h
    history/entry_text.cpp history/entry_text.h
    history/history_log.cpp history/history_log.h
    history/command_recall.cpp history/command_recall.h)
