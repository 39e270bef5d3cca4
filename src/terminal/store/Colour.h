#pragma once
// Colours travel between the parts of the program as 24-bit RGB (0xRRGGBB). The line store keeps both colours
// of a cell in one 32-bit attribute: each colour packed to 15 bits (5 per channel), the foreground in the low
// half, the background in the high half, and bit 15 of the foreground half marking a detected link. Keeping
// the attribute at 32 bits is what holds a stored cell to 6 bytes.
#include <cstdint>

using Rgb = uint32_t;       // 0xRRGGBB
using Attribute = uint32_t; // packed foreground | packed background << 16

namespace Colour {

constexpr Rgb kDefaultForeground = 0xD8E3EA;
constexpr Rgb kDefaultBackground = 0x001023;
constexpr uint16_t kLinkFlag = 0x8000;
constexpr Attribute kAttributeLinkFlag = kLinkFlag;

constexpr uint16_t Pack(Rgb rgb) {
    return uint16_t(((rgb >> 19) & 0x1F) << 10 | ((rgb >> 11) & 0x1F) << 5 | ((rgb >> 3) & 0x1F));
}

// The link flag is not part of the colour.
constexpr Rgb Unpack(uint16_t packed) {
    return Rgb(((packed >> 10) & 0x1F) << 19 | ((packed >> 5) & 0x1F) << 11 | (packed & 0x1F) << 3);
}

constexpr Attribute MakeAttribute(Rgb foreground, Rgb background) {
    return Attribute(Pack(foreground)) | Attribute(Pack(background)) << 16;
}

constexpr Rgb ForegroundOf(Attribute attribute) {
    return Unpack(uint16_t(attribute));
}
constexpr Rgb BackgroundOf(Attribute attribute) {
    return Unpack(uint16_t(attribute >> 16));
}
constexpr bool IsLink(Attribute attribute) {
    return (attribute & kAttributeLinkFlag) != 0;
}

constexpr Attribute kDefaultAttribute = MakeAttribute(kDefaultForeground, kDefaultBackground);

} // namespace Colour
