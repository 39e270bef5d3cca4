#pragma once
// The bytes collected inside a control sequence or operating-system command, and the number parsing that
// the sequences share. The text is bounded: a sequence may carry parameters of any length, but only the
// first kCapacity bytes are kept, which is far more than any sequence understood here uses.
#include <cstdint>

class C_ParameterText {
public:
    static constexpr uint32_t kCapacity = 64;

    void Clear() { m_length = 0; }
    // Bytes beyond the capacity are dropped.
    void Append(uint8_t byte) {
        if (m_length < kCapacity)
            m_text[m_length++] = char(byte);
    }
    const char* Data() const { return m_text; }
    uint32_t Length() const { return m_length; }
    bool Equals(const char* text) const;

    // Parses unsigned decimal digits starting at position; false when no digit is there. Values beyond the
    // 32-bit range are held at its maximum. On success position moves past the digits.
    bool ReadNumber(uint32_t& position, uint32_t& value) const;
    // The leading number, or the default when the text does not start with a digit.
    uint32_t LeadingNumber(uint32_t defaultValue) const;

private:
    char m_text[kCapacity];
    uint32_t m_length = 0;
};
