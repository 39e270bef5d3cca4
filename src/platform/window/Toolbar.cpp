#include "platform/window/Toolbar.h"

#include "platform/window/Dpi.h"

#include <commctrl.h>

#include <cwchar>
#include <memory>
#include <new>

namespace {

constexpr DWORD kToolbarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST |
                                TBSTYLE_TRANSPARENT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN |
                                CCS_NORESIZE;
constexpr DWORD kToolbarExtendedStyle = TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS;
constexpr int kMenuPadding = 4;      // pixels at 96 DPI, around the icon and the text of a menu item
constexpr int kMenuTextGap = 6;      // between icon and text
constexpr UINT kMenuCommandBase = 1; // menu item ids are list positions from here; 0 means "nothing chosen"

HFONT MenuFont(C_Font& owned) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        owned.Reset(CreateFontIndirectW(&metrics.lfMenuFont));
    return owned ? owned.Get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

} // namespace

bool C_Toolbar::Create(HWND parent, UINT id, HINSTANCE instance, const UINT* iconIds, int iconCount, int imageSize) {
    if (m_window || iconCount < 0 || iconCount > kMaxImages)
        return false;
    m_instance = instance;
    m_iconCount = iconCount;
    for (int i = 0; i < iconCount; ++i)
        m_iconIds[i] = iconIds[i];
    m_imageSize = imageSize;
    m_window = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, kToolbarStyle, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
    if (!m_window)
        return false;
    SendMessageW(m_window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_window, TB_SETEXTENDEDSTYLE, 0, kToolbarExtendedStyle);
    return LoadImages();
}

int C_Toolbar::ScaledImageSize() const {
    return Dpi::Scale(m_imageSize, Dpi::ForWindow(m_window));
}

bool C_Toolbar::LoadImages() {
    const int size = ScaledImageSize();
    C_ImageList images(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, m_iconCount, 0));
    C_ImageList hot(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, m_iconCount, 0));
    if (!images || !hot)
        return false;
    for (int i = 0; i < m_iconCount; ++i) {
        // The icon files carry several sizes; the system picks the nearest to the one asked for.
        C_Icon icon(static_cast<HICON>(
            LoadImageW(m_instance, MAKEINTRESOURCEW(m_iconIds[i]), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        // A missing icon still takes its index, so the indices of the others stay right.
        ImageList_ReplaceIcon(images.Get(), -1, icon.Get());
        ImageList_ReplaceIcon(hot.Get(), -1, icon.Get());
    }
    // The toolbar does not own image lists: the old ones go only after it uses the new ones.
    SendMessageW(m_window, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images.Get()));
    SendMessageW(m_window, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hot.Get()));
    m_images = std::move(images);
    m_hotImages = std::move(hot);
    SendMessageW(m_window, TB_AUTOSIZE, 0, 0);
    return true;
}

bool C_Toolbar::AddButton(int command, int image, const wchar_t* text, ButtonKind kind) {
    TBBUTTON button{};
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BYTE(BTNS_AUTOSIZE | BTNS_SHOWTEXT | (kind == BUTTON_CHECK ? BTNS_CHECK : BTNS_BUTTON));
    // The toolbar keeps its own copy of the text.
    button.iString = reinterpret_cast<INT_PTR>(text ? text : L"");
    bool added = SendMessageW(m_window, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)) != FALSE;
    SendMessageW(m_window, TB_AUTOSIZE, 0, 0);
    return added;
}

bool C_Toolbar::AddSeparator() {
    TBBUTTON button{};
    button.fsStyle = BTNS_SEP;
    return SendMessageW(m_window, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)) != FALSE;
}

void C_Toolbar::DeleteFrom(int index) {
    for (int count = ButtonCount(); count > index; --count)
        if (!SendMessageW(m_window, TB_DELETEBUTTON, WPARAM(count - 1), 0))
            break;
}

int C_Toolbar::ButtonCount() const {
    return m_window ? int(SendMessageW(m_window, TB_BUTTONCOUNT, 0, 0)) : 0;
}

bool C_Toolbar::SetText(int command, const wchar_t* text) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(text ? text : L"");
    bool set = SendMessageW(m_window, TB_SETBUTTONINFOW, WPARAM(command), reinterpret_cast<LPARAM>(&info)) != FALSE;
    SendMessageW(m_window, TB_AUTOSIZE, 0, 0);
    return set;
}

bool C_Toolbar::SetState(int command, BYTE state) {
    return SendMessageW(m_window, TB_SETSTATE, WPARAM(command), MAKELPARAM(state, 0)) != FALSE;
}

BYTE C_Toolbar::GetState(int command) const {
    LRESULT state = SendMessageW(m_window, TB_GETSTATE, WPARAM(command), 0);
    return state == -1 ? 0 : BYTE(state);
}

bool C_Toolbar::ItemRect(int index, RECT& rect) const {
    return SendMessageW(m_window, TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&rect)) != FALSE;
}

SIZE C_Toolbar::IdealSize() const {
    SIZE size{};
    SendMessageW(m_window, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    return size;
}

void C_Toolbar::OnDpiChanged() {
    LoadImages();
}

// --- chevron menu ----------------------------------------------------------------------------------------

bool C_Toolbar::ButtonText(int index, int command, wchar_t (&text)[kMaxMenuText]) const {
    text[0] = 0;
    LRESULT length = SendMessageW(m_window, TB_GETBUTTONTEXTW, WPARAM(command), 0);
    if (length <= 0)
        return true;
    if (length < kMaxMenuText) {
        SendMessageW(m_window, TB_GETBUTTONTEXTW, WPARAM(command), reinterpret_cast<LPARAM>(text));
        return true;
    }
    // Longer than a menu line can sensibly show (a log file's path): through the button info, cut.
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = text;
    info.cchText = kMaxMenuText;
    SendMessageW(m_window, TB_GETBUTTONINFOW, WPARAM(index), reinterpret_cast<LPARAM>(&info));
    text[kMaxMenuText - 1] = 0;
    return true;
}

int C_Toolbar::ShowChevronMenu(HWND owner, POINT screen, int visibleWidth) {
    C_Menu menu(CreatePopupMenu());
    std::unique_ptr<MenuItem[]> items(new (std::nothrow) MenuItem[kMaxMenuItems]);
    if (!menu || !items)
        return 0;
    int count = 0;
    int commands[kMaxMenuItems] = {};
    bool separatorPending = false;
    const int buttons = ButtonCount();
    for (int index = 0; index < buttons && count < kMaxMenuItems; ++index) {
        TBBUTTON button{};
        RECT rect{};
        if (!SendMessageW(m_window, TB_GETBUTTON, WPARAM(index), reinterpret_cast<LPARAM>(&button)) ||
            !ItemRect(index, rect) || rect.right <= visibleWidth || (button.fsState & TBSTATE_HIDDEN))
            continue;
        if (button.fsStyle & BTNS_SEP) {
            separatorPending = count > 0;
            continue;
        }
        if (separatorPending)
            AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        separatorPending = false;
        MenuItem& item = items[count];
        item.image = button.iBitmap;
        ButtonText(index, button.idCommand, item.text);
        UINT flags = MF_OWNERDRAW;
        if (button.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED))
            flags |= MF_CHECKED;
        if ((button.fsState & TBSTATE_INDETERMINATE) || !(button.fsState & TBSTATE_ENABLED))
            flags |= MF_GRAYED;
        commands[count] = button.idCommand;
        AppendMenuW(menu.Get(), flags, kMenuCommandBase + UINT(count), reinterpret_cast<LPCWSTR>(&item));
        ++count;
    }
    if (count == 0)
        return 0;
    m_menuItems = items.get();
    m_menuItemCount = count;
    const UINT chosen = UINT(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN,
                                            screen.x, screen.y, 0, owner, nullptr));
    m_menuItems = nullptr;
    m_menuItemCount = 0;
    return chosen >= kMenuCommandBase && chosen < kMenuCommandBase + UINT(count) ? commands[chosen - kMenuCommandBase]
                                                                                 : 0;
}

const C_Toolbar::MenuItem* C_Toolbar::ItemOf(ULONG_PTR data) const {
    const auto* item = reinterpret_cast<const MenuItem*>(data);
    return m_menuItems && item >= m_menuItems && item < m_menuItems + m_menuItemCount ? item : nullptr;
}

bool C_Toolbar::OnMeasureItem(MEASUREITEMSTRUCT* measure) {
    const MenuItem* item = measure && measure->CtlType == ODT_MENU ? ItemOf(measure->itemData) : nullptr;
    if (!item)
        return false;
    const UINT dpi = Dpi::ForWindow(m_window);
    C_Font owned;
    C_WindowDc dc(m_window);
    SIZE text{};
    if (dc) {
        C_SelectedObject font(dc.Get(), MenuFont(owned));
        GetTextExtentPoint32W(dc.Get(), item->text, int(wcslen(item->text)), &text);
    }
    const int padding = Dpi::Scale(kMenuPadding, dpi);
    const int image = ScaledImageSize();
    measure->itemWidth = UINT(image + Dpi::Scale(kMenuTextGap, dpi) + text.cx + padding);
    measure->itemHeight = UINT((image > text.cy ? image : text.cy) + padding);
    return true;
}

bool C_Toolbar::OnDrawItem(const DRAWITEMSTRUCT* draw) {
    const MenuItem* item = draw && draw->CtlType == ODT_MENU ? ItemOf(draw->itemData) : nullptr;
    if (!item)
        return false;
    HDC dc = draw->hDC;
    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    const bool greyed = (draw->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool checked = (draw->itemState & ODS_CHECKED) != 0;
    const UINT dpi = Dpi::ForWindow(m_window);
    const int padding = Dpi::Scale(kMenuPadding, dpi);
    const int image = ScaledImageSize();
    RECT area = draw->rcItem;
    FillRect(dc, &area, GetSysColorBrush(selected && !greyed ? COLOR_HIGHLIGHT : COLOR_MENU));

    RECT imageBox{area.left + padding / 2, area.top + (area.bottom - area.top - image) / 2, 0, 0};
    imageBox.right = imageBox.left + image;
    imageBox.bottom = imageBox.top + image;
    if (checked) {
        // A checked item with an icon shows the icon framed on a shaded square, as menus with icons do.
        RECT frame = imageBox;
        InflateRect(&frame, 2, 2);
        FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
        FrameRect(dc, &frame, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    ImageList_DrawEx(m_images.Get(), item->image, dc, imageBox.left, imageBox.top, image, image, CLR_NONE, CLR_NONE,
                     greyed ? (ILD_TRANSPARENT | ILD_BLEND50) : ILD_TRANSPARENT);

    RECT textBox = area;
    textBox.left = imageBox.right + Dpi::Scale(kMenuTextGap, dpi);
    C_Font owned;
    C_SelectedObject font(dc, MenuFont(owned));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(greyed ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    DrawTextW(dc, item->text, -1, &textBox, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    return true;
}
