#include "Commands.h"

#include "Console.h"
#include "ExitStatus.h"
#include "platform/formats/VersionResource.h"

#include <cwchar>

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {L"replay", L"turn a file of received bytes into text, HTML or the rows a view shows", ReplayHelp, RunReplay},
        {L"ports", L"list the ports as the program offers them", PortsHelp, RunPorts},
        {L"capture", L"open a port or endpoint, send, and write what was received", CaptureHelp, RunCapture},
        {L"run", L"run a send-and-expect script against a board, with exit status and JUnit results", RunHelp,
         RunScript},
    };
    return commands;
}

namespace {

bool IsHelp(const std::wstring& argument) {
    return argument == L"--help" || argument == L"-h" || argument == L"/?" || argument == L"help";
}

// "velto-cli 1.37", the version as the program's version resource states it and the program's title shows it
// (two digits of minor: 1.0 is 1.00); the bare name without one.
std::wstring NameAndVersion() {
    C_VersionResource resource;
    unsigned major = 0, minor = 0;
    wchar_t text[32];
    if (!resource.Load(nullptr) || !resource.GetMajorMinor(major, minor))
        return L"velto-cli";
    _snwprintf(text, 32, L"velto-cli %u.%02u", major, minor);
    text[31] = 0;
    return text;
}

std::wstring GeneralHelp() {
    std::wstring text = NameAndVersion() + L" - console companion of the Velto serial terminal\r\n\r\n"
                                           L"Usage: velto-cli COMMAND [options] [arguments]\r\n"
                                           L"       velto-cli COMMAND --help\r\n\r\nCommands:\r\n";
    for (const Command& command : Commands()) {
        std::wstring name = L"  " + std::wstring(command.name);
        name.resize(12, L' ');
        text += name + command.summary + L"\r\n";
    }
    for (const Command& command : Commands())
        text += L"\r\n" + command.help();
    return text;
}

} // namespace

int RunCommandLine(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) {
        Console::Error(L"velto-cli: no command given; velto-cli --help lists the commands");
        return kExitUsage;
    }
    if (IsHelp(arguments[0])) {
        Console::Print(GeneralHelp());
        return kExitSuccess;
    }
    for (const Command& command : Commands()) {
        if (arguments[0] != command.name)
            continue;
        std::vector<std::wstring> rest(arguments.begin() + 1, arguments.end());
        for (const std::wstring& argument : rest) {
            if (argument == L"--")
                break;
            if (IsHelp(argument)) {
                Console::Print(command.help());
                return kExitSuccess;
            }
        }
        return command.run(rest);
    }
    Console::Error(L"velto-cli: unknown command '" + arguments[0] + L"'; velto-cli --help lists the commands");
    return kExitUsage;
}
