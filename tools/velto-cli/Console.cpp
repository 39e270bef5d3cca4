#include "Console.h"

#include <windows.h>

namespace {

bool WriteAll(HANDLE handle, const void* data, uint32_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, size, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

void WriteText(DWORD which, const std::wstring& text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), &bytes[0], size, nullptr, nullptr);
    WriteAll(GetStdHandle(which), bytes.data(), uint32_t(bytes.size()));
}

} // namespace

bool C_StandardOutput::Write(const void* data, uint32_t size) {
    return WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), data, size);
}

void Console::Error(const std::wstring& line) {
    WriteText(STD_ERROR_HANDLE, line + L"\r\n");
}

void Console::Print(const std::wstring& text) {
    WriteText(STD_OUTPUT_HANDLE, text);
}
