#pragma once
// The persisted options: the values the program keeps between runs, the choice of the default terminal font and
// the command-line overrides. Every stored value is one row of a table (OptionRows), which says its name, its
// member, its default and its bounds; reading, writing and writing only what changed all walk that table. The main
// window owns one and hands it to the settings store; everything here works without a window.
#include "foundation/settings/LineSettings.h"
#include "foundation/settings/Settings.h"
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
constexpr const wchar_t* ReopenPorts = L"ReopenPorts";       // 1: the tabs open at exit open again at the start
constexpr const wchar_t* ScrollBack = L"ScrollBack";         // MiB of lines each port's tab keeps
// Written by others under the same key: the window placements, the update check's values, the port tags.
constexpr const wchar_t* MainPlacement = L"Main";
constexpr const wchar_t* SearchPlacement = L"Search";
constexpr const wchar_t* PlotPlacement = L"Plot";
constexpr const wchar_t* LastCheck = L"LastCheck";
constexpr const wchar_t* LastCheckVersion = L"LastCheckVersion";
constexpr const wchar_t* TagsSection = L"Tags";
constexpr const wchar_t* SendHistorySection = L"SendHistory";
constexpr const wchar_t* OpenPortsSection = L"OpenPorts"; // the targets of the tabs, in their order
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

class C_PersistedOptions;
namespace OptionRows {
struct Row;
}

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
    // A port's scroll-back in MiB of stored text. The default keeps about as many lines as a single port always
    // had; the largest leaves room for four ports, the merged tab and their journals in a 32-bit process.
    static constexpr uint32_t kDefaultScrollBack = 256;
    static constexpr uint32_t kSmallestScrollBack = 8;
    static constexpr uint32_t kLargestScrollBack = 512;
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
    // nonzero command-line baud rate replaces the stored one after everything was read. What was read counts as
    // stored: WriteChanged leaves it alone.
    void Read(const C_SettingsStore& store, const wchar_t* commandLinePort = nullptr, uint32_t commandLineBaud = 0);
    // Every value. True when every value was written; a failed write does not stop the others.
    bool Write(C_SettingsStore& store);
    // Only the values that differ from what was last read or written, so a second program running beside this
    // one keeps what its user chose unless this one's user changed the same value. A value whose write failed
    // is tried again next time. True when every write succeeded (also when there was nothing to write).
    bool WriteChanged(C_SettingsStore& store);

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
    uint32_t scrollBack = kDefaultScrollBack;         // MiB per port, within the smallest and largest
    bool reopenPorts = true;                          // the tabs open at exit open again at the start
    C_String fontName;
    C_String serialPort;       // the current port or endpoint, opened at start
    C_String lastSelectedPort; // the port last chosen by the user; starts as the current port
    C_String filter;           // the main window guards it with its filter lock
    C_String timeFormat;       // empty: no time stamps
    C_String powerLine;
    C_String animationChars;

private:
    void ReadRow(const C_SettingsStore& store, const OptionRows::Row& row);
    bool WriteRow(C_SettingsStore& store, const OptionRows::Row& row) const;
    std::wstring RowText(const OptionRows::Row& row) const;

    // Each row's value as it was last read or written, as text; none for a value that was not read or could not
    // be written (the command line's port, a failed write), which WriteChanged therefore writes.
    std::vector<std::optional<std::wstring>> m_stored;
};

// The table behind Read and Write: one row per stored value, in the order they are read and written.
namespace OptionRows {

enum class Kind : uint8_t {
    Number, // a value below low counts as unset (the default), one above high is cut to high
    Bits,   // only the bits of the mask (high) are stored and read back
    Choice, // one of high values (0 to high - 1); any other stored value gives the default
    Text,   // cut to high characters when longer (0: any length)
};

struct Row {
    const wchar_t* name;
    Kind kind;
    uint64_t (*get)(const C_PersistedOptions&); // numbers: the member's value
    void (*set)(C_PersistedOptions&, uint64_t); // numbers: the member set, its type's low bits kept
    C_String C_PersistedOptions::*text;         // texts
    uint64_t defaultNumber;                     //
    uint64_t low;                               //
    uint64_t high;                              // see Kind
    const wchar_t* defaultText;                 // null: the member's value before the read (the chosen font)
};

struct Rows {
    const Row* begin() const;
    const Row* end() const;
};
inline Rows Table() {
    return {};
}
size_t Count();

} // namespace OptionRows
