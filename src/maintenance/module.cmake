# WinINet and the debugging library are loaded at run time, never linked. The update check reads the shell's
# folders and starts programs; the report dialog uses the common controls (link control) and opens its links
# through the shell.
target_link_libraries(${target} PUBLIC shell32 ole32 oleaut32 advapi32 user32 gdi32 comctl32 wbemuuid)
