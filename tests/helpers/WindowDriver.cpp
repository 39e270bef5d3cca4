// velto_window_driver.exe: what the GUI tests cannot do with xdotool alone. It finds the program's main window
// and reads its toolbar from outside (states, texts, rectangles in screen coordinates for a click), posts the
// few window messages a user's action ends in, and broadcasts the device notifications Windows sends when a
// serial port appears or goes (Wine sends none for a virtual port).
//
//   window                         the main window's handle
//   title                          its title
//   frame                          "left top right bottom" of the main window, frame included, on the screen
//   dialog TITLE                   the handle of a visible window of the program whose title starts with TITLE
//   dialog-child TITLE ID          "left top right bottom" of a child of that window (a message box's button) on
//                                  the screen
//   dialog-text TITLE ID           the text of a child of that window (65535: a message box's question)
//   state COMMAND                  TBSTATE bits of a toolbar button, by command
//   text COMMAND                   a toolbar button's text
//   set-state COMMAND STATE        sets a toolbar button's TBSTATE bits
//   rect COMMAND                   "left top right bottom" of a toolbar button on the screen
//   count                          number of toolbar buttons
//   index COMMAND                  a toolbar button's place, counted from 0
//   ports                          the port buttons in toolbar order, one line each: "COMMAND<tab>TEXT"
//   child ID                       "left top right bottom" of a child window of the main window (or of its band
//                                  container, or of the send bar) on the screen
//   visible ID                     1 while that child window is visible, else 0
//   tooltip                        the text of the toolbar's tooltip while it is shown
//   balloon                        the text of the program's status balloon while it is shown
//   minimize                       minimises the main window (as its minimise box does)
//   iconic                         1 while the main window is minimised
//   control-text ID                the text of a child window (the filter field), or of a control of an open
//                                  dialog of the main window (child, checked and combo look there too)
//   owned ID                       "left top right bottom" of the main window's open dialog that has control ID
//   checked ID                     the check state of a check box (0, 1 or 2)
//   combo ID                       the text of a combo box's selected entry (status 1 when none is selected)
//   dropped                        "left top right bottom" of the combo box list that is dropped down
//   list ID                        the items of a list view (the plot's legend), one line each, the columns'
//                                  texts separated by tabs
//   foreground                     1 when the main window is the foreground window
//   close                          asks the main window to close (as its close box does)
//   clipboard TEXT                 puts TEXT on the clipboard, "\r" and "\n" in it as line ends, as another
//                                  program's copy would
//   focus                          what has the keyboard focus in the program: "toolbar", or a control's id
//   hot                            the index of the toolbar's hot button (-1 for none)
//   popup                          "left top right bottom" of the open pop-up menu
//   arrival COMn | removal COMn    broadcasts DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE for a port
//   arrival COMn SUFFIX            the same, printing "sent" once every window has handled it; then waits until
//                                  the main window's title ends with SUFFIX and prints the milliseconds from
//                                  the broadcast to then ("timeout" after a minute)
//   startup PROGRAM                starts PROGRAM (a velto.exe) and prints the milliseconds until its main window
//                                  is shown with nothing left to paint, in it or any child; then closes it as its
//                                  close box does and waits for it to end ("timeout" after a minute)
//   hold FILE SECONDS              keeps FILE open as an editor may, sharing reading but not its deletion (so it
//                                  cannot be moved), for SECONDS; prints "held" once it is open
//
// Output goes to standard output, one line; the exit status is 0 on success, 1 when the window or the button
// is not there, 2 on a usage error.
#include <windows.h>

#include "ui/window/MainWindowIds.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr const wchar_t* kTitlePrefix = L"Velto - Serial Terminal";
constexpr const wchar_t* kDialogClass = L"#32770";
constexpr const wchar_t* kDroppedListClass = L"ComboLBox";
constexpr const wchar_t* kPopupMenuClass = L"#32768";
constexpr UINT kBroadcastTimeoutMs = 5000;
constexpr DWORD kTitleWaitLimitMs = 60000;
constexpr DWORD kTitleLookIntervalMs = 2; // a measurement aid: the title is read this often
constexpr SIZE_T kRemoteBufferSize = 4096;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;

struct Search {
    HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM context) {
    wchar_t className[64] = {};
    wchar_t title[512] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 512);
    // Visible: the window is found once it has been laid out and placed.
    // Unowned: the options, search and tag dialogs carry the same title but belong to the main window.
    if (wcscmp(className, kDialogClass) == 0 && wcsncmp(title, kTitlePrefix, wcslen(kTitlePrefix)) == 0 &&
        IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
        reinterpret_cast<Search*>(context)->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND MainWindow() {
    Search search{nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Toolbar(HWND main) {
    HWND bands = FindWindowExW(main, nullptr, REBARCLASSNAMEW, nullptr);
    return bands ? FindWindowExW(bands, nullptr, TOOLBARCLASSNAMEW, nullptr) : nullptr;
}

struct TitleSearch {
    DWORD process;
    const wchar_t* prefix;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TitleSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    if (process != search->process || !IsWindowVisible(window) ||
        wcsncmp(title, search->prefix, wcslen(search->prefix)) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// The program's other top-level windows (its save dialog) by the start of their title.
HWND WindowWithTitle(HWND main, const wchar_t* prefix) {
    TitleSearch search{0, prefix, nullptr};
    GetWindowThreadProcessId(main, &search.process);
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct OwnedSearch {
    HWND owner;
    int control;
    HWND found;
};

BOOL CALLBACK MatchOwnedDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<OwnedSearch*>(context);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window) ||
        !GetDlgItem(window, search->control))
        return TRUE;
    search->found = window;
    return FALSE;
}

// The main window's open dialog (options, search bar, tag) that has the control. The ids of the modal dialogs
// overlap, but only one of them is open at a time.
HWND OwnedDialog(HWND main, int id) {
    OwnedSearch search{main, id, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(main, nullptr), MatchOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct BalloonSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK MatchBalloon(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BalloonSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (process != search->process || !IsWindowVisible(window) || wcscmp(className, TOOLTIPS_CLASSW) != 0 ||
        !(GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND Balloon(HWND main) {
    BalloonSearch search{0, nullptr};
    GetWindowThreadProcessId(main, &search.process);
    EnumWindows(MatchBalloon, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Child(HWND main, int id) {
    if (HWND child = GetDlgItem(main, id))
        return child;
    HWND bands = FindWindowExW(main, nullptr, REBARCLASSNAMEW, nullptr);
    if (HWND child = bands ? GetDlgItem(bands, id) : nullptr)
        return child;
    // A bar that is a dialog of its own inside the main window (the send bar).
    for (HWND inner = FindWindowExW(main, nullptr, kDialogClass, nullptr); inner;
         inner = FindWindowExW(main, inner, kDialogClass, nullptr))
        if (HWND child = GetDlgItem(inner, id))
            return child;
    HWND dialog = OwnedDialog(main, id);
    return dialog ? GetDlgItem(dialog, id) : nullptr;
}

// Memory in the program's process, for the toolbar messages that fill a structure.
class C_RemoteBuffer {
public:
    explicit C_RemoteBuffer(HWND window) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (m_process)
            m_address = VirtualAllocEx(m_process, nullptr, kRemoteBufferSize, MEM_COMMIT, PAGE_READWRITE);
    }
    ~C_RemoteBuffer() {
        if (m_address)
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process)
            CloseHandle(m_process);
    }
    C_RemoteBuffer(const C_RemoteBuffer&) = delete;
    C_RemoteBuffer& operator=(const C_RemoteBuffer&) = delete;

    LPARAM Address() const { return reinterpret_cast<LPARAM>(m_address); }
    bool Valid() const { return m_address != nullptr; }
    bool Read(void* into, SIZE_T size) const {
        return ReadProcessMemory(m_process, m_address, into, size, nullptr) != FALSE;
    }
    bool Write(const void* from, SIZE_T size) const {
        return WriteProcessMemory(m_process, m_address, from, size, nullptr) != FALSE;
    }

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
};

// UTF-8, so paths and texts of any language reach the test unchanged.
int PrintText(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    std::printf("%s\n", bytes.c_str());
    return 0;
}

int PrintScreenRect(HWND window, RECT rect) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

// The selected entry's text of a combo box, or kNotFound when none is selected. The system carries these
// messages of the standard controls across processes.
int ComboSelection(HWND combo) {
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    const LRESULT length = index < 0 ? CB_ERR : SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length < 0)
        return kNotFound;
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(size_t(length));
    return PrintText(text.c_str());
}

BOOL CALLBACK MatchDroppedList(HWND window, LPARAM found) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (wcscmp(className, kDroppedListClass) != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The screen rectangle of the combo box list that is dropped down, a top-level window of the program's thread.
int DroppedListRect(HWND main) {
    HWND list = nullptr;
    RECT rect{};
    EnumThreadWindows(GetWindowThreadProcessId(main, nullptr), MatchDroppedList, reinterpret_cast<LPARAM>(&list));
    if (!list || !GetWindowRect(list, &rect))
        return kNotFound;
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

// The items of a list view, read through the program's memory: a list view's messages carry pointers.
int ListItems(HWND list) {
    constexpr int kColumns = 2;
    constexpr int kTextLength = 256;
    C_RemoteBuffer buffer(list);
    if (!buffer.Valid())
        return kNotFound;
    const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    auto* base = reinterpret_cast<char*>(buffer.Address());
    for (LRESULT item = 0; item < count; ++item) {
        std::wstring line;
        for (int column = 0; column < kColumns; ++column) {
            LVITEMW request = {};
            request.iSubItem = column;
            request.pszText = reinterpret_cast<wchar_t*>(base + sizeof(LVITEMW));
            request.cchTextMax = kTextLength;
            struct {
                LVITEMW item;
                wchar_t text[kTextLength];
            } remote = {};
            remote.item = request;
            if (!buffer.Write(&remote.item, sizeof remote.item))
                return kNotFound;
            SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(item), buffer.Address());
            if (!buffer.Read(&remote, sizeof remote))
                return kNotFound;
            remote.text[kTextLength - 1] = 0;
            line += (column ? L"\t" : L"") + std::wstring(remote.text);
        }
        PrintText(line.c_str());
    }
    return 0;
}

int ButtonRect(HWND toolbar, int command) {
    const LRESULT index = SendMessageW(toolbar, TB_COMMANDTOINDEX, WPARAM(command), 0);
    C_RemoteBuffer buffer(toolbar);
    RECT rect{};
    if (index < 0 || !buffer.Valid() || !SendMessageW(toolbar, TB_GETITEMRECT, WPARAM(index), buffer.Address()) ||
        !buffer.Read(&rect, sizeof(rect)))
        return kNotFound;
    return PrintScreenRect(toolbar, rect);
}

bool ReadButtonText(HWND toolbar, int command, std::wstring& text) {
    C_RemoteBuffer buffer(toolbar);
    const LRESULT length = SendMessageW(toolbar, TB_GETBUTTONTEXTW, WPARAM(command), 0);
    if (length < 0 || !buffer.Valid() || SIZE_T(length + 1) * sizeof(wchar_t) > kRemoteBufferSize)
        return false;
    text.assign(size_t(length) + 1, L'\0');
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, WPARAM(command), buffer.Address());
    if (!buffer.Read(&text[0], text.size() * sizeof(wchar_t)))
        return false;
    text.resize(size_t(length));
    return true;
}

// Port buttons carry consecutive commands in list order, from the first.
int PortButtons(HWND toolbar) {
    std::wstring text;
    for (int command = CMD_PORT_FIRST; command <= CMD_PORT_LAST; ++command) {
        if (SendMessageW(toolbar, TB_COMMANDTOINDEX, WPARAM(command), 0) < 0 || !ReadButtonText(toolbar, command, text))
            break;
        PrintText((std::to_wstring(command) + L"\t" + text).c_str());
    }
    return 0;
}

int ButtonText(HWND toolbar, int command) {
    std::wstring text;
    return ReadButtonText(toolbar, command, text) ? PrintText(text.c_str()) : kNotFound;
}

BOOL CALLBACK SendDeviceChange(HWND window, LPARAM context) {
    const auto* message = reinterpret_cast<const std::pair<WPARAM, DEV_BROADCAST_PORT_W*>*>(context);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_DEVICECHANGE, message->first, reinterpret_cast<LPARAM>(message->second),
                        SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &result);
    return TRUE;
}

// As the system does: to every top-level window, with the port's name in the broadcast record.
int BroadcastPort(WPARAM event, const wchar_t* port) {
    const size_t length = wcslen(port);
    const size_t size = sizeof(DEV_BROADCAST_PORT_W) + length * sizeof(wchar_t);
    auto* record = static_cast<DEV_BROADCAST_PORT_W*>(std::calloc(1, size));
    if (!record)
        return kNotFound;
    record->dbcp_size = DWORD(size);
    record->dbcp_devicetype = DBT_DEVTYP_PORT;
    wcscpy(record->dbcp_name, port);
    std::pair<WPARAM, DEV_BROADCAST_PORT_W*> message{event, record};
    EnumWindows(SendDeviceChange, reinterpret_cast<LPARAM>(&message));
    std::free(record);
    return 0;
}

bool TitleEndsWith(const wchar_t* suffix) {
    HWND main = MainWindow();
    wchar_t title[512] = {};
    if (!main || !GetWindowTextW(main, title, 512))
        return false;
    const size_t length = wcslen(title), suffixLength = wcslen(suffix);
    return length >= suffixLength && wcscmp(title + length - suffixLength, suffix) == 0;
}

// From the moment every window has handled the broadcast until the program shows the port in its title.
int BroadcastAndTime(const wchar_t* port, const wchar_t* suffix) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (BroadcastPort(DBT_DEVICEARRIVAL, port) != 0)
        return kNotFound;
    std::printf("sent\n");
    std::fflush(stdout);
    for (;;) {
        QueryPerformanceCounter(&now);
        const double elapsedMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        if (TitleEndsWith(suffix)) {
            std::printf("%.1f\n", elapsedMs);
            return 0;
        }
        if (elapsedMs > kTitleWaitLimitMs) {
            std::printf("timeout\n");
            return kNotFound;
        }
        Sleep(kTitleLookIntervalMs);
    }
}

BOOL CALLBACK CheckPainted(HWND window, LPARAM painted) {
    if (GetUpdateRect(window, nullptr, FALSE))
        *reinterpret_cast<bool*>(painted) = false;
    return TRUE;
}

// Shown, and nothing of it or its children waits to be painted.
bool IsPainted(HWND window) {
    bool painted = IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE);
    if (painted)
        EnumChildWindows(window, CheckPainted, reinterpret_cast<LPARAM>(&painted));
    return painted;
}

int MeasureStartup(const wchar_t* program) {
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return kNotFound;
    CloseHandle(started.hThread);
    TitleSearch search{started.dwProcessId, kTitlePrefix, nullptr};
    for (;;) {
        QueryPerformanceCounter(&now);
        const double elapsedMs = double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
        search.found = nullptr;
        EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
        if (search.found && IsPainted(search.found)) {
            std::printf("%.1f\n", elapsedMs);
            break;
        }
        if (elapsedMs > kTitleWaitLimitMs) {
            std::printf("timeout\n");
            break;
        }
        Sleep(kTitleLookIntervalMs);
    }
    if (search.found)
        PostMessageW(search.found, WM_SYSCOMMAND, SC_CLOSE, 0);
    const bool ended = WaitForSingleObject(started.hProcess, kTitleWaitLimitMs) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hProcess);
    return search.found && ended ? 0 : kNotFound;
}

// The window with the keyboard focus in the main window's thread.
HWND FocusOf(HWND main) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) ? info.hwndFocus : nullptr;
}

BOOL CALLBACK MatchPopupMenu(HWND window, LPARAM found) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (wcscmp(className, kPopupMenuClass) != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The screen rectangle of the pop-up menu the main window's thread shows. Its items cannot be read from another
// process (Wine keeps menus to their process).
int PopupMenuRect(HWND main) {
    HWND window = nullptr;
    RECT rect{};
    EnumThreadWindows(GetWindowThreadProcessId(main, nullptr), MatchPopupMenu, reinterpret_cast<LPARAM>(&window));
    if (!window || !GetWindowRect(window, &rect))
        return kNotFound;
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: velto_window_driver window|title|frame|dialog TITLE|dialog-child TITLE ID|"
                 "dialog-text TITLE ID|count|foreground|close|state ID|set-state ID STATE|text ID|rect ID|"
                 "child ID|visible ID|control-text ID|owned ID|checked ID|combo ID|dropped|tooltip|minimize|iconic|"
                 "clipboard TEXT|focus|hot|popup|balloon|arrival COMn [SUFFIX]|removal COMn|startup PROGRAM|hold FILE "
                 "SECONDS\n");
    return kUsage;
}

int HoldFile(const wchar_t* path, DWORD seconds) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kNotFound;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(seconds * 1000);
    CloseHandle(file);
    return 0;
}

// The clipboard is the session's, so a paste in the program finds what this process left there.
int SetClipboardText(const wchar_t* escaped) {
    std::wstring text;
    for (const wchar_t* at = escaped; *at; ++at) {
        if (at[0] == L'\\' && (at[1] == L'r' || at[1] == L'n')) {
            text += at[1] == L'r' ? L'\r' : L'\n';
            ++at;
        } else {
            text += *at;
        }
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory || !OpenClipboard(nullptr))
        return kNotFound;
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    EmptyClipboard();
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!set)
        GlobalFree(memory);
    return set ? 0 : kNotFound;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    const wchar_t* argument = argc > 2 ? argv[2] : nullptr;
    if (command == L"arrival" && argument && argc > 3)
        return BroadcastAndTime(argument, argv[3]);
    if (command == L"clipboard")
        return argument ? SetClipboardText(argument) : Usage();
    if (command == L"startup")
        return argument ? MeasureStartup(argument) : Usage();
    if (command == L"hold")
        return argument && argc > 3 ? HoldFile(argument, DWORD(_wtoi(argv[3]))) : Usage();
    if (command == L"arrival" || command == L"removal") {
        if (!argument)
            return Usage();
        const int status =
            BroadcastPort(command == L"arrival" ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, argument);
        std::printf("sent\n");
        return status;
    }

    HWND main = MainWindow();
    if (!main)
        return kNotFound;
    HWND toolbar = Toolbar(main);
    const int id = argument ? _wtoi(argument) : 0;
    if (command == L"window") {
        std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(main)));
        return 0;
    }
    if (command == L"frame") {
        RECT rect{};
        GetWindowRect(main, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (command == L"dialog") {
        HWND found = argument ? WindowWithTitle(main, argument) : nullptr;
        if (!found)
            return kNotFound;
        std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(found)));
        return 0;
    }
    if ((command == L"dialog-child" || command == L"dialog-text") && argument && argc > 3) {
        HWND found = WindowWithTitle(main, argument);
        HWND child = found ? GetDlgItem(found, _wtoi(argv[3])) : nullptr;
        RECT rect{};
        wchar_t text[1024] = {};
        if (!child)
            return kNotFound;
        if (command == L"dialog-text")
            return SendMessageTimeoutW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                       kBroadcastTimeoutMs, nullptr)
                       ? PrintText(text)
                       : kNotFound;
        return GetClientRect(child, &rect) ? PrintScreenRect(child, rect) : kNotFound;
    }
    if (command == L"title") {
        wchar_t title[512] = {};
        GetWindowTextW(main, title, 512);
        return PrintText(title);
    }
    if (command == L"foreground") {
        std::printf("%d\n", GetForegroundWindow() == main ? 1 : 0);
        return 0;
    }
    if (command == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"minimize") {
        PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return 0;
    }
    if (command == L"iconic") {
        std::printf("%d\n", IsIconic(main) ? 1 : 0);
        return 0;
    }
    if (command == L"tooltip") {
        HWND tips = toolbar ? reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0)) : nullptr;
        wchar_t text[1024] = {};
        if (!tips || !IsWindowVisible(tips) ||
            !SendMessageTimeoutW(tips, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                 kBroadcastTimeoutMs, nullptr))
            return kNotFound;
        return PrintText(text);
    }
    if (command == L"balloon") {
        HWND balloon = Balloon(main);
        wchar_t text[1024] = {};
        if (!balloon || !SendMessageTimeoutW(balloon, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                                             SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, nullptr))
            return kNotFound;
        return PrintText(text);
    }
    if (command == L"visible") {
        HWND child = argument ? Child(main, id) : nullptr;
        if (!child)
            return kNotFound;
        std::printf("%d\n", IsWindowVisible(child) ? 1 : 0);
        return 0;
    }
    if (command == L"control-text") {
        HWND child = argument ? Child(main, id) : nullptr;
        wchar_t text[1024] = {};
        // WM_GETTEXT is carried across processes by the system; GetWindowText would not ask the control.
        if (!child || SendMessageTimeoutW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                          kBroadcastTimeoutMs, nullptr) == 0)
            return kNotFound;
        return PrintText(text);
    }
    if (command == L"owned") {
        HWND dialog = argument ? OwnedDialog(main, id) : nullptr;
        RECT rect{};
        if (!dialog || !GetWindowRect(dialog, &rect))
            return kNotFound;
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (command == L"checked") {
        HWND child = argument ? Child(main, id) : nullptr;
        if (!child)
            return kNotFound;
        std::printf("%ld\n", long(SendMessageW(child, BM_GETCHECK, 0, 0)));
        return 0;
    }
    if (command == L"combo") {
        HWND child = argument ? Child(main, id) : nullptr;
        return child ? ComboSelection(child) : kNotFound;
    }
    if (command == L"list") {
        HWND child = argument ? Child(main, id) : nullptr;
        return child ? ListItems(child) : kNotFound;
    }
    if (command == L"dropped")
        return DroppedListRect(main);
    if (command == L"popup")
        return PopupMenuRect(main);
    if (command == L"focus") {
        HWND focus = FocusOf(main);
        if (!focus)
            return kNotFound;
        if (focus == toolbar)
            return PrintText(L"toolbar");
        std::printf("%d\n", GetDlgCtrlID(focus));
        return 0;
    }
    if (command == L"child") {
        HWND child = argument ? Child(main, id) : nullptr;
        RECT rect{};
        if (!child || !GetClientRect(child, &rect))
            return kNotFound;
        return PrintScreenRect(child, rect);
    }
    if (!toolbar)
        return kNotFound;
    if (command == L"hot") {
        std::printf("%ld\n", long(SendMessageW(toolbar, TB_GETHOTITEM, 0, 0)));
        return 0;
    }
    if (command == L"ports")
        return PortButtons(toolbar);
    if (command == L"count") {
        std::printf("%ld\n", long(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)));
        return 0;
    }
    if (!argument)
        return Usage();
    if (command == L"state") {
        const LRESULT state = SendMessageW(toolbar, TB_GETSTATE, WPARAM(id), 0);
        if (state < 0)
            return kNotFound;
        std::printf("%ld\n", long(state));
        return 0;
    }
    if (command == L"index") {
        const LRESULT index = SendMessageW(toolbar, TB_COMMANDTOINDEX, WPARAM(id), 0);
        if (index < 0)
            return kNotFound;
        std::printf("%ld\n", long(index));
        return 0;
    }
    if (command == L"set-state") {
        // As if the button had been drawn otherwise: only a rebuild of the buttons sets it right again.
        const LRESULT state = argc > 3 ? _wtoi(argv[3]) : -1;
        return state >= 0 && SendMessageW(toolbar, TB_SETSTATE, WPARAM(id), MAKELPARAM(state, 0)) ? 0 : kNotFound;
    }
    if (command == L"text")
        return ButtonText(toolbar, id);
    if (command == L"rect")
        return ButtonRect(toolbar, id);
    return Usage();
}
