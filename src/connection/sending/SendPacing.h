#pragma once
// How a send is split into writes and pauses. A character delay writes every byte alone and pauses after each;
// a line delay pauses after every line end (an LF, or a CR that no LF follows, so CR LF pauses once). Writes to
// a serial line are kept to about a tenth of a second of line time, so a cancel or a close never waits behind a
// long write and the driver's own time-outs are never reached on a slow line.
#include <cstdint>

struct SendStep {
    uint32_t length = 0; // bytes to write; 0: more bytes are needed to decide (see C_SendPacing::Next)
    uint32_t pauseMs = 0;
};

class C_SendPacing {
public:
    static constexpr uint32_t kStreamWrite = 4096; // bytes per write where no line speed paces them
    static constexpr uint32_t kSmallestWrite = 16;
    static constexpr uint32_t kWritesPerSecond = 10;
    static constexpr uint32_t kBitsPerByte = 10; // start, eight data and one stop bit

    // writeLimit: the most bytes one write may take (at least 1).
    C_SendPacing(uint32_t charDelayMs, uint32_t lineDelayMs, uint32_t writeLimit);

    // The next write from the bytes at hand and the pause after it. atEnd: nothing follows these bytes. A CR
    // that ends the bytes at hand while more follow can only be judged with the next byte: the step then stops
    // before it, or has length 0 when the CR is all there is, and the caller offers it again with what follows.
    SendStep Next(const uint8_t* bytes, uint32_t available, bool atEnd) const;

    // The write limit for a serial line at baudRate; 0 (a pipe or a socket) gives kStreamWrite.
    static uint32_t WriteLimitFor(uint32_t baudRate);

private:
    SendStep NextByte(const uint8_t* bytes, uint32_t available, bool atEnd) const;
    SendStep NextLine(const uint8_t* bytes, uint32_t available, bool atEnd) const;

    uint32_t m_charDelayMs;
    uint32_t m_lineDelayMs;
    uint32_t m_writeLimit;
};
