# Collects the sources of a layer. Window classes (files named frm*, or any file in
# src/app and src/about) go to the window library; everything else is core.
#   quorvel_sources(<out-var> CORE|UI|ALL <folder>...)
function(quorvel_sources out kind)
    set(result "")
    foreach(folder IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS
            ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
        foreach(file IN LISTS found)
            get_filename_component(name ${file} NAME)
            set(is_ui FALSE)
            if(name MATCHES "^(frm|Widget|Gui)" OR folder MATCHES "^src/(app|about)$")
                set(is_ui TRUE)
            endif()
            if(kind STREQUAL "ALL"
               OR (kind STREQUAL "UI" AND is_ui)
               OR (kind STREQUAL "CORE" AND NOT is_ui))
                list(APPEND result ${file})
            endif()
        endforeach()
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()
