#pragma once
// C_OptionsDialog: the serial settings (send delay, baud rate, parity, stop bits, data bits, flow control), the
// terminal font (face, size, bold), the time-stamp picture, the encoding of text files, the update check and the
// sending (what Enter sends, the line delay of file sends, the local echo and the question before a large paste).
// It edits the main window's options in memory, and only on OK; they reach the registry when the main window
// closes. Every opening rebuilds the lists from the options.
#include "foundation/settings/Options.h"
#include "ui/dialogs/ComboBoxGroup.h"
#include "ui/framework/ComboBox.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/StringTable.h"

#include <cstdint>

// What the dialog edits and what it asks of the main window after OK.
class C_OptionsHost {
public:
    virtual C_PersistedOptions& GetOptions() = 0;
    // What the options show takes effect: the terminal view makes its fonts again (face, size or weight may have
    // changed), stamps follow the new picture, and the view repaints.
    virtual void ApplyDisplayOptions() = 0;
    // RefreshPorts (0): the selected port is reopened if nothing is open, and every open reads the serial
    // settings afresh.
    virtual void RefreshPorts() = 0;

protected:
    ~C_OptionsHost() = default;
};

class C_OptionsDialog : public C_Dialog {
public:
    static constexpr uint32_t kEditTextLimit = 260; // characters read from an edit field, terminator included
    static constexpr uint32_t kTwentiethsPerPoint = 20;
    static constexpr uint32_t kSmallestFontPoints = 8;
    static constexpr uint32_t kLargestFontPoints = 20;

    C_OptionsDialog() = default;

    // Runs the dialog modally over owner and then posts WM_PORTS_CHANGED (redraw) to owner, OK or not, so the
    // port buttons are rebuilt either way. The dialog's result: 1 OK, 0 cancelled, -1 not shown.
    INT_PTR Run(HINSTANCE instance, HWND owner, C_OptionsHost& host);

    // The number a typed text starts with ("250 ms" gives 250). False, leaving value alone, when the text does
    // not start with digits (blanks before them are skipped) or the number does not fit into 32 bits.
    static bool ReadLeadingNumber(const wchar_t* text, uint32_t& value);

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnThemeChanged() override;

private:
    void FillSendDelay(const C_PersistedOptions& options);
    void FillBaudRate(const C_PersistedOptions& options);
    void FillParity(const C_PersistedOptions& options);
    void FillStopBits(const C_PersistedOptions& options);
    void FillDataBits(const C_PersistedOptions& options);
    void FillFlowControl(const C_PersistedOptions& options);
    void FillFonts(const C_PersistedOptions& options);
    void FillFontSizes(const C_PersistedOptions& options);
    void FillTimeFormats(const C_PersistedOptions& options);
    void FillSending(const C_PersistedOptions& options);
    void ApplySending(C_PersistedOptions& options);
    void FillTextFiles(const C_PersistedOptions& options);
    void SetTexts();
    void Apply();
    void ReadNumberField(C_ComboBox& combo, uint32_t& value);

    C_OptionsHost* m_host = nullptr;
    // In the order of the dialog's fields.
    C_ComboBox m_sendDelay;
    C_ComboBox m_baudRate;
    C_ComboBox m_parity;
    C_ComboBox m_stopBits;
    C_ComboBox m_dataBits;
    C_ComboBox m_flowControl;
    C_ComboBox m_font;
    C_ComboBox m_fontSize;
    C_ComboBox m_timeFormat;
    C_ComboBox m_enterSends;
    C_ComboBox m_lineDelay;
    C_ComboBox m_textFiles;
    C_ComboBoxGroup m_combos{&m_sendDelay, &m_baudRate, &m_parity,     &m_stopBits,  &m_dataBits,   &m_flowControl,
                             &m_font,      &m_fontSize, &m_timeFormat, &m_textFiles, &m_enterSends, &m_lineDelay};
    C_StringTable m_strings;
};
