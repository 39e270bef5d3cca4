#include "connection/manager/Connection.h"

#include <cstring>
#include <new>

struct C_Connection::Command : public C_ListEntry {
    CommandKind kind = COMMAND_OPEN;
    C_String text;                    // the target, or the path of a file to send
    WPARAM number = 0;                // SendFile: the send's number; line commands: milliseconds, or raised or not
    std::unique_ptr<uint8_t[]> bytes; // Send: what goes out
    uint32_t size = 0;
    uint32_t lines = 0; // the modem lines a line command concerns
};

C_Connection::C_Connection(C_ReceiveSink& sink)
    : m_sink(sink), m_serial(*this), m_pipe(*this), m_tcp(*this), m_udp(*this) {}

C_Connection::~C_Connection() {
    if (m_started)
        Stop();
}

bool C_Connection::Start(C_ConnectionWindow& window, C_ConnectionOptions& options) {
    if (m_started)
        return false;
    m_window = &window;
    m_options = &options;
    m_current = nullptr;
    if (m_scanner == &m_ownScanner && !m_ownScanner.Start(*this))
        return false;
    m_shutdown = CreateManualResetEvent();
    m_fileStop = CreateAutoResetEvent();
    m_serial.Start();
    m_tcp.Start();
    m_udp.Start();
    if (!m_shutdown || !m_fileStop || !m_commands.Start(&C_Connection::HandleCommand, this)) {
        m_serial.Stop();
        m_tcp.Stop();
        m_udp.Stop();
        StopOwnScanner();
        return false;
    }
    m_started = true;
    return true;
}

// The command thread closes the connection on its way out; a scanner of its own is stopped after that (its probe
// between two ports), so no port is left half-probed and no thread outlives the objects it uses.
void C_Connection::Stop() {
    if (!m_started)
        return;
    m_started = false;
    StopFileSends(FileSendState::Cancelled);
    SetEvent(m_shutdown.Get());
    m_commands.Stop();
    m_serial.Stop();
    m_tcp.Stop();
    m_udp.Stop();
    StopOwnScanner();
}

// A shared scanner is its owner's to stop.
void C_Connection::StopOwnScanner() {
    if (m_scanner == &m_ownScanner)
        m_ownScanner.Stop();
}

// A file send would otherwise hold the open or the close behind it until its last byte.
void C_Connection::OpenTarget(const wchar_t* target) {
    if (m_window)
        m_window->SetReopenTimer(false);
    StopFileSends(FileSendState::PortClosed);
    Post(COMMAND_OPEN, target, 0);
}

void C_Connection::CloseTarget() {
    StopFileSends(FileSendState::PortClosed);
    Post(COMMAND_CLOSE, nullptr, 0);
}

// Converted here rather than on the command thread: the queue then carries bytes only, whatever their source.
void C_Connection::SendText(const wchar_t* text) {
    if (!text || !*text)
        return;
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return;
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[size_t(size)]);
    if (!bytes || !WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.get(), size, nullptr, nullptr))
        return;
    SendBytes(reinterpret_cast<const uint8_t*>(bytes.get()), uint32_t(strlen(bytes.get())));
}

void C_Connection::SendBytes(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size == 0)
        return;
    std::unique_ptr<Command> command(new (std::nothrow) Command);
    if (!command)
        return;
    command->kind = COMMAND_SEND;
    command->bytes.reset(new (std::nothrow) uint8_t[size]);
    if (!command->bytes)
        return;
    memcpy(command->bytes.get(), bytes, size);
    command->size = size;
    Queue(std::move(command));
}

uint32_t C_Connection::SendFile(const wchar_t* path) {
    const uint32_t number = ++m_fileSendsQueued;
    Post(COMMAND_SEND_FILE, path, number);
    return number;
}

void C_Connection::StopFileSends(FileSendState why) {
    m_fileStopReason = why;
    m_fileSendsStopped = m_fileSendsQueued.load();
    if (m_fileStop)
        SetEvent(m_fileStop.Get());
}

FileSendProgress C_Connection::GetFileSendProgress() {
    C_Lock hold(m_progressLock);
    return m_progress;
}

void C_Connection::SendBreak(DWORD milliseconds) {
    Post(COMMAND_BREAK, nullptr, milliseconds);
}

void C_Connection::PulseLines(uint8_t lines, DWORD milliseconds) {
    Post(COMMAND_PULSE, nullptr, milliseconds, lines);
}

void C_Connection::SetModemLines(uint8_t lines, bool raised) {
    Post(COMMAND_MODEM_LINES, nullptr, raised ? 1 : 0, lines);
}

bool C_Connection::IsOpen() const {
    const C_Transport* current = m_current;
    return current && current->IsOpen();
}

bool C_Connection::GetName(C_String& name) const {
    const C_Transport* current = m_current;
    if (current)
        return current->GetName(name);
    name.Empty();
    return false;
}

bool C_Connection::GetLineState(LineState& state) const {
    C_Transport* current = m_current;
    return current && current->GetLineState(state);
}

bool C_Connection::GetModemStatus(DWORD& status) const {
    C_Transport* current = m_current;
    status = 0;
    return current && current->GetModemStatus(status);
}

void C_Connection::ShowStatus(StatusText text, const wchar_t* name) {
    if (!m_window)
        return;
    C_String title;
    m_window->LoadText(text, title);
    SendMessageW(m_window->GetWindow(), WM_SHOW_STATUS, reinterpret_cast<WPARAM>(title.c_str()),
                 reinterpret_cast<LPARAM>(name));
}

HWND C_Connection::GetMainWindow() {
    return m_window ? m_window->GetWindow() : nullptr;
}

SerialLineSettings C_Connection::GetSerialLineSettings(const wchar_t* port) {
    C_String identity;
    return m_options ? m_options->GetSerialLineSettings(OptionsKey(port, identity)) : SerialLineSettings{};
}

const wchar_t* C_Connection::OptionsKey(const wchar_t* port, C_String& identity) const {
    return m_openIdentity.CopyTo(identity) && !identity.IsEmpty() ? identity.c_str() : port;
}

// The title says that something was refused; the text says what, of which port.
void C_Connection::ShowRefusal(RefusalText text, const wchar_t* port, const wchar_t* detail) {
    if (!m_window)
        return;
    C_String title, sentence, body;
    m_window->LoadText(kRefusalTitleId, title);
    m_window->LoadText(text, sentence);
    body.Format(sentence.c_str(), port ? port : L"", detail ? detail : L"");
    SendMessageW(m_window->GetWindow(), WM_SHOW_STATUS, reinterpret_cast<WPARAM>(title.c_str()),
                 reinterpret_cast<LPARAM>(body.c_str()));
}

void C_Connection::Post(CommandKind kind, const wchar_t* text, WPARAM number, uint32_t lines) {
    std::unique_ptr<Command> command(new (std::nothrow) Command);
    if (!command)
        return;
    command->kind = kind;
    command->number = number;
    command->lines = lines;
    if (command->text.Assign(text ? text : L""))
        Queue(std::move(command));
}

// A command the thread refuses (it is not running) is deleted here.
void C_Connection::Queue(std::unique_ptr<Command> command) {
    if (m_commands.PostCommand(command.get()))
        command.release();
}

bool C_Connection::HandleCommand(CommandPhase phase, C_ListEntry* entry, void* context) {
    C_Connection& connection = *static_cast<C_Connection*>(context);
    if (phase == PHASE_COMMAND)
        connection.Run(*static_cast<Command*>(entry));
    else if (phase == PHASE_ENDING)
        connection.RunCloseTarget();
    return true;
}

void C_Connection::Run(Command& command) {
    switch (command.kind) {
    case COMMAND_OPEN:
        RunOpenTarget(command.text.c_str());
        break;
    case COMMAND_CLOSE:
        RunCloseTarget();
        break;
    case COMMAND_SEND:
        RunSendBytes(command.bytes.get(), command.size);
        break;
    case COMMAND_SEND_FILE:
        RunSendFile(command.text.c_str(), uint32_t(command.number));
        break;
    case COMMAND_BREAK:
        RunBreak(DWORD(command.number));
        break;
    case COMMAND_PULSE:
        RunPulse(uint8_t(command.lines), DWORD(command.number));
        break;
    case COMMAND_MODEM_LINES:
        RunModemLines(uint8_t(command.lines), command.number != 0);
        break;
    }
}

DWORD C_Connection::ReaderMain(void* self, DWORD) {
    static_cast<C_Connection*>(self)->Read();
    return 0;
}

// Both ends of a connection refresh the port list (and the availability marks) without reopening anything.
void C_Connection::Read() {
    RefreshPorts(PORTS_CHANGED_REDRAW);
    m_sink.ResetFlushTime();
    for (;;) {
        if (m_reader.StopRequested())
            break;
        C_Transport* current = m_current;
        if (!current || !current->ReadStep())
            break;
    }
    RefreshPorts(PORTS_CHANGED_REDRAW);
}
