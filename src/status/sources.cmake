target_sources(zeva_core PRIVATE
    status/number_reader.cpp status/number_reader.h
    status/decode.cpp status/decode.h)
