#pragma once
// The terminal's eight colours, in normal and bright form, for foreground codes 30-37 and background codes
// 40-47 of the select-graphic-rendition sequence. Any other code gives the default foreground.
#include "terminal/store/Colour.h"

Rgb PaletteColour(unsigned code, bool bright);
