#pragma once
// Who a USB serial board is, whatever COM number Windows gives it this time: the device instance id of the USB
// device behind the port ("USB\VID_0403&PID_6001\A50285BI"). Windows makes that id's last part from the
// device's serial number; a device without one gets a part the hub generates ("5&2A3B4C5D&0&2"), which changes
// with the socket, so such a board is known instead by its vendor and product and the hub port it is plugged
// into: "USB\VID_1A86&PID_7523\@PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)". Built-in, virtual and other ports have
// no identity and stay known by their names.
//
// The device tree is read through C_DeviceTree, so the rules are tried on trees a test makes up.
#include "foundation/base/TextString.h"

#include <cstdint>

// The device tree as the configuration manager shows it. Nodes are its device instance handles.
class C_DeviceTree {
public:
    using Node = uint32_t;

    virtual bool InstanceId(Node node, C_String& id) const = 0;
    // False at the root, or when the system cannot tell.
    virtual bool Parent(Node node, Node& parent) const = 0;
    // The first of the node's location paths ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"); false when it has none
    // (systems before Vista keep none).
    virtual bool LocationPath(Node node, C_String& path) const = 0;

protected:
    ~C_DeviceTree() = default;
};

namespace DeviceIdentity {

// The identity of the port whose device is node; empty when it has none. The port's device and its parents
// are walked up to the first USB device that is not one function of a composite device ("&MI_"), which is the
// device a serial number belongs to: an FTDI port (FTDIBUS\...) sits below it, a CDC port of a composite board
// below its interface. False only when out of memory.
bool Read(const C_DeviceTree& tree, C_DeviceTree::Node node, C_String& identity);

// Whether an instance id's last part is one Windows generated for a device without a serial number.
bool IsGeneratedInstancePart(const wchar_t* part);

// Two identities name the same board: compared ignoring case, as Windows compares instance ids. Empty ones
// name no board, so they never match.
bool Same(const wchar_t* first, const wchar_t* second);

} // namespace DeviceIdentity
