#include "maintenance/service/MachineId.h"

#include "platform/system/Handles.h"
#include "platform/system/SystemFunction.h"

#include <wbemcli.h>
#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace {

constexpr uint8_t kFormatTag = 16;
constexpr uint8_t kArmEmulationBit = 0x80;
constexpr uint8_t kPackagedBit = 0x40;
constexpr uint8_t kWineMark = 1;
constexpr uint8_t kReactOsMark = 2;
constexpr uint8_t kSandboxMark = 3;
constexpr unsigned kFirstWindows11Build = 22000;
constexpr LONG kAppModelNoPackage = 15700; // APPMODEL_ERROR_NO_PACKAGE
constexpr USHORT kMachineArm64 = 0xAA64;
constexpr long kWmiWait = 10000; // milliseconds for one result of the adapter query
constexpr int kMaxScsiDepth = 4;

constexpr const wchar_t* kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const wchar_t* kReactOsKey = L"SOFTWARE\\ReactOS";
constexpr const wchar_t* kAdapterClassKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr const wchar_t* kDiskEnumKey = L"SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr const wchar_t* kScsiMapKey = L"HARDWARE\\DEVICEMAP\\Scsi";
constexpr const wchar_t* kSandboxUser = L"WDAGUtilityAccount";
constexpr const wchar_t* kAdapterQuery = L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE IPEnabled=true";

// The 64-bit view where there is one: a 32-bit program on 64-bit Windows would otherwise read the copies
// under Wow6432Node.
constexpr REGSAM kRead = KEY_READ | KEY_WOW64_64KEY;

bool ReadRegistryText(HKEY key, const wchar_t* name, std::wstring& out) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return false;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return false;
    text.resize(wcslen(text.c_str()));
    out = text;
    return true;
}

std::wstring ReadProductId() {
    C_RegistryKey key;
    std::wstring id;
    if (key.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey, kRead))
        ReadRegistryText(key.Get(), L"ProductId", id);
    return id;
}

HostSystem DetectHostSystem() {
    if (FindSystemFunction(L"ntdll.dll", "wine_get_version"))
        return HostSystem::Wine;
    C_RegistryKey reactOs;
    if (reactOs.Open(HKEY_LOCAL_MACHINE, kReactOsKey, kRead))
        return HostSystem::ReactOs;
    wchar_t user[64] = {};
    DWORD length = 64;
    if (GetUserNameW(user, &length) && _wcsicmp(user, kSandboxUser) == 0)
        return HostSystem::Sandbox;
    return HostSystem::Windows;
}

void ReadWindowsVersion(MachineFacts& facts) {
    // The true version: GetVersionEx answers what the manifest admits to.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = LookupSystemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion && rtlGetVersion(&info) == 0) {
        facts.major = info.dwMajorVersion;
        facts.minor = info.dwMinorVersion;
        facts.build = info.dwBuildNumber;
    }
}

bool ReadArmEmulation() {
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 = LookupSystemFunction<IsWow64Process2Function>(L"kernel32.dll", "IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    return isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native) && native == kMachineArm64;
}

uint32_t ReadVolumeSerial() {
    wchar_t windows[MAX_PATH];
    wchar_t volume[MAX_PATH];
    DWORD serial = 0;
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !GetVolumePathNameW(windows, volume, MAX_PATH) ||
        !GetVolumeInformationW(volume, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return 0;
    return serial;
}

// "00-1A-2B-3C-4D-5E", "001A2B3C4D5E" or "00:1A:...": the hex digit pairs, whatever separates them.
std::vector<uint8_t> ParseHardwareAddress(const wchar_t* text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const wchar_t* at = text; *at; ++at) {
        if (!iswxdigit(*at))
            continue;
        const int digit = *at <= L'9' ? *at - L'0' : (towupper(*at) - L'A' + 10);
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(uint8_t(high << 4 | digit));
            high = -1;
        }
    }
    return bytes;
}

std::vector<uint8_t> ReadAdapterAddressFromRegistry() {
    C_RegistryKey adapters;
    if (!adapters.Open(HKEY_LOCAL_MACHINE, kAdapterClassKey, kRead))
        return {};
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(adapters.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return {};
        C_RegistryKey adapter;
        std::wstring address;
        if (adapter.Open(adapters.Get(), name, KEY_READ) &&
            ReadRegistryText(adapter.Get(), L"NetworkAddress", address)) {
            std::vector<uint8_t> bytes = ParseHardwareAddress(address.c_str());
            if (!bytes.empty())
                return bytes;
        }
    }
}

std::vector<uint8_t> ReadAdapterAddressFromWmi() {
    const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<uint8_t> bytes;
    {
        C_ComRef<IWbemLocator> locator;
        C_ComRef<IWbemServices> services;
        C_ComRef<IEnumWbemClassObject> results;
        BSTR space = SysAllocString(L"ROOT\\CIMV2");
        BSTR language = SysAllocString(L"WQL");
        BSTR query = SysAllocString(kAdapterQuery);
        if (space && language && query &&
            SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                       locator.ReceiveVoid())) &&
            SUCCEEDED(
                locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Receive())) &&
            SUCCEEDED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                        RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)) &&
            SUCCEEDED(services->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                          nullptr, results.Receive()))) {
            for (;;) {
                C_ComRef<IWbemClassObject> adapter;
                ULONG returned = 0;
                if (results->Next(kWmiWait, 1, adapter.Receive(), &returned) != WBEM_S_NO_ERROR || returned == 0)
                    break;
                VARIANT value;
                VariantInit(&value);
                if (SUCCEEDED(adapter->Get(L"MACAddress", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
                    value.bstrVal)
                    bytes = ParseHardwareAddress(value.bstrVal);
                VariantClear(&value);
                if (!bytes.empty())
                    break;
            }
        }
        SysFreeString(space);
        SysFreeString(language);
        SysFreeString(query);
    }
    if (SUCCEEDED(entered))
        CoUninitialize();
    return bytes;
}

void AppendDiskIds(std::wstring& out) {
    C_RegistryKey disks;
    if (!disks.Open(HKEY_LOCAL_MACHINE, kDiskEnumKey, kRead))
        return;
    DWORD count = 0;
    DWORD size = sizeof count;
    if (RegQueryValueExW(disks.Get(), L"Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < count; ++i) {
        wchar_t name[16];
        _snwprintf(name, 16, L"%lu", i);
        std::wstring id;
        if (ReadRegistryText(disks.Get(), name, id))
            out += id;
    }
}

// Scsi Port N \ Scsi Bus N \ Target Id N \ Logical Unit Id N \ Identifier
void AppendScsiIds(HKEY key, int depth, std::wstring& out) {
    std::wstring id;
    if (ReadRegistryText(key, L"Identifier", id))
        out += id;
    if (depth == kMaxScsiDepth)
        return;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        C_RegistryKey child;
        if (child.Open(key, name, KEY_READ))
            AppendScsiIds(child.Get(), depth + 1, out);
    }
}

std::wstring ReadDiskIds() {
    std::wstring ids;
    AppendDiskIds(ids);
    if (ids.empty()) {
        C_RegistryKey scsi;
        if (scsi.Open(HKEY_LOCAL_MACHINE, kScsiMapKey, kRead))
            AppendScsiIds(scsi.Get(), 0, ids);
    }
    return ids;
}

uint8_t SumOf(const std::wstring& text) {
    uint8_t sum = 0;
    for (wchar_t c : text)
        sum = uint8_t(sum + c);
    return sum;
}

uint8_t XorOf(const std::wstring& text) {
    uint8_t folded = 0;
    for (wchar_t c : text)
        folded ^= uint8_t(c);
    return folded;
}

uint8_t VersionByte(const MachineFacts& facts) {
    switch (facts.system) {
    case HostSystem::Wine:
        return kWineMark;
    case HostSystem::ReactOs:
        return kReactOsMark;
    case HostSystem::Sandbox:
        return kSandboxMark;
    case HostSystem::Windows:
        break;
    }
    const unsigned major = facts.major == 10 && facts.build >= kFirstWindows11Build ? 11 : facts.major;
    uint8_t value = uint8_t((facts.minor & 0x0F) << 4 | (major & 0x0F));
    if (facts.armEmulation)
        value |= kArmEmulationBit;
    if (facts.packaged)
        value |= kPackagedBit;
    return value;
}

} // namespace

bool IsPackagedProcess() {
    using GetCurrentPackageFullNameFunction = LONG(WINAPI*)(UINT32*, PWSTR);
    auto getPackage =
        LookupSystemFunction<GetCurrentPackageFullNameFunction>(L"kernel32.dll", "GetCurrentPackageFullName");
    UINT32 length = 0;
    return getPackage && getPackage(&length, nullptr) != kAppModelNoPackage;
}

MachineFacts GatherMachineFacts() {
    MachineFacts facts;
    facts.productId = ReadProductId();
    ReadWindowsVersion(facts);
    facts.armEmulation = ReadArmEmulation();
    facts.packaged = IsPackagedProcess();
    facts.system = DetectHostSystem();
    facts.volumeSerial = ReadVolumeSerial();
    facts.adapterAddress = ReadAdapterAddressFromRegistry();
    if (facts.adapterAddress.empty())
        facts.adapterAddress = ReadAdapterAddressFromWmi();
    facts.diskIds = ReadDiskIds();
    return facts;
}

MachineId ComposeMachineId(const MachineFacts& facts, uint8_t purpose) {
    MachineId id{};
    uint8_t* b = id.bytes;
    b[0] = kFormatTag;
    b[1] = SumOf(facts.productId);
    b[2] = VersionByte(facts);
    b[3] = uint8_t(facts.volumeSerial ^ facts.volumeSerial >> 8 ^ facts.volumeSerial >> 16 ^ facts.volumeSerial >> 24);
    if (facts.adapterAddress.empty()) {
        b[4] = XorOf(facts.productId);
    } else {
        for (uint8_t byte : facts.adapterAddress)
            b[4] ^= byte;
    }
    b[5] = SumOf(facts.diskIds);
    b[6] = purpose;
    b[7] = 0;
    for (int i = 0; i < 7; ++i)
        b[7] ^= uint8_t(~b[i]);
    return id;
}

bool FormatMachineId(const MachineId& id, C_String& out) {
    const uint8_t* b = id.bytes;
    return out.Format(L"%04X-%04X-%04X-%04X", unsigned(b[0] | b[1] << 8), unsigned(b[2] | b[3] << 8),
                      unsigned(b[4] | b[5] << 8), unsigned(b[6] | b[7] << 8));
}

bool GetMachineId(uint8_t purpose, C_String& out) {
    return FormatMachineId(ComposeMachineId(GatherMachineFacts(), purpose), out);
}
