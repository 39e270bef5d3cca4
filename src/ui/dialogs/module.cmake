# The common save dialog for Save and Log.
target_link_libraries(${target} PUBLIC comdlg32)
