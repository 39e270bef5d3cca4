#pragma once
// C_ReceiveTap: stands between a connection's reader and the receive assembly and hands every block on its way to
// the recorders (the hex view's journal, the raw log) before passing it on unchanged. What the recorders see is
// exactly what the terminal receives, so a raw log replays into the text the view showed. What the connection
// wrote passes the same way, marked as sent: the journal shows it beside what came back, the raw log leaves it
// out, and the terminal echoes it when asked to.
#include "foundation/base/ByteRecorder.h"
#include "foundation/base/ReceiveSink.h"

#include <cstdint>

class C_ReceiveTap final : public C_ReceiveSink {
public:
    static constexpr uint32_t kMaximumRecorders = 4;

    explicit C_ReceiveTap(C_ReceiveSink& inner) : m_inner(inner) {}
    C_ReceiveTap(const C_ReceiveTap&) = delete;
    C_ReceiveTap& operator=(const C_ReceiveTap&) = delete;

    // Before the first reader starts; recorders that change what they do (a log opened and closed) decide that
    // themselves. False when all places are taken.
    bool AddRecorder(C_ByteRecorder* recorder);

    // C_ReceiveSink
    void ProcessReceivedData(const uint8_t* data, uint32_t length) override;
    // On the command thread; each recorder guards itself against the reader.
    void ProcessSentData(const uint8_t* data, uint32_t length) override;
    void FlushIfIdle() override { m_inner.FlushIfIdle(); }
    bool HasPendingLine() override { return m_inner.HasPendingLine(); }
    void ResetFlushTime() override { m_inner.ResetFlushTime(); }

private:
    C_ReceiveSink& m_inner;
    C_ByteRecorder* m_recorders[kMaximumRecorders] = {};
    uint32_t m_recorderCount = 0;
};
