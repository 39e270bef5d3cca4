#include "platform/window/BackBuffer.h"

#include <utility>

namespace {

constexpr WORD kBitsPerPixel = 32;

} // namespace

bool C_BackBuffer::Make(HWND window, SIZE size) {
    C_WindowDc screen(window);
    C_MemoryDc dc(CreateCompatibleDC(screen.Get()));
    if (!dc)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    C_Bitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap)
        return false;
    SelectObject(dc.Get(), bitmap.Get());
    // The old context goes first, so the old bitmap is no longer selected anywhere when it is deleted.
    m_dc = std::move(dc);
    m_bitmap = std::move(bitmap);
    m_pixels = pixels;
    m_size = size;
    return true;
}
