#include "terminal/receive/ReceiveAssembly.h"

#include "terminal/receive/Utf8.h"

#include <windows.h>

namespace {

class C_SystemTicks final : public C_TickSource {
public:
    uint32_t Milliseconds() override { return GetTickCount(); }
};

C_SystemTicks g_systemTicks;

// Bytes that need nothing but to be appended to the pending line (outside a sequence): everything except
// NUL, ESC, the line ends and the controls that are dropped or act on the cursor.
struct PlainByteTable {
    bool plain[256];
    constexpr PlainByteTable() : plain() {
        for (int i = 0; i < 256; ++i)
            plain[i] = true;
        const int controls[] = {0x00, 0x07, 0x08, 0x0A, 0x0D, 0x0E, 0x0F, 0x1B};
        for (int control : controls)
            plain[control] = false;
    }
};
constexpr PlainByteTable kPlainBytes;

} // namespace

C_ReceiveAssembly::C_ReceiveAssembly(C_LineStore& store)
    : m_store(store), m_interpreter(store, *this), m_ticks(&g_systemTicks) {}

void C_ReceiveAssembly::SetTickSource(C_TickSource* ticks) {
    m_ticks = ticks ? ticks : &g_systemTicks;
}

void C_ReceiveAssembly::ProcessReceivedData(const uint8_t* data, uint32_t length) {
    C_Lock hold(m_lock);
    uint32_t i = 0;
    while (i < length) {
        if (m_interpreter.InGround() && kPlainBytes.plain[data[i]])
            i += HandlePlainRun(data + i, length - i);
        else
            ProcessByte(data[i++]);
    }
    // A read can end in the middle of a character; its first bytes wait for the next read instead of making
    // the whole flush undecodable. The idle flush takes them if nothing follows.
    if (FlushIntervalPassed())
        FlushPendingLine(FLUSH_DECODE_UTF8 | FLUSH_KEEP_PARTIAL_CHARACTER);
}

void C_ReceiveAssembly::FlushIfIdle() {
    C_Lock hold(m_lock);
    if (!m_pending.IsEmpty() && FlushIntervalPassed())
        FlushPendingLine(FLUSH_DECODE_UTF8);
}

bool C_ReceiveAssembly::HasPendingLine() {
    C_Lock hold(m_lock);
    return m_pending.Length() != 0;
}

void C_ReceiveAssembly::ResetFlushTime() {
    C_Lock hold(m_lock);
    m_lastFlush = 0;
}

// A run of ordinary bytes in one step: exactly what ProcessByte would do to each of them, where only the
// first can start a line (and its time stamp) and the last is the one line-end handling remembers.
uint32_t C_ReceiveAssembly::HandlePlainRun(const uint8_t* bytes, uint32_t available) {
    m_previousLineEndByte = bytes[0];
    m_echoEndedLine = false;
    InsertTimeStamp(bytes[0]);
    uint32_t count = m_pending.AppendWhile(bytes, available, kPlainBytes.plain);
    m_previousLineEndByte = bytes[count - 1];
    return count;
}

void C_ReceiveAssembly::ProcessByte(uint8_t byte) {
    if (byte == 0)
        return; // NUL is dropped before anything else sees it, so it cannot disturb a sequence
    C_EscapeInterpreter::Result result = m_interpreter.InterpretEscape(byte);
    if (result == C_EscapeInterpreter::Result::Consumed)
        return;
    if (HandleLineEnd(byte) || result == C_EscapeInterpreter::Result::EmittedParameters)
        return;
    switch (byte) {
    case kBell:
    case kShiftOut:
    case kShiftIn:
        return;
    case kBackspace:
        m_echoEndedLine = false;
        HandleBackspace();
        return;
    default:
        m_echoEndedLine = false;
        m_pending.AppendByte(byte);
    }
}

void C_ReceiveAssembly::HandleBackspace() {
    FlushPendingLine(FLUSH_DECODE_UTF8);
    C_LineStore::Position cursor = m_store.GetCursor();
    m_store.SetCursor(cursor.column > 0 ? cursor.column - 1 : cursor.column, cursor.row);
}

// CR LF and LF CR count as one line end; a lone CR or LF is one too. Escape sequences between the two
// bytes of a pair never get here, so they do not split it. A device that answers an echoed line with a line
// end of its own ends the same line: the echo already ended it.
bool C_ReceiveAssembly::HandleLineEnd(uint8_t byte) {
    bool lineEnd = byte == kCarriageReturn || byte == kLineFeed;
    if (lineEnd && m_echoEndedLine) {
        m_echoEndedLine = false;
        m_previousLineEndByte = byte;
        return true;
    }
    if ((byte == kLineFeed && m_previousLineEndByte == kCarriageReturn) ||
        (byte == kCarriageReturn && m_previousLineEndByte == kLineFeed)) {
        m_previousLineEndByte = 0;
        return true;
    }
    if (lineEnd) {
        m_pending.AppendByte(kLineFeed);
        FlushPendingLine(FLUSH_DECODE_UTF8 | FLUSH_LINE_END);
    }
    m_previousLineEndByte = byte;
    InsertTimeStamp(byte);
    return lineEnd;
}

// The time-stamp step sees every byte that reaches line-end handling. The first byte of a line marks the
// line as started and gets the stamp in front of it; a line end clears the mark, so an empty line gets none.
void C_ReceiveAssembly::InsertTimeStamp(uint8_t byte) {
    if (byte == kCarriageReturn || byte == kLineFeed) {
        m_stampWritten = false;
        return;
    }
    if (m_stampWritten)
        return;
    m_stampWritten = true;
    if (m_stamps && m_stamps->HasPicture())
        WriteTimeStamp();
}

// The stamp is written white on blue; text received before it keeps the colours it came with, and the
// colours afterwards are those from before. With the font's powerline glyphs the stamp's closing '>' gives
// way to the powerline arrow in the stamp's blue on the line's background; a filtered view draws no arrow,
// since its lines reach the store whole, stamp and all.
void C_ReceiveAssembly::WriteTimeStamp() {
    FlushPendingLine(FLUSH_DECODE_UTF8);
    if (!m_stamps->MakeStamp(m_stamp))
        return;
    Rgb foreground;
    Rgb background;
    m_store.GetColours(foreground, background);
    m_store.SetColours(C_TimeStamps::kForeground, C_TimeStamps::kBackground);
    bool arrow = m_stamps->PowerLineGlyphsAvailable() && !m_store.IsFilterActive();
    if (arrow)
        m_stamp.RemoveTrailingChar(L'>');
    m_pending.AppendText(m_stamp.c_str(), m_stamp.GetLength());
    FlushPendingLine(FLUSH_CHARACTERS);
    if (arrow) {
        m_store.SetColours(C_TimeStamps::kBackground, background);
        m_stamps->GetPowerLine(m_stamp);
        m_pending.AppendText(m_stamp.c_str(), m_stamp.GetLength());
        FlushPendingLine(FLUSH_CHARACTERS);
    }
    m_store.SetColours(foreground, background);
}

void C_ReceiveAssembly::AppendPendingBytes(const char* bytes, uint32_t length) {
    m_pending.AppendBytes(reinterpret_cast<const uint8_t*>(bytes), length);
}

void C_ReceiveAssembly::FlushPendingLine(uint32_t flushFlags) {
    bool decodeUtf8 = (flushFlags & FLUSH_DECODE_UTF8) != 0;
    bool lineEnd = (flushFlags & FLUSH_LINE_END) != 0;
    uint32_t length = m_pending.Length();
    if (!length)
        return;
    if (!m_store.IsFilterActive()) {
        if (lineEnd)
            return; // the line feed travels with the following text
    } else if (!lineEnd && length < kFilteredFlushThreshold) {
        return; // a filtered line reaches the store whole
    }
    uint32_t kept =
        (flushFlags & FLUSH_KEEP_PARTIAL_CHARACTER) && decodeUtf8 ? Utf8::IncompleteTail(m_pending.Data(), length) : 0;
    if (length - kept < m_pending.TextEnd())
        kept = 0; // never split inserted text
    if (kept == length)
        return;
    length -= kept;
    // A stamp is the only inserted text, always at the front of what it is flushed with; the decoding below keeps
    // it unit for unit.
    uint32_t inserted = !decodeUtf8 ? length : (m_pending.TextBegin() == 0 ? m_pending.TextEnd() : 0);
    const wchar_t* text = m_pending.Data();
    if (decodeUtf8 &&
        Utf8::Decode(text, length, m_decoded, m_pending.TextBegin(), m_pending.TextEnd()) == Utf8::Outcome::Decoded) {
        text = m_decoded.Data();
        length = m_decoded.Count();
    }
    HandToStore(text, length, inserted);
    if (m_log)
        m_log->AppendToLog(text, length);
    m_lastFlush = m_ticks->Milliseconds();
    m_pending.RemoveFront(m_pending.Length() - kept);
}

// While filtering, every line is its own text for the filter to test. The shown-text sink gets what the store
// shows, less the stamp: the first inserted units.
void C_ReceiveAssembly::HandToStore(const wchar_t* text, uint32_t length, uint32_t inserted) {
    if (!m_store.IsFilterActive()) {
        m_store.AppendText(text, length);
        if (m_shown && inserted < length)
            m_shown->TakeShownText(text + inserted, length - inserted);
        return;
    }
    uint32_t start = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] == L'\n') {
            HandLineToStore(text + start, i + 1 - start, inserted);
            start = i + 1;
        }
    }
    if (start < length)
        HandLineToStore(text + start, length - start, inserted);
}

void C_ReceiveAssembly::HandLineToStore(const wchar_t* text, uint32_t length, uint32_t& inserted) {
    uint32_t skipped = inserted < length ? inserted : length;
    inserted -= skipped;
    if (m_store.AppendText(text, length) && m_shown && skipped < length)
        m_shown->TakeShownText(text + skipped, length - skipped);
}
