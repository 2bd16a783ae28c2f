# Sanitized builds carry their runtime options and library suppressions inside every program
# (cmake/sanitizer/RuntimeDefaults.cpp), so a test that starts the program as a child gets them
# as well and nobody has to export suppression files by hand. Included last, once every program
# is defined, so a program added later cannot be missed.
add_library(quillmot_sanitizer_defaults OBJECT
    ${CMAKE_CURRENT_LIST_DIR}/sanitizer/RuntimeDefaults.cpp)
# Plain C++ with nothing for Qt's code generators to do.
set_target_properties(quillmot_sanitizer_defaults PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
if(QUILLMOT_SANITIZER STREQUAL "thread")
    # Children that Qt starts in the parent's memory would leave the sanitizer's view of the
    # parent's thread broken (see the file).
    target_sources(quillmot_sanitizer_defaults PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/sanitizer/ForkedChildren.cpp)
endif()

function(quillmot_collect_executables dir out)
    set(found "")
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        quillmot_collect_executables(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

quillmot_collect_executables(${PROJECT_SOURCE_DIR} quillmot_programs)
foreach(program ${quillmot_programs})
    target_link_libraries(${program} PRIVATE quillmot_sanitizer_defaults)
endforeach()
