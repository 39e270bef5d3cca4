#pragma once
// What a transport's reader hands received bytes to. The receive assembly implements it; transports and
// their tests see only this, so a transport can be tested against a recording sink.
#include <cstdint>

class C_ReceiveSink {
public:
    // Every block read, in order; called on the reader thread.
    virtual void ProcessReceivedData(const uint8_t* data, uint32_t length) = 0;
    // Called when a read waited without data: text pending for a while becomes visible.
    virtual void FlushIfIdle() = 0;

protected:
    ~C_ReceiveSink() = default;
};
