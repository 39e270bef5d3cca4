#pragma once
// The colours a select-graphic-rendition sequence (ESC [ ... m) asks for. Colours do not accumulate across
// sequences: every sequence starts from the default colours with bright off and applies its own parameters.
#include "terminal/store/Colour.h"
#include "terminal/receive/ParameterText.h"

namespace GraphicRendition {

constexpr Rgb kBoldForeground = 0x3B78FF;
constexpr Rgb kFaintForeground = 0x2472C8;

void Parse(const C_ParameterText& parameters, Rgb& foreground, Rgb& background);

} // namespace GraphicRendition
