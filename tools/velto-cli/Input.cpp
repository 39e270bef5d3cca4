#include "Input.h"

#include "platform/system/Handles.h"

namespace {

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const C_LocalMemory owned(text);
    std::wstring message = text ? text : L"error " + std::to_wstring(code);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message;
}

} // namespace

bool C_InputStream::Open(const std::wstring& name, std::wstring& error) {
    m_name = name;
    if (name == L"-") {
        m_standardInput = GetStdHandle(STD_INPUT_HANDLE);
        if (m_standardInput == nullptr || m_standardInput == INVALID_HANDLE_VALUE) {
            error = L"cannot read standard input";
            return false;
        }
        return true;
    }
    if (!m_file.Open(name.c_str(), C_File::MODE_READ, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                     FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        error = L"cannot read input '" + name + L"': " + SystemMessage(GetLastError());
        return false;
    }
    return true;
}

int64_t C_InputStream::Read(void* buffer, uint32_t size, std::wstring& error) {
    DWORD read = 0;
    if (m_standardInput) {
        if (ReadFile(m_standardInput, buffer, size, &read, nullptr))
            return read;
        DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE)
            return 0; // the writer closed its end: that is the end
        error = L"cannot read standard input: " + SystemMessage(code);
        return -1;
    }
    if (m_file.Read(size, buffer, &read))
        return read;
    error = L"cannot read input '" + m_name + L"': " + SystemMessage(GetLastError());
    return -1;
}
