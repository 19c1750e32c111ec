# Fails unless a Markdown file of the project (README.md, docs/*.md) holds TOOL's Markdown table
# verbatim and a manual page (docs/*.1) its man table: the docs' table of decoded states is the
# decoding's own. Run as cmake -DTOOL=... -DROOT=... -P docs_hold_states.cmake.
file(GLOB markdown ${ROOT}/README.md ${ROOT}/docs/*.md)
file(GLOB man ${ROOT}/docs/*.1)
foreach(format markdown man)
    execute_process(COMMAND ${TOOL} ${format} OUTPUT_VARIABLE block COMMAND_ERROR_IS_FATAL ANY)
    set(found FALSE)
    foreach(file ${${format}})
        file(READ ${file} text)
        string(FIND "${text}" "${block}" at)
        if(at GREATER -1)
            set(found TRUE)
        endif()
    endforeach()
    if(NOT found)
        message(FATAL_ERROR "no file of ${${format}} holds `zeva-state-table ${format}`:\n${block}")
    endif()
endforeach()
