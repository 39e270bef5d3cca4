# Rooms, layers and test programs. Sources are found by globbing, so adding a file to a room needs no edit here.
#
# The code lives in rooms: src/<folder>/<room>, each a static library named velto_<folder>_<room>. The folders
# form layers, lowest first (VELTO_LAYERS); a room may use rooms of its own folder declared before it and rooms
# of lower layers, nothing else. velto_module refuses anything else when CMake configures, and the source check
# of `make test` (tests/checks) holds every include to what the room's declared uses reach.

# Folders side by side in one layer are one list item, separated by blanks.
set(VELTO_LAYERS "platform" "foundation" "terminal connection" "session" "ui maintenance")

function(velto_room_target room result)
    string(REPLACE "/" "_" target "velto_${room}")
    set(${result} ${target} PARENT_SCOPE)
endfunction()

# The layer index of a room's folder, or -1 for a folder outside the layers.
function(velto_layer_of room result)
    string(REGEX REPLACE "/.*" "" folder "${room}")
    set(index 0)
    foreach(layer IN LISTS VELTO_LAYERS)
        string(REPLACE " " ";" folders "${layer}")
        if(folder IN_LIST folders)
            set(${result} ${index} PARENT_SCOPE)
            return()
        endif()
        math(EXPR index "${index} + 1")
    endforeach()
    set(${result} -1 PARENT_SCOPE)
endfunction()

# velto_module(room [rooms it uses...]): src/<room>/*.cpp become the library velto_<room> (slashes as
# underscores), linked to the rooms it uses. A room adds what only it needs (system libraries) in its
# module.cmake, with ${target} set.
function(velto_module room)
    velto_layer_of(${room} layer)
    if(layer EQUAL -1)
        message(FATAL_ERROR "velto_module: ${room} lies in no layer of VELTO_LAYERS")
    endif()
    string(REGEX REPLACE "/.*" "" folder "${room}")
    get_property(declared GLOBAL PROPERTY VELTO_ROOMS)
    set(uses_targets)
    foreach(used IN LISTS ARGN)
        velto_layer_of(${used} used_layer)
        string(REGEX REPLACE "/.*" "" used_folder "${used}")
        if(NOT used IN_LIST declared)
            message(FATAL_ERROR "velto_module: ${room} uses ${used}, which is not declared before it")
        endif()
        if(NOT used_folder STREQUAL folder AND NOT used_layer LESS layer)
            message(FATAL_ERROR "velto_module: ${room} may not use ${used}: it is not in a lower layer")
        endif()
        velto_room_target(${used} used_target)
        list(APPEND uses_targets ${used_target})
    endforeach()

    velto_room_target(${room} target)
    file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${room}/*.cpp")
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
        target_link_libraries(${target} PUBLIC ${uses_targets})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}/src")
        target_link_libraries(${target} INTERFACE ${uses_targets})
    endif()
    if(EXISTS "${PROJECT_SOURCE_DIR}/src/${room}/module.cmake")
        include("${PROJECT_SOURCE_DIR}/src/${room}/module.cmake")
    endif()
    set_property(GLOBAL APPEND PROPERTY VELTO_ROOMS ${room})
    set_property(GLOBAL PROPERTY VELTO_USES_${target} ${ARGN})
endfunction()

# velto_folder(folder): velto_<folder> links every room of the folder, for programs and tests that use it whole.
function(velto_folder folder)
    get_property(declared GLOBAL PROPERTY VELTO_ROOMS)
    set(targets)
    foreach(room IN LISTS declared)
        if(room MATCHES "^${folder}/")
            velto_room_target(${room} target)
            list(APPEND targets ${target})
        endif()
    endforeach()
    add_library(velto_${folder} INTERFACE)
    target_link_libraries(velto_${folder} INTERFACE ${targets})
endfunction()

# Writes <build>/rooms.txt for the source check: one line per room, the room and every room it may use
# (directly or through the rooms it uses).
function(velto_write_rooms)
    get_property(declared GLOBAL PROPERTY VELTO_ROOMS)
    set(text "")
    foreach(room IN LISTS declared)
        set(reach)
        set(pending ${room})
        while(pending)
            list(POP_FRONT pending current)
            if(current IN_LIST reach)
                continue()
            endif()
            list(APPEND reach ${current})
            velto_room_target(${current} target)
            get_property(uses GLOBAL PROPERTY VELTO_USES_${target})
            list(APPEND pending ${uses})
        endwhile()
        list(JOIN reach " " line)
        string(APPEND text "${line}\n")
    endforeach()
    file(WRITE "${CMAKE_BINARY_DIR}/rooms.txt" "${text}")
endfunction()

# velto_tests(folder [libraries...]): tests/<folder>/**/*.cpp become velto_<folder>_tests.exe, run by ctest
# under Wine. The test files mirror the rooms in subfolders; a folder's shared fixtures sit at its top. Each
# program writes a JUnit-style report that scripts/run-tests adds up.
function(velto_tests name)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp")
    if(NOT sources)
        return()
    endif()
    set(target velto_${name}_tests)
    add_executable(${target} ${sources})
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
    target_link_libraries(${target} PRIVATE ${ARGN} GTest::gtest_main GTest::gmock)
    # Wine maps the Unix root to drive Z:, and the report path must be a Windows one.
    string(REPLACE "/" "\\" report "Z:${CMAKE_BINARY_DIR}/test-reports/${name}.xml")
    add_test(NAME ${name} COMMAND ${target} "--gtest_output=xml:${report}")
    set_tests_properties(${name} PROPERTIES TIMEOUT 900
        ENVIRONMENT "VELTO_ROOT=${PROJECT_SOURCE_DIR};VELTO_BIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    if(EXISTS "${PROJECT_SOURCE_DIR}/tests/${name}/tests.cmake")
        include("${PROJECT_SOURCE_DIR}/tests/${name}/tests.cmake")
    endif()
endfunction()

# velto_write_ids(output headers...): the numeric constants of the headers ("#define NAME NUMBER" and "constexpr
# TYPE NAME = NUMBER;") as a Python module, so the test scripts use the ids the program was built with instead of
# copies. Written when CMake configures, and again whenever one of the headers changes.
function(velto_write_ids output)
    set(text "# Written by the build from the program's id headers; do not edit.\n")
    foreach(header IN LISTS ARGN)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
        file(RELATIVE_PATH name "${PROJECT_SOURCE_DIR}" "${header}")
        string(APPEND text "\n# ${name}\n")
        file(STRINGS "${header}" lines REGEX "^(#define|constexpr)")
        foreach(line IN LISTS lines)
            if(line MATCHES "^#define[ \t]+([A-Z_][A-Z0-9_]*)[ \t]+((0x)?[0-9A-Fa-f]+)[ \t]*$")
                string(APPEND text "${CMAKE_MATCH_1} = ${CMAKE_MATCH_2}\n")
            elseif(line MATCHES "^constexpr[ \t]+[A-Za-z_0-9]+[ \t]+([A-Z_][A-Z0-9_]*)[ \t]*=[ \t]*((0x)?[0-9A-Fa-f]+)[ \t]*;")
                string(APPEND text "${CMAKE_MATCH_1} = ${CMAKE_MATCH_2}\n")
            endif()
        endforeach()
    endforeach()
    file(WRITE "${output}" "${text}")
endfunction()
