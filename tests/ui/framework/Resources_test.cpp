#include "platform/system/Handles.h"
#include "platform/formats/VersionResource.h"
#include "ui/framework/Language.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/StringTable.h"

#include "ui/UiTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const UINT kIcons[] = {IDI_PROGRAM,
                       IDI_OPTIONS,
                       IDI_SAVE,
                       IDI_LOG,
                       IDI_CLEAR,
                       IDI_SEARCH,
                       IDI_PLOT,
                       IDI_SEND,
                       IDI_PORT_GENERIC,
                       IDI_PORT_FTDI,
                       IDI_PORT_STM,
                       IDI_PORT_SILABS,
                       IDI_PORT_QINHENG,
                       IDI_PORT_NORDIC,
                       IDI_PORT_NXP,
                       IDI_PORT_ESPRESSIF,
                       IDI_PORT_ARM,
                       IDI_PORT_PIPE,
                       IDI_PORT_TCP,
                       IDI_PORT_SEGGER,
                       IDI_PORT_PROLIFIC,
                       IDI_PORT_UDP,
                       IDI_PORT_CYPRESS,
                       IDI_ITEM_RATE,
                       IDI_PARITY_ODD,
                       IDI_PARITY_EVEN,
                       IDI_PARITY_NONE,
                       IDI_STOP_BITS_ONE_HALF,
                       IDI_STOP_BITS_ONE,
                       IDI_STOP_BITS_TWO,
                       IDI_ITEM_FONT,
                       IDI_ITEM_TIME_FORMAT,
                       IDI_SCROLL_TO_END,
                       IDI_FILTER,
                       IDI_FILTER_ACTIVITY_1,
                       IDI_FILTER_ACTIVITY_2,
                       IDI_FILTER_ACTIVITY_3};

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

std::set<int> IconSizes(HMODULE module, UINT id) {
    std::set<int> sizes;
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
    auto* data = group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
    if (!data)
        return sizes;
    WORD count = *reinterpret_cast<const WORD*>(data + 4);
    auto* entries = reinterpret_cast<const GroupIconEntry*>(data + 6);
    for (WORD i = 0; i < count; ++i)
        sizes.insert(entries[i].width ? entries[i].width : 256);
    return sizes;
}

std::string ResourceText(HMODULE module, UINT id, const wchar_t* type) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    auto* data = resource ? static_cast<const char*>(LockResource(LoadResource(module, resource))) : nullptr;
    return data ? std::string(data, SizeofResource(module, resource)) : std::string();
}

TEST(ResourcesTest, EveryIconComesInTheFourSizes) {
    HMODULE module = GetModuleHandleW(nullptr);
    for (UINT id : kIcons) {
        std::set<int> sizes = IconSizes(module, id);
        for (int size : {16, 24, 32, 48})
            EXPECT_TRUE(sizes.count(size)) << "icon " << id << " lacks " << size << " pixels";
        const C_Icon icon(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 24, 24, 0)));
        EXPECT_TRUE(icon) << id;
    }
    EXPECT_TRUE(IconSizes(module, IDI_SCROLL_TO_END).count(96)); // drawn at 48 pixels scaled for the DPI
}

TEST(ResourcesTest, HandCursorPointsWithItsFingertip) {
    const C_Cursor cursor(static_cast<HCURSOR>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_LINK), IMAGE_CURSOR, 32, 32, 0)));
    ASSERT_TRUE(cursor);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(cursor.Get(), &info));
    const C_Bitmap colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_FALSE(info.fIcon);
    EXPECT_GE(info.xHotspot, 10u);
    EXPECT_LE(info.xHotspot, 14u);
    EXPECT_LE(info.yHotspot, 3u);
}

TEST(ResourcesTest, ManifestSelectsCommonControls6AndDpiAwareness) {
    std::string manifest = ResourceText(GetModuleHandleW(nullptr), 1, RT_MANIFEST);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos); // Windows 10
    // The side-by-side version 6 is loaded. Its version number is not asked: Wine's copy of version 6 answers
    // DllGetVersion with 5.81, where Windows answers 6.
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    CharLowerW(path);
    EXPECT_NE(wcsstr(path, L"microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr) << path;
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"velto.exe";
}

TEST(ProgramTest, CarriesTheResources) {
    const C_Module loaded(LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(loaded) << "velto.exe beside the tests";
    HMODULE program = loaded.Get();
    C_StringTable strings(program);
    strings.SetLanguage(Language::kGerman);
    EXPECT_STREQ(strings.LoadString(IDS_STATUS_OPEN_FAILED), L"Serielle Schnittstelle kann nicht geöffnet werden");
    strings.SetLanguage(Language::kRussian);
    EXPECT_STREQ(strings.LoadString(IDS_SEARCH), L"Поиск");
    strings.SetLanguage(Language::kUserDefault);
    for (UINT id : {IDD_MAIN, IDD_OPTIONS, IDD_SEARCH_BAR, IDD_TAG, IDD_SEND_BAR, IDD_PASTE})
        EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(id), RT_DIALOG), nullptr) << id;
    EXPECT_TRUE(IconSizes(program, IDI_PROGRAM).count(48));
    EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(IDC_HAND_LINK), RT_GROUP_CURSOR), nullptr);
    EXPECT_NE(ResourceText(program, 1, RT_MANIFEST).find("Common-Controls"), std::string::npos);
    C_VersionResource version;
    ASSERT_TRUE(version.Load(program));
    EXPECT_STREQ(version.GetString(L"040904B0", L"ProductName"), L"Velto");
}

struct FoundWindow {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<FoundWindow*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process || !IsWindowVisible(window))
        return TRUE;
    found->window = window;
    return FALSE;
}

TEST(ProgramTest, ShowsItsWindowAndEndsWhenClosed) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" -l de";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const C_Handle processHandle(process.hProcess), threadHandle(process.hThread);
    FoundWindow found = {process.dwProcessId, nullptr};
    EXPECT_TRUE(PumpUntil(
        [&] {
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&found));
            return found.window != nullptr;
        },
        30000));
    if (found.window) {
        wchar_t title[128] = {};
        GetWindowTextW(found.window, title, 128);
        EXPECT_EQ(std::wstring(title).rfind(L"Velto - Serial Terminal [", 0), 0u) << title;
        EXPECT_NE(GetDlgItem(found.window, IDC_FILTER), nullptr);
        // The web link moves into the band container beside the toolbar.
        HWND bands = FindWindowExW(found.window, nullptr, REBARCLASSNAMEW, nullptr);
        EXPECT_NE(GetDlgItem(bands, IDC_WEB_LINK), nullptr);
        PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended);
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
