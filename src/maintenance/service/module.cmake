# The machine identifier asks the system's management service (WMI) for the board's and disk's serials.
target_link_libraries(${target} PUBLIC ole32 oleaut32 advapi32 wbemuuid)
