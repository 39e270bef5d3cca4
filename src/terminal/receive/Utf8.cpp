#include "terminal/receive/Utf8.h"

namespace {

bool IsContinuation(wchar_t unit) {
    return unit >= 0x80 && unit <= 0xBF;
}

// The accepted range of the second byte after a lead byte: what rules out overlong forms, surrogates and
// code points above U+10FFFF, exactly as the system's UTF-8 conversion refuses them.
bool SecondByteFits(wchar_t lead, wchar_t second) {
    switch (lead) {
    case 0xE0:
        return second >= 0xA0 && second <= 0xBF;
    case 0xED:
        return second >= 0x80 && second <= 0x9F;
    case 0xF0:
        return second >= 0x90 && second <= 0xBF;
    case 0xF4:
        return second >= 0x80 && second <= 0x8F;
    default:
        return IsContinuation(second);
    }
}

// Length of the sequence a lead byte starts, 0 when it cannot start one.
uint32_t SequenceLength(wchar_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Decodes one sequence starting at units[i]; false when it is not valid UTF-8.
bool DecodeSequence(const wchar_t* units, uint32_t count, uint32_t& i, uint32_t& codePoint) {
    wchar_t lead = units[i];
    uint32_t length = SequenceLength(lead);
    if (!length || count - i < length || !SecondByteFits(lead, units[i + 1]))
        return false;
    codePoint = lead & (0xFF >> (length + 1));
    for (uint32_t k = 1; k < length; ++k) {
        if (!IsContinuation(units[i + k]))
            return false;
        codePoint = codePoint << 6 | (units[i + k] & 0x3F);
    }
    i += length;
    return true;
}

bool NeedsDecoding(wchar_t unit) {
    return unsigned(unit) - 0x80u < 0x80u;
} // 0x80-0xFF: a non-ASCII byte

// Most flushes are plain ASCII: blocks of units are tested at once by or-ing them together.
uint32_t FirstByteToDecode(const wchar_t* units, uint32_t count) {
    constexpr uint32_t kBlock = 16;
    uint32_t first = 0;
    for (; first + kBlock <= count; first += kBlock) {
        unsigned bits = 0;
        for (uint32_t k = 0; k < kBlock; ++k)
            bits |= units[first + k];
        if (bits & 0xFF80)
            break; // something in this block is not ASCII: look closer
    }
    while (first < count && !NeedsDecoding(units[first]))
        ++first;
    return first;
}

} // namespace

Utf8::Outcome Utf8::Decode(const wchar_t* units, uint32_t count, C_DynamicBuffer<wchar_t>& decoded, uint32_t textBegin,
                           uint32_t textEnd) {
    bool hasText = textBegin < textEnd && textEnd <= count;
    uint32_t first = FirstByteToDecode(units, count);
    if (hasText && first >= textBegin && first < textEnd)
        first = textEnd + FirstByteToDecode(units + textEnd, count - textEnd);
    if (first == count)
        return Outcome::Unchanged; // nothing but ASCII and inserted text: decoding changes nothing
    if (!decoded.Reserve(count))   // decoding never makes the text longer
        return Outcome::Unchanged;
    wchar_t* out = decoded.Data();
    uint32_t produced = 0;
    for (uint32_t i = 0; i < count;) {
        wchar_t unit = units[i];
        if (unit < 0x80 || unit > 0xFF || (hasText && i >= textBegin && i < textEnd)) {
            out[produced++] = unit;
            ++i;
            continue;
        }
        uint32_t limit = hasText && i < textBegin ? textBegin : count; // a sequence never runs into the text
        if (unit >= 0xC2 && unit <= 0xDF && i + 1 < limit && IsContinuation(units[i + 1])) {
            out[produced++] = wchar_t((unit & 0x1F) << 6 | (units[i + 1] & 0x3F)); // the common two-byte form
            i += 2;
            continue;
        }
        uint32_t codePoint;
        if (!DecodeSequence(units, limit, i, codePoint) || codePoint == kReplacementCharacter)
            return Outcome::Unchanged;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out[produced++] = wchar_t(0xD800 + (codePoint >> 10));
            out[produced++] = wchar_t(0xDC00 + (codePoint & 0x3FF));
        } else {
            out[produced++] = wchar_t(codePoint);
        }
    }
    decoded.SetCount(produced);
    return Outcome::Decoded;
}

uint32_t Utf8::IncompleteTail(const wchar_t* units, uint32_t count) {
    constexpr uint32_t kLongestSequence = 4;
    for (uint32_t tail = 1; tail < kLongestSequence && tail <= count; ++tail) {
        wchar_t unit = units[count - tail];
        if (IsContinuation(unit))
            continue;
        uint32_t length = SequenceLength(unit);
        if (length <= tail)
            return 0; // not a lead byte, or its sequence is complete (or too long to be one)
        return tail == 1 || SecondByteFits(unit, units[count - tail + 1]) ? tail : 0;
    }
    return 0;
}
