#include "maintenance/http/HttpForm.h"

#include <cstring>
#include <new>

namespace {

constexpr const wchar_t* kFieldFormat = L"-------------------------------1234567890123\r\n"
                                        L"Content-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n";
constexpr const wchar_t* kFileHeaderFormat = L"-------------------------------1234567890123\r\n"
                                             L"Content-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
                                             L"Content-Type: application/octet-stream\r\n\r\n";
constexpr const wchar_t* kClosingLine = L"-------------------------------1234567890123--\r\n";
constexpr const wchar_t* kLineEnd = L"\r\n";
constexpr const wchar_t* kContentTypeName = L"Content-Type: ";
constexpr const wchar_t* kContentType =
    L"Content-Type: multipart/form-data; boundary=-----------------------------1234567890123";
constexpr const wchar_t* kAuthorizationFormat = L"%sAuthorization: Basic %s";
constexpr const wchar_t* kHeaderSeparator = L"\r\n";
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

struct C_HttpForm::Part {
    C_Handle file;
    C_Handle mapping;
    C_MappedView view;
    C_String text; // its ANSI copy is the part's data
    INTERNET_BUFFERSW buffers;
    Part* next;
};

bool EncodeBase64(const BYTE* data, size_t size, C_String& out) {
    if (!out.Empty(uint32_t((size + 2) / 3 * 4 + 1)))
        return false;
    for (size_t i = 0; i < size; i += 3) {
        DWORD group = DWORD(data[i]) << 16;
        if (i + 1 < size)
            group |= DWORD(data[i + 1]) << 8;
        if (i + 2 < size)
            group |= data[i + 2];
        wchar_t quad[5] = {wchar_t(kBase64Alphabet[(group >> 18) & 63]), wchar_t(kBase64Alphabet[(group >> 12) & 63]),
                           i + 1 < size ? wchar_t(kBase64Alphabet[(group >> 6) & 63]) : L'=',
                           i + 2 < size ? wchar_t(kBase64Alphabet[group & 63]) : L'=', 0};
        if (!out.Append(quad, 4))
            return false;
    }
    return true;
}

bool BuildFormHeaders(const wchar_t* user, const wchar_t* password, const wchar_t* extraHeaders, C_String& out) {
    bool extra = extraHeaders && *extraHeaders;
    C_String extraText;
    if (extra && !extraText.Assign(extraHeaders))
        return false;
    if (!out.Assign(extra && extraText.FindNoCase(kContentTypeName) >= 0 ? L"" : kContentType))
        return false;
    // Each further header is separated from what comes before it; a header text never starts with an empty line.
    const wchar_t* separator = out.IsEmpty() ? L"" : kHeaderSeparator;
    if (user && *user && password && *password) {
        C_String credentials, encoded, line;
        if (!credentials.Format(L"%s:%s", user, password))
            return false;
        const char* ansi = credentials.ToMultiByte();
        if (!ansi || !EncodeBase64(reinterpret_cast<const BYTE*>(ansi), strlen(ansi), encoded) ||
            !line.Format(kAuthorizationFormat, separator, encoded.c_str()) || !out.Append(line))
            return false;
        separator = kHeaderSeparator;
    }
    if (extra && !(out.Append(separator) && out.Append(extraText)))
        return false;
    return true;
}

C_HttpForm::Part* C_HttpForm::NewPart() {
    Part* part = new (std::nothrow) Part();
    if (!part)
        return nullptr;
    part->buffers.dwStructSize = sizeof(INTERNET_BUFFERSW);
    part->next = nullptr;
    return part;
}

void C_HttpForm::Append(Part* part) {
    if (m_last) {
        m_last->next = part;
        m_last->buffers.Next = &part->buffers;
    } else {
        m_first = part;
    }
    m_last = part;
}

bool C_HttpForm::AddField(const wchar_t* name, const wchar_t* value, int kind) {
    name = name ? name : L"";
    value = value ? value : L"";
    Part* part = NewPart();
    if (!part)
        return false;
    bool built;
    switch (kind) {
    case FORM_TEXT_FIELD:
        built = part->text.Format(kFieldFormat, name, value);
        break;
    case FORM_FILE_HEADER:
        built = part->text.Format(kFileHeaderFormat, name, FileNameOf(value));
        break;
    case FORM_CLOSING_LINE:
        built = part->text.Assign(kClosingLine);
        break;
    case FORM_FILE_END:
        built = part->text.Assign(kLineEnd);
        break;
    default:
        built = false;
        break;
    }
    const char* bytes = built ? part->text.ToMultiByte() : nullptr;
    if (!bytes) {
        delete part;
        return false;
    }
    part->buffers.lpvBuffer = const_cast<char*>(bytes);
    part->buffers.dwBufferLength = DWORD(strlen(bytes));
    Append(part);
    return true;
}

bool C_HttpForm::AddFile(const wchar_t* name, const wchar_t* path) {
    bool named = name && *name;
    if (named && !AddField(name, path, FORM_FILE_HEADER))
        return false;
    Part* part = NewPart();
    if (!part)
        return false;
    part->file.Reset(CreateFileW(path ? path : L"", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    bool readable = part->file && GetFileSizeEx(part->file.Get(), &size) && size.HighPart == 0;
    // An empty file has no view to map; its part simply carries no bytes.
    if (readable && size.LowPart) {
        part->mapping.Reset(CreateFileMappingW(part->file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (part->mapping)
            part->view.Reset(MapViewOfFile(part->mapping.Get(), FILE_MAP_READ, 0, 0, 0));
        readable = part->view.IsValid();
    }
    if (!readable) {
        delete part;
        // The header stays; without its line end the next part's boundary would not start a line, and the
        // receiver would take every following part for this file's content.
        if (named)
            AddField(name, nullptr, FORM_FILE_END);
        return false;
    }
    part->buffers.lpvBuffer = part->view.Get();
    part->buffers.dwBufferLength = size.LowPart;
    Append(part);
    return !named || AddField(name, nullptr, FORM_FILE_END);
}

DWORD C_HttpForm::CompleteTotals() {
    ULONGLONG total = 0;
    for (Part* part = m_first; part; part = part->next)
        total += part->buffers.dwBufferLength;
    if (total > MAXDWORD)
        return 0;
    for (Part* part = m_first; part; part = part->next)
        part->buffers.dwBufferTotal = DWORD(total);
    return DWORD(total);
}

bool C_HttpForm::SetHeaders(const C_String& headers) {
    if (!m_first || !m_headers.Assign(headers))
        return false;
    m_first->buffers.lpcszHeader = m_headers.c_str();
    m_first->buffers.dwHeadersLength = m_headers.GetLength();
    m_first->buffers.dwHeadersTotal = m_headers.GetLength();
    return true;
}

INTERNET_BUFFERSW* C_HttpForm::GetFirst() {
    return m_first ? &m_first->buffers : nullptr;
}

void C_HttpForm::Clear() {
    for (Part* part = m_first; part;) {
        Part* next = part->next;
        delete part; // the view is unmapped before the mapping and the file close
        part = next;
    }
    m_first = m_last = nullptr;
}
