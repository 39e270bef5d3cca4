#include "connection/sending/SendPacing.h"

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kLineFeed = 0x0A;

enum class LineEnd { No, Yes, Undecided };

// Whether bytes[at] ends a line, given what follows it.
LineEnd LineEndAt(const uint8_t* bytes, uint32_t at, uint32_t available, bool atEnd) {
    if (bytes[at] == kLineFeed)
        return LineEnd::Yes;
    if (bytes[at] != kCarriageReturn)
        return LineEnd::No;
    if (at + 1 < available)
        return bytes[at + 1] == kLineFeed ? LineEnd::No : LineEnd::Yes;
    return atEnd ? LineEnd::Yes : LineEnd::Undecided;
}

} // namespace

C_SendPacing::C_SendPacing(uint32_t charDelayMs, uint32_t lineDelayMs, uint32_t writeLimit)
    : m_charDelayMs(charDelayMs), m_lineDelayMs(lineDelayMs), m_writeLimit(writeLimit ? writeLimit : 1) {}

uint32_t C_SendPacing::WriteLimitFor(uint32_t baudRate) {
    if (baudRate == 0)
        return kStreamWrite;
    const uint32_t bytes = baudRate / kBitsPerByte / kWritesPerSecond;
    return bytes < kSmallestWrite ? kSmallestWrite : bytes > kStreamWrite ? kStreamWrite : bytes;
}

SendStep C_SendPacing::Next(const uint8_t* bytes, uint32_t available, bool atEnd) const {
    if (available == 0)
        return {};
    return m_charDelayMs ? NextByte(bytes, available, atEnd) : NextLine(bytes, available, atEnd);
}

SendStep C_SendPacing::NextByte(const uint8_t* bytes, uint32_t available, bool atEnd) const {
    if (m_lineDelayMs == 0)
        return {1, m_charDelayMs};
    switch (LineEndAt(bytes, 0, available, atEnd)) {
    case LineEnd::Yes:
        return {1, m_charDelayMs + m_lineDelayMs};
    case LineEnd::No:
        return {1, m_charDelayMs};
    case LineEnd::Undecided:
        break;
    }
    return {};
}

SendStep C_SendPacing::NextLine(const uint8_t* bytes, uint32_t available, bool atEnd) const {
    const uint32_t limit = available < m_writeLimit ? available : m_writeLimit;
    if (m_lineDelayMs == 0)
        return {limit, 0};
    for (uint32_t at = 0; at < limit; ++at) {
        switch (LineEndAt(bytes, at, available, atEnd)) {
        case LineEnd::Yes:
            return {at + 1, m_lineDelayMs};
        case LineEnd::No:
            break;
        case LineEnd::Undecided:
            return {at, 0};
        }
    }
    return {limit, 0};
}
