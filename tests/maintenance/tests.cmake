# The HTTP tests talk to a loopback server that runs around the test program: ctest starts the program through
# tests/support/loopback_http.py, which passes the server's address in VELTO_TEST_HTTP.
target_link_libraries(${target} PRIVATE ws2_32)
set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
             python3 "${PROJECT_SOURCE_DIR}/tests/support/loopback_http.py" --run "${PROJECT_SOURCE_DIR}/scripts/wine-run")
