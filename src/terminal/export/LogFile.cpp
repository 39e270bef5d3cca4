#include "terminal/export/LogFile.h"

#include <windows.h>

bool C_LogFile::Open(const wchar_t* path) {
    C_Lock hold(m_lock);
    m_file.Close();
    return path && m_file.Open(path, C_File::MODE_WRITE_CREATE, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                               FILE_SHARE_READ | FILE_SHARE_WRITE) != 0;
}

void C_LogFile::Close() {
    C_Lock hold(m_lock);
    m_file.Close();
}

bool C_LogFile::IsOpen() {
    C_Lock hold(m_lock);
    return m_file.IsOpen();
}

void C_LogFile::AppendToLog(const wchar_t* text, uint32_t length) {
    C_Lock hold(m_lock);
    if (!m_file.IsOpen() || !text || length == 0 || length > UINT32_MAX / 2 || !m_lines.Reserve(length * 2))
        return;
    wchar_t* out = m_lines.Data();
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] == L'\n')
            out[count++] = L'\r';
        out[count++] = text[i];
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, out, int(count), nullptr, 0, nullptr, nullptr);
    if (size <= 0 || !m_bytes.Reserve(uint32_t(size)))
        return;
    WideCharToMultiByte(CP_ACP, 0, out, int(count), m_bytes.Data(), size, nullptr, nullptr);
    m_file.Write(DWORD(size), m_bytes.Data());
}
