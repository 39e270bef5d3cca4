#pragma once
// C_HttpForm: a multipart/form-data body as a chain of parts, built field by field. Each part's bytes stay where
// they are (a text's ANSI copy, or a read-only view of a file), and each carries a WinINet buffer descriptor
// linked to the next, so the first descriptor can be handed to HttpSendRequestEx and the rest written after it.
#include <windows.h>

#include <wininet.h>

#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"

enum FormPartKind : int {
    FORM_TEXT_FIELD = 0,
    FORM_FILE_HEADER = 1, // the value is the file's path; the part names the file without its folders
    FORM_CLOSING_LINE = 2,
    FORM_FILE_END = 3, // the line end after a file's content
};

// The standard Base64 encoding (with '=' padding) of a block of bytes.
bool EncodeBase64(const BYTE* data, size_t size, C_String& out);

// The request headers of a form post: the Content-Type with the boundary (unless the extra headers name their
// own), Basic authorisation when both user and password are given, then the extra headers.
bool BuildFormHeaders(const wchar_t* user, const wchar_t* password, const wchar_t* extraHeaders, C_String& out);

class C_HttpForm {
public:
    static constexpr const char* kBoundary = "-----------------------------1234567890123";

    C_HttpForm() = default;
    ~C_HttpForm() { Clear(); }
    C_HttpForm(const C_HttpForm&) = delete;
    C_HttpForm& operator=(const C_HttpForm&) = delete;

    // Appends one part of the given kind; false (nothing appended) for an unknown kind or when the part cannot
    // be built.
    bool AddField(const wchar_t* name, const wchar_t* value, int kind);
    // The file header (when a name is given), the file's content mapped read-only, and the line end. False when
    // the file cannot be opened; a header already appended stays.
    bool AddFile(const wchar_t* name, const wchar_t* path);

    bool IsEmpty() const { return m_first == nullptr; }
    // Stores the sum of all parts' lengths in every part's descriptor and returns it; 0 when the sum does not
    // fit the descriptors' 32-bit total.
    DWORD CompleteTotals();
    // The request headers travel in the first part's descriptor.
    bool SetHeaders(const C_String& headers);
    INTERNET_BUFFERSW* GetFirst();
    // Unmaps and closes every file and frees every part.
    void Clear();

private:
    struct Part;
    Part* NewPart();
    void Append(Part* part);

    Part* m_first = nullptr;
    Part* m_last = nullptr;
    C_String m_headers;
};
