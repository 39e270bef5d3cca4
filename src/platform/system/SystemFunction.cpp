#include "platform/system/SystemFunction.h"

// Libraries are loaded from the system folder only, never from the current or the program's folder.
FARPROC FindSystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module) {
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + wcslen(library) + 2 > MAX_PATH)
            return nullptr;
        path[length] = L'\\';
        wcscpy(path + length + 1, library);
        module = LoadLibraryW(path);
    }
    return module ? GetProcAddress(module, name) : nullptr;
}
