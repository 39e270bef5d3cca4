#pragma once
// C_LineSinks: hands every text the receive assembly stores on to several sinks in turn (the text log, the merged
// tab, the activity mark, and what later engines attach), as the assembly has room for one. Sinks are added before
// the reader starts and stay for the session's life; each guards itself against the reader.
#include "terminal/receive/ReceiveAssembly.h"

#include <cstdint>

class C_LineSinks final : public C_LogSink {
public:
    static constexpr uint32_t kMaximumSinks = 8;

    C_LineSinks() = default;
    C_LineSinks(const C_LineSinks&) = delete;
    C_LineSinks& operator=(const C_LineSinks&) = delete;

    // False when sink is null or every place is taken.
    bool Add(C_LogSink* sink) {
        if (!sink || m_count == kMaximumSinks)
            return false;
        m_sinks[m_count++] = sink;
        return true;
    }

    void AppendToLog(const wchar_t* text, uint32_t length) override {
        for (uint32_t i = 0; i < m_count; ++i)
            m_sinks[i]->AppendToLog(text, length);
    }

private:
    C_LogSink* m_sinks[kMaximumSinks] = {};
    uint32_t m_count = 0;
};
