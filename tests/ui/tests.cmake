# The string-table, template and title tests load the program's own resources back, so they are linked in.
include(${PROJECT_SOURCE_DIR}/res/resources.cmake)
velto_add_resources(${target})
target_compile_definitions(${target} PRIVATE VELTO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
                           VELTO_VERSION_MINOR=${PROJECT_VERSION_MINOR})
target_sources(${target} PRIVATE "${CMAKE_CURRENT_LIST_DIR}/TestResources.rc")
