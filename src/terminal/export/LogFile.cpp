#include "terminal/export/LogFile.h"

#include <windows.h>

bool C_LogFile::Open(const wchar_t* path, Kind kind, TextFileEncoding encoding) {
    C_Lock hold(m_lock);
    m_file.Close();
    ++m_session;
    if (!path || !m_file.Open(path, C_File::MODE_WRITE_CREATE, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              FILE_SHARE_READ | FILE_SHARE_WRITE))
        return false;
    m_kind = kind;
    m_codePage = TextEncoding::CodePageOf(encoding);
    const bool marked = kind == Kind::Text && encoding == TextFileEncoding::Utf8WithBom;
    if (marked && !m_file.Write(TextEncoding::kUtf8BomLength, TextEncoding::kUtf8Bom)) {
        m_file.Close();
        return false;
    }
    return true;
}

void C_LogFile::Close() {
    C_Lock hold(m_lock);
    m_file.Close();
}

bool C_LogFile::IsOpen() {
    C_Lock hold(m_lock);
    return m_file.IsOpen();
}

bool C_LogFile::WriteHeld(const void* data, uint32_t size) {
    if (m_file.Write(DWORD(size), data))
        return false;
    m_file.Close();
    return true;
}

void C_LogFile::ReportFailure(bool failed, uint32_t session) {
    if (failed && m_failureHost)
        m_failureHost->LogWriteFailed(session);
}

void C_LogFile::AppendToLog(const wchar_t* text, uint32_t length) {
    bool failed = false;
    uint32_t session = 0;
    {
        C_Lock hold(m_lock);
        if (!m_file.IsOpen() || m_kind != Kind::Text || !text || length == 0 || length > UINT32_MAX / 2 ||
            !m_lines.Reserve(length * 2))
            return;
        wchar_t* out = m_lines.Data();
        uint32_t count = 0;
        for (uint32_t i = 0; i < length; ++i) {
            if (text[i] == L'\n')
                out[count++] = L'\r';
            out[count++] = text[i];
        }
        const int size = WideCharToMultiByte(m_codePage, 0, out, int(count), nullptr, 0, nullptr, nullptr);
        if (size <= 0 || !m_bytes.Reserve(uint32_t(size)))
            return;
        WideCharToMultiByte(m_codePage, 0, out, int(count), m_bytes.Data(), size, nullptr, nullptr);
        failed = WriteHeld(m_bytes.Data(), uint32_t(size));
        session = m_session;
    }
    ReportFailure(failed, session);
}

void C_LogFile::RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) {
    bool failed = false;
    uint32_t session = 0;
    {
        C_Lock hold(m_lock);
        if (!m_file.IsOpen() || m_kind != Kind::Raw || direction != ByteDirection::Received || !data || !length)
            return;
        failed = WriteHeld(data, length);
        session = m_session;
    }
    ReportFailure(failed, session);
}
