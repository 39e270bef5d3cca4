# WinINet is loaded at run time and never linked; the update check reads the shell's folders and starts programs.
target_link_libraries(${target} PUBLIC shell32 ole32 oleaut32 advapi32 user32 wbemuuid)
