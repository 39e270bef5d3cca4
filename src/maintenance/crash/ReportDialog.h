#pragma once
// C_ReportDialog: the "has stopped working" dialog of a crash. Its template is written in memory, so it needs
// no resource but the program icon; the user may describe what happened, give an e-mail address and choose
// whether the report is sent.
#include <windows.h>

#include "foundation/base/TextString.h"
#include "platform/window/DialogTemplateWriter.h"
#include "platform/system/Handles.h"

// What the dialog tells about the program and the files, read from the version resource and the crash.
struct ReportDialogContent {
    const wchar_t* productName; // caption and title
    const wchar_t* companyName; // "Please tell ... about this problem"; "us" when empty
    const wchar_t* webAddress;  // full "http://..." address, or empty
    const wchar_t* textPath;
    const wchar_t* dumpPath; // null when no dump was asked for
};

// The web address in a version text: from "http://" (any case) up to the first ']', without a final '/'.
// False when the text holds no such address.
bool ExtractWebAddress(const wchar_t* text, C_String& out);

class C_ReportDialog {
public:
    enum ControlId : WORD {
        ID_SEND = 1000,
        ID_CANCEL = 1001,
        ID_ICON = 1003,
        ID_DESCRIPTION = 1004,
        ID_EMAIL = 1005,
        ID_TITLE = 1006,
        ID_FILES = 1008,
        ID_REQUEST = 1010,
        ID_DESCRIPTION_LABEL = 1011,
        ID_EMAIL_LABEL = 1012,
        ID_SEPARATOR = 1013,
        // The link controls laid over the request and files texts.
        ID_REQUEST_LINK = 1020,
        ID_FILES_LINK = 1021,
    };
    enum Result : INT_PTR {
        RESULT_FAILED = -1,
        RESULT_DONT_SEND = 0,
        RESULT_SEND = 1,
    };
    static constexpr int kDescriptionLimit = 2047;
    static constexpr int kEmailLimit = 259;

    // Shows the dialog modally with no owner and the icon of the instance's resource iconId.
    Result Run(HINSTANCE instance, UINT iconId, const ReportDialogContent& content);

    // What the user entered, once Run answered RESULT_SEND.
    const C_String& GetDescription() const { return m_description; }
    const C_String& GetEmail() const { return m_email; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool WriteTemplate(C_DialogTemplateWriter& writer) const;
    INT_PTR OnInitDialog();
    INT_PTR OnCommand(WORD id);
    INT_PTR OnColorStatic(HDC dc, HWND control);
    INT_PTR OnNotify(const NMHDR& header);
    void SetUpIcon();
    void SetUpTitle();
    void SetUpEdit(WORD id, int limit);
    void SetUpRequest();
    void SetUpFiles();
    // Lays a link control with the given markup over a static; the static keeps the plain text when no link
    // control can be made and is hidden when one can.
    void LayLink(WORD staticId, WORD linkId, const wchar_t* markup, const wchar_t* plain);
    bool ReadItem(WORD id, int limit, C_String& out) const;

    HWND m_window = nullptr;
    HINSTANCE m_instance = nullptr;
    UINT m_iconId = 0;
    const ReportDialogContent* m_content = nullptr;
    C_Icon m_icon;
    C_Font m_titleFont;
    C_String m_description;
    C_String m_email;
};
