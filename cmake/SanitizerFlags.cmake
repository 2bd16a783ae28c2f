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
    if(QUILLMOT_SANITIZER STREQUAL "thread")
        # The check of a polymorphic object's type probes its memory by writing it into a pipe
        # that the runtime closes behind the thread sanitizer's back; the sanitizer then takes
        # the next descriptor with that number, opened by another thread, for a race with the
        # probe. The address build makes the same type checks without that noise.
        add_compile_options(-fno-sanitize=vptr)
        add_link_options(-fno-sanitize=vptr)
    endif()
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC's uninitialised-use analysis cannot see through the sanitizers' instrumentation
        # and warns about values that are always set (GCC's manual advises against -Werror
        # with sanitizers for this reason); the plain build keeps the warning.
        add_compile_options(-Wno-maybe-uninitialized)
    endif()
    message(STATUS "Sanitizers: ${QUILLMOT_SANITIZER} and undefined behaviour")
endif()
