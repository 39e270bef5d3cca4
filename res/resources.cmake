# velto_add_resources(target [SCRIPT name.rc] [VERSION major minor]): compiles a program's resources into it: the
# script res/velto.rc (all of the program's resources) unless another script of res/ is named, with the
# project's version or the one given (a build that stands for another release, as the update tests need). The
# project's version is the one place the version is stated: every program's version resource, and so the
# title, the update query and the release's file names, follow it. The string tables are saved as UTF-8, which
# the script's code_page pragma declares to the resource compiler.
set(VELTO_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(velto_add_resources target)
    cmake_parse_arguments(PARSE_ARGV 1 resources "" "SCRIPT" "VERSION")
    set(name velto.rc)
    if(resources_SCRIPT)
        set(name ${resources_SCRIPT})
    endif()
    set(script "${VELTO_RESOURCE_DIR}/${name}")
    set(major ${PROJECT_VERSION_MAJOR})
    set(minor ${PROJECT_VERSION_MINOR})
    if(resources_VERSION)
        list(GET resources_VERSION 0 major)
        list(GET resources_VERSION 1 minor)
        # The version is the script's own: one source file can carry only one set of definitions.
        set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc")
        file(CONFIGURE OUTPUT "${script}" CONTENT "#include \"${name}\"\n")
    endif()
    file(GLOB parts CONFIGURE_DEPENDS "${VELTO_RESOURCE_DIR}/*.rc" "${VELTO_RESOURCE_DIR}/*.manifest"
         "${VELTO_RESOURCE_DIR}/icons/*")
    target_sources(${target} PRIVATE "${script}")
    # The resource compiler finds the icons and the included scripts relative to res/, the identifiers in src/.
    target_include_directories(${target} PRIVATE "${VELTO_RESOURCE_DIR}" "${PROJECT_SOURCE_DIR}/src")
    set_property(SOURCE "${script}" APPEND PROPERTY OBJECT_DEPENDS ${parts}
                 "${PROJECT_SOURCE_DIR}/src/ui/framework/ResourceIds.h")
    set_property(SOURCE "${script}" APPEND PROPERTY COMPILE_DEFINITIONS
                 VELTO_VERSION_MAJOR=${major} VELTO_VERSION_MINOR=${minor})
endfunction()
