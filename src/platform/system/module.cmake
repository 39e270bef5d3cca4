# The ownership wrappers release GDI objects, image lists, windows, keys and COM references; the URL handler
# opens links through the shell.
target_link_libraries(${target} PUBLIC ole32 comctl32 gdi32 user32 advapi32 shell32)
