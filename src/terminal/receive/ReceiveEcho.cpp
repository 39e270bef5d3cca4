// The local echo: what the connection sent, shown among the received lines in its own grey.
#include "terminal/receive/ReceiveAssembly.h"

#include <windows.h>

namespace {

constexpr wchar_t kTab = L'\t';
constexpr wchar_t kFirstPrintable = L' ';
constexpr wchar_t kDelete = 0x7F;
constexpr wchar_t kFirstAfterC1 = 0xA0; // U+0080 to U+009F are controls too

bool IsPrintable(wchar_t character) {
    return character == kTab ||
           (character >= kFirstPrintable && character != kDelete && (character < 0x80 || character >= kFirstAfterC1));
}

bool IsLineEnd(wchar_t character) {
    return character == L'\r' || character == L'\n';
}

} // namespace

void C_ReceiveAssembly::ProcessSentData(const uint8_t* data, uint32_t length) {
    if (!m_echo || !data || !length)
        return;
    C_Lock hold(m_lock);
    if (!DecodeSent(data, length))
        return;
    const wchar_t* text = m_sentText.Data();
    const uint32_t count = m_sentText.Count();
    uint32_t runStart = 0;
    for (uint32_t i = 0; i <= count; ++i) {
        if (i < count && IsPrintable(text[i]))
            continue;
        EchoCharacters(text + runStart, i - runStart);
        runStart = i + 1;
        if (i < count && IsLineEnd(text[i]))
            EchoLineEnd(text[i]);
    }
}

// The bytes went out in the ANSI code page; a character of two bytes that a paced send wrote one at a time is
// put together again.
bool C_ReceiveAssembly::DecodeSent(const uint8_t* data, uint32_t length) {
    m_sentText.Reset();
    uint8_t pair[2];
    if (m_sentLeadByte) {
        pair[0] = m_sentLeadByte;
        pair[1] = data[0];
        m_sentLeadByte = 0;
        wchar_t character = 0;
        if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(pair), 2, &character, 1) == 1)
            m_sentText.Add(character);
        ++data;
        --length;
    }
    if (length && IsDBCSLeadByte(data[length - 1]) && (length == 1 || !IsDBCSLeadByte(data[length - 2]))) {
        m_sentLeadByte = data[length - 1];
        --length;
    }
    if (!length)
        return m_sentText.Count() != 0;
    const int size = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(data), int(length), nullptr, 0);
    if (size <= 0 || !m_sentText.Reserve(m_sentText.Count() + uint32_t(size)))
        return false;
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(data), int(length),
                        m_sentText.Data() + m_sentText.Count(), size);
    m_sentText.SetCount(m_sentText.Count() + uint32_t(size));
    return true;
}

// What the device sent before keeps its own colours; the echo is its own flush in the echo's grey. With a filter
// the line waits for its end as every filtered line does, and takes the colours of that moment.
void C_ReceiveAssembly::EchoCharacters(const wchar_t* text, uint32_t count) {
    if (!count)
        return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, int(count), nullptr, 0, nullptr, nullptr);
    if (size <= 0 || !m_echoBytes.Reserve(uint32_t(size)))
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, int(count), m_echoBytes.Data(), size, nullptr, nullptr);
    FlushPendingLine(FLUSH_DECODE_UTF8);
    m_echoEndedLine = false;
    m_previousLineEndByte = 0;
    m_lastEchoed = text[count - 1];
    Rgb foreground;
    Rgb background;
    m_store.GetColours(foreground, background);
    m_store.SetColours(kEchoForeground, background);
    InsertTimeStamp(uint8_t(kFirstPrintable));
    m_pending.AppendBytes(reinterpret_cast<const uint8_t*>(m_echoBytes.Data()), uint32_t(size));
    FlushPendingLine(FLUSH_DECODE_UTF8);
    m_store.SetColours(foreground, background);
}

void C_ReceiveAssembly::EchoLineEnd(wchar_t character) {
    const bool secondOfPair =
        (character == L'\n' && m_lastEchoed == L'\r') || (character == L'\r' && m_lastEchoed == L'\n');
    m_lastEchoed = secondOfPair ? 0 : character;
    if (secondOfPair)
        return;
    m_pending.AppendByte(kLineFeed);
    FlushPendingLine(FLUSH_DECODE_UTF8 | FLUSH_LINE_END);
    InsertTimeStamp(kLineFeed);
    m_previousLineEndByte = 0;
    m_echoEndedLine = true;
}
