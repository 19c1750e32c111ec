target_sources(zeva_core PRIVATE
    link/display_form.cpp link/display_form.h
    link/line_settings.cpp link/line_settings.h
    link/serial_comm.cpp link/serial_comm.h)
