#include "terminal/receive/Palette.h"

namespace {

struct PaletteEntry {
    Rgb foreground;
    Rgb brightForeground;
    Rgb background;
    Rgb brightBackground;
};

constexpr PaletteEntry kPalette[8] = {
    {0x001023, 0x818383, 0x001023, 0x818383}, // black
    {0xE7132C, 0xE74856, 0xC50F1F, 0xE74856}, // red
    {0x13A10E, 0x16C60C, 0x13A10E, 0x16C60C}, // green
    {0xC19C00, 0xF9F1A5, 0xC19C00, 0xF9F1A5}, // yellow
    {0x2472C8, 0x3B78FF, 0x0037DA, 0x3B78FF}, // blue
    {0xBC3FBC, 0xD670D6, 0x881798, 0xB4009E}, // magenta
    {0x009393, 0x61D6D6, 0x009393, 0x61D6D6}, // cyan
    {0xD8E3EA, 0xF2F2F2, 0xD8E3EA, 0xF2F2F2}, // white
};

} // namespace

Rgb PaletteColour(unsigned code, bool bright) {
    if (code >= 30 && code <= 37) {
        const PaletteEntry& entry = kPalette[code - 30];
        return bright ? entry.brightForeground : entry.foreground;
    }
    if (code >= 40 && code <= 47) {
        const PaletteEntry& entry = kPalette[code - 40];
        return bright ? entry.brightBackground : entry.background;
    }
    return Colour::kDefaultForeground;
}
