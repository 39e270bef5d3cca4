# WinINet is loaded at run time, never linked. The update check reads the shell's folders and starts programs.
target_link_libraries(${target} PUBLIC shell32 ole32 advapi32 user32)
