#include "platform/system/Clipboard.h"

#include "platform/system/Handles.h"

#include <cstring>

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
    C_ClipboardOpen clipboard(owner);
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
    C_ClipboardOpen clipboard(owner);
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
