#include "connection/transports/SerialPortEnumeration.h"

#include "connection/transports/SerialPort.h"
#include "foundation/base/Trace.h"
#include "platform/system/Handles.h"
#include "platform/system/SystemFunction.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace {

constexpr GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kModemClass = {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
// The description the bus reports for a device (a USB device's product string).
constexpr DEVPROPKEY kBusReportedDescription = {
    {0x540B947E, 0x8B40, 0x45BC, {0xA8, 0xA2, 0x6A, 0x0B, 0x89, 0x4C, 0xBD, 0xA2}}, 4};
// Where the device is plugged in, from the root down (DEVPKEY_Device_LocationPaths).
constexpr DEVPROPKEY kLocationPaths = {{0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}},
                                       37};
constexpr DEVPROPTYPE kPropertyTypeString = 0x12;       // DEVPROP_TYPE_STRING
constexpr DEVPROPTYPE kPropertyTypeStringList = 0x2012; // DEVPROP_TYPE_STRING_LIST

constexpr const wchar_t* kSetupLibrary = L"setupapi.dll";
constexpr const wchar_t* kConfigurationLibrary = L"cfgmgr32.dll";
constexpr const wchar_t* kSerialMapPath = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const wchar_t* kLegacyEnumPath = L"Enum";
constexpr const wchar_t* kDevicePathPrefix = L"\\\\.\\";
constexpr const wchar_t* kParallelPortService = L"Parport";
constexpr const wchar_t* kPortNameValue = L"PortName";
constexpr const wchar_t* kLegacySerialDevices[] = {L"*PNP0500", L"*PNP0501"};
constexpr const wchar_t* kLegacyUsbPortsBus = L"USBPORTS";
constexpr const wchar_t* kLegacyFriendlyName = L"FRIENDLYNAME";
constexpr const wchar_t* kLegacyPortName = L"PORTNAME";
constexpr const wchar_t* kLegacyHardwareId = L"HardwareID";
// Registry key names are at most 255 characters.
constexpr DWORD kKeyNameCapacity = 256;
// A map value that still does not fit after its sizes were read again this often is skipped.
constexpr unsigned kSerialMapRefits = 3;

// A string value, terminated whatever the registry holds; false when it is missing or not text.
bool ReadRegistryText(HKEY key, const wchar_t* name, C_String& out) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return false;
    const uint32_t units = size / sizeof(wchar_t) + 2;
    if (!out.Empty(units))
        return false;
    DWORD bytes = (units - 1) * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out.GetBuffer()), &bytes) !=
        ERROR_SUCCESS) {
        out.Empty();
        return false;
    }
    out.GetBuffer()[bytes / sizeof(wchar_t)] = 0;
    out.UpdateLength();
    return true;
}

// The largest value name (in characters, without its terminator) and value data (in bytes) of a key.
struct ValueSizes {
    DWORD nameUnits = 0;
    DWORD dataBytes = 0;
};

bool QueryValueSizes(HKEY key, ValueSizes& sizes) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &sizes.nameUnits,
                            &sizes.dataBytes, nullptr, nullptr) == ERROR_SUCCESS;
}

bool QueryValueCount(HKEY key, DWORD& count) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

// One value of the serial-device map, read into buffers that grow when a value does not fit.
class C_SerialMapValue {
public:
    C_SerialMapValue(HKEY key, const ValueSizes& sizes) : m_key(key) { Fit(sizes); }

    // ERROR_SUCCESS with the kernel name and the COM name (empty unless the value is text), or the registry's
    // error for this index. A value longer than the buffers has the sizes read again and is tried once more.
    LONG Read(DWORD index) {
        LONG result = ReadOnce(index);
        for (unsigned refit = 0; result == ERROR_MORE_DATA && refit < kSerialMapRefits; ++refit) {
            ValueSizes sizes;
            if (!QueryValueSizes(m_key, sizes) || !Fit(sizes))
                break;
            result = ReadOnce(index);
        }
        return result;
    }
    const C_String& KernelName() const { return m_kernelName; }
    const C_String& ComName() const { return m_comName; }

private:
    // At least what the key reports, and at least twice the present size, so a key that reports too little
    // still lets the next try fit more.
    bool Fit(const ValueSizes& sizes) {
        const DWORD nameUnits = std::max<DWORD>(sizes.nameUnits + 2, m_kernelName.GetCapacity() * 2);
        const DWORD dataUnits = std::max<DWORD>(sizes.dataBytes / sizeof(wchar_t) + 2, m_comName.GetCapacity() * 2);
        return m_kernelName.Empty(nameUnits) && m_comName.Empty(dataUnits);
    }

    LONG ReadOnce(DWORD index) {
        if (!m_kernelName.GetBuffer() || !m_comName.GetBuffer())
            return ERROR_NOT_ENOUGH_MEMORY;
        DWORD nameLength = m_kernelName.GetCapacity();
        DWORD dataBytes = m_comName.GetCapacity() * sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(m_key, index, m_kernelName.GetBuffer(), &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(m_comName.GetBuffer()), &dataBytes);
        if (result != ERROR_SUCCESS)
            return result;
        // Registry text need not end in a terminator; one is put after the data in any case.
        m_kernelName.GetBuffer()[nameLength] = 0;
        m_comName.GetBuffer()[type == REG_SZ ? dataBytes / sizeof(wchar_t) : 0] = 0;
        m_kernelName.UpdateLength();
        m_comName.UpdateLength();
        return ERROR_SUCCESS;
    }

    HKEY m_key;
    C_String m_kernelName{1};
    C_String m_comName{1};
};

bool ContainsDevicePath(C_PortInfoList& list, const wchar_t* devicePath) {
    for (PortInfo* info = list.First(); info; info = list.Next(info))
        if (info->devicePath.CompareNoCase(devicePath) == 0)
            return true;
    return false;
}

bool AppendInfo(C_PortInfoList& list, PortInfo* info) {
    if (list.Append(info))
        return true;
    delete info;
    return false;
}

bool AssignDevicePath(C_String& devicePath, const wchar_t* portName) {
    return devicePath.Assign(kDevicePathPrefix) && devicePath.Append(portName);
}

bool IsLegacySerialDevice(const wchar_t* bus, const wchar_t* device) {
    if (_wcsicmp(bus, kLegacyUsbPortsBus) == 0)
        return true;
    for (const wchar_t* name : kLegacySerialDevices)
        if (_wcsicmp(device, name) == 0)
            return true;
    return false;
}

// One instance key of the 95/98/ME device tree; nothing when it names no port.
void AddLegacyInstance(HKEY instance, C_PortInfoList& list) {
    C_String portName;
    if (!ReadRegistryText(instance, kLegacyPortName, portName) || portName.IsEmpty())
        return;
    PortInfo* info = new (std::nothrow) PortInfo;
    if (!info)
        return;
    ReadRegistryText(instance, kLegacyFriendlyName, info->name);
    if (ReadRegistryText(instance, kLegacyHardwareId, info->hardwareId)) {
        const int comma = info->hardwareId.FindChar(L',');
        if (comma >= 0)
            info->hardwareId.Left(comma);
    }
    if (!AssignDevicePath(info->devicePath, portName.c_str())) {
        delete info;
        return;
    }
    AppendInfo(list, info);
}

// Calls visit(name) for every subkey of key, in the registry's order.
template <class Visit> bool ForEachSubkey(HKEY key, Visit visit) {
    wchar_t name[kKeyNameCapacity];
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameCapacity;
        const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS)
            return false;
        visit(name);
    }
}

} // namespace

bool C_DeviceDatabase::Load() {
    m_getClassDevices = LookupSystemFunction<decltype(m_getClassDevices)>(kSetupLibrary, "SetupDiGetClassDevsW");
    m_enumDevice = LookupSystemFunction<decltype(m_enumDevice)>(kSetupLibrary, "SetupDiEnumDeviceInfo");
    m_getProperty = LookupSystemFunction<decltype(m_getProperty)>(kSetupLibrary, "SetupDiGetDeviceRegistryPropertyW");
    m_openDeviceKey = LookupSystemFunction<decltype(m_openDeviceKey)>(kSetupLibrary, "SetupDiOpenDevRegKey");
    m_destroyList = LookupSystemFunction<decltype(m_destroyList)>(kSetupLibrary, "SetupDiDestroyDeviceInfoList");
    m_getParent = LookupSystemFunction<decltype(m_getParent)>(kConfigurationLibrary, "CM_Get_Parent");
    m_getNodeProperty =
        LookupSystemFunction<decltype(m_getNodeProperty)>(kConfigurationLibrary, "CM_Get_DevNode_PropertyW");
    m_getDeviceId = LookupSystemFunction<decltype(m_getDeviceId)>(kConfigurationLibrary, "CM_Get_Device_IDW");
    if (!m_getClassDevices || !m_enumDevice || !m_getProperty || !m_openDeviceKey || !m_destroyList) {
        Unload();
        return false;
    }
    return true;
}

void C_DeviceDatabase::Unload() {
    m_getClassDevices = nullptr;
    m_enumDevice = nullptr;
    m_getProperty = nullptr;
    m_openDeviceKey = nullptr;
    m_destroyList = nullptr;
    m_getParent = nullptr;
    m_getNodeProperty = nullptr;
    m_getDeviceId = nullptr;
}

void C_DeviceDatabase::AddClass(const GUID& deviceClass, C_PortInfoList& list) const {
    if (!IsLoaded())
        return;
    HDEVINFO set = m_getClassDevices(&deviceClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; m_enumDevice(set, index, &device); ++index) {
        C_String service;
        C_String portName;
        if (!ReadProperty(set, device, SPDRP_SERVICE, service) ||
            PortEnumeration::IsParallelPortService(service.c_str()) || !ReadPortName(set, device, portName))
            continue;
        PortInfo* info = new (std::nothrow) PortInfo;
        if (!info)
            break;
        if (!ReadProperty(set, device, SPDRP_FRIENDLYNAME, info->name))
            ReadProperty(set, device, SPDRP_DEVICEDESC, info->name);
        ReadProperty(set, device, SPDRP_HARDWAREID, info->hardwareId); // a list: the text ends at the first id
        ReadParentBusDescription(device.DevInst, info->busDescription);
        DeviceIdentity::Read(*this, device.DevInst, info->identity);
        if (!AssignDevicePath(info->devicePath, portName.c_str())) {
            delete info;
            continue;
        }
        AppendInfo(list, info);
    }
    m_destroyList(set);
}

bool C_DeviceDatabase::ReadProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, C_String& out) const {
    DWORD type = 0;
    DWORD size = 0;
    m_getProperty(set, &device, property, &type, nullptr, 0, &size);
    if (size == 0 || (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ))
        return false;
    const uint32_t units = size / sizeof(wchar_t) + 2;
    if (!out.Empty(units))
        return false;
    if (!m_getProperty(set, &device, property, &type, reinterpret_cast<BYTE*>(out.GetBuffer()),
                       (units - 1) * sizeof(wchar_t), nullptr)) {
        out.Empty();
        return false;
    }
    out.UpdateLength();
    return true;
}

bool C_DeviceDatabase::ReadPortName(HDEVINFO set, SP_DEVINFO_DATA& device, C_String& out) const {
    HKEY opened = m_openDeviceKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    // The device function answers INVALID_HANDLE_VALUE, not null, when there is no key.
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    const C_RegistryKey key(opened);
    return key && ReadRegistryText(key.Get(), kPortNameValue, out) && !out.IsEmpty();
}

bool C_DeviceDatabase::ReadParentBusDescription(DEVINST device, C_String& out) const {
    out.Empty();
    DEVINST parent = 0;
    return m_getParent && m_getParent(&parent, device, 0) == CR_SUCCESS &&
           ReadNodeText(parent, kBusReportedDescription, kPropertyTypeString, out);
}

// A text or the first text of a list: the buffer is terminated after the first one in any case.
bool C_DeviceDatabase::ReadNodeText(DEVINST node, const DEVPROPKEY& key, DEVPROPTYPE expected, C_String& out) const {
    out.Empty();
    if (!m_getNodeProperty)
        return false;
    DEVPROPTYPE type = 0;
    ULONG size = 0;
    m_getNodeProperty(node, &key, &type, nullptr, &size, 0);
    if (size == 0 || type != expected)
        return false;
    const uint32_t units = size / sizeof(wchar_t) + 2;
    if (!out.Empty(units))
        return false;
    ULONG bytes = (units - 1) * sizeof(wchar_t);
    if (m_getNodeProperty(node, &key, &type, reinterpret_cast<BYTE*>(out.GetBuffer()), &bytes, 0) != CR_SUCCESS) {
        out.Empty();
        return false;
    }
    out.UpdateLength();
    return true;
}

bool C_DeviceDatabase::InstanceId(Node node, C_String& id) const {
    wchar_t buffer[MAX_DEVICE_ID_LEN + 1] = {};
    return m_getDeviceId && m_getDeviceId(node, buffer, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS && id.Assign(buffer);
}

bool C_DeviceDatabase::Parent(Node node, Node& parent) const {
    DEVINST found = 0;
    if (!m_getParent || m_getParent(&found, node, 0) != CR_SUCCESS)
        return false;
    parent = found;
    return true;
}

bool C_DeviceDatabase::LocationPath(Node node, C_String& path) const {
    return ReadNodeText(node, kLocationPaths, kPropertyTypeStringList, path);
}

namespace PortEnumeration {

Method MethodFor(DWORD platformId, DWORD majorVersion) {
    if (platformId == VER_PLATFORM_WIN32_WINDOWS)
        return Method::RegistryWalk;
    if (platformId == VER_PLATFORM_WIN32_NT && majorVersion <= 4)
        return Method::SerialMapOnly;
    return Method::DeviceDatabase;
}

Method MethodOfThisSystem() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version))
        return Method::DeviceDatabase;
    return MethodFor(version.dwPlatformId, version.dwMajorVersion);
}

bool IsParallelPortService(const wchar_t* service) {
    return service && _wcsicmp(service, kParallelPortService) == 0;
}

bool AddSerialMap(HKEY mapKey, C_PortInfoList& list) {
    ValueSizes sizes;
    return QueryValueSizes(mapKey, sizes) && AddSerialMap(mapKey, list, sizes.nameUnits, sizes.dataBytes);
}

bool AddSerialMap(HKEY mapKey, C_PortInfoList& list, DWORD nameUnits, DWORD dataBytes) {
    C_SerialMapValue value(mapKey, {nameUnits, dataBytes});
    for (DWORD index = 0;; ++index) {
        const LONG result = value.Read(index);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS) {
            // This value is lost, not the others. The count, read again, ends the walk should every index fail
            // alike; a key that cannot even be counted any more cannot be read at all.
            DWORD valueCount = 0;
            if (!QueryValueCount(mapKey, valueCount))
                return false;
            if (index + 1 >= valueCount)
                return true;
            continue;
        }
        if (value.ComName().IsEmpty())
            continue;
        PortInfo* info = new (std::nothrow) PortInfo;
        if (!info)
            return true; // out of memory: what is listed so far stays
        if (!AssignDevicePath(info->devicePath, value.ComName().c_str()) ||
            ContainsDevicePath(list, info->devicePath.c_str()) || !info->name.Assign(value.ComName()) ||
            !info->hardwareId.Assign(value.KernelName())) {
            delete info;
            continue;
        }
        AppendInfo(list, info);
    }
}

bool AddRegistryWalk(HKEY enumKey, C_PortInfoList& list) {
    return ForEachSubkey(enumKey, [&](const wchar_t* bus) {
        C_RegistryKey busKey;
        if (!busKey.Open(enumKey, bus, KEY_READ))
            return;
        ForEachSubkey(busKey.Get(), [&](const wchar_t* device) {
            if (!IsLegacySerialDevice(bus, device))
                return;
            C_RegistryKey deviceKey;
            if (!deviceKey.Open(busKey.Get(), device, KEY_READ))
                return;
            ForEachSubkey(deviceKey.Get(), [&](const wchar_t* instance) {
                C_RegistryKey instanceKey;
                if (instanceKey.Open(deviceKey.Get(), instance, KEY_READ))
                    AddLegacyInstance(instanceKey.Get(), list);
            });
        });
    });
}

bool Collect(const C_DeviceDatabase& database, C_PortInfoList& list) {
    const Method method = MethodOfThisSystem();
    if (method == Method::RegistryWalk) {
        C_RegistryKey enumKey;
        return enumKey.Open(HKEY_LOCAL_MACHINE, kLegacyEnumPath, KEY_READ) && AddRegistryWalk(enumKey.Get(), list);
    }
    if (method == Method::DeviceDatabase) {
        database.AddClass(kPortsClass, list);
        database.AddClass(kModemClass, list);
    }
    // The map exists only while some serial driver has registered a port: no map means no such ports.
    C_RegistryKey map;
    LONG opened = ERROR_SUCCESS;
    map.Open(HKEY_LOCAL_MACHINE, kSerialMapPath, KEY_READ, &opened);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened == ERROR_SUCCESS && AddSerialMap(map.Get(), list))
        return true;
    Trace("Port enumeration: the serial-device map cannot be read (opening it gave %ld)", static_cast<long>(opened));
    // Alone, the map is the method; beside the device database it only adds ports.
    return method == Method::DeviceDatabase && database.IsLoaded();
}

} // namespace PortEnumeration

bool C_SerialPort::Enumerate(PortInfoCallback callback, void* context) {
    m_portInfos.Clear();
    if (!PortEnumeration::Collect(m_deviceDatabase, m_portInfos)) {
        m_portInfos.Clear();
        return false;
    }
    if (!callback)
        return true;
    for (PortInfo* info = m_portInfos.First(); info; info = m_portInfos.Next(info))
        if (!callback(*info, context, *this))
            break;
    return true;
}
