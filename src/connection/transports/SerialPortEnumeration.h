#pragma once
// Where the list of the system's serial ports comes from: the device database (device classes Ports and
// Modem) followed by the serial-device map on current systems, the map alone on NT 4.0, and a walk of the
// machine's "Enum" key on 95/98/ME. C_SerialPort::Enumerate runs this; the pieces are separate so each rule can
// be tried on a registry key of a test's own.
#include "connection/discovery/DeviceIdentity.h"
#include "connection/discovery/PortInfo.h"

#include <windows.h>

#include <setupapi.h>
#include <cfgmgr32.h>

// The device-setup and configuration-manager functions, looked up at run time: a system without them lists
// only the serial-device map. The configuration manager's tree gives each port its board's identity.
class C_DeviceDatabase final : private C_DeviceTree {
public:
    bool Load();
    void Unload();
    bool IsLoaded() const { return m_getClassDevices != nullptr; }

    // Appends a record for every present device of the class that has a port name and is not a parallel
    // port, in the order the system returns them. Nothing when not loaded.
    void AddClass(const GUID& deviceClass, C_PortInfoList& list) const;

private:
    bool ReadProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, C_String& out) const;
    bool ReadPortName(HDEVINFO set, SP_DEVINFO_DATA& device, C_String& out) const;
    bool ReadParentBusDescription(DEVINST device, C_String& out) const;
    bool ReadNodeText(DEVINST node, const DEVPROPKEY& key, DEVPROPTYPE expected, C_String& out) const;

    // C_DeviceTree
    bool InstanceId(Node node, C_String& id) const override;
    bool Parent(Node node, Node& parent) const override;
    bool LocationPath(Node node, C_String& path) const override;

    decltype(&SetupDiGetClassDevsW) m_getClassDevices = nullptr;
    decltype(&SetupDiEnumDeviceInfo) m_enumDevice = nullptr;
    decltype(&SetupDiGetDeviceRegistryPropertyW) m_getProperty = nullptr;
    decltype(&SetupDiOpenDevRegKey) m_openDeviceKey = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) m_destroyList = nullptr;
    // Newer than the rest; without them descriptions only lack the bus part.
    decltype(&CM_Get_Parent) m_getParent = nullptr;
    decltype(&CM_Get_DevNode_PropertyW) m_getNodeProperty = nullptr;
    // Without it no port has an identity.
    decltype(&CM_Get_Device_IDW) m_getDeviceId = nullptr;
};

namespace PortEnumeration {

enum class Method { DeviceDatabase, SerialMapOnly, RegistryWalk };

Method MethodFor(DWORD platformId, DWORD majorVersion);
Method MethodOfThisSystem();

// Parallel ports share the Ports class with serial ports; their service gives them away.
bool IsParallelPortService(const wchar_t* service);

// Adds one record per value of the serial-device map (name: the kernel device, data: the COM name), unless the
// list already holds that device path (ignoring case): a port the device database knows keeps its name from
// there. A value that cannot be read costs only itself. False only when the key itself cannot be read.
bool AddSerialMap(HKEY mapKey, C_PortInfoList& list);
// The same, starting from buffers of the given sizes, as if those had been read before longer values appeared:
// a value that does not fit makes the sizes be read again.
bool AddSerialMap(HKEY mapKey, C_PortInfoList& list, DWORD nameUnits, DWORD dataBytes);

// 95/98/ME: serial port devices ("*PNP0500", "*PNP0501" and everything under the bus "USBPORTS") below enumKey,
// one record per instance key that names a port.
bool AddRegistryWalk(HKEY enumKey, C_PortInfoList& list);

// The whole enumeration by the method that suits the running system. False when that method failed; the list
// then holds what was found before the failure. Where the device database is used, a serial-device map that
// cannot be read loses only the ports listed there.
bool Collect(const C_DeviceDatabase& database, C_PortInfoList& list);

} // namespace PortEnumeration
