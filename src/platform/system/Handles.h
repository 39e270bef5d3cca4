#pragma once
// The one set of ownership wrappers for system resources. Every kernel handle, registry key, GDI object, device
// context, COM interface and critical section in the program has exactly one owner, so each wrapper moves but
// never copies, and releases its resource once: when it is destroyed, reset or given another one.
//
// The common shape: Get() lends the raw value, Detach() gives ownership away, Reset() releases (and optionally
// adopts another value), Receive() releases and hands out the address for a system call's out parameter.
#include <windows.h>
#include <commctrl.h>
#include <unknwn.h>

#include <utility>

template <class Traits> class C_Unique {
public:
    using Type = typename Traits::Type;

    C_Unique() = default;
    explicit C_Unique(Type value) : m_value(Normalised(value)) {}
    ~C_Unique() { Reset(); }
    C_Unique(C_Unique&& other) noexcept : m_value(other.Detach()) {}
    C_Unique& operator=(C_Unique&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    C_Unique(const C_Unique&) = delete;
    C_Unique& operator=(const C_Unique&) = delete;

    Type Get() const { return m_value; }
    // A system call that writes its own "none" through Receive (INVALID_HANDLE_VALUE) leaves nothing owned.
    bool IsValid() const { return !Traits::IsNone(m_value); }
    explicit operator bool() const { return IsValid(); }

    void Reset(Type value = Type()) {
        value = Normalised(value);
        if (!Traits::IsNone(m_value) && m_value != value)
            Traits::Release(m_value);
        m_value = value;
    }
    Type Detach() { return Normalised(std::exchange(m_value, Type())); }
    Type* Receive() {
        Reset();
        return &m_value;
    }

private:
    static Type Normalised(Type value) { return Traits::IsNone(value) ? Type() : value; }

    Type m_value = Type();
};

namespace HandleTraits {
// CreateFile and CreateFileMapping disagree on what "no handle" is; both count as none.
struct Kernel {
    using Type = HANDLE;
    static bool IsNone(HANDLE value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static void Release(HANDLE value) { CloseHandle(value); }
};
struct Registry {
    using Type = HKEY;
    static bool IsNone(HKEY value) { return value == nullptr; }
    static void Release(HKEY value) { RegCloseKey(value); }
};
template <class Object> struct Gdi {
    using Type = Object;
    static bool IsNone(Object value) { return value == nullptr; }
    static void Release(Object value) { DeleteObject(value); }
};
// Only for icons the program created or loaded itself (LoadImage without LR_SHARED).
struct Icon {
    using Type = HICON;
    static bool IsNone(HICON value) { return value == nullptr; }
    static void Release(HICON value) { DestroyIcon(value); }
};
// Only for cursors the program loaded itself (LoadImage without LR_SHARED); shared ones are never destroyed.
struct Cursor {
    using Type = HCURSOR;
    static bool IsNone(HCURSOR value) { return value == nullptr; }
    static void Release(HCURSOR value) { DestroyCursor(value); }
};
struct Menu {
    using Type = HMENU;
    static bool IsNone(HMENU value) { return value == nullptr; }
    static void Release(HMENU value) { DestroyMenu(value); }
};
struct ImageList {
    using Type = HIMAGELIST;
    static bool IsNone(HIMAGELIST value) { return value == nullptr; }
    static void Release(HIMAGELIST value) { ImageList_Destroy(value); }
};
struct MemoryDc {
    using Type = HDC;
    static bool IsNone(HDC value) { return value == nullptr; }
    static void Release(HDC value) { DeleteDC(value); }
};
struct Module {
    using Type = HMODULE;
    static bool IsNone(HMODULE value) { return value == nullptr; }
    static void Release(HMODULE value) { FreeLibrary(value); }
};
struct Window {
    using Type = HWND;
    static bool IsNone(HWND value) { return value == nullptr; }
    static void Release(HWND value) { DestroyWindow(value); }
};
struct GlobalMemory {
    using Type = HGLOBAL;
    static bool IsNone(HGLOBAL value) { return value == nullptr; }
    static void Release(HGLOBAL value) { GlobalFree(value); }
};
struct Find {
    using Type = HANDLE;
    static bool IsNone(HANDLE value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static void Release(HANDLE value) { FindClose(value); }
};
struct ChangeNotification {
    using Type = HANDLE;
    static bool IsNone(HANDLE value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static void Release(HANDLE value) { FindCloseChangeNotification(value); }
};
struct LocalMemory {
    using Type = HLOCAL;
    static bool IsNone(HLOCAL value) { return value == nullptr; }
    static void Release(HLOCAL value) { LocalFree(value); }
};
struct MappedView {
    using Type = void*;
    static bool IsNone(void* value) { return value == nullptr; }
    static void Release(void* value) { UnmapViewOfFile(value); }
};
struct Hook {
    using Type = HHOOK;
    static bool IsNone(HHOOK value) { return value == nullptr; }
    static void Release(HHOOK value) { UnhookWindowsHookEx(value); }
};
} // namespace HandleTraits

using C_Handle = C_Unique<HandleTraits::Kernel>;
using C_Font = C_Unique<HandleTraits::Gdi<HFONT>>;
using C_Bitmap = C_Unique<HandleTraits::Gdi<HBITMAP>>;
using C_Brush = C_Unique<HandleTraits::Gdi<HBRUSH>>;
using C_Pen = C_Unique<HandleTraits::Gdi<HPEN>>;
using C_Region = C_Unique<HandleTraits::Gdi<HRGN>>;
using C_Icon = C_Unique<HandleTraits::Icon>;
using C_Cursor = C_Unique<HandleTraits::Cursor>;
using C_Menu = C_Unique<HandleTraits::Menu>;
using C_ImageList = C_Unique<HandleTraits::ImageList>;
using C_MemoryDc = C_Unique<HandleTraits::MemoryDc>;
using C_Module = C_Unique<HandleTraits::Module>;
using C_OwnedWindow = C_Unique<HandleTraits::Window>;
// Memory handed to the clipboard belongs to the system once SetClipboardData succeeds: Detach it then.
using C_GlobalMemory = C_Unique<HandleTraits::GlobalMemory>;
using C_MappedView = C_Unique<HandleTraits::MappedView>;
// A hook procedure stays installed exactly as long as its owner holds this.
using C_Hook = C_Unique<HandleTraits::Hook>;
// Search and change-notification handles look like kernel handles but have their own closing functions.
using C_FindHandle = C_Unique<HandleTraits::Find>;
using C_ChangeNotification = C_Unique<HandleTraits::ChangeNotification>;
// What FormatMessage and CommandLineToArgvW allocate for their caller.
using C_LocalMemory = C_Unique<HandleTraits::LocalMemory>;

// A registry key, opened or created in place. A failed call leaves nothing owned, whatever it wrote; status,
// when given, receives the system's answer (the registry functions do not set the thread's last error).
class C_RegistryKey : public C_Unique<HandleTraits::Registry> {
public:
    C_RegistryKey() = default;
    explicit C_RegistryKey(HKEY key) : C_Unique(key) {}

    bool Open(HKEY root, const wchar_t* path, REGSAM access, LONG* status = nullptr) {
        return Kept(RegOpenKeyExW(root, path, 0, access, Receive()), status);
    }
    bool Create(HKEY root, const wchar_t* path, REGSAM access, LONG* status = nullptr) {
        return Kept(
            RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, Receive(), nullptr),
            status);
    }

private:
    bool Kept(LONG result, LONG* status) {
        if (status)
            *status = result;
        if (result == ERROR_SUCCESS)
            return true;
        Detach();
        return false;
    }
};

// A window's device context from GetDC (the screen's for a null window), given back to the same window.
class C_WindowDc {
public:
    explicit C_WindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~C_WindowDc() { Release(); }
    C_WindowDc(C_WindowDc&& other) noexcept : m_window(other.m_window), m_dc(std::exchange(other.m_dc, nullptr)) {}
    C_WindowDc& operator=(C_WindowDc&& other) noexcept {
        if (this != &other) {
            Release();
            m_window = other.m_window;
            m_dc = std::exchange(other.m_dc, nullptr);
        }
        return *this;
    }
    C_WindowDc(const C_WindowDc&) = delete;
    C_WindowDc& operator=(const C_WindowDc&) = delete;

    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    void Release() {
        if (m_dc)
            ReleaseDC(m_window, std::exchange(m_dc, nullptr));
    }

    HWND m_window;
    HDC m_dc;
};

// The paint cycle of one WM_PAINT.
class C_PaintDc {
public:
    explicit C_PaintDc(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~C_PaintDc() { EndPaint(m_window, &m_paint); }
    C_PaintDc(const C_PaintDc&) = delete;
    C_PaintDc& operator=(const C_PaintDc&) = delete;

    HDC Get() const { return m_dc; }
    const RECT& Dirty() const { return m_paint.rcPaint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// The clipboard, opened for one scope: other programs cannot use it meanwhile, so it is never held longer.
class C_ClipboardOpen {
public:
    explicit C_ClipboardOpen(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    ~C_ClipboardOpen() {
        if (m_open)
            CloseClipboard();
    }
    C_ClipboardOpen(const C_ClipboardOpen&) = delete;
    C_ClipboardOpen& operator=(const C_ClipboardOpen&) = delete;
    explicit operator bool() const { return m_open; }

private:
    bool m_open;
};

// A global memory block locked for one scope (the clipboard's blocks are movable). Data() is null when the lock
// failed, and nothing is unlocked then.
class C_GlobalLock {
public:
    explicit C_GlobalLock(HGLOBAL memory) : m_memory(memory), m_data(memory ? GlobalLock(memory) : nullptr) {}
    ~C_GlobalLock() {
        if (m_data)
            GlobalUnlock(m_memory);
    }
    C_GlobalLock(const C_GlobalLock&) = delete;
    C_GlobalLock& operator=(const C_GlobalLock&) = delete;
    void* Data() const { return m_data; }

private:
    HGLOBAL m_memory;
    void* m_data;
};

// Selects an object into a device context for one scope, so the context never keeps an object its owner frees.
// Not for regions: selecting a region answers a complexity, not the previous object (use SelectClipRgn).
class C_SelectedObject {
public:
    C_SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? SelectObject(dc, object) : nullptr) {}
    ~C_SelectedObject() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    C_SelectedObject(const C_SelectedObject&) = delete;
    C_SelectedObject& operator=(const C_SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// A counted COM reference: released once, moved but never copied (a copy would need its own AddRef, and no
// caller needs one).
template <class Interface> class C_ComRef {
public:
    C_ComRef() = default;
    explicit C_ComRef(Interface* adopted) : m_pointer(adopted) {}
    ~C_ComRef() { Reset(); }
    C_ComRef(C_ComRef&& other) noexcept : m_pointer(other.Detach()) {}
    C_ComRef& operator=(C_ComRef&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    C_ComRef(const C_ComRef&) = delete;
    C_ComRef& operator=(const C_ComRef&) = delete;

    Interface* Get() const { return m_pointer; }
    Interface* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    void Reset(Interface* adopted = nullptr) {
        if (m_pointer && m_pointer != adopted)
            m_pointer->Release();
        m_pointer = adopted;
    }
    Interface* Detach() { return std::exchange(m_pointer, nullptr); }
    Interface** Receive() {
        Reset();
        return &m_pointer;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

private:
    Interface* m_pointer = nullptr;
};

// A re-entrant lock (a system critical section): an operation that holds it may call others that take it again.
class C_CriticalSection {
public:
    C_CriticalSection() { InitializeCriticalSection(&m_section); }
    ~C_CriticalSection() { DeleteCriticalSection(&m_section); }
    C_CriticalSection(const C_CriticalSection&) = delete;
    C_CriticalSection& operator=(const C_CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&m_section); }
    // Takes the section only when no other thread holds it (the owner takes it again at once).
    bool TryEnter() { return TryEnterCriticalSection(&m_section) != FALSE; }
    void Leave() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// A lock for a static object: it needs no construction or destruction, so it works for code that runs during
// static construction and destruction (a destructor of another static object may still take it). Not re-entrant.
class C_SlimLock {
public:
    constexpr C_SlimLock() = default;
    C_SlimLock(const C_SlimLock&) = delete;
    C_SlimLock& operator=(const C_SlimLock&) = delete;

    void Enter() { AcquireSRWLockExclusive(&m_lock); }
    void Leave() { ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

// Holds a lock (C_CriticalSection or C_SlimLock) for one scope: C_Lock lock(m_section);
template <class Section> class C_Lock {
public:
    explicit C_Lock(Section& section) : m_section(section) { m_section.Enter(); }
    ~C_Lock() { m_section.Leave(); }
    C_Lock(const C_Lock&) = delete;
    C_Lock& operator=(const C_Lock&) = delete;

private:
    Section& m_section;
};

// Holds a critical section for one scope if it could be had without waiting: a thread that must stay responsive
// skips its work instead of waiting for a long writer.
class C_TryLock {
public:
    explicit C_TryLock(C_CriticalSection& section) : m_section(section), m_held(section.TryEnter()) {}
    ~C_TryLock() {
        if (m_held)
            m_section.Leave();
    }
    C_TryLock(const C_TryLock&) = delete;
    C_TryLock& operator=(const C_TryLock&) = delete;
    explicit operator bool() const { return m_held; }

private:
    C_CriticalSection& m_section;
    bool m_held;
};
