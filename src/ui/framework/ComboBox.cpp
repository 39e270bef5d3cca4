#include "ui/framework/ComboBox.h"

#include "platform/window/Dpi.h"
#include "ui/framework/StringTable.h"

#include <new>

namespace {

constexpr UINT kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr WPARAM kSelectionField = WPARAM(-1);

HFONT FontOf(HWND window) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

} // namespace

bool C_ComboBox::Attach(HWND combo, HINSTANCE module) {
    Detach();
    if (!combo || !IsWindow(combo))
        return false;
    m_window = combo;
    m_module = module;
    SendMessageW(m_window, CB_RESETCONTENT, 0, 0);
    // The selection field was measured while the dialog was being created, before anyone could answer.
    UpdateHeights();
    return true;
}

void C_ComboBox::Detach() {
    m_window = nullptr;
    m_items.clear();
    m_icons.clear();
    m_iconDpi = 0;
}

// --- items -----------------------------------------------------------------------------------------------

int C_ComboBox::AddItem(const wchar_t* text, uint32_t value, UINT icon) {
    if (!m_window)
        return kNone;
    try {
        m_items.push_back({value, icon});
    } catch (const std::bad_alloc&) {
        return kNone;
    }
    LRESULT index = SendMessageW(m_window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : L""));
    if (index < 0) {
        m_items.pop_back();
        return kNone;
    }
    SendMessageW(m_window, CB_SETITEMDATA, WPARAM(index), LPARAM(m_items.size() - 1));
    return int(index);
}

int C_ComboBox::AddItem(C_StringTable& strings, UINT stringId, uint32_t value, UINT icon) {
    return AddItem(strings.LoadString(stringId), value, icon);
}

const C_ComboBox::Item* C_ComboBox::ItemAt(int index) const {
    if (!m_window || index < 0)
        return nullptr;
    LRESULT data = SendMessageW(m_window, CB_GETITEMDATA, WPARAM(index), 0);
    if (data == CB_ERR || size_t(data) >= m_items.size())
        return nullptr;
    return &m_items[size_t(data)];
}

int C_ComboBox::GetCount() const {
    if (!m_window)
        return 0;
    LRESULT count = SendMessageW(m_window, CB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : int(count);
}

int C_ComboBox::FindValue(uint32_t value) const {
    for (int index = 0, count = GetCount(); index < count; ++index) {
        const Item* item = ItemAt(index);
        if (item && item->value == value)
            return index;
    }
    return kNone;
}

int C_ComboBox::FindText(const wchar_t* text) const {
    if (!m_window || !text)
        return kNone;
    LRESULT index = SendMessageW(m_window, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text));
    return index < 0 ? kNone : int(index);
}

bool C_ComboBox::Select(int index) {
    if (!m_window)
        return false;
    LRESULT result = SendMessageW(m_window, CB_SETCURSEL, index < 0 ? WPARAM(-1) : WPARAM(index), 0);
    return index < 0 || result == index;
}

int C_ComboBox::GetSelection() const {
    if (!m_window)
        return kNone;
    LRESULT index = SendMessageW(m_window, CB_GETCURSEL, 0, 0);
    return index < 0 ? kNone : int(index);
}

bool C_ComboBox::SetEditText(const wchar_t* text) {
    return m_window && SetWindowTextW(m_window, text ? text : L"");
}

bool C_ComboBox::GetEditText(C_String& out, uint32_t limit) const {
    out.Empty();
    if (!m_window || limit == 0)
        return false;
    if (!out.SetCapacity(limit))
        return false;
    int copied = GetWindowTextW(m_window, out.GetBuffer(), int(limit));
    out.GetBuffer()[copied > 0 ? copied : 0] = 0;
    out.UpdateLength();
    return true;
}

bool C_ComboBox::GetSelectedValue(uint32_t& value) const {
    const Item* item = ItemAt(GetSelection());
    if (!item)
        return false;
    value = item->value;
    return true;
}

bool C_ComboBox::GetSelectedText(C_String& out) const {
    out.Empty();
    int index = GetSelection();
    if (index == kNone)
        return false;
    LRESULT length = SendMessageW(m_window, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length < 0 || !out.SetCapacity(uint32_t(length) + 1))
        return false;
    LRESULT copied = SendMessageW(m_window, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(out.GetBuffer()));
    out.GetBuffer()[copied > 0 ? copied : 0] = 0;
    out.UpdateLength();
    return copied >= 0;
}

// --- measuring and drawing -------------------------------------------------------------------------------

UINT C_ComboBox::Dpi() const {
    return Dpi::ForWindow(m_window);
}

// Every item is as high as the taller of the text and the icon, so rows with and without icons line up.
int C_ComboBox::ItemHeight() const {
    UINT dpi = Dpi();
    int height = Dpi::Scale(kIconSize, dpi);
    C_WindowDc dc(m_window);
    if (dc) {
        C_SelectedObject font(dc.Get(), FontOf(m_window));
        TEXTMETRICW metrics;
        if (GetTextMetricsW(dc.Get(), &metrics) && metrics.tmHeight > height)
            height = metrics.tmHeight;
    }
    return height + 2 * Dpi::Scale(kPadding, dpi);
}

void C_ComboBox::UpdateHeights() {
    int height = ItemHeight();
    SendMessageW(m_window, CB_SETITEMHEIGHT, kSelectionField, height);
    for (int index = 0, count = GetCount(); index < count; ++index)
        SendMessageW(m_window, CB_SETITEMHEIGHT, WPARAM(index), height);
}

bool C_ComboBox::OnMeasureItem(MEASUREITEMSTRUCT& item) {
    if (!m_window || item.CtlType != ODT_COMBOBOX || item.CtlID != UINT(GetDlgCtrlID(m_window)))
        return false;
    item.itemHeight = UINT(ItemHeight());
    return true;
}

HICON C_ComboBox::IconFor(UINT id) {
    UINT dpi = Dpi();
    if (dpi != m_iconDpi) {
        m_icons.clear();
        m_iconDpi = dpi;
    }
    for (const LoadedIcon& loaded : m_icons)
        if (loaded.id == id)
            return loaded.icon.Get();
    int size = Dpi::Scale(kIconSize, dpi);
    C_Icon icon(
        static_cast<HICON>(LoadImageW(m_module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    HICON handle = icon.Get();
    if (!handle)
        return nullptr;
    try {
        m_icons.push_back({id, std::move(icon)});
    } catch (const std::bad_alloc&) {
        return nullptr; // the icon goes with the local owner; the item is drawn without it
    }
    return handle;
}

bool C_ComboBox::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (!m_window || item.CtlType != ODT_COMBOBOX || item.hwndItem != m_window)
        return false;
    HDC dc = item.hDC;
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    COLORREF background =
        selected ? GetSysColor(COLOR_HIGHLIGHT) : (m_dark ? kDarkItemBackground : GetSysColor(COLOR_WINDOW));
    COLORREF text = disabled   ? GetSysColor(COLOR_GRAYTEXT)
                    : selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                               : (m_dark ? kDarkItemText : GetSysColor(COLOR_WINDOWTEXT));
    SetDCBrushColor(dc, background);
    FillRect(dc, &item.rcItem, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    const Item* data = item.itemID == UINT(-1) ? nullptr : ItemAt(int(item.itemID));
    if (data) {
        UINT dpi = Dpi();
        int padding = Dpi::Scale(kPadding, dpi);
        RECT area = item.rcItem;
        area.left += padding;
        if (HICON icon = data->icon ? IconFor(data->icon) : nullptr) {
            int size = Dpi::Scale(kIconSize, dpi);
            int top = (item.rcItem.top + item.rcItem.bottom - size) / 2;
            DrawIconEx(dc, area.left, top, icon, size, size, 0, nullptr, DI_NORMAL);
            area.left += size + 2 * padding;
        }
        C_String label;
        LRESULT length = SendMessageW(m_window, CB_GETLBTEXTLEN, item.itemID, 0);
        if (length > 0 && label.SetCapacity(uint32_t(length) + 1) &&
            SendMessageW(m_window, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(label.GetBuffer())) > 0) {
            label.UpdateLength();
            SetTextColor(dc, text);
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, label.c_str(), int(label.GetLength()), &area, kTextFormat);
        }
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &item.rcItem);
    return true;
}

void C_ComboBox::OnDpiChanged() {
    if (!m_window)
        return;
    m_icons.clear();
    m_iconDpi = 0;
    UpdateHeights();
    InvalidateRect(m_window, nullptr, TRUE);
}

void C_ComboBox::SetDarkMode(bool dark) {
    if (m_dark == dark)
        return;
    m_dark = dark;
    if (m_window)
        InvalidateRect(m_window, nullptr, TRUE);
}
