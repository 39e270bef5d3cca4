# velto_add_resources(target): compiles the program's resources (res/velto.rc) into a program. The string tables
# are saved as UTF-8, which the script's code_page pragma declares to the resource compiler.
set(VELTO_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(velto_add_resources target)
    set(script "${VELTO_RESOURCE_DIR}/velto.rc")
    file(GLOB parts CONFIGURE_DEPENDS "${VELTO_RESOURCE_DIR}/*.rc" "${VELTO_RESOURCE_DIR}/*.manifest"
         "${VELTO_RESOURCE_DIR}/icons/*")
    target_sources(${target} PRIVATE "${script}")
    # The resource compiler finds the icons and the included scripts relative to res/, the identifiers in src/.
    target_include_directories(${target} PRIVATE "${VELTO_RESOURCE_DIR}" "${PROJECT_SOURCE_DIR}/src")
    set_property(SOURCE "${script}" APPEND PROPERTY OBJECT_DEPENDS ${parts}
                 "${PROJECT_SOURCE_DIR}/src/ui/ResourceIds.h")
    set_property(SOURCE "${script}" APPEND PROPERTY COMPILE_DEFINITIONS
                 VELTO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} VELTO_VERSION_MINOR=${PROJECT_VERSION_MINOR})
endfunction()
