#include "foundation/base/File.h"

#include "foundation/base/Memory.h"

namespace {

struct ModeChoice {
    DWORD access;
    DWORD creation;
};

constexpr ModeChoice kModes[] = {
    {GENERIC_READ, OPEN_EXISTING},
    {GENERIC_WRITE, CREATE_ALWAYS},
    {GENERIC_WRITE, OPEN_EXISTING},
    {GENERIC_WRITE, OPEN_ALWAYS},
    {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
    {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING},
};

C_File::WriteFunction s_writeFile = ::WriteFile;

} // namespace

void C_File::SetWriteFunction(WriteFunction write) {
    s_writeFile = write ? write : ::WriteFile;
}

int C_File::Open(const wchar_t* path, unsigned mode, DWORD flagsAndAttributes, DWORD shareMode) {
    Close();
    m_mode = mode;
    m_readPosition = m_readFill = 0;
    if (mode >= sizeof kModes / sizeof kModes[0])
        return 0;
    m_handle.Reset(
        CreateFileW(path, kModes[mode].access, shareMode, nullptr, kModes[mode].creation, flagsAndAttributes, nullptr));
    // A failed create's error stays the thread's last error for the caller to test.
    return m_handle ? 1 : 0;
}

int C_File::Read(DWORD byteCount, void* buffer, DWORD* countOut, OVERLAPPED* overlapped) {
    DWORD count = 0;
    if (!m_handle)
        return 0;
    BOOL ok = ReadFile(m_handle.Get(), buffer, byteCount, overlapped ? nullptr : &count, overlapped);
    if (!ok)
        return 0;
    if (countOut && !overlapped)
        *countOut = count;
    return 1;
}

int C_File::Write(DWORD byteCount, const void* data, DWORD* countOut, OVERLAPPED* overlapped) {
    DWORD written = 0;
    if (s_writeFile(m_handle.Get(), data, byteCount, overlapped ? nullptr : &written, overlapped)) {
        if (countOut) {
            *countOut = written;
            return 1;
        }
        return overlapped || written == byteCount ? 1 : 0;
    }
    if (countOut || GetLastError() != ERROR_NO_SYSTEM_RESOURCES)
        return 0;
    // The system could not take it in one piece: write it again without the overlapped record, piece by piece.
    const char* at = static_cast<const char*>(data);
    DWORD remaining = byteCount;
    while (remaining) {
        DWORD piece = remaining < kRetryPiece ? remaining : kRetryPiece;
        DWORD done = 0;
        if (!s_writeFile(m_handle.Get(), at, piece, &done, nullptr) || done != piece)
            return 0;
        remaining -= done;
        at += piece;
    }
    return 1;
}

int C_File::GetOverlappedResult(OVERLAPPED* overlapped, DWORD* countOut, bool wait) {
    DWORD count = 0;
    if (!m_handle || !::GetOverlappedResult(m_handle.Get(), overlapped, &count, wait ? TRUE : FALSE))
        return 0;
    if (countOut)
        *countOut = count;
    return 1;
}

void C_File::Close() {
    m_handle.Reset();
    Memory::Release(m_readBuffer);
    m_readBuffer = nullptr;
    m_readPosition = m_readFill = 0;
}

bool C_File::FillReadBuffer() {
    if (!m_readBuffer) {
        m_readBuffer = static_cast<char*>(Memory::Reallocate(nullptr, kReadBufferSize));
        if (!m_readBuffer)
            return false;
    }
    m_readPosition = 0;
    m_readFill = 0;
    return m_handle && ReadFile(m_handle.Get(), m_readBuffer, kReadBufferSize, &m_readFill, nullptr) && m_readFill > 0;
}

bool C_File::ReadLine(char* out, size_t size) {
    if (!out || size == 0)
        return false;
    size_t n = 0;
    bool any = false;
    for (;;) {
        if (m_readPosition >= m_readFill && !FillReadBuffer())
            break;
        any = true;
        char c = m_readBuffer[m_readPosition++];
        if (c == '\n')
            break;
        if (n + 1 < size)
            out[n++] = c;
    }
    if (n && out[n - 1] == '\r')
        --n;
    out[n] = 0;
    return any;
}

int64_t C_File::GetSize() const {
    LARGE_INTEGER size;
    return m_handle && GetFileSizeEx(m_handle.Get(), &size) ? size.QuadPart : -1;
}

bool C_File::Seek(int64_t offset, DWORD method) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    m_readPosition = m_readFill = 0;
    return m_handle && SetFilePointerEx(m_handle.Get(), distance, nullptr, method);
}
