# Common controls: the dialogs register their classes through it (the manifest selects version 6); the common
# save dialog for Save and Log.
target_link_libraries(${target} PUBLIC comctl32 comdlg32 gdi32 user32 advapi32)
