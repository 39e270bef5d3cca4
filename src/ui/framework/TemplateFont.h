#pragma once
// The font a dialog template is shown with. Templates name the old dialog fonts; where the system's message font
// is one of the current interface faces, the dialog takes that face instead (or "MS Shell Dlg 2" at 8 points),
// so dialogs look like the rest of the system rather than like 1995.
#include <windows.h>

struct TemplateFont {
    wchar_t face[LF_FACESIZE];
    WORD pointSize;
};

// Which font faces exist; the system's catalogue below, a fixed list in tests.
class I_FontCatalog {
public:
    virtual ~I_FontCatalog() = default;
    virtual bool IsInstalled(const wchar_t* face) const = 0;
};

// Installed faces and the font substitutes the system defines (such as "MS Shell Dlg 2").
class C_SystemFontCatalog : public I_FontCatalog {
public:
    bool IsInstalled(const wchar_t* face) const override;
};

constexpr WORD kShellDialogPointSize = 8;

// False when the template keeps its own font: it names none of the old dialog faces, or the message font is not
// a current interface face. preferShellDlg2 picks "MS Shell Dlg 2" at 8 points over "Segoe UI".
bool ChooseTemplateFont(const wchar_t* templateFace, const LOGFONTW& messageFont, int dpiY, bool preferShellDlg2,
                        const I_FontCatalog& fonts, TemplateFont& out);

// The system's message font (non-client metrics).
bool ReadMessageFont(LOGFONTW& font);
