#include "platform/window/DialogTemplateWriter.h"

#include <cwchar>

namespace {

constexpr size_t kCountOffset = offsetof(DLGTEMPLATE, cdit);

} // namespace

bool C_DialogTemplateWriter::Begin(DWORD style, const Box& box, const wchar_t* caption, WORD pointSize,
                                   const wchar_t* face) {
    m_size = 0;
    m_failed = false;
    DLGTEMPLATE header{};
    header.style = style;
    header.x = box.x;
    header.y = box.y;
    header.cx = box.cx;
    header.cy = box.cy;
    memcpy(m_data, &header, sizeof header);
    m_size = sizeof header;
    // No menu, the system's dialog class, then the caption and, with DS_SETFONT, the font.
    bool written = PutWord(0) && PutWord(0) && PutText(caption);
    if (written && (style & DS_SETFONT))
        written = PutWord(pointSize) && PutText(face);
    m_failed = !written;
    return written;
}

bool C_DialogTemplateWriter::AddControl(ControlClass controlClass, WORD id, DWORD style, const Box& box,
                                        const wchar_t* text) {
    if (m_failed)
        return false;
    bool written = Align() && PutDword(style | WS_CHILD) && PutDword(0) && PutWord(WORD(box.x)) &&
                   PutWord(WORD(box.y)) && PutWord(WORD(box.cx)) && PutWord(WORD(box.cy)) && PutWord(id) &&
                   PutWord(0xFFFF) && PutWord(controlClass) && PutText(text) && PutWord(0); // no creation data
    if (!written) {
        m_failed = true;
        return false;
    }
    WORD count;
    memcpy(&count, m_data + kCountOffset, sizeof count);
    ++count;
    memcpy(m_data + kCountOffset, &count, sizeof count);
    return true;
}

const DLGTEMPLATE* C_DialogTemplateWriter::Get() const {
    return m_failed ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(m_data);
}

// Every control starts on a 32-bit boundary.
bool C_DialogTemplateWriter::Align() {
    while (m_size % sizeof(DWORD))
        if (!PutWord(0))
            return false;
    return true;
}

bool C_DialogTemplateWriter::PutWord(WORD value) {
    if (kCapacity - m_size < sizeof value)
        return false;
    memcpy(m_data + m_size, &value, sizeof value);
    m_size += sizeof value;
    return true;
}

bool C_DialogTemplateWriter::PutDword(DWORD value) {
    return PutWord(LOWORD(value)) && PutWord(HIWORD(value));
}

bool C_DialogTemplateWriter::PutText(const wchar_t* text) {
    size_t bytes = ((text ? wcslen(text) : 0) + 1) * sizeof(wchar_t);
    if (kCapacity - m_size < bytes)
        return false;
    if (text)
        memcpy(m_data + m_size, text, bytes - sizeof(wchar_t));
    memset(m_data + m_size + bytes - sizeof(wchar_t), 0, sizeof(wchar_t));
    m_size += bytes;
    return true;
}
