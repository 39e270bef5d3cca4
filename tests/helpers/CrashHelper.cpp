// velto_crash_helper: a program that crashes on command, for the problem report's end-to-end tests.
//
//   velto_crash_helper crash KIND [--report HOST[:PORT]] [--upload-limit MS] [--log TEXT] [--thread-name TEXT]
//       Creates the diagnostics object (exception handler installed), configures the report service when
//       --report is given (and how long an upload may take), gives the crashing thread a name when asked, and
//       crashes:
//         write     writes to address 0x10
//         divide    divides an integer by zero
//         overflow  recurses until the stack overflows
//         cxx       throws a C++ exception that nothing catches
//         twice     writes to 0x10; once the report dialog's message loop runs, another thread writes to 0x20:
//                   a second crash while the first is being reported
//   velto_crash_helper inject PROGRAM [--at OFFSET] [--argument VALUE]
//       Starts a thread at address 0x10 in the process that runs the program file PROGRAM (a file name such as
//       velto.exe) once it shows a window: that program crashes with an access violation on a thread of its own.
//       --at starts it at OFFSET (hexadecimal) from the program's image base instead, with VALUE (hexadecimal,
//       default 0x10) as the thread's argument: a function there that follows its argument crashes inside the
//       program's own code, where a problem report must name it.
//   velto_crash_helper drive [--program NAME] [--type N] [--email TEXT] [--press send|cancel|close]
//       Waits for the report dialog of another process (the one whose files text names NAME), enters N
//       characters into the description (pasted as a replaced selection, then one more typed) and types the text
//       into the e-mail field, so the edits' limits apply as they do to a user; prints what the dialog holds and
//       presses a button or the close box.
//
// The crashes keep the system's own error dialog away (SEM_NOGPFAULTERRORBOX), so where the report leaves a
// crash to the system, the process simply ends with the exception's code.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>

#include "maintenance/crash/Diagnostics.h"
#include "maintenance/crash/ReportDialog.h"
#include "platform/system/Handles.h"

namespace {

constexpr UINT kIconId = 101;
constexpr DWORD kDialogTimeoutMs = 60000;
constexpr DWORD kLookIntervalMs = 100;
constexpr UINT kAnswerTimeoutMs = 20000;
constexpr uintptr_t kNoCode = 0x10;
constexpr UINT kSecondCrashMessage = WM_APP + 17;
constexpr const wchar_t* kDialogClass = L"#32770";
constexpr const wchar_t* kTitleEnd = L"has stopped working.";

enum ExitCode : int { EXIT_DONE = 0, EXIT_USAGE = 2, EXIT_NO_DIALOG = 3, EXIT_SURVIVED = 4, EXIT_NO_TARGET = 5 };

// Created before anything else, as the program creates its own.
C_Diagnostics g_diagnostics;

volatile int g_zero = 0;
volatile bool g_keepRecursing = true;

__attribute__((noinline)) void CrashByWriting(volatile int* address) {
    *address = 1;
}

__attribute__((noinline)) int CrashByDividing(int value) {
    return value / g_zero;
}

__attribute__((noinline)) int CrashByRecursing(int depth) {
    volatile char block[4096];
    block[0] = char(depth);
    if (!g_keepRecursing)
        return block[0];
    return CrashByRecursing(depth + 1) + block[0];
}

__attribute__((noinline)) void CrashByThrowing() {
    throw std::runtime_error("nothing catches this");
}

HANDLE g_secondCrash = nullptr;

DWORD WINAPI CrashSecond(void*) {
    WaitForSingleObject(g_secondCrash, INFINITE);
    CrashByWriting(reinterpret_cast<volatile int*>(0x20));
    return 0;
}

LRESULT CALLBACK SecondCrashProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSecondCrashMessage)
        SetEvent(g_secondCrash);
    return DefWindowProcW(window, message, wParam, lParam);
}

// A window of the crashing thread with a message waiting: only the report dialog's message loop delivers it, and
// then another thread crashes while the first crash is being reported.
void ArmSecondCrash() {
    g_secondCrash = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, CrashSecond, nullptr, 0, nullptr));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SecondCrashProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VeltoSecondCrash";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    PostMessageW(window, kSecondCrashMessage, 0, 0);
}

const wchar_t* OptionValue(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 0; i + 1 < argc; ++i)
        if (wcscmp(argv[i], name) == 0)
            return argv[i + 1];
    return nullptr;
}

int Crash(int argc, wchar_t** argv) {
    const wchar_t* kind = argc > 2 ? argv[2] : L"";
    SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
    const wchar_t* host = OptionValue(argc, argv, L"--report");
    g_diagnostics.Configure(kIconId, host, C_Diagnostics::kReportPath, nullptr, nullptr);
    if (const wchar_t* log = OptionValue(argc, argv, L"--log"))
        g_diagnostics.SetLog(log);
    if (const wchar_t* limit = OptionValue(argc, argv, L"--upload-limit"))
        g_diagnostics.SetUploadLimit(DWORD(_wtoi(limit)));
    // A thread names itself for crash reports through the user slot of its information block.
    if (const wchar_t* name = OptionValue(argc, argv, L"--thread-name"))
        reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ArbitraryUserPointer = const_cast<wchar_t*>(name);
    if (wcscmp(kind, L"write") == 0)
        CrashByWriting(reinterpret_cast<volatile int*>(0x10));
    else if (wcscmp(kind, L"divide") == 0)
        return CrashByDividing(7);
    else if (wcscmp(kind, L"overflow") == 0)
        return CrashByRecursing(0);
    else if (wcscmp(kind, L"cxx") == 0)
        CrashByThrowing();
    else if (wcscmp(kind, L"twice") == 0) {
        ArmSecondCrash();
        CrashByWriting(reinterpret_cast<volatile int*>(0x10));
    } else
        return EXIT_USAGE;
    return EXIT_SURVIVED;
}

// --- the driver ---

HWND g_dialog = nullptr;
const wchar_t* g_program = nullptr;

BOOL CALLBACK CheckWindow(HWND window, LPARAM) {
    wchar_t className[32], title[256];
    if (!IsWindowVisible(window) || !GetClassNameW(window, className, 32) || wcscmp(className, kDialogClass) != 0)
        return TRUE;
    HWND titleItem = GetDlgItem(window, C_ReportDialog::ID_TITLE);
    int length = titleItem ? GetWindowTextW(titleItem, title, 256) : 0;
    size_t endLength = wcslen(kTitleEnd);
    // Texts of another process's windows are read without messages: a window whose process hangs in a
    // debugger would never answer one.
    wchar_t files[1024] = {};
    GetWindowTextW(GetDlgItem(window, C_ReportDialog::ID_FILES), files, 1024);
    if (length >= int(endLength) && wcscmp(title + length - endLength, kTitleEnd) == 0 &&
        (!g_program || wcsstr(files, g_program))) {
        g_dialog = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnWindowShown(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
    if (!g_dialog)
        EnumWindows(CheckWindow, 0);
}

// Waits for the dialog to be shown: a look now, then one at every window shown, until the time is up. Wine
// does not pass another process's show events to an out-of-context hook, so there the look is also taken
// every kLookIntervalMs.
HWND WaitForDialog() {
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWindowShown, 0, 0, WINEVENT_OUTOFCONTEXT);
    DWORD start = GetTickCount();
    for (EnumWindows(CheckWindow, 0); !g_dialog; EnumWindows(CheckWindow, 0)) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kDialogTimeoutMs)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kLookIntervalMs, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    if (hook)
        UnhookWinEvent(hook);
    return g_dialog;
}

void TypeInto(HWND edit, const wchar_t* text, int repeat) {
    for (int i = 0; i < repeat; ++i)
        for (const wchar_t* at = text; *at; ++at)
            SendMessageW(edit, WM_CHAR, *at, 1);
}

BOOL CALLBACK CountLink(HWND window, LPARAM count) {
    wchar_t className[32];
    if (IsWindowVisible(window) && GetClassNameW(window, className, 32) && _wcsicmp(className, WC_LINK) == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// An edit keeps its text to itself: only a message tells its length to another process.
int TextLength(HWND dialog, int id) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &length))
        return -1;
    return int(length);
}

void PrintItem(HWND dialog, const char* name, int id) {
    wchar_t text[1024];
    GetDlgItemTextW(dialog, id, text, 1024);
    printf("%s=%ls\n", name, text);
}

int Drive(int argc, wchar_t** argv) {
    g_program = OptionValue(argc, argv, L"--program");
    HWND dialog = WaitForDialog();
    if (!dialog)
        return EXIT_NO_DIALOG;
    if (const wchar_t* count = OptionValue(argc, argv, L"--type")) {
        // One message per character is too slow across processes under Wine; the replaced selection is limited
        // like typing, and the character typed after it shows the limit holds for keys too.
        HWND description = GetDlgItem(dialog, C_ReportDialog::ID_DESCRIPTION);
        int length = _wtoi(count);
        if (length > 1) {
            std::wstring text(length - 1, L'x');
            SendMessageW(description, EM_REPLACESEL, TRUE, LPARAM(text.c_str()));
        }
        if (length > 0)
            TypeInto(description, L"x", 1);
    }
    if (const wchar_t* email = OptionValue(argc, argv, L"--email"))
        TypeInto(GetDlgItem(dialog, C_ReportDialog::ID_EMAIL), email, 1);
    RECT place;
    GetWindowRect(dialog, &place);
    wchar_t caption[256];
    GetWindowTextW(dialog, caption, 256);
    printf("caption=%ls\n", caption);
    PrintItem(dialog, "title", C_ReportDialog::ID_TITLE);
    PrintItem(dialog, "request", C_ReportDialog::ID_REQUEST);
    PrintItem(dialog, "files", C_ReportDialog::ID_FILES);
    printf("description_length=%d\n", TextLength(dialog, C_ReportDialog::ID_DESCRIPTION));
    printf("email_length=%d\n", TextLength(dialog, C_ReportDialog::ID_EMAIL));
    int links = 0;
    EnumChildWindows(dialog, CountLink, LPARAM(&links));
    printf("links=%d\n", links);
    printf("rect=%ld,%ld,%ld,%ld\n", place.left, place.top, place.right - place.left, place.bottom - place.top);
    fflush(stdout);
    const wchar_t* press = OptionValue(argc, argv, L"--press");
    if (press && wcscmp(press, L"send") == 0)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(C_ReportDialog::ID_SEND, BN_CLICKED),
                     LPARAM(GetDlgItem(dialog, C_ReportDialog::ID_SEND)));
    else if (press && wcscmp(press, L"cancel") == 0)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(C_ReportDialog::ID_CANCEL, BN_CLICKED),
                     LPARAM(GetDlgItem(dialog, C_ReportDialog::ID_CANCEL)));
    else if (press && wcscmp(press, L"close") == 0)
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return EXIT_DONE;
}

// The process that runs the program file NAME and shows a window: found by its image, not by a window title,
// so another program's window of the same title is never the target.
BOOL CALLBACK CheckProgram(HWND window, LPARAM found) {
    DWORD process = 0;
    if (!IsWindowVisible(window) || !GetWindowThreadProcessId(window, &process))
        return TRUE;
    C_Handle opened(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    wchar_t image[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!opened || !QueryFullProcessImageNameW(opened.Get(), 0, image, &length))
        return TRUE;
    const wchar_t* name = wcsrchr(image, L'\\');
    if (_wcsicmp(name ? name + 1 : image, g_program) != 0)
        return TRUE;
    *reinterpret_cast<DWORD*>(found) = process;
    return FALSE;
}

uintptr_t HexOption(int argc, wchar_t** argv, const wchar_t* name, uintptr_t fallback) {
    const wchar_t* text = OptionValue(argc, argv, name);
    return text ? uintptr_t(wcstoul(text, nullptr, 16)) : fallback;
}

// Where the process's program file is loaded: the first module its list names.
uintptr_t ImageBaseOf(HANDLE process) {
    HMODULE first = nullptr;
    DWORD needed = 0;
    return EnumProcessModules(process, &first, sizeof first, &needed) ? reinterpret_cast<uintptr_t>(first) : 0;
}

// A thread started in the other process at an address where no code is, or in its own code: the crash happens
// there, in a program that knows nothing of this test.
int Inject(int argc, wchar_t** argv) {
    DWORD process = 0;
    g_program = argc > 2 ? argv[2] : L"";
    if (*g_program)
        EnumWindows(CheckProgram, LPARAM(&process));
    if (!process)
        return EXIT_NO_TARGET;
    C_Handle target(OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                    PROCESS_VM_WRITE | PROCESS_VM_READ,
                                FALSE, process));
    if (!target)
        return EXIT_NO_TARGET;
    uintptr_t start = kNoCode;
    if (OptionValue(argc, argv, L"--at")) {
        const uintptr_t base = ImageBaseOf(target.Get());
        if (!base)
            return EXIT_NO_TARGET;
        start = base + HexOption(argc, argv, L"--at", 0);
    }
    void* argument = reinterpret_cast<void*>(HexOption(argc, argv, L"--argument", kNoCode));
    C_Handle thread(CreateRemoteThread(target.Get(), nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                       argument, 0, nullptr));
    return thread ? EXIT_DONE : EXIT_NO_TARGET;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && wcscmp(argv[1], L"crash") == 0)
        return Crash(argc, argv);
    if (argc > 1 && wcscmp(argv[1], L"drive") == 0)
        return Drive(argc, argv);
    if (argc > 1 && wcscmp(argv[1], L"inject") == 0)
        return Inject(argc, argv);
    fprintf(stderr, "usage: velto_crash_helper crash KIND [--report HOST] | drive [--type N] [--press BUTTON] | "
                    "inject PROGRAM [--at OFFSET]\n");
    return EXIT_USAGE;
}
