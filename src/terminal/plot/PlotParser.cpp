#include "terminal/plot/PlotParser.h"

#include "terminal/plot/PlotNumber.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsSeparator(wchar_t c) {
    return IsBlank(c) || c == L',' || c == L';';
}

uint32_t SkipBlanks(const wchar_t* text, uint32_t length, uint32_t at) {
    while (at < length && IsBlank(text[at]))
        ++at;
    return at;
}

// The pair whose name starts at text[at]: true with its sample and the index past its value.
bool ScanPair(const wchar_t* text, uint32_t length, uint32_t at, PlotParser::Sample& sample, uint32_t& end) {
    uint32_t nameEnd = at;
    while (nameEnd < length && PlotNumber::IsNameCharacter(text[nameEnd]))
        ++nameEnd;
    uint32_t valueAt;
    if (nameEnd < length && text[nameEnd] == L':') {
        valueAt = SkipBlanks(text, length, nameEnd + 1);
    } else {
        uint32_t equals = SkipBlanks(text, length, nameEnd);
        if (equals >= length || text[equals] != L'=')
            return false;
        valueAt = SkipBlanks(text, length, equals + 1);
    }
    if (nameEnd - at > PlotParser::kMaxNameLength || !PlotNumber::Scan(text, length, valueAt, sample.value, end))
        return false;
    sample.name = text + at;
    sample.nameLength = nameEnd - at;
    sample.position = 0;
    return true;
}

uint32_t ParsePairs(const wchar_t* text, uint32_t length, PlotParser::Sample* out) {
    uint32_t count = 0;
    uint32_t i = 0;
    while (i < length && count < PlotParser::kMaxSamples) {
        bool startsName = PlotNumber::IsNameStart(text[i]) && (i == 0 || !PlotNumber::IsNameCharacter(text[i - 1]));
        uint32_t end;
        if (startsName && ScanPair(text, length, i, out[count], end)) {
            ++count;
            i = end;
        } else {
            ++i;
        }
    }
    return count;
}

uint32_t ParsePositions(const wchar_t* text, uint32_t length, PlotParser::Sample* out) {
    uint32_t count = 0;
    uint32_t i = 0;
    while (i < length && count < PlotParser::kMaxPositions) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        uint32_t tokenEnd = i;
        while (tokenEnd < length && !IsSeparator(text[tokenEnd]))
            ++tokenEnd;
        double value;
        uint32_t end;
        if (PlotNumber::Scan(text, tokenEnd, i, value, end) && end == tokenEnd) {
            out[count] = {nullptr, 0, count + 1, value};
            ++count;
        }
        i = tokenEnd;
    }
    return count;
}

} // namespace

uint32_t PlotParser::ParseLine(const wchar_t* text, uint32_t length, Sample* out) {
    if (!text || !length)
        return 0;
    uint32_t pairs = ParsePairs(text, length, out);
    return pairs ? pairs : ParsePositions(text, length, out);
}
