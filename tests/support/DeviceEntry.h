#pragma once
// A USB serial board as the device database of a Wine prefix lists it: an instance key under the machine's
// Enum tree in the Ports class, with its friendly name, service, hardware id and PortName, and optionally the
// location path Windows keeps for a device without a serial number. Wine's device-setup functions read these
// keys as they are (measured with Wine 8.0; it keeps no device parents, so a port is its own USB device here).
// The key goes again when the object does; a key left by a killed run is replaced.
#include "platform/system/Handles.h"

#include <windows.h>

#include <string>

class DeviceEntry {
public:
    static constexpr const wchar_t* kEnumPath = L"System\\CurrentControlSet\\Enum\\";

    // instanceId "USB\VID_0403&PID_6001\VELTOTEST1", port "COM47".
    DeviceEntry(const std::wstring& instanceId, const std::wstring& port, const wchar_t* locationPath = nullptr)
        : m_path(kEnumPath + instanceId) {
        Remove();
        const std::wstring name = L"Velto Test Board (" + port + L")";
        const std::wstring hardwareId = instanceId.substr(0, instanceId.rfind(L'\\')) + L'\0';
        m_ready = SetText(L"", L"ClassGUID", REG_SZ, L"{4D36E978-E325-11CE-BFC1-08002BE10318}") &&
                  SetText(L"", L"Class", REG_SZ, L"Ports") && SetText(L"", L"Service", REG_SZ, L"usbser") &&
                  SetText(L"", L"FriendlyName", REG_SZ, name) &&
                  SetText(L"", L"HardwareID", REG_MULTI_SZ, hardwareId) &&
                  SetText(L"Device Parameters", L"PortName", REG_SZ, port);
        // A property's key holds its type in the value's type, above the registry's own.
        if (m_ready && locationPath)
            m_ready = SetText(L"Properties\\{a45c254e-df1c-4efd-8020-67d146a850e0}\\0025", nullptr, 0xFFFF2012,
                              std::wstring(locationPath) + L'\0');
    }
    ~DeviceEntry() { Remove(); }
    DeviceEntry(const DeviceEntry&) = delete;
    DeviceEntry& operator=(const DeviceEntry&) = delete;

    bool IsReady() const { return m_ready; }

    void Remove() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
        // The device's key, once it holds no instance any more.
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path.substr(0, m_path.rfind(L'\\')).c_str());
    }

private:
    bool SetText(const wchar_t* subkey, const wchar_t* name, DWORD type, const std::wstring& text) {
        C_RegistryKey key;
        const std::wstring path = *subkey ? m_path + L"\\" + subkey : m_path;
        return key.Create(HKEY_LOCAL_MACHINE, path.c_str(), KEY_SET_VALUE) &&
               RegSetValueExW(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                              DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    std::wstring m_path;
    bool m_ready = false;
};
