# The legend (a list view), and the system's image encoder for the PNG export.
target_link_libraries(${target} PUBLIC comctl32 ole32 uuid)
