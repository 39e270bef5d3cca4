#include "connection/transports/SerialPortEnumeration.h"

#include "connection/transports/SerialPort.h"
#include "platform/system/Handles.h"
#include "support/DeviceEntry.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A registry tree of the test's own below HKEY_CURRENT_USER, standing in for the system's keys.
class ScratchKey {
public:
    ScratchKey() {
        static unsigned s_sequence = 0;
        m_path = L"Software\\Brannick\\VeltoTest\\ports-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++s_sequence);
        m_key.Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_ALL_ACCESS);
    }
    ~ScratchKey() {
        m_key.Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }
    HKEY Get() const { return m_key.Get(); }

    bool SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
        C_RegistryKey key;
        return key.Create(m_key.Get(), subkey.c_str(), KEY_SET_VALUE) &&
               RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

private:
    std::wstring m_path;
    C_RegistryKey m_key;
};

struct Listed {
    std::wstring name, devicePath, hardwareId;
};

std::vector<Listed> Contents(C_PortInfoList& list) {
    std::vector<Listed> contents;
    for (PortInfo* info = list.First(); info; info = list.Next(info))
        contents.push_back({info->name.c_str(), info->devicePath.c_str(), info->hardwareId.c_str()});
    return contents;
}

bool Collect(const PortInfo& info, void* context, C_SerialPort&) {
    static_cast<std::vector<Listed>*>(context)->push_back(
        {info.name.c_str(), info.devicePath.c_str(), info.hardwareId.c_str()});
    return true;
}

TEST(PortEnumeration, TheMethodFollowsTheSystemFamily) {
    using PortEnumeration::Method;
    EXPECT_EQ(PortEnumeration::MethodFor(VER_PLATFORM_WIN32_WINDOWS, 4), Method::RegistryWalk);
    EXPECT_EQ(PortEnumeration::MethodFor(VER_PLATFORM_WIN32_NT, 4), Method::SerialMapOnly);
    EXPECT_EQ(PortEnumeration::MethodFor(VER_PLATFORM_WIN32_NT, 5), Method::DeviceDatabase);
    EXPECT_EQ(PortEnumeration::MethodFor(VER_PLATFORM_WIN32_NT, 10), Method::DeviceDatabase);
    EXPECT_TRUE(PortEnumeration::IsParallelPortService(L"parport"));
    EXPECT_FALSE(PortEnumeration::IsParallelPortService(L"Serial"));
}

TEST(PortEnumeration, TheSerialMapAddsOnlyPortsTheListDoesNotHoldYet) {
    ScratchKey map;
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\Serial0", L"COM1"));
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\VCP0", L"COM5"));
    C_PortInfoList list;
    PortInfo* known = new PortInfo; // as the device database lists an adapter
    known->name.Assign(L"USB Serial Device (COM5)");
    known->devicePath.Assign(L"\\\\.\\com5");
    known->hardwareId.Assign(L"USB\\VID_0483&PID_5740");
    list.Append(known);

    ASSERT_TRUE(PortEnumeration::AddSerialMap(map.Get(), list));

    const std::vector<Listed> contents = Contents(list);
    ASSERT_EQ(contents.size(), 2u) << "the port known to both sources is listed once";
    EXPECT_EQ(contents[0].name, L"USB Serial Device (COM5)");
    EXPECT_EQ(contents[0].hardwareId, L"USB\\VID_0483&PID_5740");
    EXPECT_EQ(contents[1].name, L"COM1");
    EXPECT_EQ(contents[1].devicePath, L"\\\\.\\COM1");
    EXPECT_EQ(contents[1].hardwareId, L"\\Device\\Serial0");
}

TEST(PortEnumeration, TheSerialMapReadsEveryValueThatIsTextWhateverTheBuffersWereSizedFor) {
    ScratchKey map;
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\Serial0", L"COM1"));
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\ALongerKernelDeviceNameThanTheFirst", L"COM123"));
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\Empty", L""));
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExW(map.Get(), L"\\Device\\NotText", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number),
              ERROR_SUCCESS);
    ASSERT_TRUE(map.SetText(L"", L"\\Device\\VCP9", L"COM9"));
    // Sizes read before the longer values appeared: every value is too long for them at first.
    C_PortInfoList list;
    ASSERT_TRUE(PortEnumeration::AddSerialMap(map.Get(), list, 1, 2));

    std::map<std::wstring, std::wstring> byPath;
    for (const Listed& listed : Contents(list))
        byPath[listed.devicePath] = listed.hardwareId;
    EXPECT_EQ(byPath, (std::map<std::wstring, std::wstring>{
                          {L"\\\\.\\COM1", L"\\Device\\Serial0"},
                          {L"\\\\.\\COM123", L"\\Device\\ALongerKernelDeviceNameThanTheFirst"},
                          {L"\\\\.\\COM9", L"\\Device\\VCP9"}}));
}

TEST(PortEnumeration, TheOldSystemsWalkTakesSerialDevicesWithAPortName) {
    ScratchKey enumKey;
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*PNP0501\\0", L"PORTNAME", L"COM1"));
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*PNP0501\\0", L"FRIENDLYNAME", L"Communications Port (COM1)"));
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*PNP0501\\0", L"HardwareID", L"*PNP0501,*PNP0500"));
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*pnp0500\\1", L"PORTNAME", L"COM2"));
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*PNP0400\\0", L"PORTNAME", L"LPT1")); // a printer port
    ASSERT_TRUE(enumKey.SetText(L"ACPI\\*PNP0501\\2", L"FRIENDLYNAME", L"No port name"));
    ASSERT_TRUE(enumKey.SetText(L"USBPORTS\\VID_0403\\7", L"PORTNAME", L"COM7"));
    ASSERT_TRUE(enumKey.SetText(L"USBPORTS\\VID_0403\\7", L"HardwareID", L"USB\\VID_0403&PID_6001"));
    C_PortInfoList list;

    ASSERT_TRUE(PortEnumeration::AddRegistryWalk(enumKey.Get(), list));

    // The registry decides the order of the keys; each record is looked up by its device path.
    std::map<std::wstring, Listed> byPath;
    for (const Listed& listed : Contents(list))
        byPath[listed.devicePath] = listed;
    ASSERT_EQ(byPath.size(), 3u);
    ASSERT_EQ(byPath.count(L"\\\\.\\COM1"), 1u);
    EXPECT_EQ(byPath[L"\\\\.\\COM1"].name, L"Communications Port (COM1)");
    EXPECT_EQ(byPath[L"\\\\.\\COM1"].hardwareId, L"*PNP0501") << "cut before the first comma";
    EXPECT_EQ(byPath.count(L"\\\\.\\COM2"), 1u) << "device names are compared ignoring case";
    ASSERT_EQ(byPath.count(L"\\\\.\\COM7"), 1u);
    EXPECT_EQ(byPath[L"\\\\.\\COM7"].hardwareId, L"USB\\VID_0403&PID_6001");
}

// The virtual port is known only from the serial-device map (as some virtual ports are on Windows).
TEST(PortEnumeration, APortOfTheSystemsSerialMapIsListedUnderItsComName) {
    VirtualPort port(42);
    ASSERT_TRUE(port.IsReady()) << port.Problem();
    C_SerialPort serial;
    serial.Init();
    std::vector<Listed> seen;
    ASSERT_TRUE(serial.Enumerate(&Collect, &seen));
    bool found = false;
    for (const Listed& listed : seen) {
        if (listed.devicePath != port.DevicePath())
            continue;
        found = true;
        EXPECT_EQ(listed.name, port.Name());
        EXPECT_EQ(listed.hardwareId, L"\\Device\\VeltoVirtual42");
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(serial.Enumerate(nullptr, nullptr)) << "no callback only rebuilds the list";
    serial.Uninit();
}

bool CollectIdentity(const PortInfo& info, void* context, C_SerialPort&) {
    (*static_cast<std::map<std::wstring, std::wstring>*>(context))[info.devicePath.c_str()] = info.identity.c_str();
    return true;
}

// The device database of the prefix, where the test puts the boards (they need no port to be listed).
TEST(PortEnumeration, ABoardOfTheDeviceDatabaseIsListedWithItsIdentity) {
    const DeviceEntry withSerial(L"USB\\VID_0403&PID_6001\\VELTOENUM1", L"COM47");
    const DeviceEntry withoutSerial(L"USB\\VID_1A86&PID_7523\\5&17A3C2&0&4", L"COM48", L"PCIROOT(0)#USB(4)");
    ASSERT_TRUE(withSerial.IsReady() && withoutSerial.IsReady());
    C_SerialPort serial;
    serial.Init();
    std::map<std::wstring, std::wstring> identities;
    ASSERT_TRUE(serial.Enumerate(&CollectIdentity, &identities));
    serial.Uninit();
    EXPECT_EQ(identities[L"\\\\.\\COM47"], L"USB\\VID_0403&PID_6001\\VELTOENUM1");
    EXPECT_EQ(identities[L"\\\\.\\COM48"], L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#USB(4)");
}

} // namespace
