# The XML document service talks to the system's COM XML parser.
target_link_libraries(${target} PUBLIC ole32 oleaut32)
