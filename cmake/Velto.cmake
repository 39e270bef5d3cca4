# One static library per subsystem folder and one GoogleTest program per tested module. Sources are found by
# globbing, so adding a file to a folder needs no edit here.

function(velto_module name)
    file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${name}/*.cpp")
    set(target velto_${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
        target_link_libraries(${target} PUBLIC ${ARGN})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE "${PROJECT_SOURCE_DIR}/src")
        target_link_libraries(${target} INTERFACE ${ARGN})
    endif()
    # A folder adds what only it needs (system libraries, resources) in module.cmake, with ${target} set.
    if(EXISTS "${PROJECT_SOURCE_DIR}/src/${name}/module.cmake")
        include("${PROJECT_SOURCE_DIR}/src/${name}/module.cmake")
    endif()
endfunction()

# velto_tests(module [libraries...]): tests/<module>/*.cpp become velto_<module>_tests.exe, run by ctest
# under Wine. Each program writes a JUnit-style report that scripts/run-tests adds up.
function(velto_tests name)
    file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp"
)
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
