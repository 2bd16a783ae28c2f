# Fails when a source file under src/ breaks the layering, and names each fault:
#   - a file includes a header of a layer above its own;
#   - a file lies in a folder that is no layer (it would otherwise escape every rule);
#   - a file outside src/platform/linux includes a system header of POSIX or Linux.
#   cmake -DSOURCE_DIR=<folder holding src/> -P CheckLayers.cmake
# The layers and their order are those the build uses (cmake/Layers.cmake). Files directly in
# src/ are the program's entry point, above every layer.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Layers.cmake)

# Where the operating system's own interfaces may be used; everything else reaches them through
# the small interfaces of src/platform.
set(system_folder platform/linux)
# Headers of POSIX and Linux that ISO C and C++ do not have.
set(system_header_pattern
    "^(sys|linux|asm|arpa|netinet|net|blkid|libmount)/|^(unistd|fcntl|poll|dirent|pwd|grp|mntent|pthread|spawn|termios|syscall|dlfcn|sched|semaphore|syslog|utime|ifaddrs|netdb|libgen|fnmatch|glob|wordexp|ftw|execinfo|sysexits)\\.h$")

# The layer of a path relative to src/: the longest layer folder that holds it, so platform/gui
# is not taken for platform. "" when no layer holds it.
function(layer_of path out)
    set(found "")
    foreach(name ${QUILLMOT_LAYERS})
        string(LENGTH "${name}/" len)
        string(SUBSTRING "${path}" 0 ${len} head)
        string(LENGTH "${found}" foundLen)
        if(head STREQUAL "${name}/" AND len GREATER foundLen)
            set(found ${name})
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(faults 0)
macro(fault text)
    message("Layering fault: ${text}")
    math(EXPR faults "${faults} + 1")
endmacro()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
foreach(file ${files})
    if(NOT file MATCHES "/")
        continue() # the entry point
    endif()
    layer_of("${file}" own)
    if(own STREQUAL "")
        get_filename_component(folder "${file}" DIRECTORY)
        fault("${file} lies in ${folder}, which is no layer: add it to cmake/Layers.cmake")
        continue()
    endif()
    list(FIND QUILLMOT_LAYERS ${own} ownRank)

    file(STRINGS ${SOURCE_DIR}/src/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${lines})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*" "\\1" header
            "${line}")
        if(line MATCHES "include[ \t]*<")
            string(FIND "${file}" "${system_folder}/" inSystemFolder)
            if(header MATCHES "${system_header_pattern}" AND NOT inSystemFolder EQUAL 0)
                fault("${file} includes the system header <${header}> outside src/${system_folder}")
            endif()
            continue()
        endif()
        if(NOT header MATCHES "/")
            continue() # generated beside the file (a form's ui_ header)
        endif()
        layer_of("${header}" used)
        if(used STREQUAL "")
            fault("${file} (${own}) includes ${header}, which lies in no layer")
            continue()
        endif()
        list(FIND QUILLMOT_LAYERS ${used} usedRank)
        if(usedRank GREATER ownRank)
            fault("${file} (${own}) includes ${header} (${used}), a layer above its own")
        endif()
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "${faults} fault(s) in the layering")
endif()
list(LENGTH files count)
message(STATUS "${count} files, each in its layer, every include points down the layers")
