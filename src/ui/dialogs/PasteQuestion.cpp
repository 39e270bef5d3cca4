#include "ui/dialogs/PasteQuestion.h"

#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"

namespace {

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kTexts[] = {
    {IDC_PASTE_YES, IDS_YES}, {IDC_PASTE_NO, IDS_NO}, {IDC_PASTE_DONT_ASK, IDS_DONT_ASK_AGAIN}};
constexpr INT_PTR kYes = 1;
constexpr INT_PTR kNo = 0;

} // namespace

C_PasteQuestion::Answer C_PasteQuestion::Ask(HINSTANCE instance, HWND owner, const wchar_t* question) {
    m_question.Assign(question ? question : L"");
    m_dontAskAgain = false;
    m_strings.SetModule(instance);
    if (RunModal(instance, IDD_PASTE, STYLE_DARK_MODE_ALLOWED, owner) != kYes)
        return Answer::No;
    return m_dontAskAgain ? Answer::YesAndDontAskAgain : Answer::Yes;
}

INT_PTR C_PasteQuestion::OnInitDialog() {
    SetIcon(IDI_PROGRAM);
    SetProgramTitle(GetWindow(), GetInstance());
    for (const ControlText& entry : kTexts)
        SetItemText(entry.control, m_strings.LoadString(entry.text));
    SetItemText(IDC_PASTE_TEXT, m_question.c_str());
    SendItemMessage(IDC_PASTE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
    return TRUE;
}

INT_PTR C_PasteQuestion::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    if (id == IDC_PASTE_YES || id == IDC_PASTE_NO) {
        End(id == IDC_PASTE_YES ? kYes : kNo);
        return TRUE;
    }
    return C_Dialog::OnCommand(id, wParam, lParam);
}

INT_PTR C_PasteQuestion::OnEnd(INT_PTR) {
    m_dontAskAgain = IsItemChecked(IDC_PASTE_DONT_ASK);
    return 1;
}
