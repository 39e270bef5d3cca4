#pragma once
// A virtual serial port for tests that run inside Wine: scripts/virtual-port makes a socat pseudo-terminal pair,
// links one end into the prefix as COMn and hands the other end, the "device", to the test. The port is also
// listed under HARDWARE\DEVICEMAP\SERIALCOMM, as the system lists a plugged-in adapter.
//
// Programs inside Wine can start Unix programs but get no handle to wait on, so each step of the script is
// awaited through the files it leaves (see the script), with a generous limit.
//
// A port is ready only once the program's own enumeration lists it: otherwise the tests that use it would fail
// much later, for a reason they cannot tell. Problem() then says in one line what the enumeration and the
// serial-device map held.
#include "connection/transports/SerialPort.h"
#include "platform/system/Handles.h"
#include "support/FileBytes.h"

#include <windows.h>

#include <string>
#include <vector>

class VirtualPort {
public:
    static constexpr DWORD kStepLimitMs = 30000;

    // Creates COM<number>; IsReady tells whether that worked, Problem why not.
    explicit VirtualPort(unsigned number) : m_number(number) { Create(); }
    ~VirtualPort() { Unplug(); }
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    bool IsReady() const { return m_ready && m_problem.empty(); }
    const std::string& Problem() const { return m_problem; }
    std::wstring Name() const { return L"COM" + std::to_wstring(m_number); }
    std::wstring DevicePath() const { return L"\\\\.\\" + Name(); }
    // The other end, as a Windows path the test can open.
    std::wstring DeviceEnd() const { return StateFolder() + L"\\device"; }

    // Ends the pair, as when a USB adapter is pulled out: the open port stops working and cannot be opened again.
    bool Unplug() {
        if (!m_ready)
            return true;
        m_ready = false;
        Register(false);
        return RunScript(L"remove") && WaitFor([this] { return !Exists(StateFolder()); });
    }

    // The COM end's line settings as "stty -a" prints them; empty on failure.
    std::string LineSettings() {
        const std::wstring report = StateFolder() + L"\\stty.txt";
        DeleteFileW(report.c_str());
        if (!RunScript(L"stty") || !WaitFor([&] { return Exists(report) || Exists(FailureFile()); }))
            return {};
        return ReadWhole(report);
    }

    // Opens the device end for plain (non-overlapped) use. Reads return what is there at once, or wait up to
    // readWaitMs for the first byte.
    HANDLE OpenDeviceEnd(DWORD readWaitMs = 200) const {
        HANDLE end = CreateFileW(DeviceEnd().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        if (end == INVALID_HANDLE_VALUE)
            return nullptr;
        COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, readWaitMs, 0, 0};
        SetCommTimeouts(end, &timeouts);
        return end;
    }

private:
    static std::wstring Environment(const wchar_t* name) {
        wchar_t value[MAX_PATH * 2];
        const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
        return length && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
    }
    static std::wstring UnixToWindows(std::wstring path) {
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        return L"Z:" + path;
    }
    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static std::string ReadWhole(const std::wstring& path) { return ReadFileBytes(path, {}); }

    std::wstring Prefix() const {
        std::wstring prefix = Environment(L"VELTO_WINEPREFIX");
        return prefix.empty() ? Environment(L"WINEPREFIX") : prefix;
    }
    std::wstring StateFolder() const {
        return UnixToWindows(Prefix() + L"/velto-ports/com" + std::to_wstring(m_number));
    }
    std::wstring FailureFile() const { return StateFolder() + L"\\failed"; }

    void Create() {
        if (Prefix().empty() || Environment(L"VELTO_ROOT").empty()) {
            m_problem = "VELTO_ROOT and the Wine prefix must be set (the test runner sets them)";
            return;
        }
        // A run that was killed leaves its markers behind; a stale "ready" would be taken for this pair's.
        DeleteFileW(FailureFile().c_str());
        DeleteFileW((StateFolder() + L"\\ready").c_str());
        if (!RunScript(L"create") ||
            !WaitFor([this] { return Exists(StateFolder() + L"\\ready") || Exists(FailureFile()); })) {
            m_problem = "scripts/virtual-port create did not finish";
            return;
        }
        if (Exists(FailureFile())) {
            m_problem = "scripts/virtual-port create failed: " + ReadWhole(FailureFile());
            return;
        }
        m_ready = true;
        if (const LONG registered = Register(true))
            m_problem = "the SERIALCOMM value could not be written (error " + std::to_string(registered) + ")";
        else
            CheckListed();
    }

    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    static bool AddListed(const PortInfo& info, void* context, C_SerialPort&) {
        static_cast<std::vector<std::wstring>*>(context)->push_back(info.devicePath.c_str());
        return true;
    }

    // The serial-device map as the registry holds it, "name=data" by value, for the report of a port not listed.
    static std::string SerialMapContents() {
        C_RegistryKey key;
        LONG opened = ERROR_SUCCESS;
        key.Open(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ, &opened);
        if (opened != ERROR_SUCCESS)
            return "cannot be opened (error " + std::to_string(opened) + ")";
        std::string contents;
        for (DWORD index = 0; index < 1000; ++index) {
            wchar_t name[256];
            wchar_t data[256] = {};
            DWORD nameLength = 256;
            DWORD dataBytes = sizeof data - sizeof(wchar_t);
            const LONG read = RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
            if (read == ERROR_NO_MORE_ITEMS)
                break;
            contents += (contents.empty() ? "" : ", ") +
                        (read == ERROR_SUCCESS ? Narrow(name) + "=" + Narrow(data) : "error " + std::to_string(read));
        }
        return contents.empty() ? "nothing" : contents;
    }

    void CheckListed() {
        C_SerialPort serial;
        serial.Init();
        std::vector<std::wstring> listed;
        const bool enumerated = serial.Enumerate(&AddListed, &listed);
        serial.Uninit();
        std::string seen;
        for (const std::wstring& devicePath : listed) {
            if (devicePath == DevicePath())
                return;
            seen += (seen.empty() ? "" : ", ") + Narrow(devicePath);
        }
        m_problem = Narrow(Name()) + " is not listed by the port enumeration, which " +
                    (enumerated ? "lists " + (seen.empty() ? std::string("no port") : seen) : std::string("failed")) +
                    "; the serial-device map holds " + SerialMapContents();
    }

    // ERROR_SUCCESS, or the registry's error.
    LONG Register(bool add) {
        C_RegistryKey key;
        LONG opened = ERROR_SUCCESS;
        if (!key.Create(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_SET_VALUE, &opened))
            return opened;
        const std::wstring value = L"\\Device\\VeltoVirtual" + std::to_wstring(m_number);
        const std::wstring name = Name();
        return add ? RegSetValueExW(key.Get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                    static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)))
                   : RegDeleteValueW(key.Get(), value.c_str());
    }

    // Starts the script as a Unix program. Wine answers such a start with whatever its stack held in place of
    // the process and thread handles (measured with Wine 8.0: a handle of 0x7273752F, "/usr" in ASCII): they are
    // not ours to close. Closing them closed whichever handle of this process had that value, in some clone
    // folders the registry's cached machine key, and every later enumeration failed.
    bool RunScript(const wchar_t* command) {
        std::wstring line = L"/bin/bash \"" + Environment(L"VELTO_ROOT") + L"/scripts/virtual-port\" " + command +
                            L" " + Name() + L" --quiet --prefix \"" + Prefix() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION unixProcess{};
        return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &unixProcess) != FALSE;
    }

    // Waits for a condition on files, woken by changes in the ports' folder where the system offers that.
    template <class Condition> bool WaitFor(Condition done) {
        const std::wstring folder = UnixToWindows(Prefix() + L"/velto-ports");
        CreateDirectoryW(folder.c_str(), nullptr);
        const C_ChangeNotification change(FindFirstChangeNotificationW(
            folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME));
        const DWORD start = GetTickCount();
        for (;;) {
            if (done())
                return true;
            if (GetTickCount() - start > kStepLimitMs)
                return false;
            // The notification is only a hint; the limit per wait keeps a missed one from stalling the test.
            if (change) {
                if (WaitForSingleObject(change.Get(), 50) == WAIT_OBJECT_0)
                    FindNextChangeNotification(change.Get());
            } else {
                Sleep(20); // no notifications here: look again shortly
            }
        }
    }

    unsigned m_number;
    bool m_ready = false;
    std::string m_problem;
};
