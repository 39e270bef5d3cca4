#include "ui/dialogs/TagDialog.h"

#include "connection/manager/ConnectionWindow.h"
#include "connection/discovery/Tags.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"

namespace {

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kTexts[] = {{IDC_OK, IDS_OK}, {IDC_CANCEL, IDS_CANCEL}, {IDC_TAG_LABEL, IDS_TAG}};

} // namespace

bool C_TagDialog::EditTag(HINSTANCE instance, HWND owner, C_PortList& ports, C_SettingsStore& settings,
                          uint32_t index) {
    if (!TakeEntry(ports, index))
        return false;
    m_strings.SetModule(instance);
    bool stored = false;
    if (RunModal(instance, IDD_TAG, STYLE_DARK_MODE_ALLOWED, owner) == 1) {
        stored = Tags::SaveTag(settings, m_portKey.c_str(), m_tag.c_str());
        ShowTag(ports);
    }
    // The toolbar took the pressed look off the clicked button; only a rebuild gives it back, OK or not.
    if (owner)
        PostMessageW(owner, WM_PORTS_CHANGED, PORTS_CHANGED_REDRAW, 0);
    return stored;
}

bool C_TagDialog::TakeEntry(C_PortList& ports, uint32_t index) {
    m_portKey.Empty();
    m_tag.Empty();
    C_ReadLock hold(ports);
    PortEntry* entry = ports.First();
    for (uint32_t step = 0; entry && step < index; ++step)
        entry = ports.Next(entry);
    if (!entry || entry->key.IsEmpty())
        return false;
    return m_portKey.Assign(entry->key) && m_tag.Assign(entry->tag);
}

// A refresh while the dialog was open rebuilt the list, and the entry at the old index may now be another port:
// the tag goes to the entries of this port, wherever they stand now.
void C_TagDialog::ShowTag(C_PortList& ports) {
    C_WriteLock hold(ports);
    for (PortEntry* entry = ports.First(); entry; entry = ports.Next(entry))
        if (entry->key.Compare(m_portKey.c_str()) == 0)
            entry->tag.Assign(m_tag);
}

INT_PTR C_TagDialog::OnInitDialog() {
    SetIcon(IDI_PROGRAM);
    SetProgramTitle(GetWindow(), GetInstance());
    for (const ControlText& entry : kTexts)
        SetItemText(entry.control, m_strings.LoadString(entry.text));
    SetItemText(IDC_TAG_TEXT, m_tag.c_str());
    return TRUE;
}

INT_PTR C_TagDialog::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    if (id == IDC_OK || id == IDC_CANCEL) {
        End(id == IDC_OK ? 1 : 0);
        return TRUE;
    }
    return C_Dialog::OnCommand(id, wParam, lParam);
}

// Both ways out take the text; only the caller's OK stores it.
INT_PTR C_TagDialog::OnEnd(INT_PTR) {
    GetItemText(IDC_TAG_TEXT, m_tag);
    return 1;
}
