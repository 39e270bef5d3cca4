// velto.exe entry point. Until the main window exists this shows the main window's template with its title,
// icon and interface language, and ends when it is closed.
#include <windows.h>

#include "MaintenanceServices.h"
#include "ui/CommandLine.h"
#include "ui/Dialog.h"
#include "ui/Language.h"
#include "ui/ProgramTitle.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

#include <commctrl.h>

namespace {

// Built before anything else of the program, so a crash anywhere after it is reported.
C_Diagnostics g_diagnostics;
C_MaintenanceServices g_services(g_diagnostics);

constexpr const wchar_t* kBaseTitle = L"Velto - Serial Terminal";
constexpr int kMinimumWidth = 200; // dialog units
constexpr int kMinimumHeight = 150;

class C_StartWindow : public C_Dialog {
protected:
    INT_PTR OnInitDialog() override {
        SetIcon(IDI_PROGRAM);
        g_services.ConfigureProblemReport(IDI_PROGRAM, C_Diagnostics::kReportPath);
        C_String title;
        if (FormatProgramTitle(kBaseTitle, title))
            SetWindowTextW(GetWindow(), title.c_str());
        SendItemMessage(IDC_FILTER, EM_SETCUEBANNER, TRUE,
                        reinterpret_cast<LPARAM>(m_strings.LoadString(IDS_FILTER_CUE)));
        SetMinimumSize(kMinimumWidth, kMinimumHeight, true);
        return TRUE;
    }

private:
    C_StringTable m_strings;
};

void ChooseLanguage() {
    C_CommandLine commandLine;
    commandLine.Declare(L"l", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"p", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"b", C_CommandLine::KIND_DECIMAL);
    commandLine.Parse();
    C_String language;
    LANGID chosen = commandLine.GetText(L"l", language) ? Language::FromIsoName(language.c_str()) : 0;
    Language::SetInterfaceLanguage(chosen ? chosen : Language::kUserDefault);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    ChooseLanguage();
    C_StartWindow window;
    return int(window.RunModal(instance, IDD_MAIN, 0, nullptr));
}
