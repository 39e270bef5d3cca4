// velto-cli ports: the port list as the main window's buttons would show it after a refresh and its probe.
#include "Commands.h"
#include "ConnectionSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "Options.h"
#include "connection/discovery/BoardNames.h"
#include "connection/transports/SerialTransport.h"
#include "foundation/settings/Options.h"

#include <string>

namespace {

constexpr wchar_t kSeparator = L'\t';

void Fail(const std::wstring& message) {
    Console::Error(L"velto-cli ports: " + message);
}

// What the port opens with when it has settings of its own: its line, and the modem choices that differ from
// the usual ("115200 baud 8N1; dtr off; pulse both"); empty when it has none.
std::wstring OwnSettings(const C_SettingsStore* settings, const C_PersistedOptions& options, const PortEntry& entry) {
    SerialLineSettings line = options.Line();
    C_String key;
    if (!settings || !BoardNames::ValuesKey(*settings, entry.identity.c_str(), entry.target.c_str(), key))
        return L"";
    const bool ownLine = PortSettings::Load(*settings, key.c_str(), line);
    std::wstring own;
    C_String description;
    if (ownLine && C_SerialTransport::Describe(line, description))
        own = description.c_str();
    auto add = [&own](const wchar_t* part) { own += (own.empty() ? L"" : L"; ") + std::wstring(part); };
    if (!(line.linesAtOpen & LINE_DTR))
        add(L"dtr off");
    if (!(line.linesAtOpen & LINE_RTS))
        add(L"rts off");
    if (line.pulseLines == LINE_RTS)
        add(L"pulse rts");
    else if (line.pulseLines == kBothModemLines)
        add(L"pulse both");
    return own;
}

std::wstring Line(const PortEntry& entry, const std::wstring& own) {
    std::wstring line = entry.name.c_str();
    line += kSeparator;
    line += entry.target.c_str();
    line += kSeparator;
    line += std::to_wstring(unsigned(entry.kind));
    line += kSeparator;
    line += std::to_wstring(unsigned(entry.present));
    line += kSeparator;
    line += entry.tag.c_str();
    line += kSeparator;
    line += entry.description.c_str();
    line += kSeparator;
    line += own;
    line += kSeparator;
    line += entry.identity.c_str();
    return line + L"\r\n";
}

bool WriteText(const std::wstring& text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return text.empty();
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), int(text.size()), &bytes[0], size, nullptr, nullptr);
    C_StandardOutput out;
    return out.Write(bytes.data(), uint32_t(bytes.size()));
}

} // namespace

std::wstring PortsHelp() {
    return L"velto-cli ports [--utf8]\r\n"
           L"  Lists the ports as the program offers them, after one refresh and the availability probe that\r\n"
           L"  follows it: one line per port with name, target, kind, present (1 or 0), tag, description (the\r\n"
           L"  button's tooltip text, whose ampersands are tripled; \"was COM5\" at its end for a board that had\r\n"
           L"  another COM port before), the port's own line settings and the board's identity, separated by\r\n"
           L"  tabs. The line settings are empty for a port that uses the Options values; otherwise they are\r\n"
           L"  what the port opens with (\"9600 baud 7E1 RTS/CTS\"), followed by what differs from DTR and RTS\r\n"
           L"  raised at the open and a reset pulse on DTR (\"; dtr off\", \"; rts off\", \"; pulse rts\",\r\n"
           L"  \"; pulse both\"). The identity (\"USB\\VID_0403&PID_6001\\A50285BI\") is empty for a port\r\n"
           L"  that has none: its tag and settings are kept by its name.\r\n"
           L"  Tags and line settings are read from the program's settings.\r\n"
           L"Options:\r\n"
           L"  --utf8                    write UTF-8 instead of the ANSI code page\r\n";
}

int RunPorts(const std::vector<std::wstring>& arguments) {
    bool utf8 = false;
    C_OptionTable options;
    options.AddFlag(L"--utf8", L"", utf8);
    std::vector<std::wstring> positional;
    std::wstring error;
    if (!options.Parse(arguments, positional, error)) {
        Fail(error);
        return kExitUsage;
    }
    if (!positional.empty()) {
        Fail(L"takes no arguments, not '" + positional[0] + L"'");
        return kExitUsage;
    }
    C_ConnectionSession session;
    session.SetQuiet(true);
    if (!session.Start()) {
        Fail(L"the connection manager could not start");
        return kExitWriteFailed;
    }
    if (!session.RefreshAndProbe())
        Fail(L"the port list was not complete in time; it is shown as it is");
    C_PersistedOptions programOptions;
    if (const C_SettingsStore* settings = session.ProgramSettings())
        programOptions.Read(*settings);
    std::wstring text;
    {
        C_PortList& list = session.Connection().GetPortList();
        C_ReadLock hold(list);
        for (PortEntry* entry = list.First(); entry; entry = list.Next(entry))
            text += Line(*entry, OwnSettings(session.ProgramSettings(), programOptions, *entry));
    }
    session.Close();
    if (!WriteText(text, utf8 ? CP_UTF8 : CP_ACP)) {
        Fail(L"writing the output failed");
        return kExitWriteFailed;
    }
    return kExitSuccess;
}
