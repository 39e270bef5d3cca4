#pragma once
// Writes a dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs) into a fixed block, for dialogs whose layout
// lives in code because no resource can be relied on: the problem report comes up in a process that may be
// half broken, so it allocates nothing to build its window. A template that does not fit fails as a whole.
#include <windows.h>

#include <cstddef>

class C_DialogTemplateWriter {
public:
    static constexpr size_t kCapacity = 8192; // bytes
    // The predefined control classes a template names by atom.
    enum ControlClass : WORD {
        CLASS_BUTTON = 0x0080,
        CLASS_EDIT = 0x0081,
        CLASS_STATIC = 0x0082,
    };
    static constexpr WORD kNoId = 0xFFFF;

    struct Box {
        short x, y, cx, cy; // dialog units
    };

    // Starts the template; the font is named when the style carries DS_SETFONT.
    bool Begin(DWORD style, const Box& box, const wchar_t* caption, WORD pointSize, const wchar_t* face);
    bool AddControl(ControlClass controlClass, WORD id, DWORD style, const Box& box, const wchar_t* text);

    // Null when Begin failed or a control did not fit.
    const DLGTEMPLATE* Get() const;
    size_t GetSize() const { return m_size; }

private:
    bool Align();
    bool PutWord(WORD value);
    bool PutDword(DWORD value);
    bool PutText(const wchar_t* text);

    alignas(DWORD) BYTE m_data[kCapacity];
    size_t m_size = 0;
    bool m_failed = true;
};
