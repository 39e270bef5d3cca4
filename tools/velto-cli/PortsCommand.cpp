// velto-cli ports: the port list as the main window's buttons would show it after a refresh and its probe.
#include "Commands.h"
#include "ConnectionSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "Options.h"

#include <string>

namespace {

constexpr wchar_t kSeparator = L'\t';

void Fail(const std::wstring& message) {
    Console::Error(L"velto-cli ports: " + message);
}

std::wstring Line(const PortEntry& entry) {
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
           L"  follows it: one line per port with name, target, kind, present (1 or 0), tag and description\r\n"
           L"  (the button's tooltip text, whose ampersands are tripled), separated by tabs. Tags are read from\r\n"
           L"  the program's settings.\r\n"
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
    std::wstring text;
    {
        C_PortList& list = session.Connection().GetPortList();
        C_ReadLock hold(list);
        for (PortEntry* entry = list.First(); entry; entry = list.Next(entry))
            text += Line(*entry);
    }
    session.Close();
    if (!WriteText(text, utf8 ? CP_UTF8 : CP_ACP)) {
        Fail(L"writing the output failed");
        return kExitWriteFailed;
    }
    return kExitSuccess;
}
