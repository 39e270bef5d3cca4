#include "ui/window/StartOptions.h"

#include "ui/framework/CommandLine.h"
#include "ui/framework/Language.h"

namespace {

constexpr const wchar_t* kLanguageOption = L"l";
constexpr const wchar_t* kPortOption = L"p";
constexpr const wchar_t* kBaudOption = L"b";

} // namespace

void ReadStartOptions(const wchar_t* commandLine, StartOptions& options) {
    C_CommandLine parser;
    parser.Declare(kLanguageOption, C_CommandLine::KIND_TEXT);
    parser.Declare(kPortOption, C_CommandLine::KIND_TEXT);
    parser.Declare(kBaudOption, C_CommandLine::KIND_DECIMAL);
    // What could be read is used; an unknown option or a missing option file spoils nothing else.
    if (commandLine)
        parser.Parse(commandLine);
    else
        parser.Parse();
    C_String language;
    options.language = parser.GetText(kLanguageOption, language) ? Language::FromIsoName(language.c_str()) : 0;
    if (!parser.GetText(kPortOption, options.port))
        options.port.Empty();
    const int64_t baud = parser.GetNumber(kBaudOption);
    // Only a rate a serial port can be set to replaces the stored one.
    options.baudRate = baud > 0 && baud <= int64_t(UINT32_MAX) ? uint32_t(baud) : 0;
}
