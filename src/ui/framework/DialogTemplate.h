#pragma once
// C_DialogTemplate: a dialog template resource, found in the interface language's lookup order and, where its
// font is to be replaced, copied with the new face and point size.
#include <windows.h>

#include <cstddef>

struct TemplateFont;

// Where the parts of a template's header lie that a font change touches.
struct DialogTemplateLayout {
    bool extended; // DLGTEMPLATEEX rather than DLGTEMPLATE
    DWORD style;
    bool hasFont;       // DS_SETFONT: the header names a font
    size_t pointSizeAt; // offset of the point size word
    size_t faceAt;      // offset of the face name
    size_t itemsAt;     // offset of the first control (32-bit aligned)
};

// False when the data is not a whole template header.
bool ReadDialogTemplateLayout(const BYTE* data, size_t size, DialogTemplateLayout& layout);

class C_DialogTemplate {
public:
    C_DialogTemplate() = default;
    ~C_DialogTemplate();
    C_DialogTemplate(const C_DialogTemplate&) = delete;
    C_DialogTemplate& operator=(const C_DialogTemplate&) = delete;

    // Finds the template and decides its font (see TemplateFont.h). False when no template has the id.
    bool Load(HINSTANCE instance, UINT id, LANGID language, bool preferShellDlg2);
    // A copy of a template with another font. False (and nothing changed) when the data cannot be read.
    bool CopyWithFont(const BYTE* data, size_t size, const TemplateFont& font);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_copy ? m_copy : m_resource); }
    size_t GetSize() const { return m_copy ? m_copySize : m_resourceSize; }
    bool IsCopy() const { return m_copy != nullptr; }

private:
    void ReplaceFont(bool preferShellDlg2);

    const BYTE* m_resource = nullptr;
    size_t m_resourceSize = 0;
    BYTE* m_copy = nullptr;
    size_t m_copySize = 0;
};
