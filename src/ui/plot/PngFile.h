#pragma once
// Writes a picture as a PNG file with the system's image encoder (Windows Imaging Component), so no image
// library comes with the program.
#include <windows.h>

#include <cstdint>

namespace PngFile {

// pixels: 32 bits a pixel, blue, green, red and an unused byte, rows top-down, stride bytes apart. On failure the
// result is the system's error and no file is left behind.
HRESULT Write(const wchar_t* path, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride);

} // namespace PngFile
