# The connection runs here against the stand-in main window and the real receive assembly, so what it reads is
# checked as stored text.
target_link_libraries(${target} PRIVATE velto_stand_in velto_terminal)
