#include "platform/window/BandContainer.h"

#include <commctrl.h>

bool C_BandContainer::Create(HWND parent, UINT id) {
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                   RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                               0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    if (!m_window)
        return false;
    REBARINFO info{};
    info.cbSize = sizeof(info);
    SendMessageW(m_window, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    return true;
}

bool C_BandContainer::AddBand(HWND child, int width, unsigned style) {
    if (!m_window || !child)
        return false;
    RECT childRect{};
    GetWindowRect(child, &childRect);
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_STYLE | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_NOGRIPPER | RBBS_CHILDEDGE;
    if (style & BAND_CHEVRON)
        band.fStyle |= RBBS_USECHEVRON;
    if (style & BAND_FIXED)
        band.fStyle |= RBBS_FIXEDSIZE;
    band.hwndChild = child;
    band.cyMinChild = UINT(childRect.bottom - childRect.top);
    band.cxMinChild = (style & BAND_FIXED) ? UINT(width) : 0;
    band.cx = UINT(width);
    band.cxIdeal = UINT(width);
    const int index = int(SendMessageW(m_window, RB_GETBANDCOUNT, 0, 0));
    if (!SendMessageW(m_window, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band)))
        return false;
    if (style & BAND_CHEVRON)
        m_chevronBand = index;
    GiveRoomToChevronBand();
    return true;
}

void C_BandContainer::SetIdealWidth(int band, int width) {
    REBARBANDINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = RBBIM_IDEALSIZE;
    info.cxIdeal = UINT(width);
    SendMessageW(m_window, RB_SETBANDINFOW, WPARAM(band), reinterpret_cast<LPARAM>(&info));
    GiveRoomToChevronBand();
}

void C_BandContainer::SetWidth(int band, int width) {
    REBARBANDINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = RBBIM_SIZE | RBBIM_CHILDSIZE;
    SendMessageW(m_window, RB_GETBANDINFOW, WPARAM(band), reinterpret_cast<LPARAM>(&info));
    info.fMask = RBBIM_SIZE | RBBIM_CHILDSIZE;
    info.cx = UINT(width);
    info.cxMinChild = UINT(width);
    SendMessageW(m_window, RB_SETBANDINFOW, WPARAM(band), reinterpret_cast<LPARAM>(&info));
    GiveRoomToChevronBand();
}

void C_BandContainer::SetChildHeight(int band, int height) {
    REBARBANDINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = RBBIM_CHILDSIZE;
    SendMessageW(m_window, RB_GETBANDINFOW, WPARAM(band), reinterpret_cast<LPARAM>(&info));
    info.cyMinChild = UINT(height);
    SendMessageW(m_window, RB_SETBANDINFOW, WPARAM(band), reinterpret_cast<LPARAM>(&info));
}

void C_BandContainer::Resize() {
    if (!m_window)
        return;
    // A top-aligned rebar takes its parent's width when told its parent was resized.
    SendMessageW(m_window, WM_SIZE, 0, 0);
    GiveRoomToChevronBand();
}

int C_BandContainer::Height() const {
    return m_window ? int(SendMessageW(m_window, RB_GETBARHEIGHT, 0, 0)) : 0;
}

// The last band of a row would otherwise take all spare room; the chevron band should, so that the bands after
// it sit at the right end and its chevron appears only when its buttons really do not fit.
void C_BandContainer::GiveRoomToChevronBand() {
    if (m_window && m_chevronBand >= 0)
        SendMessageW(m_window, RB_MAXIMIZEBAND, WPARAM(m_chevronBand), FALSE);
}
