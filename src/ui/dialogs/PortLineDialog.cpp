#include "ui/dialogs/PortLineDialog.h"

#include "ui/dialogs/LineChoices.h"
#include "ui/framework/ResourceIds.h"

namespace {

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kTexts[] = {
    {IDC_PORT_LINE_DEFAULTS, IDS_USE_OPTIONS_DEFAULTS},
    {IDC_PORT_LINE_BAUD_RATE_LABEL, IDS_BAUD_RATE},
    {IDC_PORT_LINE_DATA_BITS_LABEL, IDS_DATA_BITS},
    {IDC_PORT_LINE_PARITY_LABEL, IDS_PARITY},
    {IDC_PORT_LINE_STOP_BITS_LABEL, IDS_STOP_BITS},
    {IDC_PORT_LINE_FLOW_CONTROL_LABEL, IDS_FLOW_CONTROL},
    {IDC_PORT_LINE_DTR, IDS_DTR_AT_OPEN},
    {IDC_PORT_LINE_RTS, IDS_RTS_AT_OPEN},
    {IDC_PORT_LINE_PULSE_LABEL, IDS_RESET_PULSE_LINES},
    {IDC_OK, IDS_OK},
    {IDC_CANCEL, IDS_CANCEL},
};

// The rows "Use the defaults from Options" stands for.
constexpr int kLineControls[] = {IDC_PORT_LINE_BAUD_RATE, IDC_PORT_LINE_DATA_BITS, IDC_PORT_LINE_PARITY,
                                 IDC_PORT_LINE_STOP_BITS, IDC_PORT_LINE_FLOW_CONTROL};

} // namespace

bool C_PortLineDialog::Edit(HINSTANCE instance, HWND owner, C_SettingsStore& settings,
                            const C_PersistedOptions& options, const wchar_t* portKey, const wchar_t* name) {
    if (!portKey || !*portKey || !m_portKey.Assign(portKey) || !m_name.Assign(name ? name : portKey))
        return false;
    m_options = options.Line();
    m_line = m_options;
    m_useDefaults = !PortSettings::Load(settings, portKey, m_line);
    m_strings.SetModule(instance);
    if (RunModal(instance, IDD_PORT_LINE, STYLE_DARK_MODE_ALLOWED, owner) != 1)
        return false;
    return Store(settings);
}

// The DTR, RTS and pulse choices are the port's in any case; the line values only when it has its own.
bool C_PortLineDialog::Store(C_SettingsStore& settings) const {
    const wchar_t* key = m_portKey.c_str();
    bool stored =
        m_useDefaults ? PortSettings::ForgetLine(settings, key) : PortSettings::SaveLine(settings, key, m_line);
    stored &= PortSettings::SaveLinesAtOpen(settings, key, kBothModemLines, m_line.linesAtOpen);
    stored &= PortSettings::SavePulseLines(settings, key, m_line.pulseLines);
    return stored;
}

INT_PTR C_PortLineDialog::OnInitDialog() {
    SetIcon(IDI_PROGRAM);
    C_String caption;
    caption.Format(m_strings.LoadString(IDS_PORT_LINE_CAPTION), m_name.c_str());
    SetWindowTextW(GetWindow(), caption.c_str());
    SetTexts();
    FillLists();
    CheckItem(IDC_PORT_LINE_DEFAULTS, m_useDefaults);
    CheckItem(IDC_PORT_LINE_DTR, (m_line.linesAtOpen & LINE_DTR) != 0);
    CheckItem(IDC_PORT_LINE_RTS, (m_line.linesAtOpen & LINE_RTS) != 0);
    FollowDefaultsCheck();
    m_combos.ApplyTheme(IsDarkModeActive());
    return TRUE;
}

void C_PortLineDialog::SetTexts() {
    for (const ControlText& entry : kTexts)
        SetItemText(entry.control, m_strings.LoadString(entry.text));
}

void C_PortLineDialog::FillLists() {
    HINSTANCE instance = GetInstance();
    m_baudRate.Attach(GetItem(IDC_PORT_LINE_BAUD_RATE), instance);
    LineChoices::FillBaudRates(m_baudRate, m_line.baudRate);
    m_dataBits.Attach(GetItem(IDC_PORT_LINE_DATA_BITS), instance);
    LineChoices::FillDataBits(m_dataBits, m_line.dataBits);
    m_parity.Attach(GetItem(IDC_PORT_LINE_PARITY), instance);
    LineChoices::FillParities(m_parity, m_strings, m_line.parity);
    m_stopBits.Attach(GetItem(IDC_PORT_LINE_STOP_BITS), instance);
    LineChoices::FillStopBits(m_stopBits, m_strings, m_line.stopBits);
    m_flowControl.Attach(GetItem(IDC_PORT_LINE_FLOW_CONTROL), instance);
    LineChoices::FillFlowControls(m_flowControl, m_strings, m_line.flowControl);
    m_pulseLines.Attach(GetItem(IDC_PORT_LINE_PULSE), instance);
    LineChoices::FillPulseLines(m_pulseLines, m_strings, m_line.pulseLines);
}

// Going back to the defaults shows them; leaving them starts from them, so a port is set up by changing only
// what differs.
void C_PortLineDialog::FollowDefaultsCheck() {
    m_useDefaults = IsItemChecked(IDC_PORT_LINE_DEFAULTS);
    if (m_useDefaults) {
        LineChoices::ShowBaudRate(m_baudRate, m_options.baudRate);
        LineChoices::ShowValue(m_dataBits, m_options.dataBits);
        LineChoices::ShowValue(m_parity, m_options.parity);
        LineChoices::ShowValue(m_stopBits, m_options.stopBits);
        LineChoices::ShowValue(m_flowControl, m_options.flowControl);
    }
    for (int control : kLineControls)
        EnableWindow(GetItem(control), !m_useDefaults);
}

INT_PTR C_PortLineDialog::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
    case IDC_OK:
    case IDC_CANCEL:
        End(id == IDC_OK ? 1 : 0);
        return TRUE;
    case IDC_PORT_LINE_DEFAULTS:
        if (HIWORD(wParam) == BN_CLICKED)
            FollowDefaultsCheck();
        return TRUE;
    default:
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
}

void C_PortLineDialog::ReadFields() {
    m_useDefaults = IsItemChecked(IDC_PORT_LINE_DEFAULTS);
    if (!m_useDefaults) {
        uint32_t baudRate = m_line.baudRate;
        LineChoices::ReadBaudRate(m_baudRate, baudRate);
        m_line.baudRate = baudRate;
        LineChoices::ReadSelected(m_dataBits, m_line.dataBits);
        LineChoices::ReadSelected(m_parity, m_line.parity);
        LineChoices::ReadSelected(m_stopBits, m_line.stopBits);
        LineChoices::ReadSelected(m_flowControl, m_line.flowControl);
    }
    m_line.linesAtOpen =
        uint8_t((IsItemChecked(IDC_PORT_LINE_DTR) ? LINE_DTR : 0) | (IsItemChecked(IDC_PORT_LINE_RTS) ? LINE_RTS : 0));
    LineChoices::ReadSelected(m_pulseLines, m_line.pulseLines);
}

INT_PTR C_PortLineDialog::OnEnd(INT_PTR result) {
    if (result == 1)
        ReadFields();
    m_combos.Detach();
    return 1;
}

INT_PTR C_PortLineDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result;
    if (m_combos.Answer(message, lParam, result))
        return result;
    return C_Dialog::OnMessage(message, wParam, lParam);
}

void C_PortLineDialog::OnThemeChanged() {
    C_Dialog::OnThemeChanged();
    m_combos.ApplyTheme(IsDarkModeActive());
}
