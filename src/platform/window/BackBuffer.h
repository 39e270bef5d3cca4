#pragma once
// C_BackBuffer: the picture a window renders into and a paint only copies to the screen, so the screen never
// shows a half-drawn frame. 32 bits a pixel, rows top-down (as an image file stores them), in a memory context
// compatible with the window's screen.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>

class C_BackBuffer {
public:
    C_BackBuffer() = default;
    C_BackBuffer(const C_BackBuffer&) = delete;
    C_BackBuffer& operator=(const C_BackBuffer&) = delete;

    // A new, blank buffer of size for window's screen (a null window: the whole screen's). When it cannot be had,
    // false, and the old buffer stays. The new context has the system's defaults: whatever its owner selected into
    // the old one (fonts, brushes, modes) must be selected again.
    bool Make(HWND window, SIZE size);

    HDC Get() const { return m_dc.Get(); }
    explicit operator bool() const { return bool(m_dc); }
    SIZE Size() const { return m_size; }
    const uint8_t* Pixels() const { return static_cast<const uint8_t*>(m_pixels); }

private:
    // The bitmap is declared first so that the context goes first: a bitmap still selected into a context cannot
    // be deleted.
    C_Bitmap m_bitmap;
    C_MemoryDc m_dc;
    void* m_pixels = nullptr;
    SIZE m_size{};
};
