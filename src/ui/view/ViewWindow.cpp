#include "ui/view/ViewWindow.h"

#include "foundation/settings/Options.h"
#include "platform/window/Dpi.h"
#include "ui/framework/ResourceIds.h"

#include <objbase.h>

namespace {

constexpr int kFontSizeDivisor = -13; // twentieths of a point to a (negative) character height at 96 DPI
constexpr wchar_t kMeasuredText[] = L"X";

} // namespace

// --- window class ---------------------------------------------------------------------------------------------

bool C_PrivateWindowClass::Register(WNDCLASSEXW windowClass) {
    if (m_name[0])
        return true;
    GUID guid;
    wchar_t text[kGuidTextLength];
    if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, text, kGuidTextLength))
        return false;
    lstrcpynW(m_name, m_prefix, kMaxPrefixLength + 1);
    lstrcatW(m_name, text);
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpszClassName = m_name;
    if (RegisterClassExW(&windowClass))
        return true;
    m_name[0] = 0;
    return false;
}

// --- font -----------------------------------------------------------------------------------------------------

namespace TerminalFont {

LOGFONTW Face(const wchar_t* faceName, uint32_t fontSize, uint32_t flags, UINT dpi) {
    LOGFONTW face = {};
    face.lfHeight = LONG(double(dpi) / Dpi::kDefault * (int(fontSize) / kFontSizeDivisor));
    face.lfWeight = (flags & FLAG_BOLD) ? FW_BOLD : FW_NORMAL;
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfQuality = DEFAULT_QUALITY;
    // Decides only when the face is missing or not named (none of the default faces installed): the mapper then
    // takes a fixed-pitch font, not a proportional one spread over the cell grid.
    face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(face.lfFaceName, faceName, LF_FACESIZE);
    return face;
}

bool MeasureCell(HDC dc, HFONT font, SIZE& cell) {
    if (!dc)
        return false;
    C_SelectedObject selected(dc, font);
    return GetTextExtentPoint32W(dc, kMeasuredText, 1, &cell) && cell.cx > 0 && cell.cy > 0;
}

} // namespace TerminalFont

// --- scroll-to-end icon ---------------------------------------------------------------------------------------

void C_ScrollToEndIcon::Load(UINT dpi) {
    m_size = Dpi::Scale(kSize, dpi);
    m_images.Reset(ImageList_Create(m_size, m_size, ILC_COLOR32 | ILC_MASK, 1, 0));
    C_Icon icon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SCROLL_TO_END),
                                              IMAGE_ICON, m_size, m_size, LR_DEFAULTCOLOR)));
    if (m_images && icon)
        ImageList_AddIcon(m_images.Get(), icon.Get());
}

void C_ScrollToEndIcon::Place(int width, int height) {
    m_rect = {width - 2 * m_size, height - 2 * m_size, width - m_size, height - m_size};
}

void C_ScrollToEndIcon::Draw(HDC dc) const {
    if (m_images)
        ImageList_Draw(m_images.Get(), 0, dc, m_rect.left, m_rect.top, ILD_TRANSPARENT);
}
