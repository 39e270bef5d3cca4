#include "ui/window/PasteGuard.h"

#include <windows.h>

namespace PasteGuard {

Size Measure(const wchar_t* text) {
    Size size;
    if (!text || !*text)
        return size;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    size.bytes = bytes > 1 ? uint64_t(bytes - 1) : 0;
    bool lineOpen = false;
    for (const wchar_t* at = text; *at; ++at) {
        if (*at == L'\r' || *at == L'\n') {
            ++size.lines;
            lineOpen = false;
            if (*at == L'\r' && at[1] == L'\n')
                ++at;
        } else {
            lineOpen = true;
        }
    }
    if (lineOpen)
        ++size.lines;
    return size;
}

bool NeedsQuestion(const Size& size) {
    return size.lines > 1 || size.bytes > kQuietBytes;
}

} // namespace PasteGuard
