# The XML document service talks to the system's COM XML parser; the ownership wrappers release GDI objects,
# image lists and windows.
target_link_libraries(${target} PUBLIC ole32 oleaut32 comctl32 gdi32 user32 advapi32)
