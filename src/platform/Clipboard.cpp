#include "platform/Clipboard.h"

#include "platform/Handles.h"

#include <cstring>

namespace {

// Open for the scope of one call; other programs cannot use the clipboard meanwhile.
class C_OpenClipboard {
public:
    explicit C_OpenClipboard(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    ~C_OpenClipboard() {
        if (m_open)
            CloseClipboard();
    }
    C_OpenClipboard(const C_OpenClipboard&) = delete;
    C_OpenClipboard& operator=(const C_OpenClipboard&) = delete;
    explicit operator bool() const { return m_open; }

private:
    bool m_open;
};

// Locks a global memory block for the scope.
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

} // namespace

namespace Clipboard {

bool SetText(HWND owner, const wchar_t* text, size_t length) {
    if (length > (SIZE_MAX / sizeof(wchar_t)) - 1)
        return false;
    C_GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t)));
    if (!memory)
        return false;
    {
        C_GlobalLock lock(memory.Get());
        auto* data = static_cast<wchar_t*>(lock.Data());
        if (!data)
            return false;
        if (length)
            memcpy(data, text, length * sizeof(wchar_t));
        data[length] = 0;
    }
    C_OpenClipboard clipboard(owner);
    if (!clipboard || !EmptyClipboard())
        return false;
    if (!SetClipboardData(CF_UNICODETEXT, memory.Get()))
        return false;
    memory.Detach(); // the system owns it now
    return true;
}

bool GetText(HWND owner, std::wstring& text) {
    text.clear();
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT))
        return false;
    C_OpenClipboard clipboard(owner);
    if (!clipboard)
        return false;
    HANDLE memory = GetClipboardData(CF_UNICODETEXT);
    if (!memory)
        return false;
    C_GlobalLock lock(memory);
    const auto* data = static_cast<const wchar_t*>(lock.Data());
    if (!data)
        return false;
    // The block may be larger than its text, and a careless program may leave out the terminating zero.
    size_t limit = GlobalSize(memory) / sizeof(wchar_t);
    size_t length = 0;
    while (length < limit && data[length])
        ++length;
    text.assign(data, length);
    return true;
}

} // namespace Clipboard
