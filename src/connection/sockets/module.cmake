# The socket transports use the system socket library.
target_link_libraries(${target} PUBLIC ws2_32)
