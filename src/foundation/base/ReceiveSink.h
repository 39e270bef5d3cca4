#pragma once
// What a connection hands the bytes it reads, and the bytes it has written, to. The terminal's receive assembly
// implements it; the connection and its transports see only this, so they are built and tested without the
// terminal engine.
#include <cstdint>

class C_ReceiveSink {
public:
    // Every block read, in order; called on the reader thread.
    virtual void ProcessReceivedData(const uint8_t* data, uint32_t length) = 0;
    // Called when a read waited without data: text pending for a while becomes visible.
    virtual void FlushIfIdle() = 0;
    // True while a line waits for more bytes; the reader then waits only briefly, so the line shows soon
    // after its last byte.
    virtual bool HasPendingLine() = 0;
    // Called by each reader as it starts, so the first block read is flushed at its end.
    virtual void ResetFlushTime() = 0;
    // Every block the connection has written to the device, in order, exactly as it went out; called on the
    // command thread, so an implementation that also receives must guard what both paths share.
    virtual void ProcessSentData(const uint8_t*, uint32_t) {}

protected:
    ~C_ReceiveSink() = default;
};
