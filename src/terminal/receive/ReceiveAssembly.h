#pragma once
// C_ReceiveAssembly: where received bytes become stored text. Every block a transport's reader reads goes
// through ProcessReceivedData, byte by byte through the escape interpreter into the pending line, which is
// handed to the line store in flushes: at the end of a block when more than 20 ms have passed since the
// last flush, when the reader has waited 20 ms without data (FlushIfIdle), and before every cursor move,
// colour change, backspace or time stamp. Without a filter a line end does not flush by itself, so steady
// data reaches the store (and the window) in blocks; with a filter each line reaches the store whole, at
// its line end, so it can be tested as a line.
//
// Each flush is decoded as UTF-8 as a whole; a flush that is not valid UTF-8 keeps its bytes as characters.
//
// With the local echo on, what the connection sends joins the same lines in kEchoForeground on the current
// background: its printable characters (in the ANSI code page it was sent in) and its line ends, never through
// the escape interpreter, so a sent ESC cannot change the colours or the cursor of what the device shows.
//
// Received data arrives on the reader thread, sent data on the connection's command thread; both take the
// assembly's lock. The main window owns one beside its view and hands it to the connection as its sink.
#include "terminal/receive/EscapeInterpreter.h"
#include "terminal/store/LineStore.h"
#include "terminal/receive/PendingLine.h"
#include "foundation/base/ReceiveSink.h"
#include "terminal/receive/ShownTextSink.h"
#include "terminal/receive/TimeStamp.h"
#include "platform/system/Handles.h"

#include <atomic>
#include <cstdint>

// Milliseconds for the flush rules; the system tick count in the program, a manual clock in tests.
class C_TickSource {
public:
    virtual uint32_t Milliseconds() = 0;

protected:
    ~C_TickSource() = default;
};

// Receives every flushed text exactly as the store receives it (the log file).
class C_LogSink {
public:
    virtual void AppendToLog(const wchar_t* text, uint32_t length) = 0;

protected:
    ~C_LogSink() = default;
};

class C_ReceiveAssembly final : public C_ReceiveSink, private C_InterpreterHost {
public:
    static constexpr uint32_t kFlushInterval = 20;                // ms
    static constexpr uint32_t kFilteredFlushThreshold = 0x100000; // characters pending while filtering
    static constexpr uint8_t kLineFeed = 0x0A;
    static constexpr uint8_t kCarriageReturn = 0x0D;
    static constexpr uint8_t kBell = 0x07;
    static constexpr uint8_t kBackspace = 0x08;
    static constexpr uint8_t kShiftOut = 0x0E;
    static constexpr uint8_t kShiftIn = 0x0F;
    static constexpr Rgb kEchoForeground = 0x8A8A8A;

    // How a flush treats what is pending.
    enum FlushFlags : uint32_t {
        FLUSH_CHARACTERS = 0,               // the pending text is characters already (a time stamp)
        FLUSH_DECODE_UTF8 = 0x1,            // received bytes: decoded as UTF-8 where they form it
        FLUSH_LINE_END = 0x2,               // a line end was just appended: a filtered line is complete
        FLUSH_KEEP_PARTIAL_CHARACTER = 0x4, // the end of a read: a character it cut waits for the next read
    };

    explicit C_ReceiveAssembly(C_LineStore& store);
    C_ReceiveAssembly(const C_ReceiveAssembly&) = delete;
    C_ReceiveAssembly& operator=(const C_ReceiveAssembly&) = delete;

    void SetTickSource(C_TickSource* ticks);
    void SetLogSink(C_LogSink* log) { m_log = log; }
    // Set before the reader starts; it gets the received text the store shows (the plot).
    void SetShownTextSink(C_ShownTextSink* shown) { m_shown = shown; }
    // Stamps are written while the stamps have a picture; none without.
    void SetTimeStamps(C_TimeStamps* stamps) { m_stamps = stamps; }

    // Any thread.
    void SetLocalEcho(bool on) { m_echo = on; }

    // C_ReceiveSink
    void ProcessReceivedData(const uint8_t* data, uint32_t length) override;
    void FlushIfIdle() override;
    bool HasPendingLine() override;
    void ResetFlushTime() override;
    void ProcessSentData(const uint8_t* data, uint32_t length) override;

    void ProcessByte(uint8_t byte);
    bool HandleLineEnd(uint8_t byte);
    void InsertTimeStamp(uint8_t byte);
    void FlushPendingLine(uint32_t flushFlags);

    uint32_t PendingLength() const { return m_pending.Length(); }

    const C_EscapeInterpreter& Interpreter() const { return m_interpreter; }

private:
    void FlushPendingText() override { FlushPendingLine(FLUSH_DECODE_UTF8); }
    void AppendPendingBytes(const char* bytes, uint32_t length) override;

    void WriteTimeStamp();
    uint32_t HandlePlainRun(const uint8_t* bytes, uint32_t available);
    void HandleBackspace();
    void HandToStore(const wchar_t* text, uint32_t length, uint32_t inserted);
    void HandLineToStore(const wchar_t* text, uint32_t length, uint32_t& inserted);
    bool FlushIntervalPassed() { return m_ticks->Milliseconds() - m_lastFlush > kFlushInterval; }

    // The local echo (ReceiveEcho.cpp).
    bool DecodeSent(const uint8_t* data, uint32_t length);
    void EchoCharacters(const wchar_t* text, uint32_t count);
    void EchoLineEnd(wchar_t character);

    C_LineStore& m_store;
    C_EscapeInterpreter m_interpreter;
    C_PendingLine m_pending;
    C_DynamicBuffer<wchar_t> m_decoded;
    uint32_t m_lastFlush = 0;
    uint8_t m_previousLineEndByte = 0;
    bool m_stampWritten = false;
    C_TickSource* m_ticks;
    C_LogSink* m_log = nullptr;
    C_ShownTextSink* m_shown = nullptr;
    C_TimeStamps* m_stamps = nullptr;
    C_String m_stamp;

    C_CriticalSection m_lock; // held by the sink's entries: the reader's and the command thread's
    std::atomic<bool> m_echo{false};
    C_DynamicBuffer<wchar_t> m_sentText; // a sent block as characters
    C_DynamicBuffer<char> m_echoBytes;   // echoed characters as UTF-8, which every flush decodes
    uint8_t m_sentLeadByte = 0;          // the first byte of a two-byte character whose second is still to come
    wchar_t m_lastEchoed = 0;            // so an echoed CR LF is one line end
    bool m_echoEndedLine = false;        // the device's own line end right after it ends no further line
};
