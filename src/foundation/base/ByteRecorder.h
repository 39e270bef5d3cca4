#pragma once
// Where bytes that crossed the line are recorded as they were, in either direction: the hex view's journal and
// the raw log. The connection and its owner see only this, so the sent side can be recorded wherever the bytes
// finally go out, without the connection knowing the terminal engine.
#include <cstdint>

enum class ByteDirection : uint8_t { Received = 0, Sent = 1 };

class C_ByteRecorder {
public:
    // Called on the thread that moved the bytes (the reader for received ones); must not wait for a window.
    virtual void RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) = 0;

protected:
    ~C_ByteRecorder() = default;
};
