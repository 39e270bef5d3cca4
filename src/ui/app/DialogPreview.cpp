// velto-dialog-preview.exe -t TEMPLATE [-l LANGUAGE] [-s SECONDS]
// Shows one dialog template with its visible texts taken from the string table, as the program's dialogs set
// them; the options dialog is the real one, with its owner-drawn lists. It ends when closed, or by itself after
// the given seconds, so a script can photograph each template in turn.
#include <windows.h>

#include "ui/framework/CommandLine.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/Language.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/StringTable.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT kMillisecondsPerSecond = 1000;

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kSearchTexts[] = {{IDC_SEARCH_CASE, IDS_CASE_SENSITIVE}};
constexpr ControlText kTagTexts[] = {{IDC_TAG_LABEL, IDS_TAG}, {IDC_OK, IDS_OK}, {IDC_CANCEL, IDS_CANCEL}};

class C_PreviewDialog : public C_Dialog {
public:
    C_PreviewDialog(UINT templateId, UINT seconds) : m_templateId(templateId), m_seconds(seconds) {}

protected:
    INT_PTR OnInitDialog() override {
        SetIcon(IDI_PROGRAM);
        C_String title;
        if (FormatProgramTitle(kProductTitle, title))
            SetWindowTextW(GetWindow(), title.c_str());
        ApplyTexts();
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
        return C_Dialog::OnMessage(message, wParam, lParam);
    }

private:
    template <size_t N> void SetTexts(const ControlText (&texts)[N]) {
        for (const ControlText& entry : texts)
            SetItemText(entry.control, m_strings.LoadString(entry.text));
    }

    void ApplyTexts() {
        if (m_templateId == IDD_SEARCH_BAR)
            SetTexts(kSearchTexts);
        else if (m_templateId == IDD_TAG)
            SetTexts(kTagTexts);
    }

    UINT m_templateId;
    UINT m_seconds;
    C_StringTable m_strings;
};

// The options dialog itself, over options as a first start has them, ended by the same timer.
class C_PreviewOptions : public C_OptionsDialog, private C_OptionsHost {
public:
    explicit C_PreviewOptions(UINT seconds) : m_seconds(seconds) {
        m_options.ChooseDefaultFont();
        m_options.timeFormat.Assign(L"dd.MM.yyyy HH:mm:ss:iii>");
    }
    INT_PTR Show(HINSTANCE instance) { return Run(instance, nullptr, *this); }

protected:
    INT_PTR OnInitDialog() override {
        INT_PTR answer = C_OptionsDialog::OnInitDialog();
        if (m_seconds)
            SetTimer(GetWindow(), kEndTimer, m_seconds * kMillisecondsPerSecond, nullptr);
        return answer;
    }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == kEndTimer) {
            End(0);
            return TRUE;
        }
        return C_OptionsDialog::OnMessage(message, wParam, lParam);
    }

private:
    C_PersistedOptions& GetOptions() override { return m_options; }
    void ApplyDisplayOptions() override {}
    void RefreshPorts() override {}

    UINT m_seconds;
    C_PersistedOptions m_options;
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
    UINT seconds = UINT(commandLine.GetNumber(L"s"));
    if (commandLine.GetNumber(L"t") == IDD_OPTIONS)
        return int(C_PreviewOptions(seconds).Show(instance));
    C_PreviewDialog dialog(UINT(commandLine.GetNumber(L"t")), seconds);
    return int(dialog.RunModal(instance, UINT(commandLine.GetNumber(L"t")), 0, nullptr));
}
