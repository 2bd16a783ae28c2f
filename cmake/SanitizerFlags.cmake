# Turns QUILLMOT_SANITIZE into QUILLMOT_SANITIZER (empty, address or thread) and the compiler
# options for it. The address and the thread sanitizer cannot share one program; the
# undefined-behaviour sanitizer goes with either.
string(TOUPPER "${QUILLMOT_SANITIZE}" sanitize)
if(sanitize STREQUAL "ADDRESS" OR sanitize MATCHES "^(ON|YES|TRUE|Y|1)$")
    # ON keeps meaning what it meant before the thread sanitizer came.
    set(QUILLMOT_SANITIZER address)
elseif(sanitize STREQUAL "THREAD")
    set(QUILLMOT_SANITIZER thread)
elseif(sanitize MATCHES "^(OFF|NO|FALSE|N|0|)$")
    set(QUILLMOT_SANITIZER "")
else()
    message(FATAL_ERROR "QUILLMOT_SANITIZE is OFF, address (or ON) or thread, not \"${QUILLMOT_SANITIZE}\"")
endif()
if(QUILLMOT_SANITIZER STREQUAL "thread" AND QUILLMOT_FUZZ)
    message(FATAL_ERROR "The fuzz targets use the address sanitizer: build them without the thread sanitizer")
endif()
if(QUILLMOT_SANITIZER)
    add_compile_options(-fsanitize=${QUILLMOT_SANITIZER},undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=${QUILLMOT_SANITIZER},undefined)
    message(STATUS "Sanitizers: ${QUILLMOT_SANITIZER} and undefined behaviour")
endif()
