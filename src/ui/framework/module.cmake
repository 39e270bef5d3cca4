# Common controls: the dialogs register their classes through it (the manifest selects version 6).
target_link_libraries(${target} PUBLIC comctl32 gdi32 user32)
