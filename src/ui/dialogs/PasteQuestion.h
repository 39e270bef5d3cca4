#pragma once
// C_PasteQuestion: asked before a paste of several lines (or a long one) goes to the device, where a wrong
// clipboard can reboot a board or fill its flash. Yes sends, No (also Esc and the close box) sends nothing;
// "Don't ask again" counts with Yes only, so a No never turns into pastes that silently go nowhere.
#include "foundation/base/TextString.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"

class C_PasteQuestion : public C_Dialog {
public:
    enum class Answer { Yes, No, YesAndDontAskAgain };

    // question: the whole text, such as "Paste 12 lines (3,456 bytes) to COM7?".
    Answer Ask(HINSTANCE instance, HWND owner, const wchar_t* question);

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;

private:
    C_String m_question;
    bool m_dontAskAgain = false;
    C_StringTable m_strings;
};
