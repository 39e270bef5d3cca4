#include "terminal/receive/ParameterText.h"

#include <cstring>

bool C_ParameterText::Equals(const char* text) const {
    size_t length = strlen(text);
    return length == m_length && memcmp(m_text, text, length) == 0;
}

bool C_ParameterText::ReadNumber(uint32_t& position, uint32_t& value) const {
    uint32_t at = position;
    uint64_t number = 0;
    while (at < m_length && m_text[at] >= '0' && m_text[at] <= '9') {
        number = number * 10 + uint32_t(m_text[at] - '0');
        if (number > UINT32_MAX)
            number = UINT32_MAX;
        ++at;
    }
    if (at == position)
        return false;
    value = uint32_t(number);
    position = at;
    return true;
}

uint32_t C_ParameterText::LeadingNumber(uint32_t defaultValue) const {
    uint32_t position = 0;
    uint32_t value = defaultValue;
    ReadNumber(position, value);
    return value;
}
