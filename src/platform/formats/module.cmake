# The XML document talks to the system's COM XML parser. Archives are inflated with Debian's zlib for MinGW,
# linked statically so the programs stay single files.
find_library(VELTO_ZLIB NAMES libz.a REQUIRED)
target_link_libraries(${target} PUBLIC ole32 oleaut32 ${VELTO_ZLIB})
