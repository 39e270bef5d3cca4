#pragma once
// PortInfo: one serial port as the system lists it, before the connection decides whether and how to offer it.
// The enumeration of C_SerialPort builds a list of these from the device database and the registry.
#include "connection/threads/LockedList.h"
#include "foundation/base/TextString.h"

class C_SerialPort;

struct PortInfo : public C_ListEntry {
    // The device's friendly name, else its device description; for a port known only from the serial-device
    // map, the COM name itself.
    C_String name;
    // "\\.\" and the port name: what CreateFile opens.
    C_String devicePath;
    // The device's first hardware id ("USB\VID_0403&PID_6001..."); for a map-only port, the kernel device name.
    C_String hardwareId;
    // What the bus reports for the device's parent (a USB adapter's product string); often empty.
    C_String busDescription;
    // Who the board is, whatever its COM number (DeviceIdentity.h); empty for a port that has no identity.
    C_String identity;
};

using C_PortInfoList = C_LockedListOf<PortInfo>;

// Called for each enumerated port in list order; false ends the enumeration. port is the enumerating object,
// so a callback can act on it (the serial open takes the matched device path as its name).
using PortInfoCallback = bool (*)(const PortInfo& info, void* context, C_SerialPort& port);
