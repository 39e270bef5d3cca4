#include "ui/framework/DialogTemplate.h"

#include "foundation/base/Memory.h"
#include "platform/window/Dpi.h"
#include "ui/framework/Language.h"
#include "ui/framework/TemplateFont.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr WORD kExtendedVersion = 1;
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr WORD kOrdinalMarker = 0xFFFF;
// Header sizes up to the menu field: DLGTEMPLATEEX (version, signature, help id, extended style, style, item
// count, x, y, cx, cy) and DLGTEMPLATE (style, extended style, item count, x, y, cx, cy).
constexpr size_t kExtendedStyleAt = 12;
constexpr size_t kExtendedFixedPart = 26;
constexpr size_t kClassicFixedPart = 18;
// After the extended header's point size: weight (word), italic and character set (bytes).
constexpr size_t kExtendedFontFields = 4;

size_t Align4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

bool ReadWord(const BYTE* data, size_t size, size_t at, WORD& value) {
    if (at + sizeof(WORD) > size)
        return false;
    value = WORD(data[at] | (data[at + 1] << 8));
    return true;
}

// A field that is empty (one zero word), an ordinal (0xFFFF and a word) or a terminated text.
bool SkipTextOrOrdinal(const BYTE* data, size_t size, size_t& at) {
    WORD first;
    if (!ReadWord(data, size, at, first))
        return false;
    if (first == kOrdinalMarker) {
        at += 2 * sizeof(WORD);
        return at <= size;
    }
    for (WORD unit = first;;) {
        at += sizeof(WORD);
        if (unit == 0)
            return true;
        if (!ReadWord(data, size, at, unit))
            return false;
    }
}

} // namespace

bool ReadDialogTemplateLayout(const BYTE* data, size_t size, DialogTemplateLayout& layout) {
    WORD version, signature;
    if (!data || !ReadWord(data, size, 0, version) || !ReadWord(data, size, 2, signature))
        return false;
    layout = {};
    layout.extended = version == kExtendedVersion && signature == kExtendedSignature;
    size_t styleAt = layout.extended ? kExtendedStyleAt : 0;
    size_t at = layout.extended ? kExtendedFixedPart : kClassicFixedPart;
    if (at > size)
        return false;
    memcpy(&layout.style, data + styleAt, sizeof(DWORD));
    if (!SkipTextOrOrdinal(data, size, at) || !SkipTextOrOrdinal(data, size, at) || !SkipTextOrOrdinal(data, size, at))
        return false; // menu, window class, title
    layout.hasFont = (layout.style & DS_SETFONT) != 0;
    if (layout.hasFont) {
        layout.pointSizeAt = at;
        at += sizeof(WORD) + (layout.extended ? kExtendedFontFields : 0);
        layout.faceAt = at;
        if (!SkipTextOrOrdinal(data, size, at))
            return false;
    }
    layout.itemsAt = Align4(at);
    return layout.itemsAt <= size || at == size;
}

C_DialogTemplate::~C_DialogTemplate() {
    Memory::Release(m_copy);
}

bool C_DialogTemplate::Load(HINSTANCE instance, UINT id, LANGID language, bool preferShellDlg2) {
    HRSRC resource = Language::FindInLanguageOrder(instance, RT_DIALOG, MAKEINTRESOURCEW(id), language);
    if (!resource)
        resource = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_DIALOG); // stored only in other languages
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    m_resource = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!m_resource)
        return false;
    m_resourceSize = SizeofResource(instance, resource);
    ReplaceFont(preferShellDlg2);
    return true;
}

// Without a readable header, message font or copy the template is used as it is.
void C_DialogTemplate::ReplaceFont(bool preferShellDlg2) {
    DialogTemplateLayout layout;
    LOGFONTW messageFont;
    TemplateFont font;
    if (!ReadDialogTemplateLayout(m_resource, m_resourceSize, layout) || !layout.hasFont ||
        !ReadMessageFont(messageFont))
        return;
    auto* face = reinterpret_cast<const wchar_t*>(m_resource + layout.faceAt);
    if (ChooseTemplateFont(face, messageFont, int(Dpi::ForSystem()), preferShellDlg2, C_SystemFontCatalog(), font))
        CopyWithFont(m_resource, m_resourceSize, font);
}

// The controls follow the header at a 32-bit boundary and are aligned among themselves, so they move as one
// block to the boundary after the new face name.
bool C_DialogTemplate::CopyWithFont(const BYTE* data, size_t size, const TemplateFont& font) {
    DialogTemplateLayout layout;
    if (!ReadDialogTemplateLayout(data, size, layout) || !layout.hasFont)
        return false;
    size_t faceBytes = (wcslen(font.face) + 1) * sizeof(wchar_t);
    size_t itemsAt = Align4(layout.faceAt + faceBytes);
    size_t itemBytes = size > layout.itemsAt ? size - layout.itemsAt : 0;
    auto* copy = static_cast<BYTE*>(Memory::Reallocate(nullptr, itemsAt + itemBytes));
    if (!copy)
        return false;
    memcpy(copy, data, layout.faceAt);
    memcpy(copy + layout.pointSizeAt, &font.pointSize, sizeof(WORD));
    memcpy(copy + layout.faceAt, font.face, faceBytes);
    memset(copy + layout.faceAt + faceBytes, 0, itemsAt - layout.faceAt - faceBytes);
    memcpy(copy + itemsAt, data + layout.itemsAt, itemBytes);
    Memory::Release(m_copy);
    m_copy = copy;
    m_copySize = itemsAt + itemBytes;
    return true;
}
