#include "SendText.h"

#include <windows.h>

namespace {

constexpr wchar_t kEscape = L'\\';
constexpr size_t kHexDigits = 2;

int HexValue(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

void AppendAnsi(std::string& bytes, wchar_t ch) {
    char converted[8];
    const int size = WideCharToMultiByte(CP_ACP, 0, &ch, 1, converted, sizeof converted, nullptr, nullptr);
    bytes.append(converted, size > 0 ? size_t(size) : 0);
}

} // namespace

// The device receives the text in the ANSI code page, so the text is built as those bytes (an \xHH escape is
// one of them) and turned back into characters that the send converts to exactly these bytes again.
bool DecodeSendText(const std::wstring& argument, std::wstring& text, std::wstring& error) {
    std::string bytes;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != kEscape) {
            AppendAnsi(bytes, argument[i]);
            continue;
        }
        const wchar_t kind = i + 1 < argument.size() ? argument[i + 1] : 0;
        ++i;
        switch (kind) {
        case L'r':
            bytes += '\r';
            break;
        case L'n':
            bytes += '\n';
            break;
        case L't':
            bytes += '\t';
            break;
        case L'\\':
            bytes += '\\';
            break;
        case L'x': {
            const int high = i + 1 < argument.size() ? HexValue(argument[i + 1]) : -1;
            const int low = i + 2 < argument.size() ? HexValue(argument[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = L"\\x needs two hexadecimal digits in '" + argument + L"'";
                return false;
            }
            i += kHexDigits;
            bytes += char(high * 16 + low);
            break;
        }
        default:
            error = L"unknown escape in '" + argument + L"' (known: \\r \\n \\t \\\\ \\xHH)";
            return false;
        }
    }
    if (bytes.find('\0') != std::string::npos) {
        error = L"a zero byte cannot be sent: '" + argument + L"'";
        return false;
    }
    text.clear();
    if (bytes.empty())
        return true;
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    text.resize(size_t(size > 0 ? size : 0));
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), &text[0], size);
    return true;
}
