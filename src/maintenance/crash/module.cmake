# The debugging library is loaded at run time, never linked. The report dialog uses the common controls (link
# control) and opens its links through the shell.
target_link_libraries(${target} PUBLIC shell32 user32 gdi32 comctl32 advapi32)
