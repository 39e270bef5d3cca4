#pragma once
// C_TagDialog: gives a serial port a user label, shown on its button in front of the port name. The main window
// opens it for a port button clicked with Ctrl or Shift. The tag is stored under the port's key (its target) in
// the settings' "Tags" section; the port list only mirrors it until the next refresh reads it back.
#include "connection/discovery/PortList.h"
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"

#include <cstdint>

class C_TagDialog : public C_Dialog {
public:
    C_TagDialog() = default;

    // Edits the tag of port list entry index. On OK the tag is stored and the listed entries of that port show
    // it; either way owner is posted WM_PORTS_CHANGED (redraw), so its buttons show the tag and their state.
    // The list is not locked while the dialog is shown, so the port may vanish meanwhile: its tag is stored all
    // the same. True when a tag was stored; nothing happens for an index beyond the list or an entry without a
    // target.
    bool EditTag(HINSTANCE instance, HWND owner, C_PortList& ports, C_SettingsStore& settings, uint32_t index);

    const C_String& GetPortKey() const { return m_portKey; }
    const C_String& GetTag() const { return m_tag; }

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;

private:
    bool TakeEntry(C_PortList& ports, uint32_t index);
    void ShowTag(C_PortList& ports);

    C_String m_portKey;
    C_String m_tag;
    C_StringTable m_strings;
};
