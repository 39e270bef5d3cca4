#include "connection/transports/PipeTransport.h"

#include "connection/threads/Event.h"

namespace {

constexpr DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Waits for an overlapped operation that was cancelled or has to be, so that nothing completes into storage
// after its owner has moved on.
void CancelAndAwait(HANDLE handle, OVERLAPPED& record) {
    DWORD count = 0;
    CancelIoEx(handle, &record);
    GetOverlappedResult(handle, &record, &count, TRUE);
}

} // namespace

bool C_PipeTransport::OpenPipe(C_File& pipe, const wchar_t* target) {
    return target && pipe.Open(target, C_File::MODE_READ_WRITE_EXISTING, FILE_FLAG_OVERLAPPED, kShareMode) != 0;
}

bool C_PipeTransport::ProbePipe(const wchar_t* target) {
    C_File probe;
    return OpenPipe(probe, target);
}

bool C_PipeTransport::Open(const wchar_t* target, C_String& description) {
    m_host.ShowStatus(STATUS_OPENING, target);
    m_name.Set(target ? target : L"");
    description.Assign(L"");
    Close();
    return OpenPipe(m_pipe, target);
}

void C_PipeTransport::Close() {
    CancelRead();
    m_pipe.Close();
}

bool C_PipeTransport::Write(const uint8_t* bytes, uint32_t size) {
    if (!m_pipe.IsOpen())
        return false;
    if (!bytes || size == 0)
        return true;
    C_Handle written = CreateAutoResetEvent();
    if (!written)
        return false;
    OVERLAPPED record = {};
    record.hEvent = written.Get();
    DWORD count = 0; // asking for the count keeps C_File from retrying without the overlapped record
    if (m_pipe.Write(size, bytes, &count, &record))
        return true; // an overlapped write that completes on the spot has taken every byte
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    if (WaitForEvent(written.Get(), kWriteTimeoutMs))
        return GetOverlappedResult(m_pipe.GetHandle(), &record, &count, FALSE) && count == size;
    CancelAndAwait(m_pipe.GetHandle(), record); // the record lives on this stack frame
    return false;
}

bool C_PipeTransport::ReadStep() {
    if (!m_pipe.IsOpen())
        return false;
    DWORD count = 0;
    if (!m_readOutstanding) {
        if (!StartRead())
            return EndConnection();
        if (!m_readOutstanding) { // completed at once
            if (!FinishRead(count))
                return EndConnection();
            m_host.GetReceiveSink().ProcessReceivedData(m_readBuffer, count);
            return true;
        }
    }
    bool timedOut = false;
    const DWORD wait = m_host.HasPendingLine() ? kPendingLineWaitMs : INFINITE;
    if (!WaitForEvent(m_readRecord.hEvent, wait, &timedOut)) {
        if (timedOut)
            m_host.GetReceiveSink().FlushIfIdle();
        else
            Sleep(kWaitFailureBackOffMs);
        return true; // the read stays outstanding for the next step
    }
    if (!FinishRead(count))
        return EndConnection();
    m_host.GetReceiveSink().ProcessReceivedData(m_readBuffer, count);
    return true;
}

// A read that fails at once means the pipe is broken (the peer has gone); it is not retried, since retrying
// would fail again at once and keep the reader spinning.
bool C_PipeTransport::StartRead() {
    m_readRecord = {};
    m_readRecord.hEvent = m_host.GetDataEvent();
    if (m_pipe.Read(kReadSize, m_readBuffer, nullptr, &m_readRecord))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_MORE_DATA)
        return true; // a message longer than the buffer: this part is complete, the rest follows
    if (error != ERROR_IO_PENDING)
        return false;
    m_readOutstanding = true;
    return true;
}

bool C_PipeTransport::FinishRead(DWORD& count) {
    count = 0;
    if (GetOverlappedResult(m_pipe.GetHandle(), &m_readRecord, &count, FALSE) || GetLastError() == ERROR_MORE_DATA) {
        m_readOutstanding = false;
        return true;
    }
    if (GetLastError() != ERROR_IO_INCOMPLETE)
        m_readOutstanding = false;
    return false;
}

void C_PipeTransport::CancelRead() {
    if (m_readOutstanding && m_pipe.IsOpen())
        CancelAndAwait(m_pipe.GetHandle(), m_readRecord);
    m_readOutstanding = false;
}

bool C_PipeTransport::EndConnection() {
    Close();
    return false;
}
