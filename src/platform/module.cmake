# The XML document service talks to the system's COM XML parser; the ownership wrappers release GDI objects,
# image lists and windows; the window components use the common controls, and the web link the shell.
# Archives are inflated with Debian's zlib for MinGW, linked statically so the programs stay single files.
find_library(VELTO_ZLIB NAMES libz.a REQUIRED)
target_link_libraries(${target} PUBLIC ole32 oleaut32 comctl32 gdi32 user32 advapi32 shell32 ${VELTO_ZLIB})
