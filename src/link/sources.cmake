target_sources(zeva_core PRIVATE
    link/display_form.cpp link/display_form.h
    link/line_settings.cpp link/line_settings.h
    link/serial_comm.cpp link/serial_comm.h
    link/transport.h
    link/local_transport.cpp link/local_transport.h
    link/tcp_transport.cpp link/tcp_transport.h
    link/telnet_codec.cpp link/telnet_codec.h
    link/device_address.cpp link/device_address.h
    link/reconnector.cpp link/reconnector.h)
