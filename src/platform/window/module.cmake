# The window components are common controls; the web link opens its address through the shell.
target_link_libraries(${target} PUBLIC comctl32 gdi32 user32 shell32)
