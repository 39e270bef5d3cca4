#include "ui/dialogs/OptionsDialog.h"

#include "connection/manager/ConnectionWindow.h"
#include "ui/dialogs/LineChoices.h"
#include "ui/framework/FontList.h"
#include "ui/framework/ProgramTitle.h"
#include "ui/framework/ResourceIds.h"

#include <cwctype>

namespace {

constexpr uint32_t kNoValue = 0;

struct ControlText {
    int control;
    UINT text;
};

constexpr ControlText kTexts[] = {
    {IDC_OPTIONS_SEND_DELAY_LABEL, IDS_SEND_DELAY},
    {IDC_OPTIONS_BAUD_RATE_LABEL, IDS_BAUD_RATE},
    {IDC_OPTIONS_PARITY_LABEL, IDS_PARITY},
    {IDC_OPTIONS_STOP_BITS_LABEL, IDS_STOP_BITS},
    {IDC_OPTIONS_DATA_BITS_LABEL, IDS_DATA_BITS},
    {IDC_OPTIONS_FLOW_CONTROL_LABEL, IDS_FLOW_CONTROL},
    {IDC_OPTIONS_FONT_LABEL, IDS_FONT},
    {IDC_OPTIONS_BOLD, IDS_BOLD},
    {IDC_OPTIONS_TIME_FORMAT_LABEL, IDS_TIME_FORMAT},
    {IDC_OPTIONS_TEXT_FILES_LABEL, IDS_TEXT_FILES},
    {IDC_OPTIONS_AUTO_UPDATE, IDS_AUTO_UPDATE},
    {IDC_OPTIONS_SENDING, IDS_SENDING},
    {IDC_OPTIONS_ENTER_SENDS_LABEL, IDS_ENTER_SENDS},
    {IDC_OPTIONS_LINE_DELAY_LABEL, IDS_LINE_DELAY},
    {IDC_OPTIONS_LOCAL_ECHO, IDS_LOCAL_ECHO},
    {IDC_OPTIONS_ASK_PASTE, IDS_ASK_BEFORE_PASTE},
    {IDC_OK, IDS_OK},
    {IDC_CANCEL, IDS_CANCEL},
};

struct NumberItem {
    const wchar_t* text;
    uint32_t value;
};

constexpr NumberItem kSendDelays[] = {{L"0 ms", 0}, {L"10 ms", 10}, {L"100 ms", 100}, {L"1000 ms", 1000}};
constexpr const wchar_t* kSendDelayFormat = L"%u ms";
// The line ends by their usual names, the same in every language.
constexpr NumberItem kEnterSends[] = {
    {L"CR", uint32_t(EnterSends::Cr)}, {L"LF", uint32_t(EnterSends::Lf)}, {L"CR LF", uint32_t(EnterSends::CrLf)}};
constexpr const wchar_t* kNumberFormat = L"%u";

struct ChoiceItem {
    UINT text;
    uint32_t value;
    UINT icon;
};

// Values: whether FLAG_TEXT_FILES_UTF8 is set.
constexpr ChoiceItem kTextFiles[] = {{IDS_TEXT_FILES_UTF8, 1, 0}, {IDS_TEXT_FILES_ANSI, 0, 0}};

// The empty picture comes first: choosing it turns the stamps off.
constexpr const wchar_t* kNoTimeFormat = L"";
constexpr const wchar_t* kTimeFormats[] = {L"dd.MM.yyyy HH:mm:ss:iii>", L"dd.MM.yyyy HH:mm:ss ani>",
                                           L"dd.MM.yyyy HH:mm:ss>", L"yyyy.MM.dd HH:mm:ss;"};

} // namespace

bool C_OptionsDialog::ReadLeadingNumber(const wchar_t* text, uint32_t& value) {
    if (!text)
        return false;
    while (iswspace(*text))
        ++text;
    // A sign is not a number here: "%u" would turn -5 into 4294967291 ms.
    if (*text < L'0' || *text > L'9')
        return false;
    uint64_t number = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        number = number * 10 + uint64_t(*text - L'0');
        if (number > UINT32_MAX)
            return false;
    }
    value = uint32_t(number);
    return true;
}

INT_PTR C_OptionsDialog::Run(HINSTANCE instance, HWND owner, C_OptionsHost& host) {
    m_host = &host;
    m_strings.SetModule(instance);
    INT_PTR result = RunModal(instance, IDD_OPTIONS, STYLE_DARK_MODE_ALLOWED, owner);
    m_host = nullptr;
    if (owner)
        PostMessageW(owner, WM_PORTS_CHANGED, PORTS_CHANGED_REDRAW, 0);
    return result;
}

// --- opening ---------------------------------------------------------------------------------------------

INT_PTR C_OptionsDialog::OnInitDialog() {
    if (!m_host)
        return FALSE;
    SetIcon(IDI_PROGRAM);
    SetProgramTitle(GetWindow(), GetInstance());
    const C_PersistedOptions& options = m_host->GetOptions();
    FillSendDelay(options);
    FillBaudRate(options);
    FillParity(options);
    FillStopBits(options);
    FillDataBits(options);
    FillFlowControl(options);
    FillFonts(options);
    FillFontSizes(options);
    FillTimeFormats(options);
    FillSending(options);
    FillTextFiles(options);
    CheckItem(IDC_OPTIONS_AUTO_UPDATE, (options.flags & FLAG_AUTO_UPDATE) != 0);
    CheckItem(IDC_OPTIONS_BOLD, (options.flags & FLAG_BOLD) != 0);
    SetTexts();
    m_combos.ApplyTheme(IsDarkModeActive());
    return TRUE;
}

void C_OptionsDialog::FillSendDelay(const C_PersistedOptions& options) {
    m_sendDelay.Attach(GetItem(IDC_OPTIONS_SEND_DELAY), GetInstance());
    for (const NumberItem& item : kSendDelays)
        m_sendDelay.AddItem(item.text, item.value, IDI_ITEM_RATE);
    C_String text;
    text.Format(kSendDelayFormat, options.charSendDelay);
    m_sendDelay.SetEditText(text.c_str());
}

void C_OptionsDialog::FillBaudRate(const C_PersistedOptions& options) {
    m_baudRate.Attach(GetItem(IDC_OPTIONS_BAUD_RATE), GetInstance());
    LineChoices::FillBaudRates(m_baudRate, options.baudRate);
}

// A stored value the list lacks selects nothing, and OK then keeps it.
void C_OptionsDialog::FillParity(const C_PersistedOptions& options) {
    m_parity.Attach(GetItem(IDC_OPTIONS_PARITY), GetInstance());
    LineChoices::FillParities(m_parity, m_strings, options.parity);
}

void C_OptionsDialog::FillStopBits(const C_PersistedOptions& options) {
    m_stopBits.Attach(GetItem(IDC_OPTIONS_STOP_BITS), GetInstance());
    LineChoices::FillStopBits(m_stopBits, m_strings, options.stopBits);
}

void C_OptionsDialog::FillDataBits(const C_PersistedOptions& options) {
    m_dataBits.Attach(GetItem(IDC_OPTIONS_DATA_BITS), GetInstance());
    LineChoices::FillDataBits(m_dataBits, options.dataBits);
}

void C_OptionsDialog::FillFlowControl(const C_PersistedOptions& options) {
    m_flowControl.Attach(GetItem(IDC_OPTIONS_FLOW_CONTROL), GetInstance());
    LineChoices::FillFlowControls(m_flowControl, m_strings, options.flowControl);
}

void C_OptionsDialog::FillFonts(const C_PersistedOptions& options) {
    m_font.Attach(GetItem(IDC_OPTIONS_FONT), GetInstance());
    std::vector<std::wstring> names;
    FontList::ListFixedPitchFonts(names);
    for (const std::wstring& name : names)
        m_font.AddItem(name.c_str(), kNoValue, IDI_ITEM_FONT);
    m_font.Select(m_font.FindText(options.fontName.c_str()));
}

void C_OptionsDialog::FillFontSizes(const C_PersistedOptions& options) {
    m_fontSize.Attach(GetItem(IDC_OPTIONS_FONT_SIZE), GetInstance());
    C_String text;
    for (uint32_t points = kSmallestFontPoints; points <= kLargestFontPoints; ++points) {
        text.Format(kNumberFormat, points);
        m_fontSize.AddItem(text.c_str(), points * kTwentiethsPerPoint, 0);
    }
    m_fontSize.Select(m_fontSize.FindValue(options.fontSize));
}

void C_OptionsDialog::FillTimeFormats(const C_PersistedOptions& options) {
    m_timeFormat.Attach(GetItem(IDC_OPTIONS_TIME_FORMAT), GetInstance());
    m_timeFormat.AddItem(kNoTimeFormat, kNoValue, 0);
    for (const wchar_t* picture : kTimeFormats)
        m_timeFormat.AddItem(picture, kNoValue, IDI_ITEM_TIME_FORMAT);
    m_timeFormat.SetEditText(options.timeFormat.c_str());
}

// The line delay is typed or chosen like the send delay.
void C_OptionsDialog::FillSending(const C_PersistedOptions& options) {
    m_enterSends.Attach(GetItem(IDC_OPTIONS_ENTER_SENDS), GetInstance());
    for (const NumberItem& item : kEnterSends)
        m_enterSends.AddItem(item.text, item.value, 0);
    m_enterSends.Select(m_enterSends.FindValue(uint32_t(options.enterSends)));
    m_lineDelay.Attach(GetItem(IDC_OPTIONS_LINE_DELAY), GetInstance());
    for (const NumberItem& item : kSendDelays)
        m_lineDelay.AddItem(item.text, item.value, IDI_ITEM_RATE);
    C_String text;
    text.Format(kSendDelayFormat, options.lineDelay);
    m_lineDelay.SetEditText(text.c_str());
    CheckItem(IDC_OPTIONS_LOCAL_ECHO, (options.flags & FLAG_LOCAL_ECHO) != 0);
    CheckItem(IDC_OPTIONS_ASK_PASTE, (options.flags & FLAG_PASTE_UNASKED) == 0);
}

void C_OptionsDialog::ApplySending(C_PersistedOptions& options) {
    uint32_t value;
    if (m_enterSends.GetSelectedValue(value) && value < kEnterSendsCount)
        options.enterSends = EnterSends(value);
    ReadNumberField(m_lineDelay, options.lineDelay);
    options.flags &= ~(FLAG_LOCAL_ECHO | FLAG_PASTE_UNASKED);
    if (IsItemChecked(IDC_OPTIONS_LOCAL_ECHO))
        options.flags |= FLAG_LOCAL_ECHO;
    if (!IsItemChecked(IDC_OPTIONS_ASK_PASTE))
        options.flags |= FLAG_PASTE_UNASKED;
}

void C_OptionsDialog::FillTextFiles(const C_PersistedOptions& options) {
    m_textFiles.Attach(GetItem(IDC_OPTIONS_TEXT_FILES), GetInstance());
    for (const ChoiceItem& item : kTextFiles)
        m_textFiles.AddItem(m_strings, item.text, item.value, item.icon);
    m_textFiles.Select(m_textFiles.FindValue((options.flags & FLAG_TEXT_FILES_UTF8) ? 1 : 0));
}

void C_OptionsDialog::SetTexts() {
    for (const ControlText& entry : kTexts)
        SetItemText(entry.control, m_strings.LoadString(entry.text));
}

// --- closing ---------------------------------------------------------------------------------------------

INT_PTR C_OptionsDialog::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    if (id == IDC_OK || id == IDC_CANCEL) {
        End(id == IDC_OK ? 1 : 0);
        return TRUE;
    }
    return C_Dialog::OnCommand(id, wParam, lParam);
}

INT_PTR C_OptionsDialog::OnEnd(INT_PTR result) {
    if (result == 1 && m_host)
        Apply();
    m_combos.Detach();
    return 1;
}

void C_OptionsDialog::ReadNumberField(C_ComboBox& combo, uint32_t& value) {
    C_String text;
    if (combo.GetEditText(text, kEditTextLimit) && !text.IsEmpty())
        ReadLeadingNumber(text.c_str(), value);
}

// In this order: flags, the serial settings, the font, the stamps; then the view and the connection follow.
void C_OptionsDialog::Apply() {
    C_PersistedOptions& options = m_host->GetOptions();
    uint32_t flags = options.flags & ~(FLAG_AUTO_UPDATE | FLAG_BOLD);
    if (IsItemChecked(IDC_OPTIONS_AUTO_UPDATE))
        flags |= FLAG_AUTO_UPDATE;
    if (IsItemChecked(IDC_OPTIONS_BOLD))
        flags |= FLAG_BOLD;
    uint32_t value;
    if (m_textFiles.GetSelectedValue(value))
        flags = value ? flags | FLAG_TEXT_FILES_UTF8 : flags & ~FLAG_TEXT_FILES_UTF8;
    options.flags = flags;

    ReadNumberField(m_sendDelay, options.charSendDelay);
    ReadNumberField(m_baudRate, options.baudRate);
    if (m_parity.GetSelectedValue(value))
        options.parity = uint8_t(value);
    if (m_stopBits.GetSelectedValue(value))
        options.stopBits = uint8_t(value);
    LineChoices::ReadSelected(m_dataBits, options.dataBits);
    LineChoices::ReadSelected(m_flowControl, options.flowControl);

    C_String text;
    if (m_font.GetSelectedText(text) && !text.IsEmpty())
        options.fontName.Assign(text);
    if (m_fontSize.GetSelectedValue(value))
        options.fontSize = value;
    if (m_timeFormat.GetEditText(text, kEditTextLimit))
        options.timeFormat.Assign(text);
    ApplySending(options);

    m_host->ApplyDisplayOptions();
    m_host->RefreshPorts();
}

// --- messages --------------------------------------------------------------------------------------------

INT_PTR C_OptionsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result;
    if (m_combos.Answer(message, lParam, result))
        return result;
    return C_Dialog::OnMessage(message, wParam, lParam);
}

void C_OptionsDialog::OnThemeChanged() {
    C_Dialog::OnThemeChanged();
    m_combos.ApplyTheme(IsDarkModeActive());
}
