#pragma once
// C_LogFile: the continuous log of received text that the Log button starts. Every text the receive assembly
// hands to the view is appended at once, with each line feed written as CR LF and the text converted to the
// ANSI code page; lines the view's filter hides are logged too. Starting a log truncates the file.
//
// The reader thread appends while the user-interface thread opens and closes, so both go through one lock: a
// close never lands in the middle of a write.
#include "foundation/base/DynamicBuffer.h"
#include "foundation/base/File.h"
#include "platform/system/Handles.h"
#include "terminal/receive/ReceiveAssembly.h"

class C_LogFile final : public C_LogSink {
public:
    C_LogFile() = default;
    C_LogFile(const C_LogFile&) = delete;
    C_LogFile& operator=(const C_LogFile&) = delete;

    // Creates or truncates path, shared for reading and writing, for sequential writing; a log already open is
    // closed first. False: the log stays closed.
    bool Open(const wchar_t* path);
    void Close();
    bool IsOpen();

    // Write failures are ignored: the log keeps no buffer of its own.
    void AppendToLog(const wchar_t* text, uint32_t length) override;

private:
    C_CriticalSection m_lock;
    C_File m_file;
    C_DynamicBuffer<wchar_t> m_lines; // the text with CR LF line ends
    C_DynamicBuffer<char> m_bytes;    // and in the ANSI code page
};
