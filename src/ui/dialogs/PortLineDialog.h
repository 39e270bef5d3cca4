#pragma once
// C_PortLineDialog: the line settings of one port. Either its own baud rate, data bits, parity, stop bits and flow
// control, or "Use the defaults from Options"; besides these, whether DTR and RTS are raised when it opens and
// which lines its reset pulse drops. Stored under the port's key on OK, and used from the port's next opening on,
// as the Options dialog's settings are.
#include "foundation/settings/LineSettings.h"
#include "foundation/settings/Options.h"
#include "foundation/settings/SettingsStore.h"
#include "ui/dialogs/ComboBoxGroup.h"
#include "ui/framework/ComboBox.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"

class C_PortLineDialog : public C_Dialog {
public:
    C_PortLineDialog() = default;

    // Edits the settings of portKey (the port list entry's target); name is shown in the caption. A port without
    // settings of its own shows the Options values. True when OK stored the settings.
    bool Edit(HINSTANCE instance, HWND owner, C_SettingsStore& settings, const C_PersistedOptions& options,
              const wchar_t* portKey, const wchar_t* name);

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnThemeChanged() override;

private:
    void SetTexts();
    void FillLists();
    // Checked: the line rows show the Options values and cannot be changed.
    void FollowDefaultsCheck();
    void ReadFields();
    bool Store(C_SettingsStore& settings) const;

    C_String m_portKey;
    C_String m_name;
    SerialLineSettings m_options; // what a port without its own settings uses
    SerialLineSettings m_line;    // what the dialog shows, and at OK what it read
    bool m_useDefaults = true;
    C_ComboBox m_baudRate;
    C_ComboBox m_dataBits;
    C_ComboBox m_parity;
    C_ComboBox m_stopBits;
    C_ComboBox m_flowControl;
    C_ComboBox m_pulseLines;
    C_ComboBoxGroup m_combos{&m_baudRate, &m_dataBits, &m_parity, &m_stopBits, &m_flowControl, &m_pulseLines};
    C_StringTable m_strings;
};
