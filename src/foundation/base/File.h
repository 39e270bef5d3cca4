#pragma once
// C_File: the one wrapper through which files and devices (serial ports, named pipes, logs, exports) are
// opened and written. Six numbered open modes map onto access and creation choices; a large write that the
// system refuses for lack of resources is retried in 1 MiB pieces.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>

class C_File {
public:
    enum Mode : unsigned {
        MODE_READ = 0,           // read, open existing
        MODE_WRITE_CREATE = 1,   // write, create always (truncates)
        MODE_WRITE_EXISTING = 2, // write, open existing
        MODE_WRITE_ALWAYS = 3,   // write, open always
        MODE_READ_WRITE = 4,     // read and write, open always
        MODE_READ_WRITE_EXISTING = 5,
    };
    static constexpr DWORD kRetryPiece = 0x100000;
    static constexpr DWORD kReadBufferSize = 4096;

    // The system write call, replaceable so tests can make a write fail with a chosen error.
    using WriteFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static void SetWriteFunction(WriteFunction write);

    C_File() = default;
    ~C_File() { Close(); }
    C_File(const C_File&) = delete;
    C_File& operator=(const C_File&) = delete;

    int Open(const wchar_t* path, unsigned mode, DWORD flagsAndAttributes = FILE_ATTRIBUTE_NORMAL,
             DWORD shareMode = FILE_SHARE_READ);
    int Read(DWORD byteCount, void* buffer, DWORD* countOut = nullptr, OVERLAPPED* overlapped = nullptr);
    int Write(DWORD byteCount, const void* data, DWORD* countOut = nullptr, OVERLAPPED* overlapped = nullptr);
    int GetOverlappedResult(OVERLAPPED* overlapped, DWORD* countOut, bool wait);
    void Close();

    // Reads one line (up to LF, without CR LF) through the 4096-byte read buffer; false at the end.
    bool ReadLine(char* out, size_t size);
    bool Flush() { return m_handle && FlushFileBuffers(m_handle.Get()); }
    int64_t GetSize() const;
    bool Seek(int64_t offset, DWORD method = FILE_BEGIN);

    HANDLE GetHandle() const { return m_handle.Get(); }
    bool IsOpen() const { return m_handle.IsValid(); }
    unsigned GetMode() const { return m_mode; }

private:
    bool FillReadBuffer();

    C_Handle m_handle;
    unsigned m_mode = 0;
    char* m_readBuffer = nullptr;
    DWORD m_readPosition = 0;
    DWORD m_readFill = 0;
};
