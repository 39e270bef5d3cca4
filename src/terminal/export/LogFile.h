#pragma once
// C_LogFile: the continuous log that the Log button starts, of one of two kinds. A text log receives every text
// the receive assembly hands to the view, at once, with each line feed written as CR LF, in the chosen text-file
// encoding (a UTF-8 log starts with a byte-order mark); lines the view's filter hides are logged too. A raw log
// receives every received byte as the connection handed it over, unchanged and in order, nothing added. Starting
// a log truncates the file.
//
// A write that fails (a full disk, a removed drive) ends the log there: the file is closed, so nothing later is
// lost silently in a file that looks complete, and the failure host is told once, on the writing thread.
//
// The reader thread appends while the user-interface thread opens and closes, so both go through one lock: a
// close never lands in the middle of a write.
#include "foundation/base/ByteRecorder.h"
#include "foundation/base/DynamicBuffer.h"
#include "foundation/base/File.h"
#include "platform/system/Handles.h"
#include "terminal/export/TextEncoding.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <atomic>
#include <cstdint>

// Told when a write failed and the log closed itself; session names the log that failed (see Session()).
class C_LogFailureHost {
public:
    virtual void LogWriteFailed(uint32_t session) = 0;

protected:
    ~C_LogFailureHost() = default;
};

class C_LogFile final : public C_LogSink, public C_ByteRecorder {
public:
    enum class Kind { Text, Raw };

    C_LogFile() = default;
    C_LogFile(const C_LogFile&) = delete;
    C_LogFile& operator=(const C_LogFile&) = delete;

    // Creates or truncates path, shared for reading and writing, for sequential writing; a log already open is
    // closed first. False: the log stays closed.
    bool Open(const wchar_t* path, Kind kind = Kind::Text, TextFileEncoding encoding = TextFileEncoding::AnsiCodePage);
    void Close();
    bool IsOpen();
    // Counts the opens, so a failure reported late is not taken for one of a log opened since.
    uint32_t Session() const { return m_session; }
    void SetFailureHost(C_LogFailureHost* host) { m_failureHost = host; }

    // C_LogSink: text logs only.
    void AppendToLog(const wchar_t* text, uint32_t length) override;
    // C_ByteRecorder: raw logs take the received bytes.
    void RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) override;

private:
    // Under the lock: writes, or closes the file when that fails; true when the failure must be reported.
    bool WriteHeld(const void* data, uint32_t size);
    void ReportFailure(bool failed, uint32_t session);

    C_CriticalSection m_lock;
    C_File m_file;
    Kind m_kind = Kind::Text;
    UINT m_codePage = CP_ACP;
    std::atomic<uint32_t> m_session{0};
    C_LogFailureHost* m_failureHost = nullptr;
    C_DynamicBuffer<wchar_t> m_lines; // the text with CR LF line ends
    C_DynamicBuffer<char> m_bytes;    // and in the file's encoding
};
