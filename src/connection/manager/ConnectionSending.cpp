// The commands that send, on the command thread: bytes as the user gave them, and files streamed from disk.
#include "connection/manager/Connection.h"

#include <cstring>

namespace {

constexpr uint32_t kNoFileSend = 0;

} // namespace

// Write failures of typed text are silent, as they always were: the next key tries again.
void C_Connection::RunSendBytes(const uint8_t* bytes, uint32_t size) {
    C_Transport* current = m_current;
    if (!current)
        return;
    const C_SendPacing pacing(m_options->GetCharSendDelay(), 0, WriteLimit(*current));
    uint32_t at = 0;
    while (at < size) {
        const SendStep step = pacing.Next(bytes + at, size - at, true);
        WriteAndEcho(*current, bytes + at, step.length);
        at += step.length;
        // The delay follows every character, the last one too, so the next command keeps its distance. At
        // shutdown the rest is dropped instead of holding the program's exit.
        if (step.pauseMs && !Pause(step.pauseMs, kNoFileSend))
            return;
    }
}

void C_Connection::RunSendFile(const wchar_t* path, uint32_t sequence) {
    StartFileProgress(sequence);
    C_Transport* current = m_current;
    C_File file;
    FileSendState outcome;
    if (IsFileSendStopped(sequence))
        outcome = m_fileStopReason;
    else if (!current || !current->IsOpen())
        outcome = FileSendState::PortClosed;
    else if (!file.Open(path, C_File::MODE_READ, FILE_FLAG_SEQUENTIAL_SCAN, FILE_SHARE_READ | FILE_SHARE_WRITE))
        outcome = FileSendState::OpenFailed;
    else {
        const int64_t size = file.GetSize();
        SetFileTotal(size > 0 ? uint64_t(size) : 0);
        outcome = StreamFile(file, *current, sequence);
    }
    EndFileProgress(outcome);
}

// The file goes through a buffer of kFileChunk bytes. A CR at the buffer's end waits for the next read, since
// only the byte after it tells whether it ends a line on its own.
FileSendState C_Connection::StreamFile(C_File& file, C_Transport& transport, uint32_t sequence) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kFileChunk]);
    if (!buffer)
        return FileSendState::ReadFailed;
    const C_SendPacing pacing(m_options->GetCharSendDelay(), m_options->GetLineDelay(), WriteLimit(transport));
    uint32_t filled = 0;
    uint32_t at = 0;
    bool atEnd = false;
    while (at < filled || !atEnd) {
        const SendStep step = pacing.Next(buffer.get() + at, filled - at, atEnd);
        if (step.length == 0) {
            memmove(buffer.get(), buffer.get() + at, filled - at);
            filled -= at;
            at = 0;
            DWORD read = 0;
            if (!file.Read(kFileChunk - filled, buffer.get() + filled, &read))
                return FileSendState::ReadFailed;
            atEnd = read == 0;
            filled += read;
            continue;
        }
        if (IsFileSendStopped(sequence))
            return m_fileStopReason;
        if (!transport.IsOpen())
            return FileSendState::PortClosed;
        if (!WriteAndEcho(transport, buffer.get() + at, step.length))
            return transport.IsOpen() ? FileSendState::WriteFailed : FileSendState::PortClosed;
        at += step.length;
        NoteFileBytesSent(step.length);
        if (step.pauseMs && !Pause(step.pauseMs, sequence))
            return m_fileStopReason;
    }
    return FileSendState::Finished;
}

// What went out reaches the receive sink (the local echo, and whatever else follows the sent bytes) only once
// the port has taken it.
bool C_Connection::WriteAndEcho(C_Transport& transport, const uint8_t* bytes, uint32_t size) {
    if (!transport.Write(bytes, size))
        return false;
    m_sink.ProcessSentData(bytes, size);
    return true;
}

// False when the program's end, or a stop of that file send, cut the pause short. A stop meant for an earlier
// send may still have signalled the event: the pause then goes on.
bool C_Connection::Pause(DWORD milliseconds, uint32_t fileSequence) {
    const DWORD start = GetTickCount();
    HANDLE stop = fileSequence != kNoFileSend ? m_fileStop.Get() : nullptr;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return true;
        if (!WaitForEvent(m_shutdown.Get(), milliseconds - elapsed, nullptr, stop))
            return true; // the time is up, or the system cannot wait: either way the pause is over
        if (IsShuttingDown() || (fileSequence != kNoFileSend && IsFileSendStopped(fileSequence)))
            return false;
    }
}

bool C_Connection::IsShuttingDown() const {
    return WaitForSingleObject(m_shutdown.Get(), 0) == WAIT_OBJECT_0;
}

bool C_Connection::IsFileSendStopped(uint32_t sequence) const {
    return IsShuttingDown() || sequence <= m_fileSendsStopped;
}

uint32_t C_Connection::WriteLimit(const C_Transport& transport) {
    return C_SendPacing::WriteLimitFor(&transport == &m_serial ? m_serial.GetBaudRate() : 0);
}

void C_Connection::StartFileProgress(uint32_t sequence) {
    {
        C_Lock hold(m_progressLock);
        m_progress = {sequence, FileSendState::Running, 0, 0};
    }
    NoticeFileProgress();
}

void C_Connection::SetFileTotal(uint64_t total) {
    {
        C_Lock hold(m_progressLock);
        m_progress.total = total;
    }
    NoticeFileProgress();
}

void C_Connection::EndFileProgress(FileSendState outcome) {
    {
        C_Lock hold(m_progressLock);
        m_progress.state = outcome;
    }
    NoticeFileProgress();
}

// Progress within a send is told at most every kFileSendNoticeMs; its start, size and end always.
void C_Connection::NoteFileBytesSent(uint32_t count) {
    {
        C_Lock hold(m_progressLock);
        m_progress.sent += count;
    }
    if (GetTickCount() - m_lastProgressNotice >= kFileSendNoticeMs)
        NoticeFileProgress();
}

void C_Connection::NoticeFileProgress() {
    m_lastProgressNotice = GetTickCount();
    if (m_window)
        m_window->FileSendChanged();
}
