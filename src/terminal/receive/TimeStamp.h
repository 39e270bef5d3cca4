#pragma once
// Time stamps in front of received lines. C_TimeStamps holds what the stamps are made of (the picture, the
// animation characters, the powerline text and whether the terminal font can draw it) and makes the stamp
// text; the receive assembly decides when a line gets one and writes it with the stamp colours.
//
// The picture is formatted by the system's date formatting and then its time formatting for the user's
// default locale, so the picture letters are the platform's (yyyy, MM, dd, HH, mm, ss, ...); "iii" becomes
// the milliseconds and "ani" the next animation character.
//
// The settings are changed on the user-interface thread (options dialog, font change) while the reader
// thread makes stamps, so they are kept under a lock of their own, held only to copy them.
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "terminal/store/Colour.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

// The local time a stamp shows; the system clock in the program, a fixed one in tests.
class C_StampClock {
public:
    virtual SYSTEMTIME LocalTime() = 0;

protected:
    ~C_StampClock() = default;
};

class C_TimeStamps {
public:
    static constexpr Rgb kForeground = 0xFFFFFF;
    static constexpr Rgb kBackground = 0x1F4291;
    static constexpr wchar_t kDefaultPowerLine[] = L"\xE0B0";
    static constexpr wchar_t kDefaultAnimationChars[] = L"\x280B\x2819\x2839\x2838\x283C\x2834\x2826\x2827\x2807\x280F";
    // The longest picture the options dialog produces. Longer stored or typed pictures are cut to it, and so
    // is what the date step hands the time step: Wine's formatters fault on 268 characters and cut longer
    // output silently, and no offered picture comes near.
    static constexpr uint32_t kMaxPictureLength = 259;

    C_TimeStamps();
    C_TimeStamps(const C_TimeStamps&) = delete;
    C_TimeStamps& operator=(const C_TimeStamps&) = delete;

    void SetClock(C_StampClock* clock);
    void SetPicture(const wchar_t* picture);
    void SetAnimationCharacters(const wchar_t* characters);
    void SetPowerLine(const wchar_t* text);
    // Set by the view when it makes its fonts: every character of the powerline text has a glyph.
    void SetPowerLineGlyphsAvailable(bool available) { m_glyphsAvailable = available; }
    bool PowerLineGlyphsAvailable() const { return m_glyphsAvailable; }

    bool HasPicture();
    void GetPowerLine(C_String& out);

    // The stamp for the current time: the picture formatted, "iii" replaced by the milliseconds and "ani" by
    // the animation character, which then advances. False when there is no picture or formatting failed.
    bool MakeStamp(C_String& out);

    // The formatting steps for a given time and animation character (none: "ani" stays), each on at most
    // kMaxPictureLength characters.
    static bool FormatPicture(const wchar_t* picture, const SYSTEMTIME& time, wchar_t animation, C_String& out);

private:
    C_CriticalSection m_lock;
    C_String m_picture;
    C_String m_animation;
    C_String m_powerLine;
    uint32_t m_animationIndex = 0; // never reset: the animation goes on across connections
    std::atomic<bool> m_glyphsAvailable{false};
    C_StampClock* m_clock;
};
