// velto-dialog-preview.exe -t TEMPLATE [-l LANGUAGE] [-s SECONDS]
// Shows one dialog template with its visible texts taken from the string table, as the program's dialogs set
// them, and sample items in the combo boxes. It ends when closed, or by itself after the given seconds, so a
// script can photograph each template in turn.
#include <windows.h>

#include "ui/CommandLine.h"
#include "ui/Dialog.h"
#include "ui/Language.h"
#include "ui/ProgramTitle.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

#include <commctrl.h>

namespace {

constexpr const wchar_t* kBaseTitle = L"Velto - Serial Terminal";
constexpr UINT_PTR kEndTimer = 1;
constexpr UINT kMillisecondsPerSecond = 1000;
constexpr int kItemIconSize = 16;
constexpr int kItemPadding = 3;

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kOptionsTexts[] = {
    {IDC_OPTIONS_SEND_DELAY_LABEL, IDS_SEND_DELAY},
    {IDC_OPTIONS_BAUD_RATE_LABEL, IDS_BAUD_RATE},
    {IDC_OPTIONS_PARITY_LABEL, IDS_PARITY},
    {IDC_OPTIONS_STOP_BITS_LABEL, IDS_STOP_BITS},
    {IDC_OPTIONS_FONT_LABEL, IDS_FONT},
    {IDC_OPTIONS_BOLD, IDS_BOLD},
    {IDC_OPTIONS_TIME_FORMAT_LABEL, IDS_TIME_FORMAT},
    {IDC_OPTIONS_AUTO_UPDATE, IDS_AUTO_UPDATE},
    {IDC_OK, IDS_OK},
    {IDC_CANCEL, IDS_CANCEL},
};
constexpr ControlText kSearchTexts[] = {{IDC_SEARCH_CASE, IDS_CASE_SENSITIVE}};
constexpr ControlText kTagTexts[] = {{IDC_TAG_LABEL, IDS_TAG}, {IDC_OK, IDS_OK}, {IDC_CANCEL, IDS_CANCEL}};

struct SampleItem {
    int control;
    const wchar_t* text; // null: the string-table entry
    UINT stringId;
    UINT icon;
};

constexpr SampleItem kOptionsItems[] = {
    {IDC_OPTIONS_SEND_DELAY, L"0 ms", 0, IDI_ITEM_RATE},
    {IDC_OPTIONS_BAUD_RATE, L"115200", 0, IDI_ITEM_RATE},
    {IDC_OPTIONS_PARITY, nullptr, IDS_PARITY_NONE, IDI_PARITY_NONE},
    {IDC_OPTIONS_STOP_BITS, nullptr, IDS_STOP_BITS_1, IDI_STOP_BITS_ONE},
    {IDC_OPTIONS_FONT, L"DejaVu Sans Mono", 0, IDI_ITEM_FONT},
    {IDC_OPTIONS_FONT_SIZE, L"10", 0, 0},
    {IDC_OPTIONS_TIME_FORMAT, L"dd.MM.yyyy HH:mm:ss:iii>", 0, IDI_ITEM_TIME_FORMAT},
};

class C_PreviewDialog : public C_Dialog {
public:
    C_PreviewDialog(UINT templateId, UINT seconds) : m_templateId(templateId), m_seconds(seconds) {}

protected:
    INT_PTR OnInitDialog() override {
        SetIcon(IDI_PROGRAM);
        C_String title;
        if (FormatProgramTitle(kBaseTitle, title))
            SetWindowTextW(GetWindow(), title.c_str());
        ApplyTexts();
        if (m_templateId == IDD_OPTIONS)
            FillOptions();
        if (m_templateId == IDD_MAIN)
            SendItemMessage(IDC_FILTER, EM_SETCUEBANNER, TRUE,
                            reinterpret_cast<LPARAM>(m_strings.LoadString(IDS_FILTER_CUE)));
        if (m_seconds)
            SetTimer(GetWindow(), kEndTimer, m_seconds * kMillisecondsPerSecond, nullptr);
        return TRUE;
    }

    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override {
        if (id == IDC_OK || id == IDC_CANCEL) {
            End(id == IDC_OK);
            return TRUE;
        }
        return C_Dialog::OnCommand(id, wParam, lParam);
    }

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == kEndTimer) {
            End(0);
            return TRUE;
        }
        if (message == WM_DRAWITEM)
            return DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return C_Dialog::OnMessage(message, wParam, lParam);
    }

private:
    template <size_t N> void SetTexts(const ControlText (&texts)[N]) {
        for (const ControlText& entry : texts)
            SetItemText(entry.control, m_strings.LoadString(entry.text));
    }

    void ApplyTexts() {
        if (m_templateId == IDD_OPTIONS)
            SetTexts(kOptionsTexts);
        else if (m_templateId == IDD_SEARCH_BAR)
            SetTexts(kSearchTexts);
        else if (m_templateId == IDD_TAG)
            SetTexts(kTagTexts);
    }

    void FillOptions() {
        for (const SampleItem& item : kOptionsItems) {
            const wchar_t* text = item.text ? item.text : m_strings.LoadString(item.stringId);
            LRESULT index = SendItemMessage(item.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            SendItemMessage(item.control, CB_SETITEMDATA, WPARAM(index), LPARAM(item.icon));
            SendItemMessage(item.control, CB_SETCURSEL, WPARAM(index));
        }
        CheckItem(IDC_OPTIONS_AUTO_UPDATE, true);
    }

    INT_PTR DrawItem(const DRAWITEMSTRUCT& item) {
        if (item.CtlType != ODT_COMBOBOX || item.itemID == UINT(-1))
            return FALSE;
        bool selected = (item.itemState & ODS_SELECTED) != 0;
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        SetBkMode(item.hDC, TRANSPARENT);
        RECT text = item.rcItem;
        text.left += kItemPadding;
        if (UINT icon = UINT(item.itemData)) {
            HICON picture = static_cast<HICON>(
                LoadImageW(GetInstance(), MAKEINTRESOURCEW(icon), IMAGE_ICON, kItemIconSize, kItemIconSize, LR_SHARED));
            int top = (item.rcItem.top + item.rcItem.bottom - kItemIconSize) / 2;
            DrawIconEx(item.hDC, text.left, top, picture, kItemIconSize, kItemIconSize, 0, nullptr, DI_NORMAL);
            text.left += kItemIconSize + kItemPadding;
        }
        wchar_t buffer[128] = {};
        SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(buffer));
        DrawTextW(item.hDC, buffer, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        return TRUE;
    }

    UINT m_templateId;
    UINT m_seconds;
    C_StringTable m_strings;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    C_CommandLine commandLine;
    commandLine.Declare(L"l", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"s", C_CommandLine::KIND_DECIMAL);
    commandLine.Declare(L"t", C_CommandLine::KIND_DECIMAL, IDD_MAIN);
    commandLine.Parse();
    C_String language;
    LANGID chosen = commandLine.GetText(L"l", language) ? Language::FromIsoName(language.c_str()) : 0;
    Language::SetInterfaceLanguage(chosen ? chosen : Language::kUserDefault);
    C_PreviewDialog dialog(UINT(commandLine.GetNumber(L"t")), UINT(commandLine.GetNumber(L"s")));
    return int(dialog.RunModal(instance, UINT(commandLine.GetNumber(L"t")), 0, nullptr));
}
