#pragma once
// The subcommands of velto-cli. A subcommand is a name, a one-line summary, its usage with its options
// (for --help), and the function that runs it with the arguments after its name.
#include <string>
#include <vector>

struct Command {
    const wchar_t* name;
    const wchar_t* summary;
    std::wstring (*help)();
    int (*run)(const std::vector<std::wstring>& arguments);
};

const std::vector<Command>& Commands();

// The entry point after the program name: dispatches to a subcommand or prints help.
int RunCommandLine(const std::vector<std::wstring>& arguments);

// Each subcommand, in its own file.
std::wstring ReplayHelp();
int RunReplay(const std::vector<std::wstring>& arguments);
std::wstring PortsHelp();
int RunPorts(const std::vector<std::wstring>& arguments);
std::wstring CaptureHelp();
int RunCapture(const std::vector<std::wstring>& arguments);
std::wstring RunHelp();
int RunScript(const std::vector<std::wstring>& arguments);
