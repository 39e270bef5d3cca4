#include "Input.h"

#include "Console.h"
#include "foundation/File.h"

namespace {

// A 32-bit process holds the input, its pending text and the store at once; beyond this it cannot.
constexpr int64_t kMaximumInput = 512ll * 1024 * 1024;
constexpr DWORD kReadPiece = 1024 * 1024;

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"error " + std::to_wstring(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message;
}

} // namespace

bool ReadInput(const std::wstring& name, std::string& bytes, std::wstring& error) {
    if (name == L"-") {
        if (Console::ReadStandardInput(bytes))
            return true;
        error = L"cannot read standard input";
        return false;
    }
    C_File file;
    if (!file.Open(name.c_str(), C_File::MODE_READ, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        error = L"cannot read input '" + name + L"': " + SystemMessage(GetLastError());
        return false;
    }
    int64_t size = file.GetSize();
    if (size < 0 || size > kMaximumInput) {
        error = L"cannot read input '" + name + L"': " + (size < 0 ? L"its size is unknown" : L"larger than 512 MB");
        return false;
    }
    bytes.resize(size_t(size));
    for (size_t at = 0; at < bytes.size();) {
        DWORD piece = DWORD(bytes.size() - at < kReadPiece ? bytes.size() - at : kReadPiece);
        DWORD read = 0;
        if (!file.Read(piece, &bytes[at], &read) || read == 0) {
            error = L"cannot read input '" + name + L"': " + SystemMessage(GetLastError());
            return false;
        }
        at += read;
    }
    return true;
}
