#include "connection/discovery/DeviceIdentity.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kUsbDevicePrefix = L"USB\\VID_";
// A function of a composite device: its own instance id says nothing about the board.
constexpr const wchar_t* kInterfaceMarker = L"&MI_";
constexpr wchar_t kIdSeparator = L'\\';
// Only a generated part holds this character; a serial number that Windows takes as a part never does.
constexpr wchar_t kGeneratedPartMark = L'&';
// Puts a hub port where the serial number would stand, so the two can never be taken for each other.
constexpr wchar_t kLocationMark = L'@';
// Port, interface, USB device, hubs: a board's device is found within a few steps, and a tree that loops (a
// broken driver's) ends the walk all the same.
constexpr unsigned kDeepestWalk = 8;
// The longest device instance id (MAX_DEVICE_ID_LEN): an identity must fit in one registry key name.
constexpr uint32_t kLongestIdentity = 200;

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    const size_t length = wcslen(prefix);
    return wcslen(text) >= length && EqualsNoCase(text, prefix, uint32_t(length));
}

// "USB\VID_xxxx&PID_yyyy\part": exactly three parts, and not an interface of a composite device.
bool IsBoardDevice(const C_String& id) {
    if (!StartsWithNoCase(id.c_str(), kUsbDevicePrefix))
        return false;
    const int first = id.FindChar(kIdSeparator);
    const int last = id.ReverseFindChar(kIdSeparator);
    if (first == last || id.FindChar(kIdSeparator, first + 1) != last)
        return false;
    C_String device;
    return device.Assign(id.c_str() + first + 1, uint32_t(last - first - 1)) && device.FindNoCase(kInterfaceMarker) < 0;
}

bool Compose(const C_DeviceTree& tree, C_DeviceTree::Node node, const C_String& id, C_String& identity) {
    const int last = id.ReverseFindChar(kIdSeparator);
    if (!DeviceIdentity::IsGeneratedInstancePart(id.c_str() + last + 1)) {
        if (!identity.Assign(id))
            return false;
    } else {
        C_String location;
        if (!tree.LocationPath(node, location) || location.IsEmpty())
            return true;
        if (!identity.Assign(id.c_str(), uint32_t(last + 1)) || !identity.AppendChar(kLocationMark) ||
            !identity.Append(location))
            return false;
    }
    if (identity.GetLength() > kLongestIdentity)
        identity.Empty();
    return true;
}

} // namespace

bool DeviceIdentity::Read(const C_DeviceTree& tree, C_DeviceTree::Node node, C_String& identity) {
    identity.Empty();
    C_String id;
    for (unsigned depth = 0; depth < kDeepestWalk; ++depth) {
        if (!tree.InstanceId(node, id))
            return true;
        if (IsBoardDevice(id))
            return Compose(tree, node, id, identity);
        C_DeviceTree::Node parent = 0;
        if (!tree.Parent(node, parent) || parent == node)
            return true;
        node = parent;
    }
    return true;
}

bool DeviceIdentity::IsGeneratedInstancePart(const wchar_t* part) {
    return !part || !*part || wcschr(part, kGeneratedPartMark) != nullptr;
}

bool DeviceIdentity::Same(const wchar_t* first, const wchar_t* second) {
    if (!first || !second || !*first || !*second)
        return false;
    const size_t length = wcslen(first);
    return wcslen(second) == length && EqualsNoCase(first, second, uint32_t(length));
}
