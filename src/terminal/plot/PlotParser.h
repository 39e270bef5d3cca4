#pragma once
// What one received line gives the plot. A line holding "name=value" or "name: value" pairs gives one sample per
// pair, named by the pair ("temp=41.5 fan=1200"); blanks may surround '=' and follow ':'. Any other line gives its
// numbers by position, 1 for the first (series "1", "2", ...), where numbers are separated by commas, blanks,
// tabs or semicolons ("0.12,0.98,-3e-2"). Anything that is not a number (PlotNumber) is skipped and takes no
// position; a line without numbers gives nothing.
#include <cstdint>

namespace PlotParser {

// Longer names are no names: they would have to be cut, and two cut names could become one series.
constexpr uint32_t kMaxNameLength = 32;
// Samples of one line beyond these are left out: the plot keeps 16 series, so a position beyond the 16th can
// never be one, and a line of hundreds of pairs is no reading.
constexpr uint32_t kMaxSamples = 256;
constexpr uint32_t kMaxPositions = 16;

struct Sample {
    const wchar_t* name; // into the line; null for a number by position
    uint32_t nameLength;
    uint32_t position; // 1 for the first number of a line without pairs; 0 for a pair
    double value;
};

// Fills out (room for kMaxSamples) and returns how many samples the line gives.
uint32_t ParseLine(const wchar_t* text, uint32_t length, Sample* out);

} // namespace PlotParser
