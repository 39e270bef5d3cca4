#pragma once
// The characters received but not yet handed to the line store: one unit per received byte (0-255), plus
// line feeds and, later, time-stamp text.
#include "foundation/base/DynamicBuffer.h"

#include <cstdint>

class C_PendingLine {
public:
    void AppendBytes(const uint8_t* bytes, uint32_t count) {
        if (!m_units.Reserve(m_units.Count() + count))
            return; // out of memory: the buffer reported it and starts again empty
        wchar_t* out = m_units.Data() + m_units.Count();
        for (uint32_t i = 0; i < count; ++i)
            out[i] = wchar_t(bytes[i]);
        m_units.SetCount(m_units.Count() + count);
    }
    // Appends bytes up to the first one the table does not mark; returns how many were taken.
    uint32_t AppendWhile(const uint8_t* bytes, uint32_t count, const bool (&take)[256]) {
        if (!m_units.Reserve(m_units.Count() + count))
            return count; // out of memory: the bytes are dropped
        wchar_t* out = m_units.Data() + m_units.Count();
        uint32_t n = 0;
        while (n < count && take[bytes[n]]) {
            out[n] = wchar_t(bytes[n]);
            ++n;
        }
        m_units.SetCount(m_units.Count() + n);
        return n;
    }
    void AppendByte(uint8_t byte) { m_units.Add(wchar_t(byte)); }
    // Text the program inserts (a time stamp) rather than received bytes: it must reach the store as it is,
    // so it is remembered as the one range that decoding leaves alone. With a filter active a stamp waits
    // in the pending line for its line end; one line holds one stamp.
    void AppendText(const wchar_t* text, uint32_t count) {
        if (!m_units.Reserve(m_units.Count() + count))
            return;
        m_textBegin = m_units.Count();
        for (uint32_t i = 0; i < count; ++i)
            m_units.Data()[m_units.Count() + i] = text[i];
        m_units.SetCount(m_units.Count() + count);
        m_textEnd = m_units.Count();
    }
    uint32_t TextBegin() const { return m_textBegin; }
    uint32_t TextEnd() const { return m_textEnd; }

    const wchar_t* Data() const { return m_units.Data(); }
    uint32_t Length() const { return m_units.Count(); }
    bool IsEmpty() const { return m_units.Count() == 0; }
    void Clear() {
        m_units.Reset();
        m_textBegin = m_textEnd = 0;
    }
    // Drops what was flushed; what stays behind are received bytes only.
    void RemoveFront(uint32_t count) {
        uint32_t rest = count < m_units.Count() ? m_units.Count() - count : 0;
        for (uint32_t i = 0; i < rest; ++i)
            m_units.Data()[i] = m_units.Data()[count + i];
        m_units.SetCount(rest);
        m_textBegin = m_textEnd = 0;
    }

private:
    C_DynamicBuffer<wchar_t> m_units;
    uint32_t m_textBegin = 0; // inserted text, empty when equal
    uint32_t m_textEnd = 0;
};
