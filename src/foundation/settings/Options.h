#pragma once
// The persisted options: the values the program keeps between runs, their defaults, the order in which they are
// read at start and written at close, the choice of the default terminal font and the command-line overrides.
// The main window owns one and hands it to the settings store; everything here works without a window.
#include "foundation/settings/LineSettings.h"
#include "foundation/settings/Settings.h"
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

// Bits of the Flags option.
constexpr uint32_t FLAG_AUTO_UPDATE = 0x1;    // check for updates at start
constexpr uint32_t FLAG_BOLD = 0x2;           // draw the terminal font bold
constexpr uint32_t FLAG_LOCAL_ECHO = 0x4;     // show what is sent in the view
constexpr uint32_t FLAG_SEND_BAR = 0x8;       // the send bar is open
constexpr uint32_t FLAG_PASTE_UNASKED = 0x20; // a paste of several lines goes without asking
constexpr uint32_t FLAG_PLOT_OPEN = 0x100;    // the plot window was open at the close: it opens at the start
// Text files (Save as text, the text log) are UTF-8 behind a byte-order mark; without it, the ANSI code page. New
// installations start with it set (it is in the default Flags); Flags stored before the choice existed lack it, so
// those keep writing the files other tools already read until the user chooses otherwise.
constexpr uint32_t FLAG_TEXT_FILES_UTF8 = 0x40;
constexpr uint32_t FLAG_LOGGING = 0x10000;    // a log file is being written: run-time state, never stored
constexpr uint32_t kStoredFlagsMask = 0xFFFF; // only these bits are written, and only these are read back

// Where the program keeps its settings, and the names of everything stored there.
constexpr const wchar_t* kSettingsKeyPath = L"Software\\Brannick\\Velto";

namespace SettingName {
constexpr const wchar_t* Flags = L"Flags";
constexpr const wchar_t* FontSize = L"FontSize";
constexpr const wchar_t* BaudRate = L"BaudRate";
constexpr const wchar_t* CharSendDelay = L"CharSendDelay";
constexpr const wchar_t* Parity = L"Parity";
constexpr const wchar_t* StopBits = L"StopBits";
constexpr const wchar_t* DataBits = L"DataBits";
constexpr const wchar_t* FlowControl = L"FlowControl";
constexpr const wchar_t* FontName = L"FontName";
constexpr const wchar_t* SerialPort = L"SerialPort";
constexpr const wchar_t* Filter = L"Filter";
constexpr const wchar_t* TimeFormat = L"TimeFormat";
constexpr const wchar_t* PowerLine = L"PowerLine";
constexpr const wchar_t* AnimationChars = L"AnimationChars";
constexpr const wchar_t* PlotSpan = L"PlotSpan";
constexpr const wchar_t* EnterSends = L"EnterSends";
constexpr const wchar_t* LineDelay = L"LineDelay";
constexpr const wchar_t* SendHex = L"SendHex";
constexpr const wchar_t* HexJournalSize = L"HexJournalSize"; // MiB of received bytes the hex view keeps
// Written by others under the same key: the window placements, the update check's values, the port tags.
constexpr const wchar_t* MainPlacement = L"Main";
constexpr const wchar_t* SearchPlacement = L"Search";
constexpr const wchar_t* PlotPlacement = L"Plot";
constexpr const wchar_t* LastCheck = L"LastCheck";
constexpr const wchar_t* LastCheckVersion = L"LastCheckVersion";
constexpr const wchar_t* TagsSection = L"Tags";
constexpr const wchar_t* SendHistorySection = L"SendHistory";
// A port's own settings, in the subkey "Ports\<port>" (LineSettings.h): the line values above, and these.
constexpr const wchar_t* PortDtr = L"Dtr";               // 1 raised at opening, 0 not
constexpr const wchar_t* PortRts = L"Rts";               //
constexpr const wchar_t* PortResetPulse = L"ResetPulse"; // the lines a reset pulse drops: 1 DTR, 2 RTS, 3 both
} // namespace SettingName

// What Enter sends, in the view and in the send bar.
enum class EnterSends : uint32_t { Cr = 0, Lf = 1, CrLf = 2 };
constexpr uint32_t kEnterSendsCount = 3;
// "\r", "\n" or "\r\n".
const wchar_t* LineEndText(EnterSends enter);

// Opens the store the way the program does: registry, current user, the program's key.
int OpenProgramSettings(C_Settings& settings);

// Whether a font family is installed. The real one asks the system; tests hand in a list.
using FontInstalledQuery = bool (*)(void* context, const wchar_t* faceName);
// EnumFontFamiliesEx on a screen device context, any character set, with the name cut to 31 characters.
bool IsFontFamilyInstalled(void* context, const wchar_t* faceName);

// The first installed name of a list separated by ';' (the first name may also end at ','); false, leaving out
// empty, when none is installed.
bool ChooseFirstInstalledFont(const wchar_t* candidates, FontInstalledQuery query, void* context, C_String& out);

class C_PersistedOptions {
public:
    static constexpr uint32_t kDefaultFlags = FLAG_AUTO_UPDATE | FLAG_TEXT_FILES_UTF8;
    static constexpr uint32_t kDefaultFontSize = 200; // twentieths of a point: 10 pt
    static constexpr uint32_t kDefaultBaudRate = 115200;
    static constexpr uint32_t kDefaultCharSendDelay = 0;
    static constexpr uint32_t kDefaultLineDelay = 0;
    static constexpr uint8_t kDefaultParity = 0;   // none
    static constexpr uint8_t kDefaultStopBits = 0; // one
    static constexpr uint32_t kDefaultPlotSpanSeconds = 30;
    static constexpr uint8_t kDefaultDataBits = 8;
    static constexpr uint8_t kDefaultFlowControl = FLOW_NONE;
    static constexpr uint32_t kDefaultHexJournalSize = 16; // MiB
    static constexpr uint32_t kSmallestHexJournalSize = 1;
    static constexpr uint32_t kLargestHexJournalSize = 256;
    static constexpr const wchar_t* kDefaultPowerLine = L"\xE0B0";
    static constexpr const wchar_t* kDefaultAnimationChars =
        L"\x280B\x2819\x2839\x2838\x283C\x2834\x2826\x2827\x2807\x280F";
    static constexpr const wchar_t* kDefaultFontCandidates =
        L"Cascadia Code PL Regular;Cascadia Code Regular;Lucida Console for Powerline;Lucida Console;Consolas";
    // The most a user can type into the filter field (an edit control's usual limit); a stored filter is cut to
    // it when read, so a hand-edited value cannot hold up the start.
    static constexpr uint32_t kFilterLimit = 32767;

    C_PersistedOptions();
    C_PersistedOptions(const C_PersistedOptions&) = delete;
    C_PersistedOptions& operator=(const C_PersistedOptions&) = delete;

    // Before reading: the first installed default font becomes FontName (its default when not stored).
    void ChooseDefaultFont(FontInstalledQuery query = IsFontFamilyInstalled, void* context = nullptr);
    // At start. A command-line port (non-empty) is used instead of the stored one, which is then not read; a
    // nonzero command-line baud rate replaces the stored one after everything was read.
    void Read(const C_SettingsStore& store, const wchar_t* commandLinePort = nullptr, uint32_t commandLineBaud = 0);
    // At close (the window placement "Main" follows, written by the window). True when every value was written;
    // a failed write does not stop the others.
    bool Write(C_SettingsStore& store) const;

    // The line settings a port without settings of its own is opened with.
    SerialLineSettings Line() const;

    uint32_t flags = kDefaultFlags;
    uint32_t fontSize = kDefaultFontSize;
    uint32_t baudRate = kDefaultBaudRate;
    uint32_t charSendDelay = kDefaultCharSendDelay;   // milliseconds between characters sent
    uint8_t parity = kDefaultParity;                  // 0 none, 1 odd, 2 even
    uint8_t stopBits = kDefaultStopBits;              // 0 one, 1 one and a half, 2 two
    uint8_t dataBits = kDefaultDataBits;              // 5 to 8
    uint8_t flowControl = kDefaultFlowControl;        // FlowControl: 0 none, 1 RTS/CTS, 2 DSR/DTR, 3 XON/XOFF
    uint32_t plotSpan = kDefaultPlotSpanSeconds;      // the plot's time span in seconds; the plot checks it
    EnterSends enterSends = EnterSends::Cr;           //
    uint32_t lineDelay = kDefaultLineDelay;           // milliseconds after each line end of a file send
    bool sendHex = false;                             // the send bar's field holds hex bytes
    uint32_t hexJournalSize = kDefaultHexJournalSize; // MiB, within the smallest and largest
    C_String fontName;
    C_String serialPort;       // the current port or endpoint, opened at start
    C_String lastSelectedPort; // the port last chosen by the user; starts as the current port
    C_String filter;           // the main window guards it with its filter lock
    C_String timeFormat;       // empty: no time stamps
    C_String powerLine;
    C_String animationChars;
};
