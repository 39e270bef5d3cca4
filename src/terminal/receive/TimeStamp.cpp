#include "terminal/receive/TimeStamp.h"

#include <cstdio>
#include <cwchar>

namespace {

class C_SystemClock final : public C_StampClock {
public:
    SYSTEMTIME LocalTime() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return now;
    }
};

C_SystemClock g_systemClock;

constexpr wchar_t kMilliseconds[] = L"iii";
constexpr wchar_t kAnimation[] = L"ani";

// One of the system's formatting steps: first asks for the size, then formats.
template <class FormatFunction>
bool FormatStep(FormatFunction format, const SYSTEMTIME& time, const wchar_t* picture, C_String& out) {
    C_String bounded;
    if (wcslen(picture) > C_TimeStamps::kMaxPictureLength) {
        if (!bounded.Assign(picture, C_TimeStamps::kMaxPictureLength))
            return false;
        picture = bounded.c_str();
    }
    int size = format(LOCALE_USER_DEFAULT, 0, &time, picture, nullptr, 0);
    if (size <= 0 || !out.Empty(uint32_t(size) + 1))
        return false;
    int written = format(LOCALE_USER_DEFAULT, 0, &time, picture, out.GetBuffer(), size);
    if (written <= 0)
        return false;
    out.UpdateLength();
    return true;
}

} // namespace

C_TimeStamps::C_TimeStamps() : m_clock(&g_systemClock) {
    m_animation.Assign(kDefaultAnimationChars);
    m_powerLine.Assign(kDefaultPowerLine);
}

void C_TimeStamps::SetClock(C_StampClock* clock) {
    m_clock = clock ? clock : &g_systemClock;
}

void C_TimeStamps::SetPicture(const wchar_t* picture) {
    C_Lock lock(m_lock);
    uint32_t length = picture ? uint32_t(wcslen(picture)) : 0;
    m_picture.Assign(picture ? picture : L"", length < kMaxPictureLength ? length : kMaxPictureLength);
}

void C_TimeStamps::SetAnimationCharacters(const wchar_t* characters) {
    C_Lock lock(m_lock);
    m_animation.Assign(characters);
}

void C_TimeStamps::SetPowerLine(const wchar_t* text) {
    C_Lock lock(m_lock);
    m_powerLine.Assign(text);
}

bool C_TimeStamps::HasPicture() {
    C_Lock lock(m_lock);
    return !m_picture.IsEmpty();
}

void C_TimeStamps::GetPowerLine(C_String& out) {
    C_Lock lock(m_lock);
    out.Assign(m_powerLine);
}

bool C_TimeStamps::MakeStamp(C_String& out) {
    C_String picture;
    wchar_t animation = 0;
    {
        C_Lock lock(m_lock);
        if (m_picture.IsEmpty() || !picture.Assign(m_picture))
            return false;
        uint32_t count = m_animation.GetLength();
        if (count) {
            animation = m_animation.GetAt(int(m_animationIndex % count)); // the characters may have changed
            m_animationIndex = (m_animationIndex % count + 1) % count;
        }
    }
    SYSTEMTIME now = m_clock->LocalTime(); // taken once for the whole stamp
    return FormatPicture(picture.c_str(), now, animation, out);
}

bool C_TimeStamps::FormatPicture(const wchar_t* picture, const SYSTEMTIME& time, wchar_t animation, C_String& out) {
    C_String dated;
    if (!FormatStep(GetDateFormatW, time, picture, dated) || !FormatStep(GetTimeFormatW, time, dated.c_str(), out))
        return false;
    wchar_t milliseconds[4];
    _snwprintf(milliseconds, 4, L"%03u", unsigned(time.wMilliseconds % 1000));
    if (!out.Replace(kMilliseconds, milliseconds))
        return false;
    if (animation) {
        const wchar_t character[] = {animation, 0};
        if (!out.Replace(kAnimation, character))
            return false;
    }
    return true;
}
